// ReadWeight (synchronous), ZeroScale, DisplayText, COFreezeEvents and the price methods,
// through IDispatch with the simulator on the far end of a real cable.

#include <mutex>

#include "tests/service/cable_fixture.h"
#include "tools/trm07sim/reply_forms.h"

namespace ka::test {
namespace {

constexpr long kSettlingTimeoutMs = 3000;
constexpr ULONGLONG kPauseMs = 500;
// One attempt: the reply plus the line's 100 ms quiet interval, or the 500 ms limit.
constexpr ULONGLONG kAttemptMs = 600;

using WeighingTest = ScaleOnCableTest;

// When the scale heard each weighing request, from the simulator's own thread.
class RequestClock {
public:
    explicit RequestClock(trm07::ScaleSimulator& sim) : sim_(sim) {
        sim_.SetObserver([this](const std::string& line) {
            if (line.rfind("<- W", 0) != 0) return;
            std::lock_guard<std::mutex> hold(lock_);
            times_.push_back(Now());
        });
    }
    ~RequestClock() { sim_.SetObserver(nullptr); }
    std::vector<ULONGLONG> Times() const {
        std::lock_guard<std::mutex> hold(lock_);
        return times_;
    }

private:
    trm07::ScaleSimulator& sim_;
    mutable std::mutex lock_;
    std::vector<ULONGLONG> times_;
};

TEST_F(WeighingTest, AcceptedReadingAnswersTheWeight) {
    sim_.SetWeight(12345);
    long weight = -1;
    EXPECT_EQ(scale_.ReadWeight(&weight, kSettlingTimeoutMs), 0);
    EXPECT_EQ(weight, 12345);
    EXPECT_EQ(scale_.ResultCode(), 0);
    EXPECT_EQ(sim_.Requests(), 1);

    sim_.SetStatus(20);
    EXPECT_EQ(scale_.ReadWeight(&weight, kSettlingTimeoutMs), 0) << "status 20 is acceptable";
    EXPECT_EQ(weight, 12345);
}

TEST_F(WeighingTest, SignedAndBlankPaddedReadingsKeepTheirValue) {
    struct Case {
        std::string reply;
        long weight;
    };
    const Case cases[] = {{trm07::ReadingText(-1500, 0), -1500}, {"  2.345 lb  S00 ", 2345}};
    for (const auto& c : cases) {
        sim_.QueueAnswer(trm07::kWeighCommand, trm07::Answer::Text(c.reply));
        long weight = 0;
        EXPECT_EQ(scale_.ReadWeight(&weight, kSettlingTimeoutMs), 0) << "reply '" << c.reply << "'";
        EXPECT_EQ(weight, c.weight) << "reply '" << c.reply << "'";
    }
}

TEST_F(WeighingTest, SettlingScaleIsAskedAgainAfterEachPauseUntilTheDeadline) {
    sim_.SettleFor(1000);
    RequestClock clock(sim_);
    long weight = -1;
    const ULONGLONG start = Now();
    EXPECT_EQ(scale_.ReadWeight(&weight, kSettlingTimeoutMs), opos::OPOS_E_TIMEOUT);
    const ULONGLONG elapsed = Now() - start;
    EXPECT_GE(elapsed, static_cast<ULONGLONG>(kSettlingTimeoutMs));
    EXPECT_LT(elapsed, kSettlingTimeoutMs + kPauseMs + 2 * kAttemptMs);
    EXPECT_EQ(weight, 0);
    EXPECT_EQ(scale_.ResultCode(), opos::OPOS_E_TIMEOUT);

    const auto times = clock.Times();
    ASSERT_GE(times.size(), 4u) << "a request every pause plus one attempt for three seconds";
    for (size_t i = 1; i < times.size(); ++i) EXPECT_GE(times[i] - times[i - 1], kPauseMs) << "request " << i;
}

TEST_F(WeighingTest, SettlingOnceThenAReadingAnswersAfterOnePause) {
    sim_.SetWeight(2500);
    sim_.SettleFor(1);
    long weight = -1;
    const ULONGLONG start = Now();
    EXPECT_EQ(scale_.ReadWeight(&weight, kSettlingTimeoutMs), 0);
    EXPECT_GE(Now() - start, kPauseMs);
    EXPECT_EQ(weight, 2500);
    EXPECT_EQ(sim_.Requests(), 2);
}

TEST_F(WeighingTest, FailedStatusIsNotRetried) {
    sim_.SetWeight(2500);
    sim_.SetStatus(30);
    long weight = -1;
    EXPECT_EQ(scale_.ReadWeight(&weight, kSettlingTimeoutMs), opos::OPOS_E_ILLEGAL);
    EXPECT_EQ(weight, 0) << "a failed read leaves 0";
    EXPECT_EQ(sim_.Requests(), 1);
    EXPECT_EQ(scale_.ResultCode(), opos::OPOS_E_ILLEGAL);
}

TEST_F(WeighingTest, SilentScaleLeavesZeroInTheWeight) {
    sim_.QueueAnswer(trm07::kWeighCommand, trm07::Answer::Silence());
    long weight = 777;
    const size_t mark = LogSize();
    EXPECT_EQ(scale_.ReadWeight(&weight, kSettlingTimeoutMs), opos::OPOS_E_ILLEGAL);
    EXPECT_EQ(weight, 0);
    EXPECT_EQ(LogSince(mark).front(), "ENTER [ReadWeight]");
    EXPECT_EQ(MissingInOrder(LogSince(mark), {"Routine returned unsuccessful result [ReadWeight] [106].",
                                              "LEAVE [ReadWeight]."}),
              "");
}

TEST_F(WeighingTest, TimeoutOfZeroOrForeverMakesOneAttempt) {
    sim_.SettleFor(1000);
    for (const long timeout : {0L, opos::OPOS_FOREVER}) {
        const long before = sim_.Requests();
        long weight = -1;
        EXPECT_EQ(scale_.ReadWeight(&weight, timeout), opos::OPOS_E_TIMEOUT) << "timeout " << timeout;
        EXPECT_EQ(sim_.Requests() - before, 1) << "timeout " << timeout;
    }
}

// A reply the parser cannot use is a failed reading, never a weight of 0.
TEST_F(WeighingTest, UnusableRepliesAreFailuresEvenWithAcceptableStatus) {
    const std::string good = trm07::ReadingText(12345, 0);
    const std::string unusable[] = {
        trm07::WithoutPoint(good),
        trm07::WithoutStatusMark(good),
        trm07::StatusOnlyText(0),
        trm07::StatusOnlyText(20),
        "0 S00     1234.5",  // the point too near the end for its digits
        "0.12 S00        ",  // the point too near the start
        " 1x.345 lb  S00 ",  // noise where a pound digit belongs
    };
    for (const auto& reply : unusable) {
        sim_.QueueAnswer(trm07::kWeighCommand, trm07::Answer::Text(reply));
        long weight = -1;
        EXPECT_EQ(scale_.ReadWeight(&weight, kSettlingTimeoutMs), opos::OPOS_E_ILLEGAL) << "reply '" << reply << "'";
        EXPECT_EQ(weight, 0) << "reply '" << reply << "'";
    }
}

TEST_F(WeighingTest, GateAnswersBeforeTheScaleIsAsked) {
    ASSERT_EQ(scale_.SetDeviceEnabled(false), 0);
    const size_t mark = LogSize();
    long weight = 5;
    EXPECT_EQ(scale_.ReadWeight(&weight, kSettlingTimeoutMs), opos::OPOS_E_DISABLED);
    EXPECT_EQ(ZeroScale(), opos::OPOS_E_DISABLED);
    EXPECT_EQ(Call(kDisplayText, std::move(CallArgs().Text("hello"))), opos::OPOS_E_DISABLED);
    EXPECT_EQ(weight, 5);
    EXPECT_EQ(sim_.Requests(), 0);
    EXPECT_TRUE(Logged(mark, "Device is not enabled."));

    ASSERT_EQ(scale_.ReleaseDevice(), 0);
    EXPECT_EQ(Call(kCOFreezeEvents, std::move(CallArgs().Long(1))), opos::OPOS_E_NOTCLAIMED);
}

TEST_F(WeighingTest, ZeroScaleSendsTheZeroCommand) {
    sim_.SetWeight(800);
    const size_t mark = LogSize();
    EXPECT_EQ(ZeroScale(), 0);
    EXPECT_EQ(sim_.ReceivedRequests(), std::vector<std::string>{"Z"});
    EXPECT_EQ(sim_.Weight(), 0);
    EXPECT_EQ(LogSince(mark).front(), "ENTER [ZeroScale]");
    EXPECT_EQ(LogSince(mark).back(), "LEAVE [ZeroScale].");
}

TEST_F(WeighingTest, ZeroScaleWithoutReplyAnswersIllegal) {
    sim_.QueueAnswer(trm07::kZeroCommand, trm07::Answer::Silence());
    EXPECT_EQ(ZeroScale(), opos::OPOS_E_ILLEGAL);
    EXPECT_EQ(scale_.ResultCode(), opos::OPOS_E_ILLEGAL);
}

TEST_F(WeighingTest, DisplayTextIsNotSupported) {
    const size_t mark = LogSize();
    EXPECT_EQ(Call(kDisplayText, std::move(CallArgs().Text("hello"))), opos::OPOS_E_ILLEGAL);
    EXPECT_EQ(scale_.ResultCode(), opos::OPOS_E_ILLEGAL);
    EXPECT_EQ(LogSince(mark),
              (Lines{"ENTER [DisplayText]", "Routine returned unsuccessful result [DisplayText] [106].",
                     "LEAVE [DisplayText]."}));
}

TEST_F(WeighingTest, COFreezeEventsStoresFreezeEvents) {
    const size_t mark = LogSize();
    EXPECT_EQ(Call(kCOFreezeEvents, std::move(CallArgs().Long(1))), 0);
    EXPECT_EQ(scale_.GetPropertyNumber(opos::pidx::kFreezeEvents), 1);
    EXPECT_EQ(LogSince(mark), (Lines{"ENTER [COFreezeEvents].", "LEAVE [COFreezeEvents]."}));
    EXPECT_EQ(Call(kCOFreezeEvents, std::move(CallArgs().Long(0))), 0);
    EXPECT_EQ(scale_.GetPropertyNumber(opos::pidx::kFreezeEvents), 0);
}

TEST_F(WeighingTest, PriceMethodsAnswerZeroAndLeaveResultCodeAndLogAlone) {
    ASSERT_EQ(Call(kDisplayText, std::move(CallArgs().Text(""))), opos::OPOS_E_ILLEGAL);
    const size_t mark = LogSize();
    scale_.CallVoid(kSetUnitPrice, std::move(CallArgs().Currency(123450000)));
    EXPECT_EQ(scale_.CallCurrency(kGetUnitPrice), 0);
    EXPECT_EQ(scale_.CallCurrency(kGetSalesPrice), 0);
    EXPECT_EQ(LogSize(), mark);
    EXPECT_EQ(scale_.ResultCode(), opos::OPOS_E_ILLEGAL);
}

}  // namespace
}  // namespace ka::test
