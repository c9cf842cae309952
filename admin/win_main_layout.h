#pragma once
// The main window's controls, menus and sizes, as tables in twips.

#include <array>

#include "admin/control_layout.h"
#include "admin/setting_index.h"

namespace vantorel {

enum class MainControl : int {
    lblDeviceInstance = 1000,
    Picture1,
    lstInstances,
    btnAdd,
    btnRemove,
    lblConfig,
    picConfiguration,
    Label2,
    lstSerialPort,
    Label3,
    lstBaudRate,
    Label6,
    lstParity,
    Line2,
    Label4,
    lblLogFile,
    btnSetLogFile,
    Label5,
    lstVerbosity,
    Label1,
    picTest,
    btnEnableDevice,
    btnDisableDevice,
    Line1,
    btnZeroScale,
    btnReadWeight,
    lblWeight,
    lblViews,
    btnSyncViews,
    mnuFile = 2000,
    mnuUpdateDeviceInstances,
    mnuSep1,
    mnuFileExit,
    mnuHelp,
    mnuHelpAbout,
};

constexpr int Id(MainControl control) noexcept { return static_cast<int>(control); }

inline constexpr char kMainCaption[] = "Kolvane-Aris OPOS Administrator";
inline constexpr int kMainClientWidthTwips = 6225;
inline constexpr int kMainClientHeightTwips = 5205;
inline constexpr char kDesignLogFile[] = "c:\\OposAdmin.log";

using MC = MainControl;
inline constexpr ControlSpec kMainControls[] = {
    {Id(MC::lblDeviceInstance), kWindowItself, ControlKind::Label, "Scale Instance", {120, 120, 1575, 255}, &kBoldLabelFont},
    {Id(MC::Picture1), kWindowItself, ControlKind::Panel, nullptr, {120, 360, 6015, 615}, nullptr},
    {Id(MC::lstInstances), Id(MC::Picture1), ControlKind::DropDownList, nullptr, {120, 120, 3135, 315}, nullptr},
    {Id(MC::btnAdd), Id(MC::Picture1), ControlKind::Button, "&Add", {3360, 120, 1185, 315}, nullptr},
    {Id(MC::btnRemove), Id(MC::Picture1), ControlKind::Button, "&Remove", {4680, 120, 1185, 315}, nullptr},
    {Id(MC::lblConfig), kWindowItself, ControlKind::Label, "Configuration", {120, 1200, 3255, 255}, &kBoldLabelFont},
    // How the shown device stands in the two registry views of 64-bit Windows; hidden where there is one.
    {Id(MC::lblViews), kWindowItself, ControlKind::RightLabel, "", {3480, 1200, 2655, 255}, nullptr},
    {Id(MC::picConfiguration), kWindowItself, ControlKind::Panel, nullptr, {120, 1440, 6015, 2055}, nullptr},
    {Id(MC::Label2), Id(MC::picConfiguration), ControlKind::Label, "Serial Port:", {120, 120, 975, 255}, nullptr},
    {Id(MC::lstSerialPort), Id(MC::picConfiguration), ControlKind::DropDownList, nullptr, {120, 360, 1215, 315}, nullptr},
    {Id(MC::Label3), Id(MC::picConfiguration), ControlKind::Label, "Baud Rate:", {2520, 120, 1215, 375}, nullptr},
    {Id(MC::lstBaudRate), Id(MC::picConfiguration), ControlKind::DropDownList, nullptr, {2520, 360, 1215, 315}, nullptr},
    {Id(MC::Label6), Id(MC::picConfiguration), ControlKind::Label, "Parity:", {4680, 120, 615, 255}, nullptr},
    {Id(MC::lstParity), Id(MC::picConfiguration), ControlKind::DropDownList, nullptr, {4680, 360, 1095, 315}, nullptr},
    {Id(MC::Line2), Id(MC::picConfiguration), ControlKind::HorizontalLine, nullptr, {120, 840, 5640, 0}, nullptr},
    {Id(MC::Label4), Id(MC::picConfiguration), ControlKind::Label, "Log File:", {120, 1200, 735, 375}, nullptr},
    {Id(MC::lblLogFile), Id(MC::picConfiguration), ControlKind::BorderedLabel, kDesignLogFile, {960, 1080, 3375, 315}, nullptr},
    {Id(MC::btnSetLogFile), Id(MC::picConfiguration), ControlKind::Button, "&Set Log File", {4560, 1080, 1185, 315}, nullptr},
    {Id(MC::Label5), Id(MC::picConfiguration), ControlKind::Label, "Verbosity:", {120, 1680, 855, 255}, nullptr},
    {Id(MC::lstVerbosity), Id(MC::picConfiguration), ControlKind::DropDownList, nullptr, {960, 1560, 3375, 315}, nullptr},
    {Id(MC::btnSyncViews), Id(MC::picConfiguration), ControlKind::Button, "Sync &Views", {4560, 1560, 1185, 315}, nullptr},
    {Id(MC::Label1), kWindowItself, ControlKind::Label, "Test", {120, 3720, 3255, 255}, &kBoldLabelFont},
    {Id(MC::picTest), kWindowItself, ControlKind::Panel, nullptr, {120, 3960, 6015, 1095}, nullptr},
    {Id(MC::btnEnableDevice), Id(MC::picTest), ControlKind::Button, "&Enable Scale", {120, 120, 1185, 315}, &kArialFont},
    {Id(MC::btnDisableDevice), Id(MC::picTest), ControlKind::Button, "&Disable Scale", {120, 600, 1185, 315}, &kArialFont},
    {Id(MC::Line1), Id(MC::picTest), ControlKind::VerticalLine, nullptr, {1440, 120, 0, 840}, nullptr},
    {Id(MC::btnZeroScale), Id(MC::picTest), ControlKind::Button, "&Zero Scale", {1560, 120, 1185, 315}, nullptr},
    {Id(MC::btnReadWeight), Id(MC::picTest), ControlKind::Button, "Read &Weight", {3000, 120, 1185, 315}, nullptr},
    {Id(MC::lblWeight), Id(MC::picTest), ControlKind::BorderedLabel, "", {4560, 120, 975, 315}, nullptr},
};

struct ToolTipSpec {
    MainControl control;
    const char* text;
};
inline constexpr ToolTipSpec kMainToolTips[] = {
    {MC::btnAdd, "New Device Instance"},
    {MC::btnRemove, "Delete Device Instance"},
    {MC::btnSyncViews, "Bring Registry Views into Step"},
};

struct ListEntries {
    MainControl list;
    const char* const* entries;
    std::size_t count;
};
// The serial-port list is filled at run time: it offers the machine's own ports too.
inline constexpr ListEntries kMainListEntries[] = {
    {MC::lstBaudRate, basScale::kBaudRateEntries.data(), basScale::kBaudRateEntries.size()},
    {MC::lstParity, basScale::kParityEntries.data(), basScale::kParityEntries.size()},
    {MC::lstVerbosity, basScale::kVerbosityEntries.data(), basScale::kVerbosityEntries.size()},
};

// A menu is a top-level entry followed by its items; a null text is a separator.
struct MenuSpec {
    MainControl id;
    const char* text;
    bool topLevel;
};
inline constexpr MenuSpec kMainMenu[] = {
    {MC::mnuFile, "&File", true},
    {MC::mnuUpdateDeviceInstances, "&Refresh Device Names", false},
    {MC::mnuSep1, nullptr, false},
    {MC::mnuFileExit, "E&xit", false},
    {MC::mnuHelp, "&Help", true},
    {MC::mnuHelpAbout, "&About Kolvane-Aris OPOS Administrator", false},
};

}  // namespace vantorel
