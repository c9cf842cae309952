// The main window driven as a user drives it: clicks, list picks and menu commands, with the
// program's dialogs answered as they open and its messages answered through its own seam.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "admin/bas_main.h"
#include "admin/bas_scale.h"
#include "admin/program_lifetime.h"
#include "admin/win_about.h"
#include "admin/win_add_instance.h"
#include "admin/win_log_file.h"
#include "common/unique_handle.h"
#include "common/version.h"
#include "tests/admin/admin_test_support.h"
#include "tests/support/read_only_key.h"

using namespace vantorel;
using MC = MainControl;
using namespace ka::test;

namespace {

struct Settings {
    const char* port;
    const char* baud;
    const char* parity;
    const char* verbosity;
};

void WriteProfile(const std::string& name, const Settings& s) {
    WriteText(DeviceKey(name), "", "KolvaneAris.ScaleTRM07");
    if (s.port) WriteText(DeviceKey(name), "SerialPort", s.port);
    if (s.baud) WriteText(DeviceKey(name), "BaudRate", s.baud);
    if (s.parity) WriteText(DeviceKey(name), "Parity", s.parity);
    if (s.verbosity) WriteText(DeviceKey(name), "LogVerbosity", s.verbosity);
}

class MainWindow : public ::testing::Test {
protected:
    ka::test::CleanProfiles clean_;
    ka::test::MessageRecorder messages_;
    ka::test::DialogScript dialogs_;
    std::unique_ptr<ka::test::MainWindowHost> host_;

    void Start() {
        host_ = std::make_unique<ka::test::MainWindowHost>();
        ASSERT_TRUE(host_->Started());
    }
    winMain& form() { return host_->form(); }
    std::string Text(MC control) { return form().ControlText(control); }

    // The user types a path into the next log-file dialog and clicks a button.
    void AnswerLogFileDialog(std::string typed, int button) {
        dialogs_.On("Log File", [typed, button](HWND dialog) {
            SetDlgItemTextA(dialog, winLogFile::txtLogFile, typed.c_str());
            PostClick(dialog, button);
        });
    }

    void TearDown() override {
        EXPECT_TRUE(dialogs_.unexpected.empty()) << dialogs_.unexpected.front();
        EXPECT_EQ(dialogs_.Pending(), 0u) << "a dialog the test waited for never opened";
        if (HWND about = winAbout::Window()) DestroyWindow(about);
    }
};

}  // namespace

TEST_F(MainWindow, StartsWithoutProfilesWithOnlyTheListAndAddEnabled) {
    Start();
    EXPECT_TRUE(host_->Entries(MC::lstInstances).empty());
    EXPECT_EQ(GetFocus(), form().Control(MC::btnAdd));
    EXPECT_EQ(EnabledState(form()), kStarted);
    EXPECT_EQ(basMain::DeviceClass, "Scale");
    EXPECT_TRUE(messages_.messages.empty());
    EXPECT_FALSE(KeyExists(kScaleClassKey));
    EXPECT_FALSE(KeyExists(kProviderKey));
}

TEST_F(MainWindow, StartsOnTheFirstDeviceAndShowsItsSettingsWithoutWritingThem) {
    WriteProfile("alpha", {"com3", "2400", "Odd", "2"});
    WriteProfile("bravo", {"COM4  ||| kept as stored", "4800", "even", "1"});
    WriteText(kProviderKey, "LogFile", "d:\\scale.log");
    Start();

    EXPECT_EQ(host_->Entries(MC::lstInstances), (std::vector<std::string>{"alpha", "bravo"}));
    EXPECT_EQ(Text(MC::lstInstances), "alpha");
    EXPECT_EQ(GetFocus(), form().Control(MC::lstInstances));
    EXPECT_EQ(EnabledState(form()), kStarted) << "shown, but not picked yet";
    EXPECT_EQ(Text(MC::lstSerialPort), "COM3");
    EXPECT_EQ(Text(MC::lstBaudRate), "2400");
    EXPECT_EQ(Text(MC::lstParity), "Odd");
    EXPECT_EQ(Text(MC::lstVerbosity), "2 - Informational Messages");
    EXPECT_EQ(Text(MC::lblLogFile), "d:\\scale.log");

    host_->Pick(MC::lstInstances, 0);
    EXPECT_EQ(EnabledState(form()), kDevicePicked) << "picking the entry already shown runs the handler";
    host_->Pick(MC::lstInstances, 1);
    EXPECT_EQ(Text(MC::lstSerialPort), "COM4");
    EXPECT_EQ(Text(MC::lstParity), "Even");
    EXPECT_EQ(StoredText(DeviceKey("alpha"), "SerialPort"), "com3");
    EXPECT_EQ(StoredText(DeviceKey("alpha"), "LogVerbosity"), "2");
    EXPECT_EQ(StoredText(DeviceKey("bravo"), "SerialPort"), "COM4  ||| kept as stored");
    EXPECT_EQ(StoredText(DeviceKey("bravo"), "Parity"), "even");
    EXPECT_TRUE(messages_.messages.empty());
}

// A USB adapter's port, a rate or parity the lists do not offer: shown as stored and kept until
// the user picks another entry; a missing value shows its default and stays missing.
TEST_F(MainWindow, SettingsOutsideTheListsAreShownAsStoredAndKept) {
    WriteProfile("alpha", {"COM57", nullptr, "Mark", "7"});
    WriteProfile("bravo", {"COM2", "14400", "None", "2"});
    Start();
    EXPECT_EQ(Text(MC::lstSerialPort), "COM57");
    EXPECT_EQ(Text(MC::lstBaudRate), "9600");
    EXPECT_EQ(Text(MC::lstParity), "Mark");
    EXPECT_EQ(Text(MC::lstVerbosity), "7");
    host_->Pick(MC::lstInstances, 1);
    EXPECT_EQ(Text(MC::lstBaudRate), "14400");
    EXPECT_EQ(host_->Entries(MC::lstParity), (std::vector<std::string>{"None", "Odd", "Even", "Blank", "Space"}))
        << "the extra entry goes with the device it showed";
    host_->Pick(MC::lstInstances, 0);
    EXPECT_EQ(StoredText(DeviceKey("alpha"), "SerialPort"), "COM57");
    EXPECT_EQ(StoredText(DeviceKey("alpha"), "BaudRate"), kAbsent);
    EXPECT_EQ(StoredText(DeviceKey("alpha"), "Parity"), "Mark");
    EXPECT_EQ(StoredText(DeviceKey("alpha"), "LogVerbosity"), "7");

    host_->Pick(MC::lstParity, 1);
    EXPECT_EQ(StoredText(DeviceKey("alpha"), "Parity"), "Odd");
    EXPECT_EQ(StoredText(DeviceKey("bravo"), "BaudRate"), "14400");
}

TEST_F(MainWindow, EachListChangeWritesItsEntryAndDescription) {
    WriteProfile("alpha", {"COM1", "9600", "Even", "2"});
    Start();
    host_->Pick(MC::lstInstances, 0);
    host_->Pick(MC::lstSerialPort, 2);
    host_->Pick(MC::lstBaudRate, 4);
    host_->Pick(MC::lstParity, 3);
    host_->Pick(MC::lstVerbosity, 3);
    EXPECT_EQ(StoredText(DeviceKey("alpha"), "SerialPort"), "COM3  ||| Port on which scale is attached");
    EXPECT_EQ(StoredText(DeviceKey("alpha"), "BaudRate"), "19200  ||| Baud rate of connection between scale and POS terminal");
    EXPECT_EQ(StoredText(DeviceKey("alpha"), "Parity"), "Blank");
    EXPECT_EQ(StoredText(DeviceKey("alpha"), "LogVerbosity"),
              "3 - Internal Function Call Traces  ||| Logging verbosity level");
    EXPECT_TRUE(messages_.messages.empty());
}

TEST_F(MainWindow, WithNoDeviceSelectedNothingIsWritten) {
    Start();
    form().SetEnabled(MC::lstSerialPort, true);
    host_->Pick(MC::lstSerialPort, 4);
    EXPECT_EQ(Text(MC::lstSerialPort), "COM1") << "sent back to its default";
    host_->Pick(MC::lstVerbosity, 3);
    EXPECT_EQ(Text(MC::lstVerbosity), "2 - Informational Messages");
    EXPECT_FALSE(KeyExists(kScaleClassKey));
}

// A standard user may read the profile but not change it: the pick is reported and undone.
TEST_F(MainWindow, APickThatCannotBeWrittenIsReportedAndTheListShowsTheStoredValue) {
    WriteProfile("alpha", {"COM3", "9600", "Even", "2"});
    Start();
    host_->Pick(MC::lstInstances, 0);
    {
        ka::test::ReadOnlyKey locked(DeviceKey("alpha"));
        ASSERT_TRUE(locked.applied());
        host_->Pick(MC::lstSerialPort, 5);
        host_->Pick(MC::lstVerbosity, 4);
    }
    EXPECT_EQ(Text(MC::lstSerialPort), "COM3");
    EXPECT_EQ(Text(MC::lstVerbosity), "2 - Informational Messages");
    EXPECT_EQ(StoredText(DeviceKey("alpha"), "SerialPort"), "COM3");
    const std::string denied = ka::test::ErrorText(ERROR_ACCESS_DENIED);
    EXPECT_EQ(messages_.Texts(), (std::vector<std::string>{"The setting \"SerialPort\" could not be saved.\r" + denied,
                                                           "The setting \"LogVerbosity\" could not be saved.\r" + denied}));
}

// Without the right to change the profiles (Windows then refuses every write), every device is
// still listed and shown.
TEST_F(MainWindow, AUserWhoMayOnlyReadTheProfilesSeesEveryDevice) {
    WriteProfile("alpha", {"COM3", "9600", "Even", "2"});
    WriteProfile("bravo", {"COM4", "4800", "Odd", "2"});
    ka::test::ReadOnlyKey locked(kScaleClassKey);
    ASSERT_TRUE(locked.applied());
    Start();
    EXPECT_EQ(host_->Entries(MC::lstInstances), (std::vector<std::string>{"alpha", "bravo"}));
    host_->Pick(MC::lstInstances, 1);
    EXPECT_EQ(Text(MC::lstSerialPort), "COM4");
    EXPECT_TRUE(messages_.messages.empty()) << messages_.messages.front().text;
}

// The machine's own ports (USB adapters are often COM11 and up) join COM1 to COM10.
TEST_F(MainWindow, ThePortListOffersTheMachinesPortsSortedByNumber) {
    constexpr char kSerialComm[] = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
    WriteText(kSerialComm, "\\Device\\KaTestAdapter", "COM57");
    WriteText(kSerialComm, "\\Device\\KaTestLow", "COM3");
    WriteProfile("alpha", {"COM57", "9600", "Even", "2"});
    Start();
    ka::test::DeleteValue(kSerialComm, "\\Device\\KaTestAdapter");
    ka::test::DeleteValue(kSerialComm, "\\Device\\KaTestLow");
    const auto ports = host_->Entries(MC::lstSerialPort);
    EXPECT_EQ(std::count(ports.begin(), ports.end(), "COM57"), 1) << "offered once, not as an extra entry";
    EXPECT_EQ(std::count(ports.begin(), ports.end(), "COM3"), 1);
    EXPECT_EQ(std::vector<std::string>(ports.begin(), ports.begin() + 10),
              (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9", "COM10"}));
    for (std::size_t i = 1; i < ports.size(); ++i)
        EXPECT_LT(std::stoi(ports[i - 1].substr(3)), std::stoi(ports[i].substr(3))) << ports[i];
    EXPECT_EQ(Text(MC::lstSerialPort), "COM57");
    host_->Pick(MC::lstInstances, 0);
    host_->Pick(MC::lstSerialPort, 2);
    EXPECT_EQ(StoredText(DeviceKey("alpha"), "SerialPort"), "COM3  ||| Port on which scale is attached");
}

TEST_F(MainWindow, AddCreatesSelectsAndFocusesTheSerialPort) {
    dialogs_.On("New Device", [](HWND dialog) {
        EXPECT_EQ(GetFocus(), GetDlgItem(dialog, winAddInstance::txtDevName));
        SetDlgItemTextA(dialog, winAddInstance::txtDevName, "Front Scale");
        PostClick(dialog, winAddInstance::Command1);
    });
    Start();
    host_->Click(MC::btnAdd);
    EXPECT_EQ(host_->Entries(MC::lstInstances), std::vector<std::string>{"Front Scale"});
    EXPECT_EQ(Text(MC::lstInstances), "Front Scale");
    EXPECT_TRUE(KeyExists(DeviceKey("front scale")));
    EXPECT_EQ(EnabledState(form()), kDevicePicked);
    EXPECT_EQ(GetFocus(), form().Control(MC::lstSerialPort));
    EXPECT_TRUE(messages_.messages.empty());
    EXPECT_TRUE(IsWindowEnabled(form().Window()));
}

TEST_F(MainWindow, AddRefusesAnEmptyNameOrABackslashAndCancelCreatesNothing) {
    dialogs_.On("New Device", [](HWND dialog) { PostClick(dialog, winAddInstance::Command1); });
    // Refused, the dialog stays open: type a name that makes nested keys, then one to cancel.
    messages_.onMessage = [this](const MessageRequest& shown) {
        if (messages_.messages.size() == 1) {
            SetDlgItemTextA(shown.owner, winAddInstance::txtDevName, "Front\\Scale");
            PostClick(shown.owner, winAddInstance::Command1);
            return;
        }
        SetDlgItemTextA(shown.owner, winAddInstance::txtDevName, "typed, then cancelled");
        PostClick(shown.owner, winAddInstance::Command2);
    };
    Start();
    host_->Click(MC::btnAdd);
    ASSERT_EQ(messages_.messages.size(), 2u);
    EXPECT_EQ(messages_.messages[0].text, "Please enter a valid device name.");
    EXPECT_EQ(messages_.messages[1].text, "A device name cannot contain \"\\\". Please enter another name.");
    for (const auto& shown : messages_.messages) {
        EXPECT_EQ(shown.title, "Vantorel");
        EXPECT_EQ(shown.style, UINT(MB_OK));
    }
    EXPECT_TRUE(host_->Entries(MC::lstInstances).empty());
    EXPECT_FALSE(KeyExists(kScaleClassKey));
    EXPECT_FALSE(KeyExists(kProviderKey)) << "no creation was attempted";
    EXPECT_EQ(EnabledState(form()), kStarted);
}

// The registry holds key names of up to 255 characters: the dialog refuses only longer ones.
TEST_F(MainWindow, AddRefusesOnlyANameTooLongForTheRegistry) {
    const std::string longest(255, 'n');
    dialogs_.On("New Device", [longest](HWND dialog) {
        SetDlgItemTextA(dialog, winAddInstance::txtDevName, (longest + "n").c_str());
        PostClick(dialog, winAddInstance::Command1);
    });
    messages_.onMessage = [longest](const MessageRequest& shown) {
        SetDlgItemTextA(shown.owner, winAddInstance::txtDevName, longest.c_str());
        PostClick(shown.owner, winAddInstance::Command1);
    };
    Start();
    host_->Click(MC::btnAdd);
    const std::vector<std::string> refused{
        "A device name can have at most 255 characters. Please enter a shorter name."};
    EXPECT_EQ(messages_.Texts(), refused);
    // Listed, read and written although its path is longer than MAX_PATH.
    host_->Menu(MC::mnuUpdateDeviceInstances);
    EXPECT_EQ(host_->Entries(MC::lstInstances), std::vector<std::string>{longest});
    host_->Pick(MC::lstInstances, 0);
    host_->Pick(MC::lstBaudRate, 4);
    EXPECT_EQ(messages_.Texts(), refused);
    EXPECT_EQ(basScale::GetBaudRate(longest, ""), "19200");
}

TEST_F(MainWindow, ANameOfBlanksIsAcceptedUnchanged) {
    dialogs_.On("New Device", [](HWND dialog) {
        SetDlgItemTextA(dialog, winAddInstance::txtDevName, "   ");
        PostClick(dialog, winAddInstance::Command1);
    });
    Start();
    host_->Click(MC::btnAdd);
    EXPECT_EQ(host_->Entries(MC::lstInstances), std::vector<std::string>{"   "});
    EXPECT_TRUE(KeyExists(DeviceKey("   ")));
    EXPECT_TRUE(messages_.messages.empty());
}

TEST_F(MainWindow, ARefusedAddRightAfterStartKeepsTheFocusOnTheList) {
    WriteProfile("alpha", {"COM1", "9600", "Even", "2"});
    dialogs_.On("New Device", [](HWND dialog) {
        SetDlgItemTextA(dialog, winAddInstance::txtDevName, "ALPHA");
        PostClick(dialog, winAddInstance::Command1);
    });
    Start();
    host_->Click(MC::btnAdd);
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{"A Device Instance with that name already exists."});
    EXPECT_TRUE(form().IsEnabled(MC::btnEnableDevice)) << "the list is not empty";
    EXPECT_FALSE(form().IsEnabled(MC::lstSerialPort));
    EXPECT_EQ(GetFocus(), form().Control(MC::lstInstances));
}

TEST_F(MainWindow, RemoveAsksAndKeepsTheDeviceOnNo) {
    WriteProfile("alpha", {"COM1", "9600", "Even", "2"});
    Start();
    host_->Pick(MC::lstInstances, 0);
    messages_.AnswerNext(IDNO);
    host_->Click(MC::btnRemove);
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{"Are you sure you want to delete alpha?"});
    EXPECT_TRUE(KeyExists(DeviceKey("alpha")));
    EXPECT_EQ(Text(MC::lstInstances), "alpha");
    EXPECT_EQ(EnabledState(form()), kDevicePicked);
}

TEST_F(MainWindow, RemoveOnYesSelectsTheLastDeviceAndTheLastRemovalEmptiesThePanel) {
    WriteProfile("alpha", {"COM1", "9600", "Even", "2"});
    WriteProfile("bravo", {"COM2", "4800", "Odd", "2"});
    WriteProfile("charlie", {"COM3", "9600", "Even", "2"});
    Start();
    host_->Pick(MC::lstInstances, 0);
    messages_.AnswerNext(IDYES);
    host_->Click(MC::btnRemove);
    EXPECT_FALSE(KeyExists(DeviceKey("alpha")));
    EXPECT_EQ(host_->Entries(MC::lstInstances), (std::vector<std::string>{"bravo", "charlie"}));
    EXPECT_EQ(Text(MC::lstInstances), "charlie");
    EXPECT_EQ(Text(MC::lstSerialPort), "COM3");
    EXPECT_EQ(EnabledState(form()), kDevicePicked);

    messages_.AnswerNext(IDYES);
    messages_.AnswerNext(IDYES);
    host_->Click(MC::btnRemove);
    host_->Click(MC::btnRemove);
    EXPECT_TRUE(host_->Entries(MC::lstInstances).empty());
    EXPECT_EQ(EnabledState(form()), kStarted);
    EXPECT_FALSE(KeyExists(DeviceKey("bravo")));
    EXPECT_FALSE(KeyExists(DeviceKey("charlie")));
    // With no device the lists show the defaults, those the service object takes too.
    EXPECT_EQ(Text(MC::lstSerialPort), "COM1");
    EXPECT_EQ(Text(MC::lstBaudRate), "9600");
    EXPECT_EQ(Text(MC::lstParity), "Even");
    EXPECT_EQ(Text(MC::lstVerbosity), "2 - Informational Messages");
}

TEST_F(MainWindow, RemoveOnAnEmptyListSaysSo) {
    Start();
    form().SetEnabled(MC::btnRemove, true);
    host_->Click(MC::btnRemove);
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{"No devices to delete."});
    EXPECT_EQ(EnabledState(form()), kStarted);
}

TEST_F(MainWindow, RefreshListsTheRegistryAgain) {
    Start();
    WriteProfile("late", {"COM2", "9600", "Even", "2"});
    host_->Menu(MC::mnuUpdateDeviceInstances);
    EXPECT_EQ(host_->Entries(MC::lstInstances), std::vector<std::string>{"late"});
    EXPECT_EQ(EnabledState(form()), kDevicePicked) << "selecting the first entry ran the selection handler";
}

TEST_F(MainWindow, EnableScaleWithoutADeviceAsksForOne) {
    Start();
    form().btnEnableDevice_Click();
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{"You must select a device first."});
}

TEST_F(MainWindow, TheLogFileDialogWritesAConfirmedPath) {
    WriteProfile("alpha", {"COM1", "9600", "Even", "2"});
    WriteText(kProviderKey, "LogFile", "c:\\old.log");
    dialogs_.On("Log File", [](HWND dialog) {
        char shown[MAX_PATH] = {};
        GetDlgItemTextA(dialog, winLogFile::txtLogFile, shown, MAX_PATH);
        EXPECT_STREQ(shown, "c:\\old.log");
        SetDlgItemTextA(dialog, winLogFile::txtLogFile, "d:\\pos\\scale.log");
        PostClick(dialog, winLogFile::btnOk);
    });
    Start();
    host_->Pick(MC::lstInstances, 0);
    host_->Click(MC::btnSetLogFile);
    EXPECT_EQ(StoredText(kProviderKey, "LogFile"), "d:\\pos\\scale.log");
    EXPECT_EQ(Text(MC::lblLogFile), "d:\\pos\\scale.log");
    EXPECT_TRUE(IsWindowEnabled(form().Window()));
}

TEST_F(MainWindow, TheLogFileDialogWritesNothingForAnEmptyFieldOrOnCancel) {
    WriteProfile("alpha", {"COM1", "9600", "Even", "2"});
    WriteText(kProviderKey, "LogFile", "c:\\old.log");
    AnswerLogFileDialog("", winLogFile::btnOk);
    AnswerLogFileDialog("d:\\never.log", winLogFile::btnCancel);
    Start();
    host_->Pick(MC::lstInstances, 0);
    form().SetControlText(MC::lblLogFile, "edited elsewhere");
    host_->Click(MC::btnSetLogFile);
    EXPECT_EQ(StoredText(kProviderKey, "LogFile"), "c:\\old.log");
    EXPECT_EQ(Text(MC::lblLogFile), "c:\\old.log") << "the label shows the stored path again";

    host_->Click(MC::btnSetLogFile);
    EXPECT_EQ(StoredText(kProviderKey, "LogFile"), "c:\\old.log");
    EXPECT_TRUE(IsWindowEnabled(form().Window()));
    EXPECT_TRUE(messages_.messages.empty());
}

// Paths of any length the registry holds come back whole; a path that cannot be stored is reported.
TEST_F(MainWindow, TheLogFileDialogKeepsLongPathsAndReportsAFailedWrite) {
    const std::string longPath = "d:\\" + std::string(180, 'p') + "\\scale.log";
    WriteProfile("alpha", {"COM1", "9600", "Even", "2"});
    WriteText(kProviderKey, "LogFile", "c:\\old.log");
    AnswerLogFileDialog(longPath, winLogFile::btnOk);
    AnswerLogFileDialog("e:\\refused.log", winLogFile::btnOk);
    Start();
    host_->Pick(MC::lstInstances, 0);
    host_->Click(MC::btnSetLogFile);
    EXPECT_EQ(Text(MC::lblLogFile), longPath);
    {
        ka::test::ReadOnlyKey locked(kProviderKey);
        ASSERT_TRUE(locked.applied());
        host_->Click(MC::btnSetLogFile);
    }
    EXPECT_EQ(StoredText(kProviderKey, "LogFile"), longPath);
    EXPECT_EQ(Text(MC::lblLogFile), longPath);
    EXPECT_EQ(messages_.Texts(), std::vector<std::string>{"The setting \"LogFile\" could not be saved.\r" +
                                                          ka::test::ErrorText(ERROR_ACCESS_DENIED)});
}

TEST_F(MainWindow, ACancelledBrowseLeavesThePathField) {
    WriteProfile("alpha", {"COM1", "9600", "Even", "2"});
    WriteText(kProviderKey, "LogFile", "c:\\old.log");
    AnswerLogFileDialog("e:\\typed.log", winLogFile::btnBrowse);
    dialogs_.On("Select Log File", [](HWND fileDialog) {
        HWND logFile = GetWindow(fileDialog, GW_OWNER);
        PostMessageA(fileDialog, WM_COMMAND, IDCANCEL, 0);
        // Queued behind the cancel: handled by the log-file dialog once the file dialog is gone.
        PostClick(logFile, winLogFile::btnOk);
    });
    Start();
    host_->Pick(MC::lstInstances, 0);
    host_->Click(MC::btnSetLogFile);
    EXPECT_EQ(StoredText(kProviderKey, "LogFile"), "e:\\typed.log");
}

TEST_F(MainWindow, TheAboutBoxShowsTheProgramAndStaysSingle) {
    dialogs_.Allow("About Vantorel");
    Start();
    host_->Menu(MC::mnuHelpAbout);
    HWND about = winAbout::Window();
    ASSERT_NE(about, nullptr);
    char text[256] = {};
    GetWindowTextA(about, text, sizeof text);
    EXPECT_STREQ(text, "About Vantorel");
    GetDlgItemTextA(about, winAbout::lblVersion, text, sizeof text);
    EXPECT_STREQ(text, "For 32-bit Windows " KA_VERSION_TEXT);
    GetDlgItemTextA(about, winAbout::lblTitle, text, sizeof text);
    EXPECT_STREQ(text, "Kolvane-Aris OPOS Administrator");
    GetDlgItemTextA(about, winAbout::lblDescription, text, sizeof text);
    EXPECT_STREQ(text, "This application is used to configure and test a Kolvane-Aris TRM-07 model scale.");
    EXPECT_EQ(GetWindow(about, GW_OWNER), nullptr) << "it lives beside the main window";
    EXPECT_TRUE(IsWindowEnabled(form().Window())) << "not modal";

    host_->Menu(MC::mnuHelpAbout);
    EXPECT_EQ(winAbout::Window(), about) << "one about box";
    SendMessageA(about, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    EXPECT_EQ(winAbout::Window(), nullptr) << "Esc closes it";
}

TEST_F(MainWindow, SystemInformationThatCannotBeFoundIsReported) {
    const std::string infoKey = "SOFTWARE\\KolvaneAris\\Shared Tools\\MSINFO";
    const std::string locationKey = "SOFTWARE\\KolvaneAris\\Shared Tools Location";
    {
        ka::test::KeysSetAside aside({infoKey, locationKey});
        dialogs_.Allow("About Vantorel");
        Start();
        host_->Menu(MC::mnuHelpAbout);
        HWND about = winAbout::Window();
        ASSERT_NE(about, nullptr);
        auto pressSysInfo = [&] {
            SendMessageA(about, WM_COMMAND, MAKEWPARAM(winAbout::cmdSysInfo, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(about, winAbout::cmdSysInfo)));
        };

        pressSysInfo();  // neither location
        char folder[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, folder);
        WriteText(locationKey, "MSINFO", folder);
        pressSysInfo();  // a folder without the program
        WriteText(infoKey, "PATH", std::string(folder) + "no-such-program.exe");
        pressSysInfo();  // a path naming a missing program

        ASSERT_EQ(messages_.messages.size(), 3u);
        for (const auto& m : messages_.messages) {
            EXPECT_EQ(m.text, "System Information Is Unavailable At This Time");
            EXPECT_EQ(m.title, "Vantorel");
            EXPECT_EQ(m.style, UINT(MB_OK));
        }
    }
    // Parents made for the test go again, but only when nothing else lives in them.
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\KolvaneAris\\Shared Tools");
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\KolvaneAris");
}

TEST(GetKeyValue, ReadsTextValuesAndFindsOthersWithoutAPath) {
    const std::string key = "SOFTWARE\\KolvaneArisAdminTest";
    WriteText(key, "PATH", "c:\\tools\\info.exe");
    DWORD number = 7;
    {
        ka::UniqueKey k;
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_ALL_ACCESS, k.put());
        RegSetValueExA(k.get(), "Number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    }
    std::string value = "stale";
    EXPECT_TRUE(GetKeyValue(HKEY_LOCAL_MACHINE, key, "PATH", value));
    EXPECT_EQ(value, "c:\\tools\\info.exe");
    EXPECT_TRUE(GetKeyValue(HKEY_LOCAL_MACHINE, key, "Number", value));
    EXPECT_EQ(value, "");
    EXPECT_FALSE(GetKeyValue(HKEY_LOCAL_MACHINE, key, "Missing", value));
    EXPECT_FALSE(GetKeyValue(HKEY_LOCAL_MACHINE, key + "\\Missing", "PATH", value));
    ka::test::DeleteTree(key);
}

TEST_F(MainWindow, ExitClosesTheMainWindowAndTheProgramEndsWithTheLastWindow) {
    dialogs_.Allow("About Vantorel");
    Start();
    QuitWhenLastWindowCloses(true);
    host_->Menu(MC::mnuHelpAbout);
    HWND about = winAbout::Window();
    ASSERT_NE(about, nullptr);
    host_->Menu(MC::mnuFileExit);
    EXPECT_EQ(form().Window(), nullptr) << "the main window is unloaded";
    MSG quit;
    EXPECT_FALSE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the about box keeps the program";
    DestroyWindow(about);
    EXPECT_TRUE(PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the last window ends it";
    QuitWhenLastWindowCloses(false);
}
