#include "admin/bas_main.h"

#include <initializer_list>

#include "admin/bas_scale.h"
#include "admin/bas_win_reg.h"
#include "admin/message_box.h"
#include "admin/win_main.h"
#include "common/profile_schema.h"

namespace vantorel::basMain {

std::string DeviceClass;

namespace {

constexpr char kNewInstanceErrorTitle[] = "New Instance Error";
constexpr char kDeleteQuestionTitle[] = "Delete Device Instance";
constexpr char kDeleteErrorTitle[] = "Delete Error";

std::string LowerCase(std::string text) {
    if (!text.empty()) CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::string UpperCase(std::string text) {
    if (!text.empty()) CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// A number as a message shows it: a blank stands in for the sign of a non-negative value.
std::string SignedNumber(long value) { return (value >= 0 ? " " : "") + std::to_string(value); }

void EnableGroup(winMain& form, std::initializer_list<MainControl> group, bool enabled) {
    for (MainControl control : group) form.SetEnabled(control, enabled);
}

// A profile key that opens under the name in any casing already exists, whoever made it.
bool DeviceInstanceExists(const std::string& name) {
    return basWinReg::DeviceKeyExists(DeviceClass, LowerCase(name)) == 1 ||
           basWinReg::ProfileKeyStatus(DeviceClass, name) == ERROR_SUCCESS;
}

// Both formatters answer the length needed (with its NUL) when given no buffer.
template <typename Formatter>
std::string Formatted(Formatter format) {
    const int length = format(nullptr, 0);
    if (length <= 0) return std::string();
    std::string text(static_cast<std::size_t>(length), '\0');
    const int written = format(text.data(), length);
    text.resize(written > 0 ? static_cast<std::size_t>(written - 1) : 0);
    return text;
}

}  // namespace

std::string GeneralDateTime(const SYSTEMTIME& time) {
    const std::string date = Formatted([&time](LPSTR out, int size) {
        return GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &time, nullptr, out, size);
    });
    const std::string clock = Formatted([&time](LPSTR out, int size) {
        return GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &time, nullptr, out, size);
    });
    return date + " " + clock;
}

std::string ProfileDescription(const SYSTEMTIME& createdAt) {
    return "Kolvane-Aris TRM-07 Scale OPOS Device Profile, created on " + GeneralDateTime(createdAt) + ".";
}

void SetLogFilePath(winMain& form, const std::string& path) {
    namespace profile = ka::profile;
    const long status = basWinReg::ProviderKeyStatus(profile::kProviderName);
    if (status == ERROR_FILE_NOT_FOUND || !path.empty()) {
        if (status == ERROR_FILE_NOT_FOUND &&
            basWinReg::CreateProfileKey(basWinReg::kProviderPseudoClass, profile::kProviderName) != ERROR_SUCCESS) {
            ShowMessage(form.Window(), "Error trying to set the LogFile path.");
            return;
        }
        const long rc = basWinReg::SetProfileValue(basWinReg::kProviderPseudoClass, profile::kProviderName,
                                                   profile::kLogFileValue,
                                                   path.empty() ? profile::kDefaultLogFile : path, "");
        if (rc != ERROR_SUCCESS) ShowMessage(form.Window(), SettingNotWritten(profile::kLogFileValue, rc));
    }
    form.SetControlText(MainControl::lblLogFile, basScale::GetLogFile({}, {}));
}

bool CreateDeviceInstance(winMain& form, const std::string& name) {
    // A backslash would make nested keys that no list shows and no deletion removes whole.
    if (name.empty() || name.find('\\') != std::string::npos) {
        ShowMessage(form.Window(), "Invalid Device Name.", kNewInstanceErrorTitle, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    SetLogFilePath(form, "");
    if (DeviceInstanceExists(name)) {
        ShowMessage(form.Window(), "A Device Instance with that name already exists.", kNewInstanceErrorTitle,
                    MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    const long code = basWinReg::CreateProfileKey(DeviceClass, LowerCase(name));
    if (code != ERROR_SUCCESS) {
        ShowMessage(form.Window(), "Error creating new device instance [" + SignedNumber(code) + "]");
        return false;
    }
    SYSTEMTIME now;
    GetLocalTime(&now);
    const std::string description = ProfileDescription(now);
    // The "Description" value is made at each creation from the current date and time.
    for (const ka::profile::ValueSpec& value : ka::profile::kDeviceValues) {
        basWinReg::SetProfileValue(DeviceClass, name, value.name, value.createdText ? value.createdText : description,
                                   value.createdDescription);
    }
    const int position = form.AddListEntry(MainControl::lstInstances, name);
    form.SelectListPosition(MainControl::lstInstances, position);
    return true;
}

bool DeleteDeviceInstance(winMain& form) {
    const std::string name = form.ControlText(MainControl::lstInstances);
    // Without a selected name the path would be the class key itself.
    if (name.empty()) return true;
    if (ShowMessage(form.Window(), "Are you sure you want to delete " + name + "?", kDeleteQuestionTitle,
                    MB_YESNO | MB_DEFBUTTON2) != IDYES) {
        return true;
    }
    if (basWinReg::DeleteProfileKey(UpperCase(DeviceClass), UpperCase(name)) != ERROR_SUCCESS) {
        ShowMessage(form.Window(), "Error trying to delete device " + name + ".", kDeleteErrorTitle,
                    MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    form.RemoveListEntry(MainControl::lstInstances, form.ListPosition(MainControl::lstInstances));
    form.SelectListPosition(MainControl::lstInstances, form.ListCount(MainControl::lstInstances) - 1);
    return true;
}

void EnableTestButtons(winMain& form, bool enabled) {
    EnableGroup(form, {MainControl::btnZeroScale, MainControl::btnReadWeight}, enabled);
}

void EnableInstanceList(winMain& form, bool enabled) {
    EnableGroup(form, {MainControl::lstInstances, MainControl::btnAdd}, enabled);
}

void EnableInstanceButtons(winMain& form, bool enabled) {
    EnableGroup(form, {MainControl::lstInstances, MainControl::btnAdd, MainControl::btnRemove}, enabled);
}

void EnableConfigControls(winMain& form, bool enabled) {
    EnableGroup(form,
                {MainControl::lstSerialPort, MainControl::lstBaudRate, MainControl::lstParity,
                 MainControl::lstVerbosity, MainControl::btnSetLogFile, MainControl::lblLogFile,
                 MainControl::btnRemove},
                enabled);
}

void EnableDeviceButtons(winMain& form, bool enabled) {
    EnableGroup(form, {MainControl::btnEnableDevice, MainControl::btnDisableDevice}, enabled);
}

}  // namespace vantorel::basMain
