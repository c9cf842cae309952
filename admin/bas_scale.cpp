#include "admin/bas_scale.h"

#include <windows.h>

#include <algorithm>

#include "admin/bas_main.h"
#include "admin/bas_win_reg.h"
#include "admin/win_main.h"
#include "common/profile_schema.h"
#include "common/unique_handle.h"

namespace vantorel::basScale {

namespace {

using ka::profile::Schema;
using ka::profile::Value;
constexpr char kDefaultValueName[] = "";
constexpr char kSerialCommPath[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";

// Only keys that name a service object in their default value are device profiles: in any view,
// since an application of that view's bitness finds it there.
bool IsDeviceProfile(const std::string& deviceClass, const std::string& name) {
    for (const basWinReg::RegistryView& view : basWinReg::ProfileViews()) {
        if (!basWinReg::GetProfileValueIn(view, deviceClass, name, kDefaultValueName, "").empty()) return true;
    }
    return false;
}

std::string DeviceSetting(const std::string& deviceName, const char* valueName, const std::string& defaultText) {
    return basWinReg::GetProfileValue(basMain::DeviceClass, deviceName, valueName, defaultText);
}

}  // namespace

void RefreshDeviceList(winMain& form, const std::string& deviceClass) {
    for (const std::string& name : basWinReg::DeviceNames(deviceClass)) {
        if (IsDeviceProfile(deviceClass, name)) form.AddListEntry(MainControl::lstInstances, name);
    }
    if (form.ListCount(MainControl::lstInstances) > 0) form.SelectListPosition(MainControl::lstInstances, 0);
}

std::string ViewStatus(const basWinReg::ViewComparison& views) {
    const std::vector<basWinReg::RegistryView>& all = basWinReg::ProfileViews();
    const std::vector<bool>& holds = views.holdsDevice;
    const auto shown = std::find(holds.begin(), holds.end(), true);
    if (all.size() < 2 || shown == holds.end()) return std::string();
    // The panel shows the first view that holds the device.
    const std::string shownView = all[static_cast<std::size_t>(shown - holds.begin())].name;
    if (std::find(holds.begin(), holds.end(), false) != holds.end()) return "Only in the " + shownView + " view";
    if (basWinReg::OutOfStep(views)) return "Views differ; " + shownView + " shown";
    return "Same in both registry views";
}

std::string GetSerialPort(const std::string& deviceName, const std::string& defaultText) {
    return DeviceSetting(deviceName, Schema(Value::SerialPort).name, defaultText);
}

std::string GetBaudRate(const std::string& deviceName, const std::string& defaultText) {
    return DeviceSetting(deviceName, Schema(Value::BaudRate).name, defaultText);
}

std::string GetParity(const std::string& deviceName, const std::string& defaultText) {
    return DeviceSetting(deviceName, Schema(Value::Parity).name, defaultText);
}

std::string GetLogVerbosity(const std::string& deviceName, const std::string& defaultText) {
    return DeviceSetting(deviceName, Schema(Value::LogVerbosity).name, defaultText);
}

std::string GetLogFile(const std::string&, const std::string&) {
    return basWinReg::GetProfileValue(basWinReg::kProviderPseudoClass, ka::profile::kProviderName,
                                      ka::profile::kLogFileValue, ka::profile::kDefaultLogFile);
}

std::vector<std::string> MachineSerialPorts() {
    std::vector<std::string> ports;
    ka::UniqueKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSerialCommPath, 0, KEY_QUERY_VALUE, key.put()) != ERROR_SUCCESS) {
        return ports;
    }
    for (DWORD index = 0;; ++index) {
        char name[MAX_PATH];
        DWORD nameSize = sizeof name;
        char port[MAX_PATH] = {};
        DWORD portSize = sizeof port - 1;
        DWORD type = REG_NONE;
        const LONG rc = RegEnumValueA(key.get(), index, name, &nameSize, nullptr, &type, reinterpret_cast<BYTE*>(port),
                                      &portSize);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        // A value that is no port name, or too long for one, is passed over, not the end.
        if (rc == ERROR_SUCCESS && type == REG_SZ) ports.emplace_back(port);
    }
    return ports;
}

}  // namespace vantorel::basScale
