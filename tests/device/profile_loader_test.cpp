// Loading the device profile from the Wine prefix's real registry, with the lines it logs.

#include "device/profile_loader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

#include "tests/device/device_test_support.h"
#include "tests/support/profile_fixture.h"
#include "tests/support/read_only_key.h"

namespace {

using ka::test::Expected;
using ka::test::kScaleClass;
using ka::test::ProfileFixture;
using ka::test::ReadLogMessages;
using ka::test::TempLog;

constexpr char kDevice[] = "dev-profile";
constexpr char kBanner[] = "-=-=-=-=[ Kolvane-Aris Scale STARTING UP ]=-=-=-=-";
constexpr char kDefaultLogFile[] = "c:\\OposAdmin.log";

const Expected kBannerLine{2, kBanner};
const Expected kLimitDefaulted{2, "Defaulting to log file size limit [10] MB."};
constexpr std::uint64_t kMegabyte = 1048576;
const std::vector<Expected> kVerbosityDefaulted = {
    {1, "Failed to query registry value [LogVerbosity]; GLE=[{n}]."}, {2, "Defaulting to log file verbosity [2]."}};
const std::vector<Expected> kPortAndModelDefaulted = {
    {1, "Failed to query registry value [SerialPort]; GLE=[{n}]."},
    {2, "Defaulting to serial port [COM1]."},
    {1, "Failed to query registry value [ModelNumber]; GLE=[{n}]."},
    {2, "Defaulting to model number [(Generic)]."}};

std::vector<Expected> Joined(std::initializer_list<std::vector<Expected>> parts) {
    std::vector<Expected> all;
    for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

using Values = std::vector<std::pair<std::string, std::string>>;

// The serial and logging settings as one text, for clear failures (the log path aside).
std::string Described(const pendrax::DeviceSettings& s) {
    return "port " + s.serialPort + ", " + std::to_string(s.baudRate) + " baud, " + std::to_string(s.dataBits) +
           " bits, parity " + std::to_string(s.parity) + ", stop bits " + std::to_string(s.stopBits) + ", verbosity " +
           std::to_string(s.logVerbosity) + ", model " + s.modelNumber;
}

// A profile made of exactly these device values, logging into a fresh file.
class ProfileLoading : public ::testing::Test {
public:
    void WriteDevice(const Values& values) {
        profile_.SetDeviceString(kDevice, "", "KolvaneAris.ScaleTRM07");
        for (const auto& [name, text] : values) profile_.SetDeviceString(kDevice, name, text);
    }

    // Loads into a fresh device link; the link stays open for inspection.
    long Load(const Values& values) {
        WriteDevice(values);
        return LoadOnly();
    }
    long LoadOnly() {
        device_.reset();  // closes the previous log file before it is removed
        log_ = std::make_unique<TempLog>("device-profile");
        profile_.SetProviderString("LogFile", log_->path());
        device_ = ka::test::MakeOpeningThreadDevice();
        return pendrax::LoadDeviceProfile(*device_, kScaleClass, kDevice);
    }
    std::vector<ka::test::LogMessage> Messages() const { return ReadLogMessages(log_->path(), kDevice); }
    const pendrax::DeviceSettings& Settings() const { return device_->settings; }

protected:
    ProfileFixture profile_;
    std::unique_ptr<TempLog> log_;
    std::unique_ptr<ka::test::OpeningThreadDevice> device_;

    void TearDown() override { device_.reset(); }
};

TEST_F(ProfileLoading, FullProfileWithDescriptionsIsReadAsWritten) {
    const long result = Load({
        {"LogVerbosity", "4 - Internal Function Call Traces and Return Value Traces  ||| Logging verbosity level"},
        {"SerialPort", "COM3  ||| Port on which scale is attached"},
        {"ModelNumber", "TRM-07  ||| The model number of the scale represented by this profile."},
        {"BaudRate", "19200   ||| Baud rate of connection between scale and POS terminal"},
        {"DataSize", "8"},
        {"Parity", "Odd"},
        {"StartBits", "1"},
        {"StopBits", "2"},
    });
    ASSERT_EQ(result, 0) << "LoadDeviceProfile answered " << result;

    EXPECT_EQ(device_->settings.logFilePath, log_->path());
    EXPECT_EQ(Described(Settings()), Described({"COM3", 19200, 8, ODDPARITY, TWOSTOPBITS, "", 4, "TRM-07"}));
    EXPECT_EQ(device_->claimLockName, "KA-Scale-Claim-COM3");
    EXPECT_TRUE(device_->claimLock.valid());
    EXPECT_EQ(device_->log.DisplayName(), kDevice);

    const auto messages = Messages();
    EXPECT_LOG(messages, {kBannerLine, kLimitDefaulted,
                          {2, "Overriding BaudRate string 1 with user provided [19200]."},
                          {2, "Overriding Data Bits string 1 with user provided [8]."},
                          {2, "Overriding Stop Bits string 1 with user provided [2]."}});
    for (const auto& m : messages) EXPECT_EQ(m.category, "Main Thread") << m.text;
}

TEST_F(ProfileLoading, DeviceKeyWithoutValuesTakesEveryDefault) {
    ASSERT_EQ(Load({}), 0);
    EXPECT_EQ(Described(Settings()), Described({"COM1", 9600, 7, EVENPARITY, ONESTOPBIT, "", 2, "(Generic)"}));
    EXPECT_EQ(device_->claimLockName, "KA-Scale-Claim-COM1");
    EXPECT_LOG(Messages(), Joined({{kBannerLine, kLimitDefaulted}, kVerbosityDefaulted, kPortAndModelDefaulted}));
}

TEST_F(ProfileLoading, MissingDeviceKeyTakesEveryDefault) {
    ASSERT_EQ(LoadOnly(), 0);
    EXPECT_EQ(device_->settings.serialPort, "COM1");
    EXPECT_EQ(device_->settings.baudRate, 9600u);
    EXPECT_LOG(Messages(), Joined({{kBannerLine, kLimitDefaulted}, kVerbosityDefaulted, kPortAndModelDefaulted}));
}

TEST_F(ProfileLoading, ValuesOfAnotherTypeCountAsAbsent) {
    WriteDevice({{"LogVerbosity", "4"}, {"ModelNumber", "TRM-07"}});
    profile_.SetDeviceDword(kDevice, "BaudRate", 19200);
    profile_.SetDeviceDword(kDevice, "SerialPort", 3);
    profile_.SetDeviceDword(kDevice, "Parity", 'O');
    ASSERT_EQ(LoadOnly(), 0);
    EXPECT_EQ(device_->settings.baudRate, 9600u);
    EXPECT_EQ(device_->settings.parity, EVENPARITY);
    EXPECT_EQ(device_->settings.serialPort, "COM1");
    EXPECT_LOG(Messages(), {kBannerLine, kLimitDefaulted,
                            {1, "Failed to query registry value [SerialPort]; GLE=[{n}]."},
                            {2, "Defaulting to serial port [COM1]."}});
}

// Numbers follow the leading-number rule; a text that gives none keeps the default without a line.
TEST_F(ProfileLoading, BaudRateAndDataSizeFollowTheLeadingNumberRule) {
    const struct {
        const char* value;
        const char* text;
        DWORD stored;
        const char* line;  // null: the default is used without a line
    } cases[] = {
        {"BaudRate", "4800", 4800, "Overriding BaudRate string 1 with user provided [4800]."},
        {"BaudRate", " 2400 baud", 2400, "Overriding BaudRate string 1 with user provided [2400]."},
        {"BaudRate", "0", 0, "Overriding BaudRate string 1 with user provided [0]."},
        {"BaudRate", "   ", 0, "Overriding BaudRate string 1 with user provided [0]."},
        {"BaudRate", "-5", static_cast<DWORD>(-5), "Overriding BaudRate string 1 with user provided [-5]."},
        {"BaudRate", "+1200", 1200, "Overriding BaudRate string 1 with user provided [1200]."},
        {"BaudRate", "99999999999", 2147483647, "Overriding BaudRate string 1 with user provided [2147483647]."},
        {"BaudRate", "", 9600, nullptr},
        {"BaudRate", "abc", 9600, nullptr},
        {"BaudRate", "-0", 9600, nullptr},
        {"BaudRate", "+0", 9600, nullptr},
        // Data bits keep the number's low byte.
        {"DataSize", "264", 8, "Overriding Data Bits string 1 with user provided [8]."},
        {"DataSize", " 7", 7, "Overriding Data Bits string 1 with user provided [7]."},
        {"DataSize", "-1", 255, "Overriding Data Bits string 1 with user provided [255]."},
        {"DataSize", "6 bits  ||| Data bits", 6, "Overriding Data Bits string 1 with user provided [6]."},
        {"DataSize", "letters", 7, nullptr},
        {"DataSize", "", 7, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.value) + " \"" + c.text + "\"");
        ASSERT_EQ(Load({{"LogVerbosity", "2"}, {"SerialPort", "COM2"}, {"ModelNumber", "TRM-07"}, {c.value, c.text}}), 0);
        const bool baud = std::string(c.value) == "BaudRate";
        EXPECT_EQ(baud ? Settings().baudRate : DWORD{Settings().dataBits}, c.stored);
        std::vector<Expected> expected = {kBannerLine, kLimitDefaulted};
        if (c.line) expected.push_back({2, c.line});
        EXPECT_LOG(Messages(), expected);
    }
}

TEST_F(ProfileLoading, LogVerbosityZeroIsAcceptedAndOtherNonNumbersDefault) {
    ASSERT_EQ(Load({{"LogVerbosity", "0"}}), 0);
    EXPECT_EQ(device_->settings.logVerbosity, 0);
    // Verbosity 0 keeps even the banner and the fallback lines out of the file.
    EXPECT_LOG(Messages(), {});

    for (const char* text : {"-0", "x", ""}) {
        SCOPED_TRACE(std::string("LogVerbosity \"") + text + "\"");
        ASSERT_EQ(Load({{"LogVerbosity", text}, {"SerialPort", "COM2"}, {"ModelNumber", "TRM-07"}}), 0);
        EXPECT_EQ(device_->settings.logVerbosity, 2);
        EXPECT_LOG(Messages(), Joined({{kBannerLine, kLimitDefaulted}, kVerbosityDefaulted}));
    }
}

TEST_F(ProfileLoading, ParityIsChosenByItsFirstCapital) {
    const std::pair<const char*, BYTE> cases[] = {
        {"Even", EVENPARITY}, {"even", NOPARITY}, {"Odd", ODDPARITY},   {"odd", NOPARITY},
        {"Mark", MARKPARITY}, {"Space", SPACEPARITY}, {"S", SPACEPARITY}, {"None", NOPARITY},
        {"Blank", NOPARITY},  {"", NOPARITY},     {"  Even", NOPARITY},
    };
    for (const auto& [text, code] : cases) {
        SCOPED_TRACE(std::string("Parity \"") + text + "\"");
        ASSERT_EQ(Load({{"LogVerbosity", "2"}, {"SerialPort", "COM2"}, {"ModelNumber", "TRM-07"}, {"Parity", text}}), 0);
        EXPECT_EQ(device_->settings.parity, code);
        EXPECT_LOG(Messages(), {kBannerLine, kLimitDefaulted});
    }
}

TEST_F(ProfileLoading, StopBitsAreChosenByTheExactText) {
    const std::pair<const char*, BYTE> cases[] = {
        {"1", ONESTOPBIT},   {"One", ONESTOPBIT}, {"1.5", ONE5STOPBITS}, {"2", TWOSTOPBITS},
        {"2.0", ONESTOPBIT}, {"2  ||| Stop bits", TWOSTOPBITS}, {" 2", ONESTOPBIT},
    };
    for (const auto& [text, code] : cases) {
        SCOPED_TRACE(std::string("StopBits \"") + text + "\"");
        ASSERT_EQ(Load({{"LogVerbosity", "2"}, {"SerialPort", "COM2"}, {"ModelNumber", "TRM-07"}, {"StopBits", text}}),
                  0);
        EXPECT_EQ(device_->settings.stopBits, code);
        EXPECT_LOG(Messages(), {kBannerLine, kLimitDefaulted,
                                {2, "Overriding Stop Bits string 1 with user provided [" +
                                        std::to_string(static_cast<int>(code)) + "]."}});
    }
}

TEST_F(ProfileLoading, WithoutProviderKeyTheLogGoesToTheDefaultFile) {
    WriteDevice({{"LogVerbosity", "4"}, {"SerialPort", "COM2"}, {"ModelNumber", "TRM-07"}});
    profile_.RemoveProviderKey();
    const std::size_t before = ka::test::ReadWholeFile(kDefaultLogFile).size();
    device_ = ka::test::MakeOpeningThreadDevice();
    ASSERT_EQ(pendrax::LoadDeviceProfile(*device_, kScaleClass, kDevice), 0);
    EXPECT_EQ(device_->settings.logFilePath, kDefaultLogFile);
    EXPECT_LOG(ReadLogMessages(kDefaultLogFile, kDevice, before),
               {kBannerLine,
                {1, "Failed to query registry value [LogFile]; GLE=[{n}]."},
                {2, "Defaulting to log file [c:\\OposAdmin.log]."},
                kLimitDefaulted});
    EXPECT_EQ(device_->log.FileSizeLimit(), 10 * kMegabyte);
}

// The limit is read as the other provider texts are: its description cut, its leading number
// taken, in megabytes; 0 lets the file grow. Absent it takes the default quietly; a value that
// holds no limit is a failure worth a line.
TEST_F(ProfileLoading, LogFileLimitIsReadInMegabytesAndZeroTurnsRollingOff) {
    const std::vector<Expected> unusable = {{1, "Failed to query registry value [LogFileLimitMB]; GLE=[{n}]."},
                                            kLimitDefaulted};
    const struct {
        const char* text;  // null: absent
        std::uint64_t bytes;
        std::vector<Expected> lines;
    } cases[] = {
        {nullptr, 10 * kMegabyte, {kLimitDefaulted}},  // first: the rows after it set the value
        {"25", 25 * kMegabyte, {{2, "Overriding log file size limit with user provided [25] MB."}}},
        {"3  ||| Log file size limit in megabytes", 3 * kMegabyte,
         {{2, "Overriding log file size limit with user provided [3] MB."}}},
        {" 7.5 MB", 7 * kMegabyte, {{2, "Overriding log file size limit with user provided [7] MB."}}},
        {"99999999999", 2147483647 * kMegabyte,
         {{2, "Overriding log file size limit with user provided [2147483647] MB."}}},
        {"0", 0, {{2, "Log file size limit turned off by user provided [0]; the file is never rolled over."}}},
        {"-4", 10 * kMegabyte, unusable},
        {"ten", 10 * kMegabyte, unusable},
        {"", 10 * kMegabyte, unusable},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text ? std::string("LogFileLimitMB \"") + c.text + "\"" : "no LogFileLimitMB");
        if (c.text) profile_.SetProviderString("LogFileLimitMB", c.text);
        ASSERT_EQ(Load({{"LogVerbosity", "2"}, {"SerialPort", "COM2"}, {"ModelNumber", "TRM-07"}}), 0);
        EXPECT_EQ(device_->log.FileSizeLimit(), c.bytes);
        std::vector<Expected> expected = {kBannerLine};
        expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        EXPECT_LOG(Messages(), expected);
    }
}

TEST_F(ProfileLoading, DeviceNamesOnOnePortShareOneClaimMutex) {
    profile_.WriteScaleProfile("dev-shared-a", "COM4", "unused");
    profile_.WriteScaleProfile("dev-shared-b", "COM4", "unused");
    profile_.WriteScaleProfile("dev-other", "COM5", "unused");
    TempLog log("device-claim-name");
    profile_.SetProviderString("LogFile", log.path());
    auto a = ka::test::MakeOpeningThreadDevice();
    auto b = ka::test::MakeOpeningThreadDevice();
    auto other = ka::test::MakeOpeningThreadDevice();
    ASSERT_EQ(pendrax::LoadDeviceProfile(*a, kScaleClass, "dev-shared-a"), 0);
    ASSERT_EQ(pendrax::LoadDeviceProfile(*b, kScaleClass, "DEV-SHARED-B"), 0);
    ASSERT_EQ(pendrax::LoadDeviceProfile(*other, kScaleClass, "dev-other"), 0);
    EXPECT_EQ(a->claimLockName, "KA-Scale-Claim-COM4");
    EXPECT_EQ(b->claimLockName, a->claimLockName);
    EXPECT_EQ(other->claimLockName, "KA-Scale-Claim-COM5");

    // The mutex is one named object: held through one handle, it is taken for the other.
    ASSERT_EQ(WaitForSingleObject(a->claimLock.get(), 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(b->claimLock.get(), 0), WAIT_OBJECT_0) << "same thread, so it is taken again";
    ReleaseMutex(b->claimLock.get());
    ReleaseMutex(a->claimLock.get());
    ka::UniqueHandle named(OpenMutexA(SYNCHRONIZE, FALSE, "KA-Scale-Claim-COM4"));
    EXPECT_TRUE(named.valid()) << "GLE=" << GetLastError();
}

TEST_F(ProfileLoading, DeviceNamespacePortGetsAUsableClaimMutex) {
    ASSERT_EQ(Load({{"LogVerbosity", "2"}, {"SerialPort", "\\\\.\\COM10"}, {"ModelNumber", "TRM-07"}}), 0);
    EXPECT_EQ(device_->settings.serialPort, "\\\\.\\COM10");
    EXPECT_EQ(device_->claimLockName, "KA-Scale-Claim-COM10");
    EXPECT_TRUE(device_->claimLock.valid());
}

TEST_F(ProfileLoading, ReloadingReplacesTheClaimMutex) {
    WriteDevice({{"LogVerbosity", "2"}, {"SerialPort", "COM5"}, {"ModelNumber", "TRM-07"}});
    ASSERT_EQ(LoadOnly(), 0);
    profile_.SetDeviceString(kDevice, "SerialPort", "COM6");
    ASSERT_EQ(pendrax::LoadDeviceProfile(*device_, kScaleClass, kDevice), 0);
    EXPECT_EQ(device_->claimLockName, "KA-Scale-Claim-COM6");
    // The handle held now is COM6's: a second handle to that name sees the same ownership.
    ASSERT_EQ(WaitForSingleObject(device_->claimLock.get(), 0), WAIT_OBJECT_0);
    ka::UniqueHandle com6(OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, "KA-Scale-Claim-COM6"));
    ASSERT_TRUE(com6.valid());
    EXPECT_TRUE(ReleaseMutex(com6.get())) << "owned through the device's handle, so releasable through this one";
}

// --- The readers themselves ------------------------------------------------------------------

class ProfileReading : public ::testing::Test {
protected:
    ProfileFixture profile_;

    void SetRaw(const std::string& name, DWORD type, const void* data, DWORD size) {
        profile_.SetDeviceString(kDevice, "", "KolvaneAris.ScaleTRM07");
        ka::UniqueKey key;
        const std::string path = std::string(ka::test::kScaleClassPath) + "\\" + kDevice;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, key.put()), ERROR_SUCCESS);
        ASSERT_EQ(RegSetValueExA(key.get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    }
    long Read(const char* name, std::string& text) {
        return pendrax::ReadProfileString(kScaleClass, kDevice, name, text);
    }
};

TEST_F(ProfileReading, TextEndsAtItsFirstNulOrItsData) {
    SetRaw("Unterminated", REG_SZ, "COM2", 4);
    SetRaw("EmbeddedNul", REG_SZ, "COM3\0junk", 10);
    SetRaw("Empty", REG_SZ, "", 0);
    std::string text = "untouched";
    EXPECT_EQ(Read("Unterminated", text), 0);
    EXPECT_EQ(text, "COM2");
    EXPECT_EQ(Read("EmbeddedNul", text), 0);
    EXPECT_EQ(text, "COM3");
    EXPECT_EQ(Read("Empty", text), 0);
    EXPECT_EQ(text, "");
}

TEST_F(ProfileReading, FailuresAreWindowsErrorCodes) {
    const DWORD number = 9600;
    SetRaw("Dword", REG_DWORD, &number, sizeof number);
    SetRaw("Expandable", REG_EXPAND_SZ, "COM1", 5);
    std::string text = "untouched";
    EXPECT_EQ(Read("Dword", text), ERROR_INVALID_DATATYPE);
    EXPECT_EQ(Read("Expandable", text), ERROR_INVALID_DATATYPE);
    EXPECT_EQ(Read("Missing", text), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(pendrax::ReadProfileString(kScaleClass, "dev-no-such-key", "SerialPort", text), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(text, "untouched");

    long value = 7;
    EXPECT_EQ(pendrax::ReadProfileNumber(kScaleClass, kDevice, "Dword", value), ERROR_INVALID_DATATYPE);
    EXPECT_EQ(pendrax::ReadProfileNumber(kScaleClass, kDevice, "Missing", value), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(value, 7);
    SetRaw("Letters", REG_SZ, "abc", 4);
    EXPECT_EQ(pendrax::ReadProfileNumber(kScaleClass, kDevice, "Letters", value), -1);
    SetRaw("Leading", REG_SZ, "12abc", 6);
    EXPECT_EQ(pendrax::ReadProfileNumber(kScaleClass, kDevice, "Leading", value), 0);
    EXPECT_EQ(value, 12);
}

TEST_F(ProfileReading, NullClassAndNameReadTheProviderKey) {
    profile_.SetProviderString("LogFile", "c:\\pos\\scale.log  ||| shared log");
    std::string text;
    EXPECT_EQ(pendrax::ReadProfileString(nullptr, nullptr, "LogFile", text), 0);
    EXPECT_EQ(text, "c:\\pos\\scale.log");
}

using ka::test::ReadOnlyKey;

TEST_F(ProfileLoading, KeysThatOnlyAllowReadingAreStillRead) {
    WriteDevice({{"LogVerbosity", "4"}, {"SerialPort", "COM3"}, {"ModelNumber", "TRM-07"}, {"BaudRate", "4800"}});
    log_ = std::make_unique<TempLog>("device-profile");
    profile_.SetProviderString("LogFile", log_->path());
    {
        ReadOnlyKey device(std::string(ka::test::kScaleClassPath) + "\\" + kDevice);
        ReadOnlyKey provider(ka::test::kProviderPath);
        ASSERT_TRUE(device.applied() && provider.applied());
        ka::UniqueKey writable;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, ka::test::kProviderPath, 0, KEY_ALL_ACCESS, writable.put()),
                  ERROR_ACCESS_DENIED)
            << "the key should refuse full access";

        device_ = ka::test::MakeOpeningThreadDevice();
        ASSERT_EQ(pendrax::LoadDeviceProfile(*device_, kScaleClass, kDevice), 0);
    }
    EXPECT_EQ(device_->settings.logFilePath, log_->path());
    EXPECT_EQ(device_->settings.logVerbosity, 4);
    EXPECT_EQ(device_->settings.serialPort, "COM3");
    EXPECT_EQ(device_->settings.baudRate, 4800u);
}

}  // namespace
