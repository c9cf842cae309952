#pragma once
// What every service-object test starts from: COM on this thread, profiles that are removed
// afterwards, and service objects created by ProgID.

#include <gtest/gtest.h>

#include <string>

#include "common/unique_handle.h"
#include "tests/service/frame_log_lines.h"
#include "tests/support/dispatch_client.h"
#include "tests/support/profile_fixture.h"

namespace ka::test {

constexpr char kScaleClass[] = "Scale";
constexpr char kShutdownBanner[] = "-=-=-=[  Kolvane-Aris Scale SHUTTING DOWN  ]=-=-=-";

class ServiceTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(apartment_.result(), S_OK) << HrText(apartment_.result()); }

    // A scale profile for `device` on `port` whose log goes to a fresh file; returns its path.
    std::string WriteProfile(const std::string& device, const std::string& port, int verbosity = 4) {
        if (logPath_.empty()) logPath_ = TempLogPath("frame");
        profiles_.WriteCableProfile(device, port, logPath_, verbosity);
        return logPath_;
    }

    ScaleClient NewScale() {
        ScaleClient scale;
        const HRESULT hr = ScaleClient::Create(scale);
        EXPECT_EQ(hr, S_OK) << "creating " << kScaleProgId << ": " << HrText(hr);
        return scale;
    }

    // A service object opened on `device` with `controlObject` (may be null).
    ScaleClient OpenedScale(const std::string& device, IDispatch* controlObject = nullptr) {
        ScaleClient scale = NewScale();
        if (scale) {
            EXPECT_EQ(scale.OpenService(kScaleClass, device, controlObject), 0) << "OpenService " << device;
        }
        return scale;
    }

    // The same, claimed and enabled.
    ScaleClient EnabledScale(const std::string& device, IDispatch* controlObject = nullptr) {
        ScaleClient scale = OpenedScale(device, controlObject);
        if (scale) {
            EXPECT_EQ(scale.Claim(0), 0) << "claiming " << device;
            EXPECT_EQ(scale.SetDeviceEnabled(true), 0) << "enabling " << device;
        }
        return scale;
    }

    size_t LogSize() const { return ReadLogEntries(logPath_).size(); }
    std::vector<std::string> LogSince(size_t mark) const { return MessagesAfter(logPath_, mark); }

    ComApartment apartment_;
    ProfileFixture profiles_;
    std::string logPath_;
};

using Lines = std::vector<std::string>;

namespace detail {
struct OtherThreadCall {
    IDispatch* object;
    long (*call)(const ScaleClient& scale);
    long result;
};

inline DWORD WINAPI RunOtherThreadCall(void* parameter) {
    auto* context = static_cast<OtherThreadCall*>(parameter);
    context->object->AddRef();
    ComPtr<IDispatch> held;
    *held.put() = context->object;
    ScaleClient scale(std::move(held));
    context->result = context->call(scale);
    return 0;
}
}  // namespace detail

// Another application: claim_holder opens `device`, claims it and holds the claim until Quit. It
// lives beside the test program, unless `program` names another build of it.
class ClaimHolder {
public:
    explicit ClaimHolder(const std::string& device, std::string program = "") {
        const std::string tag = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial_);
        const std::string readyName = "FrameClaimReady-" + tag;
        const std::string quitName = "FrameClaimQuit-" + tag;
        ready_.reset(CreateEventA(nullptr, TRUE, FALSE, readyName.c_str()));
        quit_.reset(CreateEventA(nullptr, TRUE, FALSE, quitName.c_str()));
        if (program.empty()) {
            char self[MAX_PATH] = {};
            GetModuleFileNameA(nullptr, self, MAX_PATH);
            program = self;
            program = program.substr(0, program.find_last_of('\\') + 1) + "claim_holder.exe";
        }
        std::string commandLine = "\"" + program + "\" \"" + device + "\" " + readyName + " " + quitName;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (ready_ && quit_ &&
            CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &process)) {
            process_.reset(process.hProcess);
            CloseHandle(process.hThread);
        }
    }
    ~ClaimHolder() { Quit(); }
    ClaimHolder(const ClaimHolder&) = delete;
    ClaimHolder& operator=(const ClaimHolder&) = delete;

    // True once it has asked for the claim, whatever the answer.
    bool WaitUntilAsked() const {
        if (!process_) return false;
        const HANDLE either[] = {ready_.get(), process_.get()};
        return WaitForMultipleObjects(2, either, FALSE, 30000) == WAIT_OBJECT_0;
    }
    // Lets go and ends: its Claim's result, or -1 when it did not end in time.
    long Quit() {
        if (!process_) return -1;
        SetEvent(quit_.get());
        DWORD exitCode = static_cast<DWORD>(-1);
        if (WaitForSingleObject(process_.get(), 30000) == WAIT_OBJECT_0) GetExitCodeProcess(process_.get(), &exitCode);
        process_.reset();
        return static_cast<long>(exitCode);
    }

private:
    static inline int serial_ = 0;
    ka::UniqueHandle ready_;
    ka::UniqueHandle quit_;
    ka::UniqueHandle process_;
};

// What another application's Claim of `device` answers.
inline long ClaimInAnotherProcess(const std::string& device) {
    ClaimHolder holder(device);
    if (!holder.WaitUntilAsked()) return -1;
    return holder.Quit();
}

// Runs one call on a thread of its own, with the instance's pointer used directly, as another
// thread of the application would: without marshalling.
inline long OnOtherThread(IDispatch* object, long (*call)(const ScaleClient& scale)) {
    detail::OtherThreadCall context{object, call, -1};
    ka::UniqueHandle thread(CreateThread(nullptr, 0, &detail::RunOtherThreadCall, &context, 0, nullptr));
    EXPECT_TRUE(thread) << "GLE=" << GetLastError();
    if (!thread) return -1;
    EXPECT_EQ(WaitForSingleObject(thread.get(), 30000), WAIT_OBJECT_0);
    return context.result;
}

}  // namespace ka::test
