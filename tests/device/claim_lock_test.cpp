// The claim across processes: this test program starts copies of itself that take the claim.

#include "device/claim_lock.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "device/profile_loader.h"
#include "tests/device/device_test_support.h"
#include "tests/support/profile_fixture.h"

namespace {

using ka::test::kScaleClass;

constexpr char kChildSwitch[] = "--claim-child";
constexpr char kHoldMode[] = "hold";
constexpr char kTryMode[] = "try";
constexpr char kDetachMode[] = "release-in-detach";
constexpr char kPort[] = "COM4";
constexpr char kThisProcessDevice[] = "dev-claim-a";
constexpr char kOtherProcessDevice[] = "dev-claim-b";
constexpr DWORD kStepLimitMs = 20000;
constexpr char kTimedOutLine[] = "Timed-out trying to claim device; GLE=[{n}].";

// --- The child: holds the claim until told to let go, or tries it once -----------------------

int HoldClaim(const char* deviceName, const char* heldName, const char* releaseName) {
    auto device = ka::test::MakeOpeningThreadDevice();
    ka::UniqueHandle held(OpenEventA(EVENT_MODIFY_STATE, FALSE, heldName));
    ka::UniqueHandle release(OpenEventA(SYNCHRONIZE, FALSE, releaseName));
    if (!held || !release) return 200;
    if (pendrax::LoadDeviceProfile(*device, kScaleClass, deviceName) != 0) return 201;
    const long claimed = pendrax::ClaimLock(*device, opos::OPOS_FOREVER);
    if (claimed != 0) return static_cast<int>(claimed);
    SetEvent(held.get());
    WaitForSingleObject(release.get(), kStepLimitMs);
    pendrax::ReleaseClaimLock(*device);
    return 0;
}

int TryClaim(const char* deviceName, const char* timeout) {
    auto device = ka::test::MakeOpeningThreadDevice();
    if (pendrax::LoadDeviceProfile(*device, kScaleClass, deviceName) != 0) return 201;
    const long claimed = pendrax::ClaimLock(*device, std::atol(timeout));
    if (claimed == 0) pendrax::ReleaseClaimLock(*device);
    return static_cast<int>(claimed);
}

// Claims, then gives the claim back from a library's detach, under the loader's lock: 0 once the
// claim is free again, 203 when the library is missing, 204 when the mutex is still held after.
int ReleaseInDetach(const char* deviceName) {
    auto device = ka::test::MakeOpeningThreadDevice();
    if (pendrax::LoadDeviceProfile(*device, kScaleClass, deviceName) != 0) return 201;
    const long claimed = pendrax::ClaimLock(*device, 0);
    if (claimed != 0) return static_cast<int>(claimed);
    const HMODULE library = LoadLibraryA("detach_action.dll");
    using SetAction = void (*)(void (*)(void*), void*);
    const auto setAction =
        library ? reinterpret_cast<SetAction>(reinterpret_cast<void*>(GetProcAddress(library, "SetDetachAction"))) : nullptr;
    if (!setAction) return 203;
    pendrax::DeviceLink* link = device.get();
    setAction([](void* context) { pendrax::ReleaseClaimLock(*static_cast<pendrax::DeviceLink*>(context)); }, link);
    FreeLibrary(library);
    // Given back, the mutex is free for this thread to take.
    const DWORD wait = WaitForSingleObject(device->claimLock.get(), 0);
    if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) return 204;
    ReleaseMutex(device->claimLock.get());
    return 0;
}

int RunChild(int argc, char** argv) {
    if (argc == 6 && std::strcmp(argv[2], kHoldMode) == 0) return HoldClaim(argv[3], argv[4], argv[5]);
    if (argc == 5 && std::strcmp(argv[2], kTryMode) == 0) return TryClaim(argv[3], argv[4]);
    if (argc == 4 && std::strcmp(argv[2], kDetachMode) == 0) return ReleaseInDetach(argv[3]);
    return 202;
}

// --- The parent's side --------------------------------------------------------------------------

std::string UniqueName(const char* what) {
    static int serial = 0;
    return std::string("KA-Test-") + what + "-" + std::to_string(GetCurrentProcessId()) + "-" +
           std::to_string(++serial);
}

// A copy of this program running one child mode; killed if still running at the end.
class Child {
public:
    explicit Child(const std::string& arguments) {
        char path[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        std::string command = std::string("\"") + path + "\" " + kChildSwitch + " " + arguments;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info = {};
        if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
            process_.reset(info.hProcess);
            CloseHandle(info.hThread);
        }
    }
    ~Child() {
        if (process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) Kill();
    }
    bool started() const { return process_.valid(); }
    HANDLE process() const { return process_.get(); }
    void Kill() {
        TerminateProcess(process_.get(), 99);
        WaitForSingleObject(process_.get(), kStepLimitMs);
    }
    // The exit code, or -1 when the child did not end within the limit.
    long ExitCode() {
        if (WaitForSingleObject(process_.get(), kStepLimitMs) != WAIT_OBJECT_0) return -1;
        DWORD code = 0;
        GetExitCodeProcess(process_.get(), &code);
        return static_cast<long>(code);
    }

private:
    ka::UniqueHandle process_;
};

// Another process holding the claim on the port until Release or until it is killed.
class ForeignHolder {
public:
    ForeignHolder()
        : heldName_(UniqueName("held")),
          releaseName_(UniqueName("release")),
          held_(CreateEventA(nullptr, TRUE, FALSE, heldName_.c_str())),
          release_(CreateEventA(nullptr, TRUE, FALSE, releaseName_.c_str())),
          child_(std::string(kHoldMode) + " " + kOtherProcessDevice + " " + heldName_ + " " + releaseName_) {}
    ~ForeignHolder() {
        SetEvent(release_.get());
        child_.ExitCode();
    }

    // False when the child ended or the limit passed first.
    bool WaitUntilHeld() {
        if (!child_.started()) return false;
        const HANDLE waits[] = {held_.get(), child_.process()};
        return WaitForMultipleObjects(2, waits, FALSE, kStepLimitMs) == WAIT_OBJECT_0;
    }
    long Release() {
        SetEvent(release_.get());
        return child_.ExitCode();
    }
    void Kill() { child_.Kill(); }

private:
    std::string heldName_;
    std::string releaseName_;
    ka::UniqueHandle held_;
    ka::UniqueHandle release_;
    Child child_;
};

long TryClaimInAnotherProcess(long timeout) {
    Child child(std::string(kTryMode) + " " + kOtherProcessDevice + " " + std::to_string(timeout));
    return child.started() ? child.ExitCode() : -2;
}

class ClaimLock : public ::testing::Test {
protected:
    void SetUp() override {
        profile_.WriteScaleProfile(kThisProcessDevice, kPort, log_.path());
        profile_.WriteScaleProfile(kOtherProcessDevice, kPort, log_.path());
        device_ = ka::test::MakeOpeningThreadDevice();
        ASSERT_EQ(pendrax::LoadDeviceProfile(*device_, kScaleClass, kThisProcessDevice), 0);
        loadLines_ = ka::test::ReadLogMessages(log_.path(), kThisProcessDevice).size();
    }
    void TearDown() override { device_.reset(); }

    // The lines this process wrote after loading the profile.
    std::vector<ka::test::LogMessage> ClaimMessages() const {
        auto messages = ka::test::ReadLogMessages(log_.path(), kThisProcessDevice);
        messages.erase(messages.begin(), messages.begin() + std::min(loadLines_, messages.size()));
        return messages;
    }

    ka::test::TempLog log_{"device-claim"};
    ka::test::ProfileFixture profile_;
    std::unique_ptr<ka::test::OpeningThreadDevice> device_;
    std::size_t loadLines_ = 0;
};

TEST_F(ClaimLock, AnotherProcessHoldingTheClaimRefusesItAtOnce) {
    ForeignHolder holder;
    ASSERT_TRUE(holder.WaitUntilHeld());
    for (long timeout : {0L, 1000L, 5000L}) {
        const ULONGLONG start = GetTickCount64();
        const long result = pendrax::ClaimLock(*device_, timeout);
        const ULONGLONG elapsed = GetTickCount64() - start;
        EXPECT_EQ(result, opos::OPOS_E_CLAIMED) << "timeout " << timeout << " answered " << result;
        EXPECT_LT(elapsed, 500u) << "timeout " << timeout << " was waited on";
        EXPECT_FALSE(device_->claimed);
    }
    EXPECT_LOG(ClaimMessages(), {{0, kTimedOutLine}, {0, kTimedOutLine}, {0, kTimedOutLine}});
    EXPECT_EQ(holder.Release(), 0);

    EXPECT_EQ(pendrax::ClaimLock(*device_, 0), 0);
    EXPECT_TRUE(device_->claimed);
    EXPECT_EQ(TryClaimInAnotherProcess(1000), opos::OPOS_E_CLAIMED) << "the claim is now this process's";
    EXPECT_EQ(pendrax::ReleaseClaimLock(*device_), 0);
    EXPECT_FALSE(device_->claimed);
    EXPECT_EQ(TryClaimInAnotherProcess(0), 0) << "released, so free for another process";
}

// The thread that waits with timeout -1; it keeps running after its release so that an ownership
// taken twice would still be held rather than abandoned.
struct ForeverClaimer {
    pendrax::DeviceLink* device;
    ka::UniqueHandle claimed{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    ka::UniqueHandle released{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    ka::UniqueHandle finish{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    long result = -1;

    static DWORD WINAPI Run(void* context) noexcept {
        auto* self = static_cast<ForeverClaimer*>(context);
        self->result = pendrax::ClaimLock(*self->device, opos::OPOS_FOREVER);
        SetEvent(self->claimed.get());
        if (self->result == 0) pendrax::ReleaseClaimLock(*self->device);
        SetEvent(self->released.get());
        WaitForSingleObject(self->finish.get(), kStepLimitMs);
        return 0;
    }
};

TEST_F(ClaimLock, TimeoutForeverWaitsForTheHolderAndHoldsTheClaimOnce) {
    ForeignHolder holder;
    ASSERT_TRUE(holder.WaitUntilHeld());
    ForeverClaimer claimer{device_.get()};
    ka::UniqueHandle thread(CreateThread(nullptr, 0, ForeverClaimer::Run, &claimer, 0, nullptr));
    ASSERT_TRUE(thread.valid());

    EXPECT_EQ(WaitForSingleObject(claimer.claimed.get(), 300), static_cast<DWORD>(WAIT_TIMEOUT))
        << "claimed while another process held it";
    EXPECT_EQ(holder.Release(), 0);
    ASSERT_EQ(WaitForSingleObject(claimer.claimed.get(), kStepLimitMs), WAIT_OBJECT_0);
    EXPECT_EQ(claimer.result, 0);
    ASSERT_EQ(WaitForSingleObject(claimer.released.get(), kStepLimitMs), WAIT_OBJECT_0);
    EXPECT_FALSE(device_->claimed);

    EXPECT_EQ(TryClaimInAnotherProcess(0), 0) << "one release gave the claim back";
    SetEvent(claimer.finish.get());
    EXPECT_EQ(WaitForSingleObject(thread.get(), kStepLimitMs), WAIT_OBJECT_0);
    EXPECT_LOG(ClaimMessages(), {});
}

TEST_F(ClaimLock, ClaimOfAKilledHolderPassesToTheNextClaimer) {
    for (long timeout : {0L, opos::OPOS_FOREVER}) {
        SCOPED_TRACE("timeout " + std::to_string(timeout));
        ForeignHolder holder;
        ASSERT_TRUE(holder.WaitUntilHeld());
        holder.Kill();
        EXPECT_EQ(pendrax::ClaimLock(*device_, timeout), 0);
        EXPECT_TRUE(device_->claimed);
        EXPECT_EQ(TryClaimInAnotherProcess(0), opos::OPOS_E_CLAIMED);
        pendrax::ReleaseClaimLock(*device_);
    }
    EXPECT_LOG(ClaimMessages(), {});
}

// Gives the device's claim back on a thread of its own once told to go.
struct OtherThreadRelease {
    pendrax::DeviceLink* device;
    ka::UniqueHandle go{CreateEventA(nullptr, TRUE, FALSE, nullptr)};

    static DWORD WINAPI Run(void* context) noexcept {
        auto* self = static_cast<OtherThreadRelease*>(context);
        if (WaitForSingleObject(self->go.get(), kStepLimitMs) != WAIT_OBJECT_0) return 1;
        pendrax::ReleaseClaimLock(*self->device);
        return 0;
    }
};

// Another thread gives the claim back (a close on the event thread): until the mutex is free, the
// claiming thread must still find the claim its own, never held by someone else. The claiming
// thread looks again and again while the release runs, so that it looks in between the steps.
TEST_F(ClaimLock, WhileAnotherThreadGivesTheClaimBackTheClaimerNeverFindsItForeign) {
    constexpr int kRounds = 20;
    long foreign = 0;
    for (int round = 0; round < kRounds; ++round) {
        ASSERT_EQ(pendrax::ClaimLock(*device_, 0), 0);
        OtherThreadRelease release{device_.get()};
        ka::UniqueHandle thread(CreateThread(nullptr, 0, OtherThreadRelease::Run, &release, 0, nullptr));
        ASSERT_TRUE(thread.valid());
        SetEvent(release.go.get());
        const ULONGLONG deadline = GetTickCount64() + kStepLimitMs;
        while (WaitForSingleObject(thread.get(), 0) == WAIT_TIMEOUT && GetTickCount64() < deadline) {
            if (!pendrax::ClaimProbePasses(*device_)) ++foreign;
        }
        ASSERT_EQ(WaitForSingleObject(thread.get(), 0), WAIT_OBJECT_0) << "the release did not end";
        EXPECT_TRUE(pendrax::ClaimProbePasses(*device_)) << "given back, the claim is free";
    }
    EXPECT_EQ(foreign, 0) << "the claiming thread found its claim held by someone else while it was given back";
    EXPECT_EQ(TryClaimInAnotherProcess(0), 0);
}

// A close from a library's detach or a static destructor runs under the loader's lock, which a
// thread needs to end: giving the claim back must not wait for the keeper's end. The child is
// bounded, so a wedge fails the test.
TEST_F(ClaimLock, GivenBackUnderTheLoadersLockTheClaimIsFreeAtOnce) {
    Child child(std::string(kDetachMode) + " " + kOtherProcessDevice);
    ASSERT_TRUE(child.started());
    EXPECT_EQ(child.ExitCode(), 0) << "-1: the release under the loader's lock did not return";
}

TEST_F(ClaimLock, WithoutAClaimMutexTheClaimFails) {
    device_->claimLock.reset();
    EXPECT_EQ(pendrax::ClaimLock(*device_, 0), opos::OPOS_E_FAILURE);
    EXPECT_EQ(pendrax::ClaimLock(*device_, opos::OPOS_FOREVER), opos::OPOS_E_FAILURE);
    EXPECT_FALSE(device_->claimed);
    EXPECT_LOG(ClaimMessages(), {{0, "Failed to claim device; GLE=[{n}]."}, {0, "Failed to claim device; GLE=[{n}]."}});
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], kChildSwitch) == 0) return RunChild(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
