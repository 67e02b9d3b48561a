#include "platform/chromium/json_fields.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>

#include "platform/chromium/chromium_window.h"
#include "platform/chromium/page_context.h"
#include "platform/posix/poll_event_loop.h"
#include "support/fake_browser.h"

namespace qm::cr {
namespace {

using testing::FakeBrowser;

TEST(JsonFieldsTest, NumbersAreTakenOnlyInsideTheRangeTheyAreReadInto) {
    struct Case {
        const char* json;
        std::optional<std::int32_t> exact;
        std::optional<std::int32_t> rounded;
    };
    const Case cases[] = {
        {"7", 7, 7},
        {"-2147483648", INT32_MIN, INT32_MIN},
        {"2147483647", INT32_MAX, INT32_MAX},
        {"2147483648", std::nullopt, std::nullopt},
        {"-2147483649", std::nullopt, std::nullopt},
        {"18446744073709551615", std::nullopt, std::nullopt},
        {"-9223372036854775808", std::nullopt, std::nullopt},
        {"1e300", std::nullopt, std::nullopt},
        {"-1e300", std::nullopt, std::nullopt},
        {"4.0", 4, 4},
        {"12.5", std::nullopt, 12},
        {"13.5", std::nullopt, 14},
        {"-0.4", std::nullopt, 0},
        {"2147483647.4", std::nullopt, INT32_MAX},
        {"2147483647.6", std::nullopt, std::nullopt},
        {"\"5\"", std::nullopt, std::nullopt},
        {"true", std::nullopt, std::nullopt},
        {"null", std::nullopt, std::nullopt},
        {"[1]", std::nullopt, std::nullopt},
        {"{\"n\":1}", std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        const Json value = Json::parse(c.json);
        EXPECT_EQ(Int32From(value), c.exact) << c.json;
        EXPECT_EQ(RoundedInt32From(value), c.rounded) << c.json;
        EXPECT_EQ(IntFrom(value), c.exact.value_or(0)) << c.json;
        const Json object = {{"n", value}};
        EXPECT_EQ(Int32Field(object, "n"), c.exact) << c.json;
    }
    // Fields of anything that is no object are absent.
    for (const char* notObject : {"5", "\"text\"", "[{\"n\":1}]", "null"}) {
        const Json value = Json::parse(notObject);
        EXPECT_EQ(Int32Field(value, "n"), std::nullopt);
        EXPECT_EQ(StringField(value, "n"), "");
        EXPECT_EQ(ObjectField(value, "n"), Json::object());
    }
    EXPECT_EQ(ObjectField(Json{{"n", 5}}, "n"), Json::object());
    EXPECT_EQ(ObjectField(Json{{"n", {{"a", 1}}}}, "n"), (Json{{"a", 1}}));
}

// A page's window over a fake browser whose page library answers every call with `answer`.
class PageWindowNumbersTest : public ::testing::Test {
  protected:
    void SetUp() override {
        browser_.SetResponder([this](const Json& m) -> std::optional<Json> {
            if (m.value("method", std::string()) == "Runtime.evaluate") {
                return Json{
                    {"result", {{"type", "object"}, {"value", Json::array({1, Json::array({answer_})})}}}};
            }
            return Json::object();
        });
        connection_ = std::make_shared<CdpConnection>(browser_.TakeProgramPipe());
        connection_->Start({});
        context_ = std::make_shared<PageContext>(connection_, loop_, loop_, "S1", 5, "F1");
    }
    void TearDown() override {
        // The page's objects hold their page until it lets them go, as the world does with a gone page.
        context_->ReleaseObjects();
        context_.reset();
        connection_->Stop();
    }

    FakeBrowser browser_;
    posix::PollEventLoop loop_;
    std::shared_ptr<CdpConnection> connection_;
    std::shared_ptr<PageContext> context_;
    Json answer_;
};

TEST_F(PageWindowNumbersTest, WindowPositionsFromAHostilePageAreCheckedBeforeTheyAreTaken) {
    const auto window = context_->WindowFor(2);
    ASSERT_NE(window, nullptr);
    struct Case {
        Json position;
        std::int32_t left, top;
    };
    const Case cases[] = {
        {Json::array({120, -30}), 120, -30},
        {Json::array({10.6, -3.5}), 11, -4},
        {Json::array({1e300, -1e300}), 0, 0},
        {Json::array({4294967296LL, -2147483649LL}), 0, 0},
        {Json::array({"12", nullptr}), 0, 0},
        {Json::array({1, 2, 3}), 0, 0},
        {Json{{"left", 1}}, 0, 0},
    };
    for (const Case& c : cases) {
        answer_ = c.position;
        EXPECT_EQ(window->ScreenLeft(), c.left) << c.position;
        EXPECT_EQ(window->ScreenTop(), c.top) << c.position;
    }
}

}  // namespace
}  // namespace qm::cr
