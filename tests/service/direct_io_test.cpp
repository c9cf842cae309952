// DirectIO: the log-forwarding command, its lines, forwarding through SODirectIO, and
// illegal commands.

#include <algorithm>
#include <cstdint>

#include "tests/service/cable_fixture.h"

namespace ka::test {
namespace {

using DirectIOTest = ScaleOnCableTest;

long PointerValue(const void* p) { return static_cast<long>(reinterpret_cast<std::intptr_t>(p)); }

std::vector<std::string> ForwardedTexts(const std::vector<ReceivedCall>& calls) {
    std::vector<std::string> texts;
    for (const auto& call : calls) {
        if (call.name != "SODirectIO") continue;
        EXPECT_EQ(call.args, (std::vector<long>{kForwardLogLines, 0})) << call.text;
        // The message is the line's last tab-separated field.
        texts.push_back(call.text.substr(call.text.rfind('\t') + 1));
    }
    return texts;
}

TEST_F(DirectIOTest, ForwardingCommandLogsItsArgumentsAndSwitches) {
    long data = 4;
    BSTR text = nullptr;
    size_t mark = LogSize();
    EXPECT_EQ(DirectIO(kForwardLogLines, &data, &text), 0);
    EXPECT_EQ(LogSince(mark), (Lines{"ENTER [DirectIO].", "  * Command = [1000].",
                                     "  * pData   = [" + std::to_string(PointerValue(&data)) + "].",
                                     "  * pString = [" + std::to_string(PointerValue(&text)) + "].",
                                     "DirectIO Logging enabled, verbosity = [4].", "LEAVE [DirectIO]."}));
    EXPECT_EQ(data, 4) << "pData is never written";
    EXPECT_EQ(text, nullptr) << "pString is never written";

    data = -1;
    mark = LogSize();
    EXPECT_EQ(DirectIO(kForwardLogLines, &data, &text), 0);
    EXPECT_TRUE(Logged(mark, "DirectIO Logging disabled."));
    EXPECT_EQ(scale_.ResultCode(), 0);
}

TEST_F(DirectIOTest, ForwardedLinesReachTheControlObjectUntilSwitchedOff) {
    ForwardLines(4);
    EXPECT_EQ(Call(kClearOutput), 0);
    ASSERT_EQ(DirectIO(kForwardLogLines, -1), 0);
    EXPECT_EQ(Call(kClearOutput), 0);
    const auto texts = ForwardedTexts(co_.Calls());
    ASSERT_EQ(texts.size(), 7u);
    EXPECT_EQ(Lines(texts.begin(), texts.begin() + 5),
              (Lines{"DirectIO Logging enabled, verbosity = [4].", "LEAVE [DirectIO].", "LEAVE [ClearOutput].",
                     "ENTER [DirectIO].", "  * Command = [1000]."}));
    EXPECT_EQ(texts[5].rfind("  * pData   = [", 0), 0u) << texts[5];
    EXPECT_EQ(texts[6].rfind("  * pString = [", 0), 0u) << texts[6] << "; the sink goes before the disabled line";
}

TEST_F(DirectIOTest, ForwardingHonoursItsOwnVerbosity) {
    ForwardLines(2);
    EXPECT_EQ(Call(kClearOutput), 0);  // a level 3 line only
    EXPECT_EQ(ForwardedTexts(co_.Calls()), (Lines{"DirectIO Logging enabled, verbosity = [2]."}));
}

// A control object that calls back into the service object from SODirectIO: the lines the
// callback writes are not forwarded again, so forwarding cannot recurse.
TEST_F(DirectIOTest, LinesWrittenWhileForwardingAreNotForwarded) {
    struct Callback {
        static void OnCall(void* context, const ReceivedCall& call) {
            if (call.name == "SODirectIO") static_cast<ScaleClient*>(context)->CallLong(kClearOutput);
        }
    };
    co_.SetOnCall(&Callback::OnCall, &scale_);
    const size_t mark = LogSize();
    ForwardLines(4);
    co_.SetOnCall(nullptr, nullptr);
    EXPECT_EQ(ForwardedTexts(co_.Calls()), (Lines{"DirectIO Logging enabled, verbosity = [4].", "LEAVE [DirectIO]."}));
    const auto messages = LogSince(mark);
    EXPECT_EQ(std::count(messages.begin(), messages.end(), "LEAVE [ClearOutput]."), 2)
        << "each forwarded line made one callback, and its line went to the file only";
}

// Forwarding ends when the control object closes us or lets go of us; each forwarded call holds
// the control object for its length, since the control object may let go of itself meanwhile.
TEST_F(DirectIOTest, ForwardingEndsAtCloseAndAtTheLastReleaseAndEachCallHoldsTheControlObject) {
    struct Held {
        static void OnCall(void* context, const ReceivedCall& call) {
            auto& self = *static_cast<Held*>(context);
            if (call.name == "SODirectIO") self.references.push_back(self.co->ExtraReferences());
        }
        RecordingControlObject* co;
        std::vector<LONG> references;
    } held{&co_, {}};
    co_.SetOnCall(&Held::OnCall, &held);
    ForwardLines(4);
    EXPECT_EQ(scale_.Close(), 0);
    ScaleClient second = OpenedScale(kWeighDevice, &co_);
    ASSERT_TRUE(second);
    long verbosity = 4;
    BSTR text = nullptr;
    EXPECT_EQ(second.CallLong(kDirectIO, std::move(CallArgs().Long(kForwardLogLines).LongRef(&verbosity).TextRef(&text))), 0);
    second.reset();
    co_.SetOnCall(nullptr, nullptr);

    const auto texts = ForwardedTexts(co_.Calls());
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "ENTER [Close]."), 0) << "a line went to a control object that let go";
    EXPECT_EQ(std::count(texts.begin(), texts.end(), "LEAVE [DirectIO]."), 2);
    ASSERT_FALSE(held.references.empty());
    for (const LONG references : held.references) EXPECT_EQ(references, 1) << "a forwarded call held no reference";
    EXPECT_EQ(co_.ExtraReferences(), 0);
}

// A line goes to the control object only once the conversation that wrote it has given the port
// back: a handler that reads again from inside the line has the scale to itself.
constexpr long kNotReadYet = -2;
constexpr long kReadAgainMs = 2000;

TEST_F(DirectIOTest, ALineIsForwardedOnlyOnceItsConversationIsOver) {
    struct ReadAgain {
        static void OnCall(void* context, const ReceivedCall& call) {
            auto& self = *static_cast<ReadAgain*>(context);
            if (call.name != "SODirectIO" || self.result != kNotReadYet) return;
            if (call.text.find("Wait Object error reading scale") == std::string::npos) return;
            self.result = self.scale->ReadWeight(&self.weight, kReadAgainMs);
        }
        const ScaleClient* scale;
        long result;
        long weight;
    } readAgain{&scale_, kNotReadYet, -1};
    constexpr long kWeight = 6120;
    sim_.SetWeight(kWeight);
    sim_.QueueAnswer(trm07::kWeighCommand, trm07::Answer::Silence());
    ForwardLines(0);
    co_.SetOnCall(&ReadAgain::OnCall, &readAgain);
    long weight = -1;
    EXPECT_EQ(scale_.ReadWeight(&weight, kReadAgainMs), opos::OPOS_E_ILLEGAL) << "the silent scale's own read";
    co_.SetOnCall(nullptr, nullptr);
    EXPECT_EQ(readAgain.result, 0) << "the read inside the line found a conversation under way";
    EXPECT_EQ(readAgain.weight, kWeight);
}

TEST_F(DirectIOTest, OtherCommandsAreIllegal) {
    const size_t mark = LogSize();
    EXPECT_EQ(DirectIO(7, 0), opos::OPOS_E_ILLEGAL);
    EXPECT_EQ(scale_.ResultCode(), opos::OPOS_E_ILLEGAL);
    const auto entries = EntriesSince(mark);
    bool found = false;
    for (const auto& entry : entries) {
        if (entry.message != "Illegal DirectIO command [7].") continue;
        found = true;
        EXPECT_EQ(entry.level, "Significant (1)");
    }
    EXPECT_TRUE(found);
    EXPECT_EQ(Messages(entries).back(), "LEAVE [DirectIO].");
}

TEST_F(ServiceTest, DirectIONeedsNoClaim) {
    WriteProfile("DirectIOUnclaimed", "COM9");
    ScaleClient scale = OpenedScale("DirectIOUnclaimed");
    ASSERT_TRUE(scale);
    long data = -1;
    BSTR text = nullptr;
    EXPECT_EQ(scale.CallLong(kDirectIO, std::move(CallArgs().Long(kForwardLogLines).LongRef(&data).TextRef(&text))), 0);
    EXPECT_EQ(scale.Close(), 0);
}

}  // namespace
}  // namespace ka::test
