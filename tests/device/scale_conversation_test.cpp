// Conversations with the TRM-07 simulator on the far end of a serial cable.

#include "device/scale_conversation.h"

#include <gtest/gtest.h>

#include "device/profile_loader.h"
#include "device/serial_port.h"
#include "tests/device/device_test_support.h"
#include "tests/support/cables.h"
#include "tests/support/profile_fixture.h"
#include "tools/trm07sim/reply_forms.h"
#include "tools/trm07sim/scale_simulator.h"

namespace {

using ka::test::Expected;
using trm07::Answer;

constexpr char kDevice[] = "dev-talk";
const ka::test::Cable kCable{2};
constexpr trm07::LineSettings kSimulatorLine = trm07::kPseudoTerminalLine;
constexpr DWORD kWaitLimitMs = 10000;

const std::string kReading = trm07::ReadingText(12345, 0);  // " 12.345 lb  S00 "
const Expected kCommunicationFailure{0, "Scale Communication Failure: LE:{n}"};
const Expected kWaitTimedOut{0, "Wait Object error reading scale: LE={n}, Response=258"};

Expected Received(const std::string& reply) {
    return {4, "Success: LE={n}; Bytes=" + std::to_string(reply.size()) + "; Data=" + reply};
}

struct Reading {
    long result = 99;
    long weight = 99;
    long status = 99;
    long comm = 99;
};

std::ostream& operator<<(std::ostream& out, const Reading& r) {
    return out << "ReadScale " << r.result << " weight " << r.weight << " status " << r.status << " comm " << r.comm;
}

class ScaleConversation : public ::testing::Test {
protected:
    void SetUp() override {
        profile_.WriteScaleProfile(kDevice, kCable.deviceSide(), log_.path());
        for (const auto& [name, text] : ka::test::kCableLine) profile_.SetDeviceString(kDevice, name, text);
        device_ = ka::test::MakeOpeningThreadDevice();
        ASSERT_EQ(pendrax::LoadDeviceProfile(*device_, ka::test::kScaleClass, kDevice), 0);
        const DWORD opened = scale_.Open(kCable.scaleSide(), kSimulatorLine);
        ASSERT_EQ(opened, 0u) << "simulator could not open " << kCable.scaleSide();
        scale_.SetWeight(12345);
        ASSERT_EQ(pendrax::SetPortOpen(*device_, true), 0);
        PurgeComm(device_->port.get(), PURGE_RXCLEAR | PURGE_TXCLEAR);
        Mark();
    }
    void TearDown() override {
        device_.reset();
        scale_.Close();
    }

    Reading Read() {
        Reading r;
        r.result = pendrax::ReadScale(*device_, r.weight, r.status, r.comm);
        return r;
    }
    // Lines since the last mark.
    std::vector<ka::test::LogMessage> Lines() {
        auto messages = ka::test::ReadLogMessages(log_.path(), kDevice);
        messages.erase(messages.begin(), messages.begin() + std::min(mark_, messages.size()));
        return messages;
    }
    void Mark() { mark_ = ka::test::ReadLogMessages(log_.path(), kDevice).size(); }

    ka::test::TempLog log_{"device-talk"};
    ka::test::ProfileFixture profile_;
    trm07::ScaleSimulator scale_;
    std::unique_ptr<ka::test::OpeningThreadDevice> device_;
    std::size_t mark_ = 0;
};

void ExpectReading(const Reading& r, long result, long weight, long status, long comm) {
    EXPECT_EQ(r.result, result) << r;
    EXPECT_EQ(r.weight, weight) << r;
    EXPECT_EQ(r.status, status) << r;
    EXPECT_EQ(r.comm, comm) << r;
}

TEST_F(ScaleConversation, ReadingWithAnAcceptableStatusGivesItsWeight) {
    ExpectReading(Read(), 0, 12345, 0, 0);
    EXPECT_LOG(Lines(), {Received(kReading), {4, "LE={n}; MSG=" + kReading + "; Weight=12345, Hardware Status: 0"}});
    EXPECT_EQ(scale_.ReceivedRequests(), std::vector<std::string>{"W"});

    scale_.SetStatus(20);
    Mark();
    ExpectReading(Read(), 0, 12345, 20, 0);
    const std::string reply = trm07::ReadingText(12345, 20);
    EXPECT_LOG(Lines(), {Received(reply), {4, "LE={n}; MSG=" + reply + "; Weight=12345, Hardware Status: 20"}});
}

TEST_F(ScaleConversation, OtherStatusesFailWithTheStatusAndNoWeight) {
    for (long status : {10L, 11L, 1L}) {
        SCOPED_TRACE("status " + std::to_string(status));
        scale_.SetStatus(status);
        Mark();
        ExpectReading(Read(), -1, 0, status, 0);
        EXPECT_LOG(Lines(), {Received(trm07::ReadingText(12345, status)),
                             {0, "Unacceptable Hardware status of " + std::to_string(status)}});
    }
}

TEST_F(ScaleConversation, AReplyWithoutThousandthsReadsToHundredths) {
    const std::string reply = " 12.34  lb  S00 ";
    scale_.QueueAnswer('W', Answer::Text(reply));
    ExpectReading(Read(), 0, 12340, 0, 0);
    EXPECT_LOG(Lines(), {Received(reply), {4, "LE={n}; MSG=" + reply + "; Weight=12340, Hardware Status: 0"}});
}

TEST_F(ScaleConversation, AStatusOnlyReplyIsUnusable) {
    const std::string reply = trm07::StatusOnlyText(10);
    scale_.QueueAnswer('W', Answer::Text(reply));
    ExpectReading(Read(), -1, 0, 10, 0);
    EXPECT_LOG(Lines(), {Received(reply), {0, "Unusable Reading: LE:{n}; Hardware Status:" + reply}});
}

TEST_F(ScaleConversation, AReplyOfTheWrongLengthSetsTheCommunicationResult) {
    for (std::size_t length : {15u, 17u}) {
        SCOPED_TRACE("length " + std::to_string(length));
        const std::string reply = trm07::WithLength(kReading, length);
        scale_.QueueAnswer('W', Answer::Text(reply));
        Mark();
        ExpectReading(Read(), -1, 0, 0, -1);
        EXPECT_LOG(Lines(), {Received(reply),
                             {0, "Only received " + std::to_string(length) + " of an expected 16 bytes.  [" + reply + "]"}});
    }
    // Sixteen bytes that start with a zero byte are an empty text.
    scale_.QueueAnswer('W', Answer::Text(std::string(1, '\0') + kReading.substr(1)));
    Mark();
    ExpectReading(Read(), -1, 0, 0, -1);
    EXPECT_LOG(Lines(), {{4, "Success: LE={n}; Bytes=16; Data=\\x00" + kReading.substr(1)},
                         {0, "Only received 0 of an expected 16 bytes.  []"}});
}

// Bytes from the line reach the log escaped: a reply cannot break a line, nor write one that
// reads as the log's own.
TEST_F(ScaleConversation, LineBreaksInAReplyAreShownEscapedAndForgeNoLine) {
    auto column = [](std::string text) { return text.append(15 - text.size(), ' ') + ' '; };
    const std::string forged = "01/02/24 03:04:05 " + column(kDevice) + column("Main Thread") +
                               column("Critical    (0)") + "Device enabled successfully.";
    const std::string reply = kReading + "\r\n" + forged;
    const std::string shown = kReading + "\\r\\n" + forged;
    scale_.QueueAnswer('W', Answer::Text(reply));
    ExpectReading(Read(), -1, 0, 0, -1);
    const std::string length = std::to_string(reply.size());
    EXPECT_LOG(Lines(), {{4, "Success: LE={n}; Bytes=" + length + "; Data=" + shown},
                         {0, "Only received " + length + " of an expected 16 bytes.  [" + shown + "]"}});
}

TEST_F(ScaleConversation, RepliesWithoutPointOrStatusMarkAreNotInterpreted) {
    const std::string replies[] = {trm07::WithoutPoint(kReading), trm07::WithoutStatusMark(kReading),
                                   "   S00 lb 12345.", "   S00 lb 1234.5", ".12345 lb   S00 ", "1.2345 lb   S00 "};
    for (const auto& reply : replies) {
        SCOPED_TRACE("reply \"" + reply + "\"");
        scale_.QueueAnswer('W', Answer::Text(reply));
        Mark();
        ExpectReading(Read(), -1, 0, 0, 0);
        EXPECT_LOG(Lines(), {Received(reply), {0, "Problem interpreting scale reading string: " + reply}});
    }
}

TEST_F(ScaleConversation, AReplyInPiecesIsOneReplyWhileThePausesStayUnderTheInterval) {
    scale_.QueueAnswer('W', Answer::Dribble(kReading, 6, 30));
    ExpectReading(Read(), 0, 12345, 0, 0);
    EXPECT_LOG(Lines(), {Received(kReading), {4, "LE={n}; MSG=" + kReading + "; Weight=12345, Hardware Status: 0"}});
}

TEST_F(ScaleConversation, APauseOverTheIntervalEndsTheReplyEarly) {
    scale_.QueueAnswer('W', Answer::Dribble(kReading, 6, 300));
    scale_.QueueAnswer('W', Answer::Silence());
    const std::string first = kReading.substr(0, 6);
    ExpectReading(Read(), -1, 0, 0, -1);
    EXPECT_LOG(Lines(), {Received(first), {0, "Only received 6 of an expected 16 bytes.  [" + first + "]"}});

    // The rest arrives afterwards; it answers no request, so the next conversation drops it
    // and hears only the silence of the scale.
    ASSERT_TRUE(scale_.WaitForAnswered(1, kWaitLimitMs));
    ASSERT_TRUE(ka::test::WaitForInputQueue(device_->port.get(), static_cast<DWORD>(kReading.size() - first.size()),
                                            kWaitLimitMs))
        << "the rest did not come through the cable";
    Mark();
    ExpectReading(Read(), -1, 0, 0, opos::OPOS_E_ILLEGAL);
    EXPECT_LOG(Lines(), {kWaitTimedOut, kCommunicationFailure});
}

TEST_F(ScaleConversation, ASilentScaleFailsAfterTheWeighLimitAndLeavesNothingPending) {
    scale_.QueueAnswer('W', Answer::Silence());
    // A conversation opens events only: other handles the platform's threads close meanwhile
    // do not count.
    const unsigned long eventsBefore = ka::test::OpenHandleCount({L"Event"});
    ASSERT_GT(eventsBefore, 0u) << "the process's handles could not be listed";
    const ULONGLONG start = GetTickCount64();
    const Reading silent = Read();
    const ULONGLONG elapsed = GetTickCount64() - start;
    ExpectReading(silent, -1, 0, 0, opos::OPOS_E_ILLEGAL);
    EXPECT_GE(elapsed, pendrax::kWeighLimitMs - 20);
    EXPECT_LT(elapsed, pendrax::kWeighLimitMs + 1000);
    EXPECT_LE(ka::test::OpenHandleCount({L"Event"}), eventsBefore) << "the conversation left an event open";
    EXPECT_LOG(Lines(), {kWaitTimedOut, kCommunicationFailure});

    // A read left pending would take this reply into a buffer that is gone.
    Mark();
    ExpectReading(Read(), 0, 12345, 0, 0);
    EXPECT_LOG(Lines(), {Received(kReading), {4, "LE={n}; MSG=" + kReading + "; Weight=12345, Hardware Status: 0"}});
}

TEST_F(ScaleConversation, AZeroRequestWaitsUpToItsLongerLimit) {
    char reply[pendrax::kReplyCapacity + 1];
    scale_.SetZeroDelay(1500);
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(pendrax::Converse(*device_, 'Z', reply, pendrax::kReplyCapacity, pendrax::kZeroLimitMs), 0);
    EXPECT_GE(GetTickCount64() - start, 1400u);
    EXPECT_EQ(std::string(reply), trm07::ReadingText(0, 0));
    EXPECT_EQ(scale_.ReceivedRequests(), std::vector<std::string>{"Z"});
    EXPECT_EQ(scale_.Weight(), 0);
    EXPECT_LOG(Lines(), {Received(trm07::ReadingText(0, 0))});

    scale_.QueueAnswer('Z', Answer::Silence());
    Mark();
    const ULONGLONG silentStart = GetTickCount64();
    EXPECT_EQ(pendrax::Converse(*device_, 'Z', reply, pendrax::kReplyCapacity, pendrax::kZeroLimitMs),
              opos::OPOS_E_ILLEGAL);
    const ULONGLONG elapsed = GetTickCount64() - silentStart;
    EXPECT_GE(elapsed, pendrax::kZeroLimitMs - 20);
    EXPECT_LT(elapsed, pendrax::kZeroLimitMs + 1000);
    EXPECT_LOG(Lines(), {kWaitTimedOut});
}

TEST_F(ScaleConversation, WithoutAnOpenPortTheRequestCannotBeWritten) {
    ASSERT_EQ(pendrax::SetPortOpen(*device_, false), 0);
    Mark();
    ExpectReading(Read(), -1, 0, 0, opos::OPOS_E_ILLEGAL);
    EXPECT_LOG(Lines(), {{0, "WriteFile: {n}"}, kCommunicationFailure});
    EXPECT_EQ(scale_.Requests(), 0);
}

// Two threads weighing on one port at once each get a whole reply of their own.
struct Weigher {
    pendrax::DeviceLink* device;
    int reads;
    int good = 0;

    static DWORD WINAPI Run(void* context) noexcept {
        auto* self = static_cast<Weigher*>(context);
        for (int i = 0; i < self->reads; ++i) {
            long weight = 0, status = 0, comm = 0;
            if (pendrax::ReadScale(*self->device, weight, status, comm) == 0 && weight == 12345) ++self->good;
        }
        return 0;
    }
};

TEST_F(ScaleConversation, ConversationsOnOnePortDoNotCross) {
    constexpr int kReads = 5;
    Weigher first{device_.get(), kReads};
    Weigher second{device_.get(), kReads};
    ka::UniqueHandle a(CreateThread(nullptr, 0, Weigher::Run, &first, 0, nullptr));
    ka::UniqueHandle b(CreateThread(nullptr, 0, Weigher::Run, &second, 0, nullptr));
    ASSERT_TRUE(a.valid() && b.valid());
    EXPECT_EQ(WaitForSingleObject(a.get(), kWaitLimitMs * 3), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(b.get(), kWaitLimitMs * 3), WAIT_OBJECT_0);
    EXPECT_EQ(first.good, kReads);
    EXPECT_EQ(second.good, kReads);
    EXPECT_EQ(scale_.Requests(), 2 * kReads);
}

}  // namespace
