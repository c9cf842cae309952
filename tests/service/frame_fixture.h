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
        profiles_.WriteScaleProfile(device, port, logPath_, verbosity);
        // The cables are pseudo-terminals, which some hosts' kernels refuse 7 data bits and parity.
        profiles_.SetDeviceString(device, "DataSize", "8");
        profiles_.SetDeviceString(device, "Parity", "None");
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
