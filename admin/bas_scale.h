#pragma once
// Listing the device names of a class, and reading the settings the configuration panel shows.

#include <string>
#include <vector>

#include "admin/bas_win_reg.h"
#include "admin/setting_index.h"

namespace vantorel {
class winMain;
}

namespace vantorel::basScale {

// Appends every device name of the class found in either registry view whose key has a
// non-empty default value there, then selects the first entry when there is one.
void RefreshDeviceList(winMain& form, const std::string& deviceClass);
// How the device stands across the registry views, for the configuration panel: "" where Windows
// has one view or the device is in none.
std::string ViewStatus(const basWinReg::ViewComparison& views);

std::string GetSerialPort(const std::string& deviceName, const std::string& defaultText);
std::string GetBaudRate(const std::string& deviceName, const std::string& defaultText);
std::string GetParity(const std::string& deviceName, const std::string& defaultText);
std::string GetLogVerbosity(const std::string& deviceName, const std::string& defaultText);
// The provider-wide log file; the device name and default are not used.
std::string GetLogFile(const std::string& deviceName, const std::string& defaultText);

// The serial ports this machine has (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM), as the system names them.
std::vector<std::string> MachineSerialPorts();

}  // namespace vantorel::basScale
