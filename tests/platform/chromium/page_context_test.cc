// When a document's writes reach the browser: a pass that writes element by element and yields between
// them sends its writes in a few calls, a lone write still goes out at once, and a read takes the writes
// made before it along, ahead of itself.

#include "platform/chromium/page_context.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/posix/poll_event_loop.h"
#include "support/fake_browser.h"

namespace qm::cr {
namespace {

using testing::FakeBrowser;

class PageContextTest : public ::testing::Test {
  protected:
    void SetUp() override {
        browser_.SetResponder([](const Json& m) -> std::optional<Json> {
            if (m.value("method", std::string()) == "Runtime.evaluate" &&
                m["params"].value("returnByValue", false)) {
                return Json{{"result", {{"type", "object"}, {"value", Json::array({1, Json::array({7})})}}}};
            }
            return Json::object();
        });
        connection_ = std::make_shared<CdpConnection>(browser_.TakeProgramPipe());
        connection_->Start({});
        context_ = std::make_shared<PageContext>(connection_, loop_, loop_, "S1", 5, "F1");
    }
    void TearDown() override {
        context_.reset();
        connection_->Stop();
    }

    // The expressions of the evaluations sent so far: writes and reads.
    std::vector<std::string> Evaluations() {
        std::vector<std::string> texts;
        for (const Json& m : browser_.Received()) {
            if (m.value("method", std::string()) == "Runtime.evaluate") {
                texts.push_back(m["params"].value("expression", std::string()));
            }
        }
        return texts;
    }
    static int Occurrences(const std::string& text, const std::string& part) {
        int n = 0;
        for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
            ++n;
        }
        return n;
    }

    FakeBrowser browser_;
    posix::PollEventLoop loop_;
    std::shared_ptr<CdpConnection> connection_;
    std::shared_ptr<PageContext> context_;
};

TEST_F(PageContextTest, WritesOfAPassThatYieldsAfterEveryElementGoOutInAFewCalls) {
    constexpr int kElements = 3000;
    for (int i = 0; i < kElements; ++i) {
        context_->Write({"setstyle", 100 + i, "visibility", "visible"});
        loop_.DoEvents();
    }
    // The browser stand-in reads on its own thread: wait for what it has been sent, not for a time.
    const auto writesReceived = [&] {
        int ops = 0;
        for (const auto& text : Evaluations()) {
            ops += Occurrences(text, "\"setstyle\"");
        }
        return ops;
    };
    loop_.RunUntil([&] { return writesReceived() >= kElements; }, 10000);
    const auto sent = Evaluations();
    EXPECT_EQ(writesReceived(), kElements) << "every write arrives";
    EXPECT_LE(sent.size(), static_cast<std::size_t>(kElements / 100)) << "not one call per element";
    EXPECT_EQ(context_->WriteBatchCount(), static_cast<int>(sent.size()));
    // In the order they were made.
    ASSERT_FALSE(sent.empty());
    EXPECT_LT(sent.front().find("[\"setstyle\",100,"), sent.front().find("[\"setstyle\",101,"));
}

TEST_F(PageContextTest, LoneWriteGoesOutWithoutAReadAndAReadNeverOvertakesOne) {
    context_->Write({"setattr", 3, "id", "QMV"});
    EXPECT_TRUE(loop_.RunUntil([&] { return Evaluations().size() == 1; }, 500)) << "a lone write is not held";

    context_->Write({"setstyle", 4, "display", "none"});
    EXPECT_EQ(context_->RunOne({"tag", 4}), 7);
    loop_.RunUntil([] { return false; }, 30);
    const auto sent = Evaluations();
    ASSERT_EQ(sent.size(), 2u) << "the write goes with the read";
    EXPECT_LT(sent[1].find("__qm.write("), sent[1].find("__qm.run(")) << "and is made first";
    EXPECT_EQ(context_->WriteBatchCount(), 1);
}

TEST_F(PageContextTest, WritesOfADocumentThatHasGoneAreDropped) {
    context_->Write({"setstyle", 4, "display", "none"});
    context_->MarkGone();
    loop_.RunUntil([] { return false; }, 30);
    EXPECT_TRUE(Evaluations().empty());
}

// A list record as the page library gives it: number, tag, parent, size, ... inline position and
// visibility, ... the links around the element.
Json Record(int id, const char* tag, const char* visibility, Json links = Json::array()) {
    return Json::array({id, tag, 3, "BODY", nullptr, 10, 10, nullptr, nullptr, nullptr, "", visibility,
                        nullptr, nullptr, std::move(links)});
}

// Lists read ahead: the page stand-in answers every operation of a batch: the lists of a small page (21
// lies inside link 40, which lies inside link 41), and which elements are still in it (all but 21).
class PageContextReadAheadTest : public PageContextTest {
  protected:
    void SetUp() override {
        PageContextTest::SetUp();
        browser_.SetResponder([](const Json& m) -> std::optional<Json> {
            if (m.value("method", std::string()) != "Runtime.evaluate" ||
                !m["params"].value("returnByValue", false)) {
                return Json::object();
            }
            const std::string e = m["params"].value("expression", std::string());
            const std::size_t from = e.find(',', e.find("__qm.run(")) + 1;
            std::size_t to = e.find(") : '", from);
            to = to == std::string::npos ? e.rfind(')') : to;
            const Json batch = Json::parse(e.substr(from, to - from));
            Json results = Json::array();
            for (const Json& op : batch) {
                if (op[0] == "items") {
                    const std::string tag = op[2];
                    results.push_back(
                        tag == "DIV"   ? Json::array({Record(10, "DIV", "")})
                        : tag == "IMG" ? Json::array({Record(20, "IMG", ""), Record(21, "IMG", "", {40, 41})})
                        : tag == "IFRAME"
                            ? Json::array({Record(21, "IFRAME", "", {40, 41}), Record(22, "IFRAME", "")})
                            : Json::array());
                } else if (op[0] == "connected") {
                    Json answers = Json::array();
                    for (const Json& id : op[1]) {
                        answers.push_back(id != 21);
                    }
                    results.push_back(answers);
                } else {
                    results.push_back(0);
                }
            }
            return Json{{"result", {{"type", "object"}, {"value", Json::array({1, results})}}}};
        });
    }
    Json List(const char* tag) { return context_->RunOne({"items", 1, tag}); }
    static std::vector<int> Ids(const Json& list) {
        std::vector<int> ids;
        for (const Json& r : list) {
            ids.push_back(r[0].get<int>());
        }
        return ids;
    }
};

TEST_F(PageContextReadAheadTest, TheDivListBringsTheOthersOnceWithTheProgramsStyleWritesCarriedIn) {
    EXPECT_EQ(Ids(List("DIV")), std::vector<int>({10}));
    EXPECT_EQ(context_->CallCount(), 1);

    context_->Write({"setstyle", 20, "visibility", "hidden"});
    context_->Write({"setstyle", 20, "display", "none"});
    const Json images = List("IMG");
    EXPECT_EQ(context_->CallCount(), 1) << "answered from the lists read ahead";
    ASSERT_EQ(Ids(images), std::vector<int>({20, 21}));
    EXPECT_EQ(images[0][11], "hidden") << "the program's own write is in the list";
    EXPECT_EQ(images[1][11], "");

    EXPECT_EQ(Ids(List("IMG")), std::vector<int>({20, 21}));
    EXPECT_EQ(context_->CallCount(), 2) << "each list is answered from there once";
}

TEST_F(PageContextReadAheadTest, ReplacedMarkupDropsTheElementsThatLeftAndMarkupWithListedTagsDropsTheLists) {
    List("DIV");
    context_->Write({"outer", 30, "<span style=\"color:#fff\">Ad</span>"});
    const Json frames = List("IFRAME");
    EXPECT_EQ(Ids(frames), std::vector<int>({22})) << "21 has left the document with the replaced element";
    EXPECT_EQ(context_->CallCount(), 2) << "one question for the lists left, carrying the write";
    EXPECT_EQ(Ids(List("IMG")), std::vector<int>({20})) << "asked once for all of them";
    EXPECT_EQ(context_->CallCount(), 2);

    List("DIV");
    context_->Write({"outer", 30, "<p><img src=\"x.png\"></p>"});
    EXPECT_EQ(Ids(List("IMG")), std::vector<int>({20, 21}));
    EXPECT_EQ(context_->CallCount(), 4)
        << "a new image would be missing from the list read ahead: read again";
}

TEST_F(PageContextReadAheadTest, AReplacedLinkTakesWhatLiesInsideItOutOfTheListsWithoutAQuestion) {
    for (const int link : {40, 41}) {
        List("DIV");
        const int calls = context_->CallCount();
        context_->Write({"outer", link, "<span style=\"color:#fff\">Ad</span>"});
        EXPECT_EQ(Ids(List("IFRAME")), std::vector<int>({22})) << "link " << link;
        EXPECT_EQ(Ids(List("IMG")), std::vector<int>({20})) << "link " << link;
        EXPECT_EQ(context_->CallCount(), calls) << "the records tell what lay inside link " << link;
        context_->Flush();
    }
}

TEST_F(PageContextReadAheadTest, NothingIsReadAheadPastWaitingWritesOrAttributesOrWhenForgotten) {
    context_->Write({"setstyle", 4, "display", "none"});
    List("DIV");
    List("IMG");
    EXPECT_EQ(context_->CallCount(), 2) << "a DIV list read with writes waiting brings no others";

    List("DIV");
    context_->Write({"setattr", 20, "src", "y.png"});
    List("IMG");
    EXPECT_EQ(context_->CallCount(), 4) << "an attribute written: the lists may no longer hold";

    List("DIV");
    context_->ForgetReadAhead();
    List("IMG");
    EXPECT_EQ(context_->CallCount(), 6);
}

}  // namespace
}  // namespace qm::cr
