#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include "admin/twips.h"
#include "admin/win_main.h"
#include "tests/admin/admin_test_support.h"

using namespace vantorel;
using MC = MainControl;

namespace {

class MainLayout : public ka::test::MainWindowTest {
protected:
    int dpi() { return WindowDpi(form().Window()); }
    int px(int twips) { return TwipsToPixels(twips, dpi()); }

    // The control's rectangle in the client coordinates of its parent.
    RECT PlaceOf(MC control) {
        HWND window = form().Control(control);
        RECT r;
        GetWindowRect(window, &r);
        MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }

    LOGFONTA FontOf(MC control) {
        LOGFONTA font = {};
        auto handle = reinterpret_cast<HFONT>(SendMessageA(form().Control(control), WM_GETFONT, 0, 0));
        GetObjectA(handle, sizeof font, &font);
        return font;
    }

    std::string ToolTipOf(MC control) {
        HWND button = form().Control(control);
        char text[80] = {};
        TTTOOLINFOA info = {};
        info.cbSize = TTTOOLINFOA_V1_SIZE;
        info.hwnd = GetParent(button);
        info.uId = reinterpret_cast<UINT_PTR>(button);
        info.lpszText = text;
        SendMessageA(form().ToolTips(), TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&info));
        return text;
    }
};

struct Placement {
    MC control;
    MC container;  // MC::lblDeviceInstance stands for the window itself
    int left, top, width, height;
    const char* text;
};

constexpr MC kWindow = MC::lblDeviceInstance;
const Placement kPlacements[] = {
    {MC::lblDeviceInstance, kWindow, 120, 120, 1575, 255, "Scale Instance"},
    {MC::Picture1, kWindow, 120, 360, 6015, 615, ""},
    {MC::lstInstances, MC::Picture1, 120, 120, 3135, -1, ""},
    {MC::btnAdd, MC::Picture1, 3360, 120, 1185, 315, "&Add"},
    {MC::btnRemove, MC::Picture1, 4680, 120, 1185, 315, "&Remove"},
    {MC::lblConfig, kWindow, 120, 1200, 3255, 255, "Configuration"},
    {MC::lblViews, kWindow, 3480, 1200, 2655, 255, ""},
    {MC::picConfiguration, kWindow, 120, 1440, 6015, 2055, ""},
    {MC::Label2, MC::picConfiguration, 120, 120, 975, 255, "Serial Port:"},
    {MC::lstSerialPort, MC::picConfiguration, 120, 360, 1215, -1, ""},
    {MC::Label3, MC::picConfiguration, 2520, 120, 1215, 375, "Baud Rate:"},
    {MC::lstBaudRate, MC::picConfiguration, 2520, 360, 1215, -1, ""},
    {MC::Label6, MC::picConfiguration, 4680, 120, 615, 255, "Parity:"},
    {MC::lstParity, MC::picConfiguration, 4680, 360, 1095, -1, ""},
    {MC::Label4, MC::picConfiguration, 120, 1200, 735, 375, "Log File:"},
    {MC::lblLogFile, MC::picConfiguration, 960, 1080, 3375, 315, "c:\\OposAdmin.log"},
    {MC::btnSetLogFile, MC::picConfiguration, 4560, 1080, 1185, 315, "&Set Log File"},
    {MC::Label5, MC::picConfiguration, 120, 1680, 855, 255, "Verbosity:"},
    {MC::lstVerbosity, MC::picConfiguration, 960, 1560, 3375, -1, ""},
    {MC::btnSyncViews, MC::picConfiguration, 4560, 1560, 1185, 315, "Sync &Views"},
    {MC::Label1, kWindow, 120, 3720, 3255, 255, "Test"},
    {MC::picTest, kWindow, 120, 3960, 6015, 1095, ""},
    {MC::btnEnableDevice, MC::picTest, 120, 120, 1185, 315, "&Enable Scale"},
    {MC::btnDisableDevice, MC::picTest, 120, 600, 1185, 315, "&Disable Scale"},
    {MC::btnZeroScale, MC::picTest, 1560, 120, 1185, 315, "&Zero Scale"},
    {MC::btnReadWeight, MC::picTest, 3000, 120, 1185, 315, "Read &Weight"},
    {MC::lblWeight, MC::picTest, 4560, 120, 975, 315, ""},
};

}  // namespace

TEST_F(MainLayout, TheWindowHasItsCaptionAndClientArea) {
    char caption[80] = {};
    GetWindowTextA(form().Window(), caption, sizeof caption);
    EXPECT_STREQ(caption, "Kolvane-Aris OPOS Administrator");
    RECT client;
    GetClientRect(form().Window(), &client);
    EXPECT_EQ(client.right, px(6225));
    EXPECT_EQ(client.bottom, px(5205));
    EXPECT_TRUE(IsWindowVisible(form().Window()));
}

TEST_F(MainLayout, EveryControlSitsInItsContainerAtItsPlace) {
    for (const Placement& p : kPlacements) {
        SCOPED_TRACE(p.text);
        HWND control = form().Control(p.control);
        ASSERT_NE(control, nullptr) << Id(p.control);
        HWND expectedParent = p.container == kWindow ? form().Window() : form().Control(p.container);
        EXPECT_EQ(GetParent(control), expectedParent) << Id(p.control);
        const RECT r = PlaceOf(p.control);
        EXPECT_EQ(r.left, px(p.left)) << Id(p.control);
        EXPECT_EQ(r.top, px(p.top)) << Id(p.control);
        EXPECT_EQ(r.right - r.left, px(p.width)) << Id(p.control);
        if (p.height >= 0) {
            EXPECT_EQ(r.bottom - r.top, px(p.height)) << Id(p.control);
        }
        char text[80] = {};
        GetWindowTextA(control, text, sizeof text);
        EXPECT_STREQ(text, p.text) << Id(p.control);
    }
    // Lines are etched: their edge may add a pixel or two at the far end.
    EXPECT_EQ(PlaceOf(MC::Line1).left, px(1440));
    EXPECT_EQ(PlaceOf(MC::Line1).top, px(120));
    EXPECT_NEAR(PlaceOf(MC::Line1).bottom, px(960), 2);
    EXPECT_EQ(PlaceOf(MC::Line2).left, px(120));
    EXPECT_EQ(PlaceOf(MC::Line2).top, px(840));
    EXPECT_NEAR(PlaceOf(MC::Line2).right, px(5760), 2);
}

TEST_F(MainLayout, LabelsAndTestButtonsHaveTheirFonts) {
    const LONG height = -MulDiv(825, dpi(), 7200);
    for (MC label : {MC::lblDeviceInstance, MC::lblConfig, MC::Label1}) {
        const LOGFONTA font = FontOf(label);
        EXPECT_STREQ(font.lfFaceName, "MS Sans Serif") << Id(label);
        EXPECT_EQ(font.lfWeight, FW_BOLD) << Id(label);
        EXPECT_EQ(font.lfHeight, height) << Id(label);
    }
    for (MC button : {MC::btnEnableDevice, MC::btnDisableDevice}) {
        const LOGFONTA font = FontOf(button);
        EXPECT_STREQ(font.lfFaceName, "Arial") << Id(button);
        EXPECT_EQ(font.lfWeight, FW_NORMAL) << Id(button);
        EXPECT_EQ(font.lfHeight, height) << Id(button);
    }
    EXPECT_STREQ(FontOf(MC::btnAdd).lfFaceName, "MS Sans Serif");
    EXPECT_EQ(FontOf(MC::btnAdd).lfWeight, FW_NORMAL);
}

TEST_F(MainLayout, InstanceButtonsCarryTheirToolTips) {
    EXPECT_EQ(ToolTipOf(MC::btnAdd), "New Device Instance");
    EXPECT_EQ(ToolTipOf(MC::btnRemove), "Delete Device Instance");
    EXPECT_EQ(ToolTipOf(MC::btnSyncViews), "Bring Registry Views into Step");
}

TEST_F(MainLayout, SettingListsAreSelectionOnlyWithTheirEntries) {
    const std::vector<std::pair<MC, std::vector<std::string>>> lists = {
        {MC::lstSerialPort, {"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9", "COM10"}},
        {MC::lstBaudRate, {"1200", "2400", "4800", "9600", "19200"}},
        {MC::lstParity, {"None", "Odd", "Even", "Blank", "Space"}},
        {MC::lstVerbosity,
         {"0 - Critical Errors", "1 - Warnings", "2 - Informational Messages", "3 - Internal Function Call Traces",
          "4 - Internal Function Call Traces and Return Value Traces"}},
        {MC::lstInstances, {}},
    };
    for (const auto& [list, entries] : lists) {
        HWND combo = form().Control(list);
        EXPECT_EQ(GetWindowLongPtrA(combo, GWL_STYLE) & 0x3, CBS_DROPDOWNLIST) << Id(list);
        std::vector<std::string> shown;
        const int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            char text[80] = {};
            SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text));
            shown.emplace_back(text);
        }
        // The machine's own ports follow COM1 to COM10 in the serial-port list.
        if (list == MC::lstSerialPort && shown.size() > entries.size()) shown.resize(entries.size());
        EXPECT_EQ(shown, entries) << Id(list);
        EXPECT_EQ(SendMessageA(combo, CB_GETCURSEL, 0, 0), CB_ERR) << "nothing shown before the first selection";
    }
}

TEST_F(MainLayout, MenusHoldTheirItems) {
    HMENU bar = GetMenu(form().Window());
    ASSERT_NE(bar, nullptr);
    ASSERT_EQ(GetMenuItemCount(bar), 2);
    auto text = [](HMENU menu, UINT position) {
        char buffer[80] = {};
        GetMenuStringA(menu, position, buffer, sizeof buffer, MF_BYPOSITION);
        return std::string(buffer);
    };
    EXPECT_EQ(text(bar, 0), "&File");
    EXPECT_EQ(text(bar, 1), "&Help");
    HMENU file = GetSubMenu(bar, 0);
    ASSERT_EQ(GetMenuItemCount(file), 3);
    EXPECT_EQ(text(file, 0), "&Refresh Device Names");
    EXPECT_EQ(GetMenuItemID(file, 0), UINT(Id(MC::mnuUpdateDeviceInstances)));
    EXPECT_EQ(GetMenuState(file, 1, MF_BYPOSITION) & MF_SEPARATOR, UINT(MF_SEPARATOR));
    EXPECT_EQ(text(file, 2), "E&xit");
    EXPECT_EQ(GetMenuItemID(file, 2), UINT(Id(MC::mnuFileExit)));
    HMENU help = GetSubMenu(bar, 1);
    ASSERT_EQ(GetMenuItemCount(help), 1);
    EXPECT_EQ(text(help, 0), "&About Kolvane-Aris OPOS Administrator");
    EXPECT_EQ(GetMenuItemID(help, 0), UINT(Id(MC::mnuHelpAbout)));
}

TEST(ResultCode, NamesTheCodeWithItsNumber) {
    EXPECT_EQ(ResultCode(0), "SUCCESS (0)");
    EXPECT_EQ(ResultCode(101), "CLOSED (101)");
    EXPECT_EQ(ResultCode(109), "NOEXIST (109)");
    EXPECT_EQ(ResultCode(114), "EXTENDED (114)");
    EXPECT_EQ(ResultCode(100), "<unknown> (100)");
    EXPECT_EQ(ResultCode(-1), "<unknown> (-1)");
}
