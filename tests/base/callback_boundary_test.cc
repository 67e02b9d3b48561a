#include "base/callback_boundary.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "base/platform_error.h"
#include "support/handler_failure_log.h"

namespace qm {
namespace {

TEST(CallbackBoundaryTest, EveryKindOfFailureIsReportedOnceWithTheHandlersNameAndNothingLeaves) {
    const qm::testing::HandlerFailureLog log;
    int ran = 0;
    EXPECT_TRUE(RunHandler("timer tick", [&] { ++ran; }));
    EXPECT_FALSE(RunHandler("buttonOK_Click", [] {
        throw PlatformError("Cannot save the settings file:\nread-only", 75, "Settings");
    }));
    EXPECT_FALSE(RunHandler("posted task", [] { throw std::runtime_error("bad event"); }));
    EXPECT_FALSE(RunHandler("COM event 250", [] { throw 42; }));
    EXPECT_EQ(ran, 1);

    const auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0],
              "quillmere: buttonOK_Click failed: run-time error 75 (Settings): Cannot save the settings "
              "file: read-only\n")
        << "one line, whatever the description holds";
    EXPECT_EQ(lines[1], "quillmere: posted task failed: bad event\n");
    EXPECT_EQ(lines[2], "quillmere: COM event 250 failed: an error of unknown kind\n");
}

TEST(CallbackBoundaryTest, ReportsGoToStandardErrorUnlessAnAdapterSaysOtherwise) {
    ::testing::internal::CaptureStderr();
    RunHandler("window paint", [] { throw PlatformError("gone"); });
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "quillmere: window paint failed: run-time error 0: gone\n");
}

}  // namespace
}  // namespace qm
