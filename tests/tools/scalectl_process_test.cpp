// scalectl run as a technician runs it, against the stand-in in this prefix.

#include <gtest/gtest.h>

#include "tests/tools/tool_process.h"

namespace ka::test {
namespace {

constexpr DWORD kToolTimeoutMs = 30000;
constexpr wchar_t kScalectl[] = L"scalectl.exe";

TEST(ScalectlProcessTest, UsageErrorsExitWithTwoAndShowTheUsage) {
    ToolRun run = RunTool(kScalectl, L"weigh \"Front Scale\"", kToolTimeoutMs);
    ASSERT_TRUE(run.finished) << "started: " << run.started;
    EXPECT_EQ(run.exitCode, 2u) << run.output;
    EXPECT_NE(run.output.find("scalectl: unknown command \"weigh\""), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("usage: scalectl"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("never installed on a terminal"), std::string::npos) << run.output;
}

TEST(ScalectlProcessTest, AFailedOpenIsPrintedByNameAndExitsWithOne) {
    ToolRun run = RunTool(kScalectl, L"read \"Tools No Such Scale\" --timeout 500", kToolTimeoutMs);
    ASSERT_TRUE(run.finished) << "started: " << run.started;
    EXPECT_EQ(run.exitCode, 1u) << run.output;
    EXPECT_NE(run.output.find("Open .................... NOEXIST (109)"), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("Claim"), std::string::npos) << "nothing after a failed Open:\n" << run.output;
    EXPECT_EQ(run.output.find("Close"), std::string::npos) << "a control that did not open is not closed:\n"
                                                           << run.output;
    EXPECT_NE(run.output.find("Result: FAILED"), std::string::npos) << run.output;
}

}  // namespace
}  // namespace ka::test
