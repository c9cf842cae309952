#pragma once
// Device profiles written into the Wine prefix's real registry for one test, removed afterwards.

#include <windows.h>

#include <string>
#include <vector>

namespace ka::test {

constexpr char kScaleClassPath[] = "SOFTWARE\\OLEforRetail\\ServiceOPOS\\Scale";
constexpr char kProviderPath[] = "SOFTWARE\\OLEforRetail\\ServiceInfo\\Kolvane-Aris";

class ProfileFixture {
public:
    // `view` (KEY_WOW64_32KEY or KEY_WOW64_64KEY) picks a registry view of 64-bit Windows; 0 is
    // the calling program's own.
    explicit ProfileFixture(REGSAM view = 0) noexcept : view_(view) {}
    ~ProfileFixture();
    ProfileFixture(const ProfileFixture&) = delete;
    ProfileFixture& operator=(const ProfileFixture&) = delete;

    // Creates (or opens) the device key and sets REG_SZ values; an empty name is the default value.
    void SetDeviceString(const std::string& device, const std::string& name, const std::string& value);
    void SetDeviceDword(const std::string& device, const std::string& name, DWORD value);
    // LogFile is restored afterwards, any other value removed.
    void SetProviderString(const std::string& name, const std::string& value);
    // A TRM-07 profile on `port` logging to `logFile` at `verbosity`.
    void WriteScaleProfile(const std::string& device, const std::string& port, const std::string& logFile,
                           int verbosity = 4);
    // The same for a test cable: pseudo-terminals, which take 8 data bits without parity only.
    void WriteCableProfile(const std::string& device, const std::string& port, const std::string& logFile,
                           int verbosity = 4);
    void RemoveProviderKey();

private:
    void Track(const std::string& path);
    void SetString(const std::string& path, const std::string& name, const std::string& value) const;
    REGSAM view_;
    std::vector<std::string> created_;
    bool touchedProvider_ = false;
    bool hadProvider_ = false;
    std::string savedLogFile_;
    // Provider values other than LogFile that this fixture set, removed again.
    std::vector<std::string> providerValues_;
};

// A fresh, empty path for a log file under the test's temporary folder.
std::string TempLogPath(const std::string& stem);
// The whole text of a file, or "" when it cannot be read.
std::string ReadWholeFile(const std::string& path);
// The file's lines without their line ends.
std::vector<std::string> ReadLines(const std::string& path);

}  // namespace ka::test
