#pragma once
// Device instances: the shared log-file path, creating and deleting device profiles, and the
// switches that enable groups of the main window's controls.

#include <windows.h>

#include <string>

namespace vantorel {
class winMain;
}

namespace vantorel::basMain {

// The program-wide device class, set to "Scale" when the main window loads; every device-key
// operation takes it as its key root.
extern std::string DeviceClass;

// Stores a non-empty path as the provider-wide log file (creating the provider key, with the
// default path, when it is missing), then shows the stored path in the window's log-file label.
void SetLogFilePath(winMain& form, const std::string& path);
// Creates the profile of a new device name and selects it in the instance list.
bool CreateDeviceInstance(winMain& form, const std::string& name);
// Asks, then deletes the profile of the device selected in the instance list.
bool DeleteDeviceInstance(winMain& form);
// Where the registry views disagree about the selected device, asks which view to follow and
// brings the other into step with it. False only when that failed.
bool BringDeviceIntoStep(winMain& form);

void EnableTestButtons(winMain& form, bool enabled);
void EnableInstanceList(winMain& form, bool enabled);
void EnableInstanceButtons(winMain& form, bool enabled);
void EnableConfigControls(winMain& form, bool enabled);
void EnableDeviceButtons(winMain& form, bool enabled);

// The local date and time in the system's general short form, for example "12/7/2024 9:05:31 AM".
std::string GeneralDateTime(const SYSTEMTIME& time);
// The text of the "Description" value written when a profile is created.
std::string ProfileDescription(const SYSTEMTIME& createdAt);

}  // namespace vantorel::basMain
