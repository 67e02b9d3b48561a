// What a hostile page answers to the program's page library: every answer the ad removal and the input
// test read (element lists, sizes, addresses, styles, frames, window places, which elements are still
// in the page) comes from the input, in the order the calls are made, inside a well-formed reply (as a
// value or as the library's JSON text) or as the whole reply. Reading such a page
// may fail with the platform's error, and may do nothing else.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_page_walk.h"
#include "fuzz_pieces.h"
#include "platform/chromium/cdp_connection.h"
#include "platform/chromium/chromium_document.h"
#include "platform/chromium/page_context.h"
#include "platform/posix/poll_event_loop.h"
#include "support/fake_browser.h"

namespace {

using qm::cr::Json;

// The reply to one call, built from one piece: its first byte says where the piece goes.
std::optional<Json> ReplyFrom(const std::string& piece) {
    const std::string text = piece.size() > 1 ? piece.substr(1) : std::string();
    // The protocol's texts are UTF-8: a text the page gives is made of the input's ASCII.
    std::string ascii = text;
    for (char& c : ascii) {
        c = static_cast<unsigned char>(c) < 0x80 ? c : '?';
    }
    Json answer = Json::parse(text, nullptr, false);
    if (answer.is_discarded()) {
        answer = ascii;  // a text that is no JSON is answered as a string
    }
    switch (piece.empty() ? 0 : static_cast<unsigned char>(piece[0]) % 7) {
        case 0:  // the answer of the one operation, in a proper reply
            return Json{{"result", {{"type", "object"}, {"value", Json::array({1, Json::array({answer})})}}}};
        case 5:  // the same, as the text the library answers with
            return Json{
                {"result", {{"type", "string"}, {"value", Json::array({1, Json::array({answer})}).dump()}}}};
        case 6:  // the library's text, whatever it holds
            return Json{{"result", {{"type", "string"}, {"value", ascii}}}};
        case 1:  // the whole value the library gave
            return Json{{"result", {{"type", "object"}, {"value", answer}}}};
        case 2:  // the whole remote object
            return Json{{"result", answer}};
        case 3:  // the whole result of the call, whatever its kind
            return answer;
        default:  // an exception the page threw
            return Json{{"exceptionDetails", answer}};
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> pieces = qm::fuzz::Pieces(data, size);
    std::mutex mutex;
    std::size_t next = 0;
    qm::cr::testing::FakeBrowser browser;
    browser.SetResponder([&](const Json& message) -> std::optional<Json> {
        if (message.value("method", std::string()) != "Runtime.evaluate") {
            return Json::object();
        }
        const std::lock_guard<std::mutex> lock(mutex);
        if (next >= pieces.size()) {
            return Json{
                {"result", {{"type", "object"}, {"value", Json::array({1, Json::array({nullptr})})}}}};
        }
        return ReplyFrom(pieces[next++]);
    });
    auto connection = std::make_shared<qm::cr::CdpConnection>(browser.TakeProgramPipe());
    connection->Start({});
    qm::posix::PollEventLoop loop;
    {
        const auto context = std::make_shared<qm::cr::PageContext>(connection, loop, loop, "S1", 5, "F1");
        qm::fuzz::WalkPage(context->DocumentFor(1));
        loop.DoEvents();
        // As the world does once a document has gone: the objects handed out hold their context.
        context->MarkGone();
        context->ReleaseObjects();
    }
    connection->Stop();
    return 0;
}
