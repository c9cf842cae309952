// Several applications on one machine: three processes log into one file at verbosity 4 and
// take turns with the claim of one serial port; a holder that dies leaves the claim to the next.

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "tests/reliability/reliability_fixture.h"
#include "tests/reliability/shared_tally.h"

namespace ka::test {
namespace {

constexpr Cable kCable{4};
constexpr const char* kDevices[] = {"ReliabShareA", "ReliabShareB", "ReliabShareC"};
constexpr long kClaimsEach = 40;
constexpr long kWeight = 3210;
constexpr DWORD kWorkersMs = 300000;
// The lines an instance writes before its line sink is installed: the start-up banner and the
// profile, the OpenService entry and arguments, the DirectIO entry and arguments.
constexpr size_t kMostLinesBeforeForwarding = 24;
constexpr char kCloseEntry[] = "ENTER [Close].";

const char* const kLevelTexts[] = {"Critical    (0)", "Significant (1)", "Information (2)", "Funct Trace (3)",
                                   "Data Flow   (4)"};
const char* const kCategoryTexts[] = {"Main Thread    ", "Event Thread   ", "               "};

std::string Tag() { return std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount64()); }

class Worker {
public:
    explicit Worker(std::string arguments) {
        std::string command = "reliability_worker.exe " + arguments;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
            process_.reset(info.hProcess);
            CloseHandle(info.hThread);
        } else {
            ADD_FAILURE() << "starting " << command << ": " << GetLastError();
        }
    }
    ~Worker() {
        if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.get(), 99);
            WaitForSingleObject(process_.get(), kPatienceMs);
        }
    }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    HANDLE Handle() const { return process_.get(); }
    // The exit code once ended within the limit, else -1.
    long ExitCode(DWORD timeoutMs) const {
        if (!process_ || WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(process_.get(), &code);
        return static_cast<long>(code);
    }
    void Kill() const {
        TerminateProcess(process_.get(), 9);
        WaitForSingleObject(process_.get(), kPatienceMs);
    }

private:
    ka::UniqueHandle process_;
};

// A whole line of the shared file: stamp, a known name, category and level, then a message.
bool IsWholeLine(const std::string& line) {
    auto digits = [&](size_t at) { return isdigit(static_cast<unsigned char>(line[at])) && isdigit(static_cast<unsigned char>(line[at + 1])); };
    if (line.size() < 66) return false;
    if (!digits(0) || line[2] != '/' || !digits(3) || line[5] != '/' || !digits(6) || line[8] != ' ') return false;
    if (!digits(9) || line[11] != ':' || !digits(12) || line[14] != ':' || !digits(15) || line[17] != ' ') return false;
    bool knownName = false;
    for (const char* device : kDevices) knownName |= line.compare(18, 16, (std::string(device) + "               ").substr(0, 15) + " ") == 0;
    bool knownCategory = false;
    for (const char* category : kCategoryTexts) knownCategory |= line.compare(34, 16, std::string(category) + " ") == 0;
    bool knownLevel = false;
    for (const char* level : kLevelTexts) knownLevel |= line.compare(50, 16, std::string(level) + " ") == 0;
    return knownName && knownCategory && knownLevel;
}

class CrossProcessTest : public ReliabilityTest {
protected:
    void SetUp() override {
        ReliabilityTest::SetUp();
        if (HasFatalFailure()) return;
        StartSimulator(kCable, kWeight);
        for (const char* device : kDevices) WriteCableProfile(device, kCable);
    }
};

TEST_F(CrossProcessTest, ThreeProcessesShareOneLogFileAndTakeTurnsWithTheClaim) {
    const std::string tag = Tag();
    const std::string tallyName = "ReliabTally-" + tag, goName = "ReliabGo-" + tag, freedName = "ReliabFreed-" + tag;
    SharedTallyView tally(tallyName.c_str(), true);
    ASSERT_TRUE(tally);
    tally->weight = kWeight;
    ka::UniqueHandle go(CreateEventA(nullptr, TRUE, FALSE, goName.c_str()));
    ka::UniqueHandle freed(CreateEventA(nullptr, FALSE, FALSE, freedName.c_str()));
    ASSERT_TRUE(go && freed);

    std::vector<std::string> linesFiles;
    std::vector<std::unique_ptr<Worker>> workers;
    for (const char* device : kDevices) {
        linesFiles.push_back(TempLogPath(std::string("forwarded-") + device));
        workers.push_back(std::make_unique<Worker>(std::string("share ") + device + " " + std::to_string(kClaimsEach) +
                                                   " " + linesFiles.back() + " " + goName + " " + tallyName + " " +
                                                   freedName));
    }
    const ULONGLONG start = Now();
    SetEvent(go.get());
    for (size_t i = 0; i < workers.size(); ++i) {
        EXPECT_EQ(workers[i]->ExitCode(kWorkersMs), 0) << "worker " << kDevices[i];
    }
    const ULONGLONG elapsed = Now() - start;

    EXPECT_EQ(tally->overlaps, 0) << "two processes held the claim at once";
    EXPECT_EQ(tally->holders, 0);
    EXPECT_EQ(tally->claims, static_cast<LONG>(kClaimsEach * 3));
    EXPECT_EQ(tally->badReads, 0) << "reads under the claim that did not weigh";

    // Exactly one header block, then whole lines only.
    const auto fileLines = ReadLines(logPath_);
    size_t titles = 0, whole = 0, broken = 0;
    std::vector<std::vector<std::string>> perDevice(3);
    for (const auto& line : fileLines) {
        if (line.empty()) continue;
        if (line.rfind("Date     Time     Display Name", 0) == 0) {
            ++titles;
            continue;
        }
        if (line.rfind("-------- --------", 0) == 0) continue;
        if (!IsWholeLine(line)) {
            if (++broken <= 5) ADD_FAILURE() << "not a whole line: [" << line << "]";
            continue;
        }
        ++whole;
        for (size_t d = 0; d < 3; ++d)
            if (line.compare(18, std::string(kDevices[d]).size(), kDevices[d]) == 0 && line[18 + std::string(kDevices[d]).size()] == ' ')
                perDevice[d].push_back(line);
    }
    EXPECT_EQ(titles, 1u) << "header blocks in the shared file";
    EXPECT_EQ(broken, 0u) << "broken or interleaved lines";

    // Every line each process wrote once its sink was installed and before it closed is in the
    // file, whole, once, in its order; forwarding ends at Close, so the close's own lines follow.
    size_t forwardedTotal = 0;
    for (size_t d = 0; d < 3; ++d) {
        SCOPED_TRACE(kDevices[d]);
        const auto forwarded = ReadLines(linesFiles[d]);
        DeleteFileA(linesFiles[d].c_str());
        forwardedTotal += forwarded.size();
        ASSERT_GT(forwarded.size(), static_cast<size_t>(kClaimsEach)) << "too few forwarded lines";
        const auto& all = perDevice[d];
        const auto close = std::find_if(all.rbegin(), all.rend(), [](const std::string& line) {
            return line.size() >= std::strlen(kCloseEntry) && line.compare(line.size() - std::strlen(kCloseEntry), std::string::npos, kCloseEntry) == 0;
        });
        ASSERT_NE(close, all.rend()) << "the process did not close";
        const std::vector<std::string> written(all.begin(), close.base() - 1);
        ASSERT_GE(written.size(), forwarded.size());
        const size_t before = written.size() - forwarded.size();
        EXPECT_LE(before, kMostLinesBeforeForwarding) << "lines in the file that the process did not write";
        size_t mismatches = 0;
        for (size_t i = 0; i < forwarded.size(); ++i) {
            if (written[before + i] != forwarded[i] && ++mismatches <= 3) {
                ADD_FAILURE() << "line " << i << " differs:\n  file: " << written[before + i] << "\n  sent: " << forwarded[i];
            }
        }
        EXPECT_EQ(mismatches, 0u);
    }
    std::printf("[ shared   ] 3 processes, %ld claims, %ld refused while another held it, %.1f s\n", tally->claims,
                tally->refusals, elapsed / 1000.0);
    std::printf("[ shared   ] %zu whole lines in the file, %zu forwarded lines all found in order\n", whole,
                forwardedTotal);
    std::fflush(stdout);
}

TEST_F(CrossProcessTest, KillingTheHolderFreesTheClaimForTheNext) {
    const std::string tag = Tag();
    auto startHolder = [&](const std::string& readyName, ka::UniqueHandle& ready) {
        ready.reset(CreateEventA(nullptr, TRUE, FALSE, readyName.c_str()));
        return std::make_unique<Worker>(std::string("hold-claim ") + kDevices[0] + " " + readyName);
    };
    ka::UniqueHandle ready;
    auto holder = startHolder("ReliabHeld-" + tag, ready);
    const HANDLE waits[] = {ready.get(), holder->Handle()};
    ASSERT_EQ(WaitForMultipleObjects(2, waits, FALSE, kPatienceMs), static_cast<DWORD>(WAIT_OBJECT_0))
        << "the holder did not claim; exit code " << holder->ExitCode(0);

    scale_ = OpenedScale(kDevices[1], &co_);
    ASSERT_TRUE(scale_);
    EXPECT_EQ(scale_.Claim(0), opos::OPOS_E_CLAIMED);
    EXPECT_EQ(scale_.Claim(opos::OPOS_FOREVER), opos::OPOS_E_CLAIMED) << "the probe decides before any wait";

    holder->Kill();
    const ULONGLONG start = Now();
    EXPECT_EQ(scale_.Claim(0), 0) << "the dead holder's claim was not freed";
    EXPECT_LT(Now() - start, 1000u);
    ASSERT_EQ(scale_.SetDeviceEnabled(true), 0);
    ExpectUsableAgain(kWeight);
    EXPECT_EQ(scale_.Release(), 0);

    // Released exactly once: the next process claims at once.
    ka::UniqueHandle readyAgain;
    auto next = startHolder("ReliabHeldAgain-" + tag, readyAgain);
    const HANDLE waitsAgain[] = {readyAgain.get(), next->Handle()};
    EXPECT_EQ(WaitForMultipleObjects(2, waitsAgain, FALSE, kPatienceMs), static_cast<DWORD>(WAIT_OBJECT_0))
        << "the next process could not claim; exit code " << next->ExitCode(0);
    EXPECT_EQ(scale_.Claim(0), opos::OPOS_E_CLAIMED);
}

}  // namespace
}  // namespace ka::test
