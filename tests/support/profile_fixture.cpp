#include "tests/support/profile_fixture.h"

#include <fstream>
#include <sstream>

#include "common/unique_handle.h"

namespace ka::test {

namespace {
std::string DevicePath(const std::string& device) { return std::string(kScaleClassPath) + "\\" + device; }

ka::UniqueKey CreateKey(const std::string& path, REGSAM view) {
    ka::UniqueKey key;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, key.put(), nullptr);
    return key;
}
}  // namespace

ProfileFixture::~ProfileFixture() {
    for (auto it = created_.rbegin(); it != created_.rend(); ++it) RegDeleteKeyExA(HKEY_LOCAL_MACHINE, it->c_str(), view_, 0);
    if (touchedProvider_) {
        if (hadProvider_) {
            SetString(kProviderPath, "LogFile", savedLogFile_);
            auto key = CreateKey(kProviderPath, view_);
            for (const auto& name : providerValues_) RegDeleteValueA(key.get(), name.c_str());
        } else {
            RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kProviderPath, view_, 0);
        }
    }
}

void ProfileFixture::SetString(const std::string& path, const std::string& name, const std::string& value) const {
    auto key = CreateKey(path, view_);
    RegSetValueExA(key.get(), name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(value.c_str()), static_cast<DWORD>(value.size() + 1));
}

void ProfileFixture::Track(const std::string& path) {
    for (const auto& p : created_) {
        if (_stricmp(p.c_str(), path.c_str()) == 0) return;
    }
    created_.push_back(path);
}

void ProfileFixture::SetDeviceString(const std::string& device, const std::string& name, const std::string& value) {
    Track(DevicePath(device));
    SetString(DevicePath(device), name, value);
}

void ProfileFixture::SetDeviceDword(const std::string& device, const std::string& name, DWORD value) {
    Track(DevicePath(device));
    auto key = CreateKey(DevicePath(device), view_);
    RegSetValueExA(key.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

void ProfileFixture::SetProviderString(const std::string& name, const std::string& value) {
    if (!touchedProvider_) {
        touchedProvider_ = true;
        ka::UniqueKey key;
        hadProvider_ = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProviderPath, 0, KEY_READ | view_, key.put()) == ERROR_SUCCESS;
        if (hadProvider_) {
            char buffer[MAX_PATH] = {};
            DWORD size = sizeof buffer - 1;
            DWORD type = 0;
            if (RegQueryValueExA(key.get(), "LogFile", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) ==
                    ERROR_SUCCESS && type == REG_SZ) {
                savedLogFile_ = buffer;
            }
        }
    }
    if (name != "LogFile") providerValues_.push_back(name);
    SetString(kProviderPath, name, value);
}

void ProfileFixture::RemoveProviderKey() {
    if (!touchedProvider_) SetProviderString("LogFile", "c:\\OposAdmin.log");
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kProviderPath, view_, 0);
}

void ProfileFixture::WriteScaleProfile(const std::string& device, const std::string& port, const std::string& logFile,
                                       int verbosity) {
    SetDeviceString(device, "", "KolvaneAris.ScaleTRM07");
    SetDeviceString(device, "SerialPort", port);
    SetDeviceString(device, "BaudRate", "9600");
    SetDeviceString(device, "DataSize", "7");
    SetDeviceString(device, "Parity", "Even");
    SetDeviceString(device, "StopBits", "1");
    SetDeviceString(device, "ModelNumber", "TRM-07");
    SetDeviceString(device, "LogVerbosity", std::to_string(verbosity));
    SetProviderString("LogFile", logFile);
}

void ProfileFixture::WriteCableProfile(const std::string& device, const std::string& port, const std::string& logFile,
                                       int verbosity) {
    WriteScaleProfile(device, port, logFile, verbosity);
    SetDeviceString(device, "DataSize", "8");
    SetDeviceString(device, "Parity", "None");
}

std::string TempLogPath(const std::string& stem) {
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    std::string path = std::string(dir) + stem + "-" + std::to_string(GetCurrentProcessId()) + "-" +
                       std::to_string(GetTickCount64()) + ".log";
    DeleteFileA(path.c_str());
    return path;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    std::istringstream in(ReadWholeFile(path));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

}  // namespace ka::test
