// A hostile browser: every event it sends and every reply to the program's calls comes from the input.
// The messages go through the real connection (its reader thread, the framing, the matching of replies)
// and the I/O-thread dispatcher to the world, which the program then uses as it would: the browsers it
// announced, their pages, the shell's list. The program may fail a call with the platform's error; it
// may not crash, hang or throw anything else.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/platform_error.h"
#include "fuzz_page_walk.h"
#include "fuzz_pieces.h"
#include "platform/chromium/cdp_connection.h"
#include "platform/chromium/chromium_browser.h"
#include "platform/chromium/chromium_world.h"
#include "platform/posix/poll_event_loop.h"
#include "ports/shell_windows.h"
#include "support/fake_browser.h"

namespace {

using qm::cr::Json;
constexpr char kSync[] = "Fuzz.sync";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Pieces whose first byte is even are events; the others are the replies to the program's calls,
    // in the order the calls come.
    std::vector<std::string> events;
    std::vector<Json> replies;  // a text that is no JSON goes out as it is, before an empty reply
    for (const std::string& piece : qm::fuzz::Pieces(data, size)) {
        if (piece.empty()) {
            continue;
        }
        const std::string text = piece.substr(1);
        if (static_cast<unsigned char>(piece[0]) % 2 == 0) {
            events.push_back(text);
        } else {
            replies.push_back(Json::parse(text, nullptr, false));
            if (replies.back().is_discarded()) {
                replies.back() = Json::binary({text.begin(), text.end()});
            }
        }
    }

    std::mutex mutex;
    std::size_t next = 0;
    qm::cr::testing::FakeBrowser browser;
    browser.SetResponder([&](const Json& message) -> std::optional<Json> {
        if (message.value("method", std::string()) == kSync) {
            return Json::object();
        }
        const std::lock_guard<std::mutex> lock(mutex);
        if (next >= replies.size()) {
            return Json::object();
        }
        const Json& reply = replies[next++];
        if (reply.is_binary()) {
            browser.WriteRaw(std::string(reply.get_binary().begin(), reply.get_binary().end()) + '\0');
            return Json::object();
        }
        return reply;
    });
    qm::posix::PollEventLoop loop;
    const auto world = qm::cr::ChromiumWorld::Create(
        std::make_unique<qm::cr::CdpConnection>(browser.TakeProgramPipe()), loop, loop);
    try {
        world->Start();
    } catch (const qm::PlatformError&) {
        return 0;  // a browser that refuses the start is one the program does not watch
    }
    for (const std::string& event : events) {
        browser.WriteRaw(event + std::string(1, '\0'));
    }
    // The reader hands everything before this reply on before the reply itself.
    qm::fuzz::Try([&] { world->Connection().Call(kSync, Json::object(), {}, 2000); });
    for (int turn = 0; turn < 4; ++turn) {
        loop.DoEvents();
    }

    for (const auto& b : world->Browsers()) {
        qm::fuzz::Try([&] { b->TypeName(); });
        qm::fuzz::Try([&] { b->Visible(); });
        qm::fuzz::Try([&] { b->LocationURL(); });
        qm::fuzz::Try([&] { b->WindowThreadId(); });
        qm::fuzz::Try([&] { qm::fuzz::WalkPage(b->Document()); });
    }
    qm::fuzz::Try([&] { world->CreateShellWindows()->Enumerate(); });
    world->HandleDisconnect();
    loop.DoEvents();
    return 0;
}
