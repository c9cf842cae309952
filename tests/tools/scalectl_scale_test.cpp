// scalectl against the service object and the simulated scale, run as a technician runs it,
// through the control object the run selects.

#include <gtest/gtest.h>

#include "tests/support/cables.h"
#include "tests/support/control_object.h"
#include "tests/support/profile_fixture.h"
#include "tests/tools/tool_process.h"
#include "tools/trm07sim/scale_simulator.h"

namespace ka::test {
namespace {

constexpr char kDevice[] = "Tools Scalectl Scale";
constexpr wchar_t kDeviceArg[] = L"\"Tools Scalectl Scale\"";
constexpr Cable kCable{5};
constexpr DWORD kToolTimeoutMs = 60000;

size_t Count(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

class ScalectlScaleTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string unavailable = UseSelectedControl();
        ASSERT_EQ(unavailable, "") << ControlName(SelectedControl());
        logFile_ = TempLogPath("tools-scalectl");
        profiles_.WriteCableProfile(kDevice, kCable.deviceSide(), logFile_);
        scale_.SetWeight(2500);
        DWORD error = scale_.Open(kCable.scaleSide(), trm07::kPseudoTerminalLine);
        ASSERT_EQ(error, 0u) << "simulator on " << kCable.scaleSide() << ": error " << error;
    }
    void TearDown() override { DeleteFileA(logFile_.c_str()); }

    ToolRun Scalectl(const std::wstring& command, const std::wstring& options = L"") {
        return RunTool(L"scalectl.exe", command + L" " + kDeviceArg + L" " + options, kToolTimeoutMs);
    }

    ProfileFixture profiles_;
    std::string logFile_;
    trm07::ScaleSimulator scale_;
};

TEST_F(ScalectlScaleTest, WatchReadsTheGivenNumberOfTimesAndCleansUp) {
    ToolRun run = Scalectl(L"watch", L"--count 3 --interval 0");
    ASSERT_TRUE(run.finished) << run.output;
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_EQ(Count(run.output, "SUCCESS (0)  2.500 lb (2500)"), 3u) << run.output;
    EXPECT_NE(run.output.find("ReadWeight #3"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Close ................... SUCCESS (0)"), std::string::npos) << run.output;
    EXPECT_EQ(scale_.Requests(), 3);
}

TEST_F(ScalectlScaleTest, AnAsyncReadPrintsTheDataEventsWeightWithItsSign) {
    scale_.SetWeight(-1500);
    ToolRun run = Scalectl(L"read", L"--async --timeout 1000");
    ASSERT_TRUE(run.finished) << run.output;
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("ReadWeight (async) ...... SUCCESS (0)"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("DataEvent ............... SUCCESS (0)  -1.500 lb (-1500)"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("AsyncMode false ......... SUCCESS (0)"), std::string::npos) << run.output;
}

TEST_F(ScalectlScaleTest, AFailedReadExitsWithOneAfterCleaningUp) {
    scale_.QueueAnswer(trm07::kWeighCommand, trm07::Answer::Silence());
    ToolRun run = Scalectl(L"read", L"--timeout 0");
    ASSERT_TRUE(run.finished) << run.output;
    EXPECT_EQ(run.exitCode, 1u) << run.output;
    EXPECT_EQ(run.output.find("ReadWeight .............. SUCCESS"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("ReleaseDevice ........... SUCCESS (0)"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("Result: FAILED"), std::string::npos) << run.output;
}

TEST_F(ScalectlScaleTest, HealthPrintsTheCheckHealthText) {
    ToolRun run = Scalectl(L"health", L"--level 2");
    ASSERT_TRUE(run.finished) << run.output;
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("CheckHealth 2 ........... SUCCESS (0)  \"External HCkeck: Successful\""),
              std::string::npos)
        << run.output;
}

}  // namespace
}  // namespace ka::test
