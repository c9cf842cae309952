// Opening, configuring and closing the scale's port on the Wine prefix's serial cables.

#include "device/serial_port.h"

#include <gtest/gtest.h>

#include "device/profile_loader.h"
#include "tests/device/device_test_support.h"
#include "tests/support/cables.h"
#include "tests/support/profile_fixture.h"

namespace {

using ka::test::Expected;
using ka::test::kCableLine;
using ka::test::kScaleClass;

constexpr char kDevice[] = "dev-port";
const ka::test::Cable kCable{1};
const Expected kEnabledLine{2, "Device enabled successfully."};
const Expected kDisabledLine{2, "Device disabled successfully."};

class SerialPort : public ::testing::Test {
protected:
    long Load(const std::string& port, const std::vector<std::pair<std::string, std::string>>& values = {}) {
        device_.reset();
        profile_.WriteScaleProfile(kDevice, port, log_.path());
        for (const auto& [name, text] : values) profile_.SetDeviceString(kDevice, name, text);
        device_ = ka::test::MakeOpeningThreadDevice();
        const long result = pendrax::LoadDeviceProfile(*device_, kScaleClass, kDevice);
        skipLines_ = ka::test::ReadLogMessages(log_.path(), kDevice).size();
        return result;
    }
    // The lines written since the profile was loaded.
    std::vector<ka::test::LogMessage> PortMessages() const {
        auto messages = ka::test::ReadLogMessages(log_.path(), kDevice);
        messages.erase(messages.begin(), messages.begin() + std::min(skipLines_, messages.size()));
        return messages;
    }
    void TearDown() override { device_.reset(); }

    ka::test::TempLog log_{"device-port"};
    ka::test::ProfileFixture profile_;
    std::unique_ptr<ka::test::OpeningThreadDevice> device_;
    std::size_t skipLines_ = 0;
};

TEST_F(SerialPort, EnableOpensAndConfiguresThePortOnce) {
    ASSERT_EQ(Load(kCable.deviceSide(), {{"BaudRate", "4800"}, {"DataSize", "8"}, {"Parity", "None"}, {"StopBits", "2"}}),
              0);
    const long result = pendrax::SetPortOpen(*device_, true);
    ASSERT_EQ(result, 0) << "SetPortOpen(true) answered " << result;
    EXPECT_TRUE(device_->deviceEnabled);
    ASSERT_TRUE(device_->port.valid());

    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(device_->port.get(), &dcb)) << "GLE=" << GetLastError();
    EXPECT_EQ(dcb.BaudRate, 4800u);
    EXPECT_EQ(dcb.ByteSize, 8);
    EXPECT_EQ(dcb.Parity, NOPARITY);
    EXPECT_EQ(dcb.StopBits, TWOSTOPBITS);
    COMMTIMEOUTS timeouts = {};
    ASSERT_TRUE(GetCommTimeouts(device_->port.get(), &timeouts));
    EXPECT_EQ(timeouts.ReadIntervalTimeout, 100u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.ReadTotalTimeoutConstant, 0u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutMultiplier, 0u);
    EXPECT_EQ(timeouts.WriteTotalTimeoutConstant, 0u);
    DWORD mask = 0;
    ASSERT_TRUE(GetCommMask(device_->port.get(), &mask));
    EXPECT_EQ(mask, static_cast<DWORD>(EV_CTS));

    const HANDLE opened = device_->port.get();
    EXPECT_EQ(pendrax::SetPortOpen(*device_, true), 0);
    EXPECT_EQ(device_->port.get(), opened) << "enabling again reopened the port";
    EXPECT_LOG(PortMessages(), {kEnabledLine});
}

// The port driver keeps the line discipline of whichever program had the port last: flow control
// of every kind, and abort-on-error, under which one line error stops every later read.
TEST_F(SerialPort, EnableSetsTheWholeLineDisciplineWhateverTheLastProgramLeft) {
    {
        ka::UniqueFile other(CreateFileA(kCable.deviceSide().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                         OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(other.valid()) << "GLE=" << GetLastError();
        DCB left = {};
        left.DCBlength = sizeof left;
        ASSERT_TRUE(GetCommState(other.get(), &left));
        left.fOutxCtsFlow = TRUE;
        left.fRtsControl = RTS_CONTROL_HANDSHAKE;
        left.fAbortOnError = TRUE;
        left.fOutX = TRUE;
        left.fInX = TRUE;
        left.fDtrControl = DTR_CONTROL_HANDSHAKE;
        left.fOutxDsrFlow = TRUE;
        left.fNull = TRUE;
        ASSERT_TRUE(SetCommState(other.get(), &left)) << "GLE=" << GetLastError();
    }
    ASSERT_EQ(Load(kCable.deviceSide(), kCableLine), 0);
    ASSERT_EQ(pendrax::SetPortOpen(*device_, true), 0);

    DCB dcb = {};
    dcb.DCBlength = sizeof dcb;
    ASSERT_TRUE(GetCommState(device_->port.get(), &dcb)) << "GLE=" << GetLastError();
    EXPECT_TRUE(dcb.fBinary);
    EXPECT_FALSE(dcb.fOutxCtsFlow);
    EXPECT_FALSE(dcb.fOutxDsrFlow);
    EXPECT_EQ(dcb.fDtrControl, static_cast<DWORD>(DTR_CONTROL_ENABLE));
    EXPECT_EQ(dcb.fRtsControl, static_cast<DWORD>(RTS_CONTROL_ENABLE));
    EXPECT_FALSE(dcb.fOutX);
    EXPECT_FALSE(dcb.fInX);
    EXPECT_FALSE(dcb.fAbortOnError);
    EXPECT_FALSE(dcb.fNull);
}

TEST_F(SerialPort, DisableClosesThePortAndThenDoesNothing) {
    ASSERT_EQ(Load(kCable.deviceSide(), kCableLine), 0);
    ASSERT_EQ(pendrax::SetPortOpen(*device_, true), 0);
    const HANDLE opened = device_->port.get();
    EXPECT_EQ(pendrax::SetPortOpen(*device_, false), 0);
    EXPECT_FALSE(device_->deviceEnabled);
    EXPECT_FALSE(device_->port.valid());
    DWORD flags = 0;
    EXPECT_FALSE(GetHandleInformation(opened, &flags)) << "the port handle is still open";
    EXPECT_EQ(pendrax::SetPortOpen(*device_, false), 0);
    EXPECT_LOG(PortMessages(), {kEnabledLine, kDisabledLine});
}

TEST_F(SerialPort, APortThatCannotBeOpenedGives104WithoutALine) {
    // COM10 and above open only in the device-namespace form.
    for (const std::string& port : {std::string(ka::test::kMissingPort), std::string("COM10")}) {
        SCOPED_TRACE(port);
        ASSERT_EQ(Load(port), 0);
        EXPECT_EQ(pendrax::SetPortOpen(*device_, true), opos::OPOS_E_NOSERVICE);
        EXPECT_FALSE(device_->deviceEnabled);
        EXPECT_FALSE(device_->port.valid());
        EXPECT_LOG(PortMessages(), {});
    }
}

TEST_F(SerialPort, PortsAboveNineOpenInTheDeviceNamespaceForm) {
    ASSERT_EQ(Load("\\\\.\\COM10", kCableLine), 0);
    EXPECT_EQ(pendrax::SetPortOpen(*device_, true), 0);
    EXPECT_TRUE(device_->deviceEnabled);
    EXPECT_EQ(pendrax::SetPortOpen(*device_, false), 0);
    EXPECT_LOG(PortMessages(), {kEnabledLine, kDisabledLine});
}

TEST_F(SerialPort, ALineSettingTheDriverRejectsLeavesThePortClosed) {
    // Four data bits per character is more than the driver will do.
    ASSERT_EQ(Load(kCable.deviceSide(), {{"DataSize", "4"}, {"Parity", "None"}}), 0);
    EXPECT_EQ(pendrax::SetPortOpen(*device_, true), opos::OPOS_E_NOSERVICE);
    EXPECT_FALSE(device_->deviceEnabled);
    EXPECT_FALSE(device_->port.valid());
    EXPECT_LOG(PortMessages(), {{0, "SetCommState Failed, {n}"}});
    // Closed indeed: the next attempt with a good setting opens it.
    device_->settings.dataBits = 8;
    EXPECT_EQ(pendrax::SetPortOpen(*device_, true), 0);
}

}  // namespace
