// Faults of the scale, the line, the port, the log file and the profile, each through IDispatch
// with the simulator on a real cable: the result code, the log line, bounded time, and a device
// that weighs again afterwards.

#include <windows.h>

#include <string>
#include <vector>

#include "tests/reliability/reliability_fixture.h"
#include "tools/trm07sim/reply_forms.h"

namespace ka::test {
namespace {

constexpr char kDevice[] = "ReliabFaults";
constexpr Cable kCable{5};
constexpr long kReadTimeoutMs = 1000;
// One attempt ends by the 500 ms limit; the rest is slack for a loaded machine.
constexpr ULONGLONG kOneAttemptBoundMs = 1500;

const std::vector<LogExpectation> kFailureExit106 = {
    {4, "Routine returned unsuccessful result [ReadWeight] [106]."}, {3, "LEAVE [ReadWeight]."}};

std::string Repeated(const std::string& unit, size_t length) {
    std::string text;
    while (text.size() < length) text += unit;
    text.resize(length);
    return text;
}

// A reply fault: what the scale sends to one "W", and what the service object must make of it.
struct ReplyFault {
    const char* name;
    trm07::Answer answer;
    long result;
    std::vector<LogExpectation> lines;  // in order, other lines may come between
    bool asyncData;                     // the asynchronous read fires SOData rather than SOError
    bool lateTail = false;              // part of the answer comes after the read has ended
};

const std::string kReading = trm07::ReadingText(12345, 0);  // " 12.345 lb  S00 "

std::vector<ReplyFault> ReplyFaults() {
    const std::string garbage = "\x01\xfe\x7f\x80\x1b\xc3\xa9\x05\xff\x10\x11\x12\x13\x14\x15\x16";
    const std::string withNul = std::string(" 12.3") + '\0' + "45 lb  S00 ";
    const std::string nulFirst = std::string(1, '\0') + std::string(15, '\xff');
    const std::string tooLong = Repeated(kReading, 300);
    return {
        {"silent scale", trm07::Answer::Silence(), opos::OPOS_E_ILLEGAL,
         {{0, "Wait Object error reading scale: LE={n}, Response=258"}, {0, "Scale Communication Failure: LE:{n}"}},
         false},
        {"reply in two pieces within the line's quiet interval", trm07::Answer::Dribble(kReading, 6, 30), 0,
         {{4, "Success: LE={n}; Bytes=16; Data=" + kReading}, {3, "LEAVE [ReadWeight]."}}, true},
        {"reply in two pieces beyond the quiet interval", trm07::Answer::Dribble(kReading, 6, 300),
         opos::OPOS_E_ILLEGAL, {{0, "Only received 6 of an expected 16 bytes.  [" + kReading.substr(0, 6) + "]"}},
         false, true},
        {"reply longer than 256 characters", trm07::Answer::Text(tooLong), opos::OPOS_E_ILLEGAL,
         {{4, "Success: LE={n}; Bytes=256; Data=" + tooLong.substr(0, 256)},
          {0, "Only received 256 of an expected 16 bytes.  [" + tooLong.substr(0, 256) + "]"}},
         false},
        {"binary garbage", trm07::Answer::Text(garbage), opos::OPOS_E_ILLEGAL,
         {{0, "Problem interpreting scale reading string: \\x01\\xfe\\x7f\\x80\\x1b\\xc3\\xa9\\x05\\xff\\x10\\x11\\x12\\x13"
              "\\x14\\x15\\x16"}},
         false},
        {"NUL inside a reading", trm07::Answer::Text(withNul), opos::OPOS_E_ILLEGAL,
         {{0, "Only received 5 of an expected 16 bytes.  [ 12.3]"}}, false},
        {"NUL first", trm07::Answer::Text(nulFirst), opos::OPOS_E_ILLEGAL,
         {{0, "Only received 0 of an expected 16 bytes.  []"}}, false},
        {"status-only reply", trm07::Answer::Text(trm07::StatusOnlyText(30)), opos::OPOS_E_ILLEGAL,
         {{0, "Unusable Reading: LE:{n}; Hardware Status:" + trm07::StatusOnlyText(30)}}, false},
        // Carries an acceptable status but no weight: not a reading of 0.
        {"status-only reply with status 0", trm07::Answer::Text(trm07::StatusOnlyText(0)), opos::OPOS_E_ILLEGAL,
         {{0, "Unusable Reading: LE:{n}; Hardware Status:" + trm07::StatusOnlyText(0)}}, false},
        {"unacceptable status", trm07::Answer::Text(trm07::ReadingText(12345, 77)), opos::OPOS_E_ILLEGAL,
         {{0, "Unacceptable Hardware status of 77"}}, false},
    };
}

class FaultMatrixTest : public ReliabilityTest {
protected:
    void SetUp() override {
        ReliabilityTest::SetUp();
        if (HasFatalFailure()) return;
        StartOnCable(kDevice, kCable);
    }

    // Whatever the fault left on the line has reached the port before the next request.
    void WaitForAnswers(long requests) {
        EXPECT_TRUE(sim_.WaitForRequests(requests, kPatienceMs));
        sim_.WaitForAnswered(requests, 1000);
    }
};

TEST_F(FaultMatrixTest, ReplyFaultsAnswerTheirCodeAndLeaveTheDeviceUsable) {
    long requests = 0;
    for (auto& fault : ReplyFaults()) {
        SCOPED_TRACE(fault.name);
        sim_.QueueAnswer(trm07::kWeighCommand, fault.answer);
        const ULONGLONG mark = LogMark();
        const TimedRead read = Read(kReadTimeoutMs);
        EXPECT_EQ(read.result, fault.result);
        EXPECT_EQ(scale_.ResultCode(), fault.result);
        EXPECT_LT(read.elapsedMs, kOneAttemptBoundMs);
        if (fault.result == 0) {
            EXPECT_EQ(read.weight, 12345);
        } else {
            EXPECT_EQ(read.weight, 0) << "a failed read leaves 0 in the weight";
        }
        auto expected = fault.lines;
        if (fault.result != 0) expected.insert(expected.end(), kFailureExit106.begin(), kFailureExit106.end());
        EXPECT_LOGGED_IN_ORDER(LinesSince(mark), expected);
        WaitForAnswers(++requests);
        requests += ExpectUsableAgain(4321, fault.lateTail);
        WaitForAnswers(requests);
    }
}

TEST_F(FaultMatrixTest, ReplyFaultsOnTheEventThreadFireOneEvent) {
    SetAsyncMode(true);
    ASSERT_EQ(DirectIO(kForwardLogLines, 2), 0);
    long requests = 0;
    for (auto& fault : ReplyFaults()) {
        SCOPED_TRACE(fault.name);
        const size_t before = Events().size();
        sim_.QueueAnswer(trm07::kWeighCommand, fault.answer);
        lineWatch_.Expect(kLeavingEventThread);
        long weight = -1;
        const ULONGLONG start = Now();
        ASSERT_EQ(scale_.ReadWeight(&weight, kReadTimeoutMs), 0);
        ASSERT_TRUE(lineWatch_.Wait(kPatienceMs)) << "the event thread did not end";
        EXPECT_LT(Now() - start, kOneAttemptBoundMs);
        EXPECT_EQ(weight, -1) << "the weight arrives by event";
        const auto events = Events();
        ASSERT_EQ(events.size(), before + 1);
        if (fault.asyncData) {
            EXPECT_EQ(events.back().name, "SOData");
            EXPECT_EQ(events.back().args, std::vector<long>{12345});
        } else {
            EXPECT_EQ(events.back().name, "SOError");
            ASSERT_GE(events.back().args.size(), 3u);
            EXPECT_EQ(events.back().args[0], opos::OPOS_E_ILLEGAL);
        }
        const long expected = fault.asyncData ? 0 : static_cast<long>(opos::OPOS_E_ILLEGAL);
        EXPECT_EQ(scale_.ResultCode(), expected);
        WaitForAnswers(++requests);
        if (fault.lateTail) {
            // A read that may catch the tail, before the next fault's read.
            SetAsyncMode(false);
            requests += ExpectUsableAgain(4321, true);
            WaitForAnswers(requests);
            SetAsyncMode(true);
        }
        ASSERT_EQ(scale_.SetDeviceEnabled(false), 0);
        ASSERT_EQ(scale_.SetDeviceEnabled(true), 0);
    }
    SetAsyncMode(false);
    ExpectUsableAgain();
}

// The scale keeps reporting that the load is settling: retried until the deadline, then 112.
TEST_F(FaultMatrixTest, StatusTenForeverTimesOutAtTheDeadline) {
    constexpr long kTimeoutMs = 3000;
    sim_.SetStatus(10);
    const ULONGLONG mark = LogMark();
    const TimedRead read = Read(kTimeoutMs);
    EXPECT_EQ(read.result, opos::OPOS_E_TIMEOUT);
    EXPECT_EQ(read.weight, 0);
    EXPECT_GE(read.elapsedMs, static_cast<ULONGLONG>(kTimeoutMs));
    // The last attempt may start just before the deadline: a pause and one reading beyond it.
    EXPECT_LT(read.elapsedMs, static_cast<ULONGLONG>(kTimeoutMs) + 500 + 500 + 500);
    EXPECT_LOGGED_IN_ORDER(LinesSince(mark), {{0, "Unacceptable Hardware status of 10"},
                                               {0, "Unacceptable Hardware status of 10"},
                                               {4, "Routine returned unsuccessful result [ReadWeight] [112]."},
                                               {3, "LEAVE [ReadWeight]."}});
    ExpectUsableAgain();
}

// A reply that comes after its request gave up must not be taken for the answer to the next one.
TEST_F(FaultMatrixTest, LateReplyIsNotTakenForTheNextReading) {
    sim_.QueueAnswer(trm07::kWeighCommand, trm07::Answer::Text(trm07::ReadingText(11111, 0), 700));
    sim_.QueueAnswer(trm07::kWeighCommand, trm07::Answer::Text(trm07::ReadingText(22222, 0), 250));
    EXPECT_EQ(Read(kReadTimeoutMs).result, opos::OPOS_E_ILLEGAL);
    WaitForAnswers(1);
    const TimedRead read = Read(kReadTimeoutMs);
    EXPECT_EQ(read.result, 0);
    EXPECT_EQ(read.weight, 22222) << "the late reply of the earlier request was reported as this reading";
}

// Closes the scale's end of the cable once half a reply has gone out, from a thread of its own
// while the test's thread is inside ReadWeight.
struct Unplug {
    trm07::ScaleSimulator* sim;
    HANDLE halfSent;
    bool unplugged;

    static DWORD WINAPI Run(void* context) noexcept {
        auto* self = static_cast<Unplug*>(context);
        if (WaitForSingleObject(self->halfSent, kPatienceMs) != WAIT_OBJECT_0) return 1;
        self->sim->Close();
        self->unplugged = true;
        return 0;
    }
};

// The far end of the cable goes away while the scale is halfway through its reply.
TEST_F(FaultMatrixTest, ScaleUnpluggedMidReplyFailsTheReadAndWeighsAgainWhenBack) {
    ka::UniqueHandle halfSent(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(halfSent);
    sim_.SetObserver([&](const std::string& line) {
        if (line.rfind("-> ' 12.3'", 0) == 0) SetEvent(halfSent.get());
    });
    sim_.QueueAnswer(trm07::kWeighCommand, trm07::Answer{{{0, " 12.3"}, {5000, "45 lb  S00 "}}});

    Unplug unplug{&sim_, halfSent.get(), false};
    ka::UniqueHandle thread(CreateThread(nullptr, 0, Unplug::Run, &unplug, 0, nullptr));
    ASSERT_TRUE(thread);

    const ULONGLONG mark = LogMark();
    const TimedRead read = Read(kReadTimeoutMs);
    ASSERT_EQ(WaitForSingleObject(thread.get(), kPatienceMs), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_TRUE(unplug.unplugged);
    EXPECT_EQ(read.result, opos::OPOS_E_ILLEGAL);
    EXPECT_LT(read.elapsedMs, kOneAttemptBoundMs);
    EXPECT_LOGGED_IN_ORDER(LinesSince(mark), {{0, "Only received 5 of an expected 16 bytes.  [ 12.3]"},
                                               {4, "Routine returned unsuccessful result [ReadWeight] [106]."},
                                               {3, "LEAVE [ReadWeight]."}});

    // Unplugged: the scale is silent.
    EXPECT_EQ(Read(kReadTimeoutMs).result, opos::OPOS_E_ILLEGAL);
    // Plugged in again.
    sim_.SetObserver(nullptr);
    StartSimulator(kCable);
    ExpectUsableAgain();
}

// Faults met when the device is opened or enabled rather than while it weighs.
class SetupFaultTest : public ReliabilityTest {};

TEST_F(SetupFaultTest, MissingPortAtEnableAnswersNoServiceUntilTheProfileIsMended) {
    constexpr char kMissing[] = "ReliabNoPort";
    WriteProfile(kMissing, kMissingPort);
    OpenAndClaim(kMissing);
    const ULONGLONG mark = LogMark();
    const ULONGLONG start = Now();
    EXPECT_EQ(scale_.SetDeviceEnabled(true), opos::OPOS_E_NOSERVICE);
    EXPECT_LT(Now() - start, kOneAttemptBoundMs);
    EXPECT_EQ(scale_.GetPropertyNumber(opos::pidx::kDeviceEnabled), 0);
    const auto lines = LinesSince(mark);
    EXPECT_LOGGED_IN_ORDER(lines, {{4, "Routine returned unsuccessful result [SetPropertyNumber(DeviceEnabled)] [104]."},
                                   {3, "LEAVE [SetPropertyNumber(DeviceEnabled)]."}});
    long weight = -1;
    EXPECT_EQ(scale_.ReadWeight(&weight, kReadTimeoutMs), opos::OPOS_E_DISABLED);
    EXPECT_EQ(scale_.Close(), 0);

    // The profile mended, the same instance opens on the cable and weighs.
    StartSimulator(kCable);
    WriteCableProfile(kMissing, kCable);
    ASSERT_EQ(scale_.OpenService(kScaleClass, kMissing, &co_), 0);
    ASSERT_EQ(scale_.Claim(kClaimTimeoutMs), 0);
    ASSERT_EQ(scale_.SetDeviceEnabled(true), 0);
    ExpectUsableAgain();
}

// Another process that keeps the COM port open until told to let go.
class PortHolder {
public:
    explicit PortHolder(const std::string& port) {
        const std::string tag = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount64());
        const std::string readyName = "ReliabPortReady-" + tag, quitName = "ReliabPortQuit-" + tag;
        ready_.reset(CreateEventA(nullptr, TRUE, FALSE, readyName.c_str()));
        quit_.reset(CreateEventA(nullptr, TRUE, FALSE, quitName.c_str()));
        std::string command = "reliability_worker.exe hold-port " + port + " " + readyName + " " + quitName;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (!ready_ || !quit_ ||
            !CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
            return;
        }
        process_.reset(info.hProcess);
        CloseHandle(info.hThread);
        const HANDLE waits[] = {ready_.get(), process_.get()};
        holding_ = WaitForMultipleObjects(2, waits, FALSE, kPatienceMs) == WAIT_OBJECT_0;
    }
    ~PortHolder() { LetGo(); }
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;

    bool Holding() const { return holding_; }
    // 0 when the holder had the port and ended in time.
    long LetGo() {
        if (!process_) return -1;
        SetEvent(quit_.get());
        DWORD code = 1;
        if (WaitForSingleObject(process_.get(), kPatienceMs) != WAIT_OBJECT_0) TerminateProcess(process_.get(), 1);
        GetExitCodeProcess(process_.get(), &code);
        process_.reset();
        return static_cast<long>(code);
    }

private:
    ka::UniqueHandle ready_, quit_, process_;
    bool holding_ = false;
};

// Another application has the COM port open: enabling fails until it lets go.
TEST_F(SetupFaultTest, PortTakenByAnotherProcessAnswersNoServiceUntilItLetsGo) {
    StartSimulator(kCable);
    WriteCableProfile(kDevice, kCable);
    PortHolder holder(kCable.deviceSide());
    ASSERT_TRUE(holder.Holding()) << "the other process did not open " << kCable.deviceSide();
    {
        // Windows refuses a second open of a serial port; Wine, as root on a pseudo-terminal,
        // may not, and then there is no taken port to be refused.
        ka::UniqueFile second(CreateFileA(kCable.deviceSide().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                          OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
        if (second) GTEST_SKIP() << "this platform lets a second process open a serial port that is in use";
    }

    OpenAndClaim(kDevice);
    const ULONGLONG mark = LogMark();
    const ULONGLONG start = Now();
    EXPECT_EQ(scale_.SetDeviceEnabled(true), opos::OPOS_E_NOSERVICE);
    EXPECT_LT(Now() - start, kOneAttemptBoundMs);
    EXPECT_LOGGED_IN_ORDER(LinesSince(mark),
                           {{4, "Routine returned unsuccessful result [SetPropertyNumber(DeviceEnabled)] [104]."},
                            {3, "LEAVE [SetPropertyNumber(DeviceEnabled)]."}});

    EXPECT_EQ(holder.LetGo(), 0) << "the holder could not open the port first";
    EXPECT_EQ(scale_.SetDeviceEnabled(true), 0);
    ExpectUsableAgain();
}

// The log file cannot be opened: nothing is reported, the device works, and the line sink
// still receives every line.
TEST_F(SetupFaultTest, UnopenableLogFileLeavesTheDeviceWorking) {
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    std::string folder = temp;
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    const std::string paths[] = {folder, "C:\\reliab-no-such-folder\\deeper\\pendrax.log"};
    StartSimulator(kCable);
    for (const auto& path : paths) {
        SCOPED_TRACE(path);
        WriteCableProfile(kDevice, kCable);
        profiles_.SetProviderString("LogFile", path);
        RecordingControlObject co;
        ScaleClient scale = OpenedScale(kDevice, &co);
        ASSERT_TRUE(scale);
        EXPECT_EQ(scale.ResultCode(), 0);
        long verbosity = 4;
        BSTR text = nullptr;
        EXPECT_EQ(scale.CallLong(kDirectIO, std::move(CallArgs().Long(kForwardLogLines).LongRef(&verbosity).TextRef(&text))),
                  0);
        SysFreeString(text);
        ASSERT_EQ(scale.Claim(kClaimTimeoutMs), 0);
        ASSERT_EQ(scale.SetDeviceEnabled(true), 0);
        sim_.SetWeight(2500);
        long weight = -1;
        EXPECT_EQ(scale.ReadWeight(&weight, kReadTimeoutMs), 0);
        EXPECT_EQ(weight, 2500);
        EXPECT_EQ(scale.Close(), 0);
        bool forwarded = false;
        for (const auto& call : co.Calls())
            if (call.name == "SODirectIO" && call.text.find("LEAVE [ReadWeight].") != std::string::npos) forwarded = true;
        EXPECT_TRUE(forwarded) << "the line sink did not receive the lines";
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (path == folder) {
            EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY));
        } else {
            EXPECT_EQ(attributes, INVALID_FILE_ATTRIBUTES) << "a log file appeared";
        }
    }
}

// Every value of the profile has the wrong type or unreadable text: defaults, their lines, no
// failure; and the same instance works once the profile is mended.
TEST_F(SetupFaultTest, ProfileWithEveryValueMalformedFallsBackToDefaults) {
    constexpr char kMalformed[] = "ReliabMalformed";
    // The default log file of the prefix; the fixture puts the provider key back afterwards.
    constexpr char kDefaultLog[] = "c:\\OposAdmin.log";
    profiles_.SetProviderString("LogFile", "placeholder");
    {
        ka::UniqueKey provider;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProviderPath, 0, KEY_SET_VALUE, provider.put()), ERROR_SUCCESS);
        const DWORD number = 7;
        RegSetValueExA(provider.get(), "LogFile", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    }
    profiles_.SetDeviceString(kMalformed, "LogVerbosity", "loud");
    profiles_.SetDeviceString(kMalformed, "BaudRate", "fast");
    profiles_.SetDeviceString(kMalformed, "DataSize", "-x");
    profiles_.SetDeviceString(kMalformed, "Parity", "\x7f\x01");
    profiles_.SetDeviceDword(kMalformed, "StopBits", 2);
    profiles_.SetDeviceDword(kMalformed, "SerialPort", 5);
    profiles_.SetDeviceDword(kMalformed, "ModelNumber", 7);
    const ULONGLONG mark = FileSize(kDefaultLog);

    ScaleClient scale = NewScale();
    ASSERT_TRUE(scale);
    const ULONGLONG start = Now();
    EXPECT_EQ(scale.OpenService(kScaleClass, kMalformed, &co_), 0);
    EXPECT_LT(Now() - start, kOneAttemptBoundMs);
    const auto lines = LinesAfter(kDefaultLog, mark);
    EXPECT_LOGGED_IN_ORDER(lines, {{2, "-=-=-=-=[ Kolvane-Aris Scale STARTING UP ]=-=-=-=-"},
                                   {1, "Failed to query registry value [LogFile]; GLE=[{n}]."},
                                   {2, "Defaulting to log file [c:\\OposAdmin.log]."},
                                   {1, "Failed to query registry value [LogVerbosity]; GLE=[{n}]."},
                                   {2, "Defaulting to log file verbosity [2]."},
                                   {1, "Failed to query registry value [SerialPort]; GLE=[{n}]."},
                                   {2, "Defaulting to serial port [COM1]."},
                                   {1, "Failed to query registry value [ModelNumber]; GLE=[{n}]."},
                                   {2, "Defaulting to model number [(Generic)]."}});
    for (const auto& line : lines) {
        if (line.name != kMalformed) continue;
        EXPECT_LE(line.level, 2) << "the default verbosity is 2: " << line.message;
        EXPECT_EQ(line.message.find("Overriding"), std::string::npos) << "malformed value used: " << line.message;
    }
    EXPECT_EQ(scale.Close(), 0);

    // Mended, the same instance opens on the cable and weighs.
    StartSimulator(kCable);
    WriteCableProfile(kMalformed, kCable);
    scale_ = std::move(scale);
    ASSERT_EQ(scale_.OpenService(kScaleClass, kMalformed, &co_), 0);
    ASSERT_EQ(scale_.Claim(kClaimTimeoutMs), 0);
    ASSERT_EQ(scale_.SetDeviceEnabled(true), 0);
    ExpectUsableAgain();
}

}  // namespace
}  // namespace ka::test
