// scalectl's command line and the text of its step lines.

#include <gtest/gtest.h>

#include <climits>

#include "tools/scalectl/command_line.h"
#include "tools/scalectl/step_report.h"

namespace scalectl {
namespace {

ParsedCommandLine Parse(std::vector<std::wstring> args) { return ParseCommandLine(args); }

TEST(ScalectlCommandLineTest, CommandsTakeTheirOwnOptions) {
    ParsedCommandLine read = Parse({L"read", L"Front Scale", L"--timeout", L"2500", L"--async"});
    ASSERT_TRUE(read.ok) << read.error;
    EXPECT_EQ(read.options.command, Command::Read);
    EXPECT_EQ(read.options.device, L"Front Scale");
    EXPECT_EQ(read.options.timeoutMs, 2500);
    EXPECT_TRUE(read.options.async);

    ParsedCommandLine health = Parse({L"health", L"--level", L"2", L"Back Scale"});
    ASSERT_TRUE(health.ok) << health.error;
    EXPECT_EQ(health.options.level, 2);
    EXPECT_EQ(health.options.device, L"Back Scale");

    ParsedCommandLine watch = Parse({L"watch", L"S", L"--count", L"0", L"--interval", L"250"});
    ASSERT_TRUE(watch.ok) << watch.error;
    EXPECT_EQ(watch.options.count, 0);
    EXPECT_EQ(watch.options.intervalMs, 250);

    ParsedCommandLine demo = Parse({L"demo", L"S"});
    ASSERT_TRUE(demo.ok) << demo.error;
    EXPECT_EQ(demo.options.timeoutMs, kDefaultReadTimeoutMs);
    EXPECT_EQ(demo.options.level, 1);
    EXPECT_FALSE(demo.options.async);
    EXPECT_TRUE(Parse({L"zero", L"S"}).ok);
}

TEST(ScalectlCommandLineTest, MistakesAreNamed) {
    const struct {
        std::vector<std::wstring> args;
        const char* error;
    } cases[] = {
        {{}, "no command given"},
        {{L"weigh", L"S"}, "unknown command \"weigh\""},
        {{L"read"}, "no device name given"},
        {{L"read", L"A", L"B"}, "more than one device name: \"B\""},
        {{L"read", L""}, "the device name is empty"},
        {{L"read", L"S", L"--level", L"1"}, "option --level does not apply to read"},
        {{L"zero", L"S", L"--async"}, "option --async does not apply to zero"},
        {{L"read", L"S", L"--timeout"}, "option --timeout needs a value"},
        {{L"read", L"S", L"--timeout", L"-5"}, "option --timeout needs a whole number, not \"-5\""},
        {{L"read", L"S", L"--timeout", L"99999999999"}, "option --timeout needs a whole number, not \"99999999999\""},
        {{L"health", L"S", L"--level", L"3"}, "option --level takes 1 (internal) or 2 (external)"},
        {{L"read", L"S", L"--verbose"}, "unknown option --verbose"},
    };
    for (const auto& c : cases) {
        ParsedCommandLine parsed = Parse(c.args);
        EXPECT_FALSE(parsed.ok) << c.error;
        EXPECT_EQ(parsed.error, c.error);
    }
}

TEST(ScalectlStepReportTest, ResultsLineUpByName) {
    EXPECT_EQ(StepLine("Open", 0), "Open .................... SUCCESS (0)");
    EXPECT_EQ(StepLine("ReleaseDevice", 109), "ReleaseDevice ........... NOEXIST (109)");
    EXPECT_EQ(StepLine("DataEventEnabled true", 101), "DataEventEnabled true ... CLOSED (101)");
    EXPECT_EQ(StepLine("A label longer than the column", -1), "A label longer than the column ... <unknown> (-1)");
    EXPECT_EQ(CallFailedLine("Open", static_cast<long>(0x80020003L)), "Open .................... call failed (HRESULT 0x80020003)");
    EXPECT_EQ(NoteLine("DataEvent", "none within 5000 ms"), "DataEvent ............... none within 5000 ms");
}

TEST(ScalectlStepReportTest, WeightsShowPoundsAndThousandths) {
    EXPECT_EQ(WeightText(12345), "12.345 lb (12345)");
    EXPECT_EQ(WeightText(0), "0.000 lb (0)");
    EXPECT_EQ(WeightText(-120), "-0.120 lb (-120)");
    EXPECT_EQ(WeightText(LONG_MIN), "-2147483.648 lb (-2147483648)");
}

}  // namespace
}  // namespace scalectl
