#include "admin/bas_main.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

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
constexpr char kStepTitle[] = "Registry Views";
// How the registry's own tools name the value without a name.
constexpr char kDefaultValueShown[] = "(Default)";

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

bool AnyOf(const std::vector<bool>& flags) { return std::find(flags.begin(), flags.end(), true) != flags.end(); }

// A profile key that opens under the name in any casing, in either view, already exists,
// whoever made it.
bool DeviceInstanceExists(const std::string& name) {
    return basWinReg::DeviceKeyExists(DeviceClass, LowerCase(name)) == 1 ||
           AnyOf(basWinReg::ViewsHoldingKey(DeviceClass, name));
}

// "the 32-bit registry view", or "the 32-bit and 64-bit registry views", of the views flagged.
std::string ViewNames(const std::vector<bool>& flagged) {
    const auto& views = basWinReg::ProfileViews();
    std::string names;
    std::size_t count = 0;
    for (std::size_t v = 0; v < views.size(); ++v) {
        if (!flagged[v]) continue;
        names += (count++ == 0 ? "" : " and ") + std::string(views[v].name);
    }
    return "the " + names + (count == 1 ? " registry view" : " registry views");
}

std::string JoinedNames(const std::vector<std::string>& names) {
    std::string joined;
    for (const std::string& name : names) {
        joined += (joined.empty() ? "" : ", ") + (name.empty() ? std::string(kDefaultValueShown) : name);
    }
    return joined;
}

// What choosing `view` as the one to follow does, as the question offers it.
std::string FollowingView(const basWinReg::ViewComparison& views, std::size_t view, const std::string& name) {
    const auto& all = basWinReg::ProfileViews();
    const std::size_t other = 1 - view;
    if (!views.holdsDevice[view]) {
        return "delete " + name + " from the " + all[other].name + " view, as the " + all[view].name +
               " view has no such device.";
    }
    if (!views.holdsDevice[other]) {
        return "copy " + name + " from the " + all[view].name + " view into the " + all[other].name + " view.";
    }
    // The panel shows the first view that holds the device.
    return std::string("keep the ") + all[view].name + " view's settings in both" +
           (view == 0 ? " (the panel shows these)." : ".");
}

// The list goes on with its last entry, as after a deletion.
void RemoveSelectedDevice(winMain& form) {
    form.RemoveListEntry(MainControl::lstInstances, form.ListPosition(MainControl::lstInstances));
    form.SelectListPosition(MainControl::lstInstances, form.ListCount(MainControl::lstInstances) - 1);
}

std::string StepQuestion(const basWinReg::ViewComparison& views, const std::string& name) {
    const auto& all = basWinReg::ProfileViews();
    std::string text;
    for (std::size_t v = 0; v < all.size(); ++v) {
        if (views.holdsDevice[v] && !views.holdsDevice[1 - v]) {
            text += name + " is only in the " + all[v].name + " registry view: " + all[1 - v].name +
                    " applications cannot find it." + kLineBreak;
        }
    }
    if (!views.deviceValues.empty()) {
        text += "The settings of " + name + " differ between the registry views: " + JoinedNames(views.deviceValues) +
                "." + kLineBreak;
    }
    if (!views.providerValues.empty()) {
        text += "The shared log-file setting differs between the registry views: " +
                JoinedNames(views.providerValues) + "." + kLineBreak;
    }
    text += kLineBreak;
    text += "Yes: " + FollowingView(views, 0, name) + kLineBreak;
    text += "No: " + FollowingView(views, 1, name) + kLineBreak;
    text += "Cancel: change nothing.";
    return text;
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
        // A registry view that lacks the provider key gets the path another view holds, or the default.
        const std::string stored = path.empty() ? basScale::GetLogFile({}, {}) : path;
        if (status == ERROR_FILE_NOT_FOUND &&
            basWinReg::CreateProfileKey(basWinReg::kProviderPseudoClass, profile::kProviderName) != ERROR_SUCCESS) {
            ShowMessage(form.Window(), "Error trying to set the LogFile path.");
            return;
        }
        const long rc = basWinReg::SetProfileValue(basWinReg::kProviderPseudoClass, profile::kProviderName,
                                                   profile::kLogFileValue, stored, "");
        if (rc != ERROR_SUCCESS) ShowMessage(form.Window(), SettingNotWritten(profile::kLogFileValue, rc));
    }
    form.SetControlText(MainControl::lblLogFile, basScale::GetLogFile({}, {}));
    form.ShowViewStatus();
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
    const std::vector<bool> before = basWinReg::ViewsHoldingKey(DeviceClass, name);
    if (basWinReg::DeleteProfileKey(UpperCase(DeviceClass), UpperCase(name)) != ERROR_SUCCESS) {
        std::string text = "Error trying to delete device " + name + ".";
        // A view that let it go while another kept it: the user must know where it still is.
        const std::vector<bool> after = basWinReg::ViewsHoldingKey(DeviceClass, name);
        if (after != before && AnyOf(after)) {
            text += kLineBreak + std::string("It remains in ") + ViewNames(after) + " only.";
        }
        ShowMessage(form.Window(), text, kDeleteErrorTitle, MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    RemoveSelectedDevice(form);
    return true;
}

bool BringDeviceIntoStep(winMain& form) {
    const std::string name = form.ControlText(MainControl::lstInstances);
    if (name.empty() || basWinReg::ProfileViews().size() != 2) return true;
    const basWinReg::ViewComparison views = basWinReg::CompareViews(DeviceClass, name);
    if (!basWinReg::OutOfStep(views)) return true;
    const int answer = ShowMessage(form.Window(), StepQuestion(views, name), kStepTitle,
                                   MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON3);
    if (answer != IDYES && answer != IDNO) return true;
    const std::size_t source = answer == IDYES ? 0 : 1;
    const long rc = basWinReg::BringIntoStep(DeviceClass, name, source);
    if (rc != ERROR_SUCCESS) {
        ShowMessage(form.Window(), name + " could not be brought into step." + kLineBreak + SystemErrorText(rc),
                    kStepTitle, MB_OK | MB_ICONEXCLAMATION);
        form.lstInstances_Click();
        return false;
    }
    if (!AnyOf(basWinReg::ViewsHoldingKey(DeviceClass, name))) {
        ShowMessage(form.Window(), name + " was deleted: neither registry view holds it now.", kStepTitle);
        RemoveSelectedDevice(form);
        form.lstInstances_Click();
        return true;
    }
    ShowMessage(form.Window(), name + " is now the same in both registry views.", kStepTitle);
    form.lstInstances_Click();
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
    // Bringing the registry views into step belongs to the panel, and is offered only where they differ.
    form.ShowViewStatus();
}

void EnableDeviceButtons(winMain& form, bool enabled) {
    EnableGroup(form, {MainControl::btnEnableDevice, MainControl::btnDisableDevice}, enabled);
}

}  // namespace vantorel::basMain
