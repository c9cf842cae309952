#include <gtest/gtest.h>

#include <algorithm>

#include "admin/bas_main.h"
#include "admin/bas_scale.h"
#include "admin/bas_win_reg.h"
#include "common/unique_handle.h"
#include "common/version.h"
#include "tests/admin/admin_test_support.h"

using namespace vantorel;
using namespace ka::test;

namespace {

// Value names of a key in the order the registry keeps them.
std::vector<std::string> ValueNames(const std::string& path) {
    std::vector<std::string> names;
    ka::UniqueKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return names;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof name;
        if (RegEnumValueA(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.emplace_back(name, length);
    }
    return names;
}

std::vector<std::string> SubkeyNames(const std::string& path) {
    std::vector<std::string> names;
    ka::UniqueKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) return names;
    char name[256];
    for (DWORD i = 0; RegEnumKeyA(key.get(), i, name, sizeof name) == ERROR_SUCCESS; ++i) names.emplace_back(name);
    return names;
}

class Instances : public MainWindowTest {
protected:
    void WriteForeignProfile(const std::string& name) {
        WriteText(DeviceKey(name), "", "Other.ScaleSO");
        WriteText(DeviceKey(name), "SerialPort", "COM5");
    }
};

}  // namespace

TEST_F(Instances, TheFirstCreationMakesProviderClassAndDeviceKeys) {
    ASSERT_FALSE(KeyExists(kProviderKey));
    form().SetControlText(MainControl::lblLogFile, "stale");

    EXPECT_TRUE(basMain::CreateDeviceInstance(form(), "Front Scale"));

    EXPECT_TRUE(messages_.messages.empty()) << messages_.messages.front().text;
    EXPECT_EQ(StoredText(kProviderKey, "LogFile"), "c:\\OposAdmin.log");
    EXPECT_EQ(form().ControlText(MainControl::lblLogFile), "c:\\OposAdmin.log");
    EXPECT_EQ(SubkeyNames(kScaleClassKey), std::vector<std::string>{"front scale"});
    EXPECT_EQ(host_.Entries(MainControl::lstInstances), std::vector<std::string>{"Front Scale"});
    EXPECT_EQ(form().ControlText(MainControl::lstInstances), "Front Scale");
}

TEST_F(Instances, ANewProfileHoldsTheTwelveValues) {
    // The new device is selected and shown; showing writes nothing over what the creation wrote.
    ASSERT_TRUE(basMain::CreateDeviceInstance(form(), "Front Scale"));
    const std::string key = DeviceKey("front scale");
    std::vector<std::string> names = ValueNames(key);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"", "BaudRate", "DataSize", "Description", "LogVerbosity",
                                               "ModelNumber", "Parity", "SerialPort", "Service", "StartBits",
                                               "StopBits", "Version"}));
    EXPECT_EQ(StoredText(key, ""), "KolvaneAris.ScaleTRM07");
    EXPECT_EQ(StoredText(key, "Service"), "Pendrax.DLL");
    EXPECT_EQ(StoredText(key, "Version"), KA_VERSION_TEXT);
    EXPECT_EQ(StoredText(key, "LogVerbosity"), "2  ||| Logging verbosity level");
    EXPECT_EQ(StoredText(key, "SerialPort"), "COM1  ||| Serial port this scale is plugged into.");
    EXPECT_EQ(StoredText(key, "ModelNumber"), "TRM-07  ||| The model number of the scale represented by this profile.");
    EXPECT_EQ(StoredText(key, "BaudRate"),
              "9600  ||| The baud rate of the connection between the scale and the POS terminal.");
    EXPECT_EQ(StoredText(key, "DataSize"), "7");
    EXPECT_EQ(StoredText(key, "Parity"), "Even");
    EXPECT_EQ(StoredText(key, "StartBits"), "1");
    EXPECT_EQ(StoredText(key, "StopBits"), "1");
    const std::string description = StoredText(key, "Description");
    const std::string lead = "Kolvane-Aris TRM-07 Scale OPOS Device Profile, created on ";
    EXPECT_EQ(description.substr(0, lead.size()), lead);
    EXPECT_EQ(description.back(), '.');

}

TEST(ProfileDescription, CarriesTheDateAndTimeInTheGeneralForm) {
    SYSTEMTIME at = {};
    at.wYear = 2024;
    at.wMonth = 3;
    at.wDay = 5;
    at.wHour = 14;
    at.wMinute = 7;
    at.wSecond = 9;
    const std::string text = basMain::ProfileDescription(at);
    char date[64] = {};
    char time[64] = {};
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &at, nullptr, date, sizeof date);
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &at, nullptr, time, sizeof time);
    EXPECT_EQ(text, std::string("Kolvane-Aris TRM-07 Scale OPOS Device Profile, created on ") + date + " " + time + ".");
    EXPECT_NE(text.find("2024"), std::string::npos) << text;
    EXPECT_NE(text.find("07:09"), std::string::npos) << text;
}

TEST_F(Instances, ANameIsRefusedWhenItsKeyExistsInAnyCasing) {
    ASSERT_TRUE(basMain::CreateDeviceInstance(form(), "Front Scale"));
    for (const char* again : {"Front Scale", "FRONT SCALE", "front scale"}) {
        messages_.messages.clear();
        EXPECT_FALSE(basMain::CreateDeviceInstance(form(), again)) << again;
        ASSERT_EQ(messages_.messages.size(), 1u) << again;
        EXPECT_EQ(messages_.Shown(0),
                  Shown("New Instance Error", "A Device Instance with that name already exists.",
                        MB_OK | MB_ICONEXCLAMATION));
    }
    EXPECT_EQ(host_.Entries(MainControl::lstInstances), std::vector<std::string>{"Front Scale"});
}

TEST_F(Instances, AProfileMadeByAnotherToolIsNeverOverwritten) {
    WriteForeignProfile("FrontScale");
    for (const char* name : {"frontscale", "FrontScale"}) {
        messages_.messages.clear();
        EXPECT_FALSE(basMain::CreateDeviceInstance(form(), name)) << name;
        EXPECT_EQ(messages_.Texts(), std::vector<std::string>{"A Device Instance with that name already exists."});
    }
    EXPECT_EQ(SubkeyNames(kScaleClassKey), std::vector<std::string>{"FrontScale"});
    EXPECT_EQ(StoredText(DeviceKey("FrontScale"), ""), "Other.ScaleSO");
    EXPECT_EQ(StoredText(DeviceKey("FrontScale"), "SerialPort"), "COM5");
    EXPECT_EQ(StoredText(DeviceKey("FrontScale"), "Service"), kAbsent);
}

// A backslash would make nested keys that no list shows and no deletion removes whole.
TEST_F(Instances, AnEmptyNameOrABackslashIsRefusedBeforeAnythingIsWritten) {
    for (const char* name : {"", "Front\\Scale"}) {
        messages_.messages.clear();
        EXPECT_FALSE(basMain::CreateDeviceInstance(form(), name)) << name;
        ASSERT_EQ(messages_.messages.size(), 1u);
        EXPECT_EQ(messages_.Shown(0),
                  Shown("New Instance Error", "Invalid Device Name.", MB_OK | MB_ICONEXCLAMATION));
        EXPECT_FALSE(KeyExists(kProviderKey));
        EXPECT_FALSE(KeyExists(kScaleClassKey));
    }
}

TEST_F(Instances, AKeyThatCannotBeCreatedIsReportedWithItsCode) {
    const std::string tooLong(300, 'q');
    EXPECT_FALSE(basMain::CreateDeviceInstance(form(), tooLong));
    ASSERT_EQ(messages_.messages.size(), 1u);
    const std::string& text = messages_.messages[0].text;
    EXPECT_EQ(text.rfind("Error creating new device instance [ ", 0), 0u) << text;
    EXPECT_EQ(text.back(), ']') << text;
    EXPECT_EQ(messages_.messages[0].title, "Vantorel");
    EXPECT_EQ(messages_.messages[0].style, UINT(MB_OK));
    EXPECT_TRUE(host_.Entries(MainControl::lstInstances).empty());
}

TEST_F(Instances, DeletionAsksFirstAndNoKeepsEverything) {
    ASSERT_TRUE(basMain::CreateDeviceInstance(form(), "Front Scale"));
    messages_.AnswerNext(IDNO);
    EXPECT_TRUE(basMain::DeleteDeviceInstance(form()));
    ASSERT_EQ(messages_.messages.size(), 1u);
    EXPECT_EQ(messages_.Shown(0),
              Shown("Delete Device Instance", "Are you sure you want to delete Front Scale?", MB_YESNO | MB_DEFBUTTON2));
    EXPECT_TRUE(KeyExists(DeviceKey("front scale")));
    EXPECT_EQ(form().ControlText(MainControl::lstInstances), "Front Scale");
}

TEST_F(Instances, YesDeletesTheKeyAndSelectsTheLastEntry) {
    for (const char* name : {"alpha", "bravo", "charlie"}) ASSERT_TRUE(basMain::CreateDeviceInstance(form(), name));
    form().SelectListPosition(MainControl::lstInstances, 1);
    messages_.AnswerNext(IDYES);
    EXPECT_TRUE(basMain::DeleteDeviceInstance(form()));
    EXPECT_FALSE(KeyExists(DeviceKey("bravo")));
    EXPECT_EQ(host_.Entries(MainControl::lstInstances), (std::vector<std::string>{"alpha", "charlie"}));
    EXPECT_EQ(form().ControlText(MainControl::lstInstances), "charlie");

    messages_.AnswerNext(IDYES);
    messages_.AnswerNext(IDYES);
    EXPECT_TRUE(basMain::DeleteDeviceInstance(form()));
    EXPECT_TRUE(basMain::DeleteDeviceInstance(form()));
    EXPECT_TRUE(host_.Entries(MainControl::lstInstances).empty());
    EXPECT_EQ(form().ListPosition(MainControl::lstInstances), -1);
    EXPECT_TRUE(KeyExists(kScaleClassKey));
    EXPECT_EQ(StoredText(kProviderKey, "LogFile"), "c:\\OposAdmin.log") << "the provider key is never deleted";
}

TEST_F(Instances, WithoutASelectedNameNothingIsAskedOrDeleted) {
    ASSERT_TRUE(basMain::CreateDeviceInstance(form(), "Front Scale"));
    ka::test::DeleteTree(DeviceKey("front scale"));
    SendMessageA(form().Control(MainControl::lstInstances), CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    // The empty name would address the class key itself.
    EXPECT_TRUE(basMain::DeleteDeviceInstance(form()));
    EXPECT_TRUE(messages_.messages.empty());
    EXPECT_TRUE(KeyExists(kScaleClassKey));
}

TEST_F(Instances, AKeyThatCannotBeDeletedStaysListed) {
    ASSERT_TRUE(basMain::CreateDeviceInstance(form(), "Front Scale"));
    WriteText(DeviceKey("front scale") + "\\inner", "x", "y");
    messages_.AnswerNext(IDYES);
    EXPECT_FALSE(basMain::DeleteDeviceInstance(form()));
    ASSERT_EQ(messages_.messages.size(), 2u);
    EXPECT_EQ(messages_.Shown(1),
              Shown("Delete Error", "Error trying to delete device Front Scale.", MB_OK | MB_ICONEXCLAMATION));
    EXPECT_EQ(host_.Entries(MainControl::lstInstances), std::vector<std::string>{"Front Scale"});
}

TEST_F(Instances, RefreshListsOnlyKeysWithADefaultValueAsStored) {
    WriteText(DeviceKey("Zeta"), "", "Other.ScaleSO");
    WriteText(DeviceKey("empty default"), "", "");
    WriteText(DeviceKey("no default"), "SerialPort", "COM2");
    WriteText(DeviceKey("alpha"), "", "KolvaneAris.ScaleTRM07");
    form().ClearList(MainControl::lstInstances);
    basScale::RefreshDeviceList(form(), "Scale");
    EXPECT_EQ(host_.Entries(MainControl::lstInstances), (std::vector<std::string>{"alpha", "Zeta"}));
    EXPECT_EQ(form().ControlText(MainControl::lstInstances), "alpha");
}

TEST_F(Instances, SetLogFilePathWritesOnlyAPathOrAMissingKey) {
    basMain::SetLogFilePath(form(), "");
    EXPECT_EQ(StoredText(kProviderKey, "LogFile"), "c:\\OposAdmin.log") << "a missing key is made with the default";

    basMain::SetLogFilePath(form(), "d:\\logs\\scale.log");
    EXPECT_EQ(StoredText(kProviderKey, "LogFile"), "d:\\logs\\scale.log");
    EXPECT_EQ(form().ControlText(MainControl::lblLogFile), "d:\\logs\\scale.log");

    form().SetControlText(MainControl::lblLogFile, "typed over");
    basMain::SetLogFilePath(form(), "");
    EXPECT_EQ(StoredText(kProviderKey, "LogFile"), "d:\\logs\\scale.log") << "an empty path writes nothing";
    EXPECT_EQ(form().ControlText(MainControl::lblLogFile), "d:\\logs\\scale.log");
    EXPECT_TRUE(messages_.messages.empty());
}

TEST_F(Instances, TheSwitchesSetTheirGroups) {
    using MC = MainControl;
    const MC all[] = {MC::lstInstances, MC::btnAdd,        MC::btnRemove,     MC::lstSerialPort,
                      MC::lstBaudRate,  MC::lstParity,     MC::lstVerbosity,  MC::btnSetLogFile,
                      MC::lblLogFile,   MC::btnEnableDevice, MC::btnDisableDevice, MC::btnZeroScale,
                      MC::btnReadWeight};
    struct Case {
        void (*on)(winMain&, bool);
        std::vector<MC> group;
    };
    const Case cases[] = {
        {&basMain::EnableTestButtons, {MC::btnZeroScale, MC::btnReadWeight}},
        {&basMain::EnableInstanceList, {MC::lstInstances, MC::btnAdd}},
        {&basMain::EnableInstanceButtons, {MC::lstInstances, MC::btnAdd, MC::btnRemove}},
        {&basMain::EnableConfigControls,
         {MC::lstSerialPort, MC::lstBaudRate, MC::lstParity, MC::lstVerbosity, MC::btnSetLogFile, MC::lblLogFile,
          MC::btnRemove}},
        {&basMain::EnableDeviceButtons, {MC::btnEnableDevice, MC::btnDisableDevice}},
    };
    for (const Case& c : cases) {
        for (MC control : all) form().SetEnabled(control, false);
        c.on(form(), true);
        for (MC control : all) {
            const bool inGroup = std::find(c.group.begin(), c.group.end(), control) != c.group.end();
            EXPECT_EQ(form().IsEnabled(control), inGroup) << Id(control);
        }
        c.on(form(), false);
        for (MC control : c.group) EXPECT_FALSE(form().IsEnabled(control)) << Id(control);
    }
}
