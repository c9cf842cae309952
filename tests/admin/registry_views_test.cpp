// The two registry views of 64-bit Windows: the administrator keeps every profile the same in
// both, lists what either holds, and brings a device that another tool left in one view only, or
// different in each, into step from the view the user picks. The main window is driven as a user
// drives it, against the prefix's real registry.

#include <gtest/gtest.h>

#include <array>
#include <map>
#include <memory>

#include "admin/bas_main.h"
#include "admin/win_add_instance.h"
#include "admin/win_log_file.h"
#include "common/unique_handle.h"
#include "tests/admin/admin_test_support.h"
#include "tests/support/read_only_key.h"

using namespace vantorel;
using MC = MainControl;
using namespace ka::test;

namespace {

// In the order the administrator keeps them: the 32-bit view first.
constexpr REGSAM kThirtyTwo = KEY_WOW64_32KEY;
constexpr REGSAM kSixtyFour = KEY_WOW64_64KEY;
constexpr std::array<REGSAM, 2> kViews = {kThirtyTwo, kSixtyFour};
constexpr char kProbeKey[] = "SOFTWARE\\KolvaneArisAdminTestViewProbe";
constexpr char kStepTitle[] = "Registry Views";
constexpr UINT kQuestionStyle = MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON3;
constexpr char kInStep[] = "Same in both registry views";
const std::string kAlpha = DeviceKey("alpha");

using Values = std::map<std::string, std::string>;

// Where Windows keeps two views: a 64-bit program, or a 32-bit one that 64-bit Windows runs.
bool WindowsKeepsTwoViews() {
#ifdef _WIN64
    return true;
#else
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
#endif
}

// Every value of a key in one view, as text; empty when the view lacks the key.
Values ValuesIn(const std::string& path, REGSAM view) {
    Values values;
    ka::UniqueKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) return values;
    for (DWORD index = 0;; ++index) {
        char name[256] = {};
        char data[1024] = {};
        DWORD nameLength = sizeof name;
        DWORD dataSize = sizeof data - 1;
        if (RegEnumValueA(key.get(), index, name, &nameLength, nullptr, nullptr, reinterpret_cast<BYTE*>(data),
                          &dataSize) != ERROR_SUCCESS) {
            break;
        }
        values[name] = data;
    }
    return values;
}

void WriteValues(const std::string& path, const Values& values, REGSAM view) {
    for (const auto& [name, text] : values) WriteText(path, name, text, view);
}

const Values kOtherMakers32 = {{"", "Other.ScaleSO"}, {"SerialPort", "COM5"}};
const Values kOtherMakers64 = {{"", "Other.ScaleSO"}, {"SerialPort", "COM6"}};

class RegistryViews : public ::testing::Test {
protected:
    void SetUp() override {
        if (!WindowsKeepsTwoViews()) GTEST_SKIP() << "Windows keeps one registry view here";
        ASSERT_EQ(ProfileViewFlags(), std::vector<REGSAM>(kViews.begin(), kViews.end()));
        // Everything below relies on the views being two keys: what one holds, the other lacks.
        WriteText(kProbeKey, "probe", "64-bit", kSixtyFour);
        const std::string seen = StoredText(kProbeKey, "probe", kThirtyTwo);
        DeleteTree(kProbeKey, kSixtyFour);
        ASSERT_EQ(seen, kAbsent) << "the 32-bit view shows the 64-bit view's key";
    }

    void TearDown() override {
        EXPECT_TRUE(dialogs_.unexpected.empty()) << dialogs_.unexpected.front();
        EXPECT_EQ(dialogs_.Pending(), 0u) << "a dialog the test waited for never opened";
    }

    CleanProfiles clean_;
    DialogScript dialogs_;
};

// What a row of a table sees: the window on the registry the row laid out, and its messages.
struct Window {
    explicit Window() : host(std::make_unique<MainWindowHost>()) {}
    winMain& form() { return host->form(); }
    std::string Status() { return form().ControlText(MC::lblViews); }
    bool SyncOffered() { return form().IsEnabled(MC::btnSyncViews); }
    MessageRecorder messages;
    std::unique_ptr<MainWindowHost> host;
};

}  // namespace

TEST_F(RegistryViews, EveryWriteAndDeleteOfTheAdministratorReachesBothViews) {
    dialogs_.On("New Device", [](HWND dialog) {
        SetDlgItemTextA(dialog, winAddInstance::txtDevName, "Front Scale");
        PostClick(dialog, winAddInstance::Command1);
    });
    dialogs_.On("Log File", [](HWND dialog) {
        SetDlgItemTextA(dialog, winLogFile::txtLogFile, "d:\\logs\\scale.log");
        PostClick(dialog, winLogFile::btnOk);
    });
    Window w;
    ASSERT_TRUE(w.host->Started());
    const std::string key = DeviceKey("front scale");

    w.host->Click(MC::btnAdd);
    EXPECT_EQ(ValuesIn(key, kThirtyTwo).size(), 12u);
    EXPECT_EQ(ValuesIn(key, kThirtyTwo), ValuesIn(key, kSixtyFour));
    EXPECT_EQ(ValuesIn(kProviderKey, kThirtyTwo), (Values{{"LogFile", "c:\\OposAdmin.log"}}));
    EXPECT_EQ(ValuesIn(kProviderKey, kSixtyFour), (Values{{"LogFile", "c:\\OposAdmin.log"}}));
    EXPECT_EQ(w.Status(), kInStep);
    EXPECT_FALSE(w.SyncOffered());

    w.host->Pick(MC::lstBaudRate, 4);
    w.host->Click(MC::btnSetLogFile);
    for (const REGSAM view : kViews) {
        EXPECT_EQ(StoredText(key, "BaudRate", view), "19200  ||| Baud rate of connection between scale and POS terminal")
            << view;
        EXPECT_EQ(StoredText(kProviderKey, "LogFile", view), "d:\\logs\\scale.log") << view;
    }

    w.messages.AnswerNext(IDYES);
    w.host->Click(MC::btnRemove);
    EXPECT_EQ(w.messages.Texts(), std::vector<std::string>{"Are you sure you want to delete Front Scale?"});
    for (const REGSAM view : kViews) EXPECT_FALSE(KeyExists(key, view)) << view;
    EXPECT_TRUE(w.host->Entries(MC::lstInstances).empty());
}

// A device that an earlier administrator (32-bit view) or a 64-bit tool left in one view only.
TEST_F(RegistryViews, ADeviceInOneViewIsListedMarkedAndBroughtIntoStepFromTheViewPicked) {
    struct Case {
        const char* what;
        std::size_t holder;  // the view that holds "alpha" and the provider key
        int answer;
        bool copied;  // else deleted
        const char* status;
        const char* question;
        const char* outcome;
    };
    constexpr char kOnlyIn32[] =
        "alpha is only in the 32-bit registry view: 64-bit applications cannot find it.\r"
        "The shared log-file setting differs between the registry views: LogFile.\r\r"
        "Yes: copy alpha from the 32-bit view into the 64-bit view.\r"
        "No: delete alpha from the 32-bit view, as the 64-bit view has no such device.\r"
        "Cancel: change nothing.";
    constexpr char kOnlyIn64[] =
        "alpha is only in the 64-bit registry view: 32-bit applications cannot find it.\r"
        "The shared log-file setting differs between the registry views: LogFile.\r\r"
        "Yes: delete alpha from the 64-bit view, as the 32-bit view has no such device.\r"
        "No: copy alpha from the 64-bit view into the 32-bit view.\r"
        "Cancel: change nothing.";
    constexpr char kCopied[] = "alpha is now the same in both registry views.";
    constexpr char kDeleted[] = "alpha was deleted: neither registry view holds it now.";
    const Case cases[] = {
        {"in the 32-bit view, copied", 0, IDYES, true, "Only in the 32-bit view", kOnlyIn32, kCopied},
        {"in the 32-bit view, deleted", 0, IDNO, false, "Only in the 32-bit view", kOnlyIn32, kDeleted},
        {"in the 64-bit view, deleted", 1, IDYES, false, "Only in the 64-bit view", kOnlyIn64, kDeleted},
        {"in the 64-bit view, copied", 1, IDNO, true, "Only in the 64-bit view", kOnlyIn64, kCopied},
    };
    const Values alpha = {{"", "KolvaneAris.ScaleTRM07"}, {"BaudRate", "2400"}, {"SerialPort", "COM3"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CleanProfiles clean;
        WriteValues(kAlpha, alpha, kViews[c.holder]);
        WriteText(kProviderKey, "LogFile", "c:\\kept.log", kViews[c.holder]);
        // Another maker's device, in both views under two casings and with settings of its own in each.
        WriteValues(DeviceKey("Bravo"), kOtherMakers32, kThirtyTwo);
        WriteValues(DeviceKey("bravo"), kOtherMakers64, kSixtyFour);
        Window w;
        ASSERT_TRUE(w.host->Started());
        EXPECT_EQ(w.host->Entries(MC::lstInstances), (std::vector<std::string>{"alpha", "Bravo"}));
        w.host->Pick(MC::lstInstances, 0);
        EXPECT_EQ(w.Status(), c.status);
        EXPECT_EQ(w.form().ControlText(MC::lstSerialPort), "COM3");

        w.messages.AnswerNext(c.answer);
        w.host->Click(MC::btnSyncViews);
        EXPECT_EQ(w.messages.Shown(0), Shown(kStepTitle, c.question, kQuestionStyle));
        EXPECT_EQ(w.messages.Shown(1), Shown(kStepTitle, c.outcome, MB_OK));
        EXPECT_EQ(w.messages.messages.size(), 2u);
        for (const REGSAM view : kViews) {
            EXPECT_EQ(ValuesIn(kAlpha, view), c.copied ? alpha : Values{}) << view;
            EXPECT_EQ(StoredText(kProviderKey, "LogFile", view), "c:\\kept.log") << "never deleted; " << view;
        }
        EXPECT_EQ(ValuesIn(DeviceKey("Bravo"), kThirtyTwo), kOtherMakers32) << "a device nobody asked for";
        EXPECT_EQ(ValuesIn(DeviceKey("Bravo"), kSixtyFour), kOtherMakers64);
        if (c.copied) {
            EXPECT_EQ(w.Status(), kInStep);
            EXPECT_FALSE(w.SyncOffered());
        } else {
            EXPECT_EQ(w.host->Entries(MC::lstInstances), std::vector<std::string>{"Bravo"});
            EXPECT_EQ(w.Status(), "Views differ; 32-bit shown");
        }
    }
}

TEST_F(RegistryViews, DifferingSettingsAreShownAndTheViewPickedIsKeptInBoth) {
    const Values thirtyTwo = {{"", "KolvaneAris.ScaleTRM07"},
                              {"BaudRate", "9600"},
                              {"ExtraOnly32", "x"},
                              {"Parity", "Even"},
                              {"SerialPort", "COM3"}};
    const Values sixtyFour = {{"", "KolvaneAris.ScaleTRM07"},
                              {"BaudRate", "9600"},
                              {"LogVerbosity", "3"},
                              {"Parity", "Even"},
                              {"SerialPort", "COM4"}};
    struct Case {
        int answer;
        const Values* kept32;  // what each view holds afterwards
        const Values* kept64;
        const char* logFile32;
        const char* logFile64;
        const char* shownPort;
        const char* outcome;  // null: nothing changed, nothing more to say
    };
    const Case cases[] = {
        {IDYES, &thirtyTwo, &thirtyTwo, "c:\\a.log", "c:\\a.log", "COM3", "alpha is now the same in both registry views."},
        {IDNO, &sixtyFour, &sixtyFour, "d:\\b.log", "d:\\b.log", "COM4", "alpha is now the same in both registry views."},
        {IDCANCEL, &thirtyTwo, &sixtyFour, "c:\\a.log", "d:\\b.log", "COM3", nullptr},
    };
    const std::string question =
        "The settings of alpha differ between the registry views: ExtraOnly32, LogVerbosity, SerialPort.\r"
        "The shared log-file setting differs between the registry views: LogFile.\r\r"
        "Yes: keep the 32-bit view's settings in both (the panel shows these).\r"
        "No: keep the 64-bit view's settings in both.\r"
        "Cancel: change nothing.";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answer);
        CleanProfiles clean;
        WriteValues(kAlpha, thirtyTwo, kThirtyTwo);
        WriteValues(kAlpha, sixtyFour, kSixtyFour);
        WriteText(kProviderKey, "LogFile", "c:\\a.log", kThirtyTwo);
        WriteText(kProviderKey, "LogFile", "d:\\b.log", kSixtyFour);
        Window w;
        ASSERT_TRUE(w.host->Started());
        EXPECT_EQ(w.host->Entries(MC::lstInstances), std::vector<std::string>{"alpha"});
        w.host->Pick(MC::lstInstances, 0);
        EXPECT_EQ(w.Status(), "Views differ; 32-bit shown");
        EXPECT_EQ(w.form().ControlText(MC::lstSerialPort), "COM3");
        EXPECT_EQ(w.form().ControlText(MC::lblLogFile), "c:\\a.log");

        w.messages.AnswerNext(c.answer);
        w.host->Click(MC::btnSyncViews);
        EXPECT_EQ(w.messages.Shown(0), Shown(kStepTitle, question, kQuestionStyle));
        EXPECT_EQ(w.messages.messages.size(), c.outcome ? 2u : 1u);
        if (c.outcome) {
            EXPECT_EQ(w.messages.Shown(1), Shown(kStepTitle, c.outcome, MB_OK));
        }
        EXPECT_EQ(ValuesIn(kAlpha, kThirtyTwo), *c.kept32);
        EXPECT_EQ(ValuesIn(kAlpha, kSixtyFour), *c.kept64);
        EXPECT_EQ(StoredText(kProviderKey, "LogFile", kThirtyTwo), c.logFile32);
        EXPECT_EQ(StoredText(kProviderKey, "LogFile", kSixtyFour), c.logFile64);
        EXPECT_EQ(w.form().ControlText(MC::lstSerialPort), c.shownPort);
        EXPECT_EQ(w.form().ControlText(MC::lblLogFile), c.logFile32) << "the 32-bit view's, as the panel shows it";
        EXPECT_EQ(w.Status(), c.outcome ? kInStep : "Views differ; 32-bit shown");
        EXPECT_EQ(w.SyncOffered(), c.outcome == nullptr);
    }
}

// A view that refuses one step of an operation: the user is told, and no view is left changed
// while the other is not.
TEST_F(RegistryViews, AViewThatRefusesIsReportedAndBothViewsStayAsTheyWere) {
    const Values alpha = {{"", "KolvaneAris.ScaleTRM07"}, {"BaudRate", "9600"}, {"SerialPort", "COM3"}};
    const std::string denied = ka::test::ErrorText(ERROR_ACCESS_DENIED);
    struct Case {
        const char* what;
        std::array<bool, 2> holdsBefore;  // "alpha", in step where both hold it
        const char* lockedKey;            // made read-only in one view
        REGSAM lockedView;
        void (*act)(Window&);
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {"a setting the 64-bit view refuses", {true, true}, kAlpha.c_str(), kSixtyFour,
         [](Window& w) { w.host->Pick(MC::lstBaudRate, 4); },
         {"The setting \"BaudRate\" could not be saved.\r" + denied}},
        // The 32-bit view is deleted from first; Wine lets any deletion through a key's security.
        {"a deletion the 64-bit view cannot make, its key having a subkey", {true, true}, nullptr, 0,
         [](Window& w) {
             WriteText(kAlpha + "\\inner", "x", "y", kSixtyFour);
             w.messages.AnswerNext(IDYES);
             w.host->Click(MC::btnRemove);
         },
         {"Are you sure you want to delete alpha?", "Error trying to delete device alpha."}},
        {"a copy the 64-bit view refuses", {true, false}, kScaleClassKey, kSixtyFour,
         [](Window& w) {
             w.messages.AnswerNext(IDYES);
             w.host->Click(MC::btnSyncViews);
         },
         {"alpha is only in the 32-bit registry view: 64-bit applications cannot find it.\r\r"
          "Yes: copy alpha from the 32-bit view into the 64-bit view.\r"
          "No: delete alpha from the 32-bit view, as the 64-bit view has no such device.\r"
          "Cancel: change nothing.",
          "alpha could not be brought into step.\r" + denied}},
        {"a new device the 64-bit view refuses", {false, false}, kScaleClassKey, kSixtyFour,
         [](Window& w) { basMain::CreateDeviceInstance(w.form(), "alpha"); },
         {"Error creating new device instance [ 5]"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CleanProfiles clean;
        WriteText(kProviderKey, "LogFile", "c:\\OposAdmin.log", kThirtyTwo);
        WriteText(kProviderKey, "LogFile", "c:\\OposAdmin.log", kSixtyFour);
        for (std::size_t v = 0; v < kViews.size(); ++v) {
            if (c.holdsBefore[v]) WriteValues(kAlpha, alpha, kViews[v]);
            WriteText(DeviceKey("zulu"), "", "Other.ScaleSO", kViews[v]);  // the class key in each view
        }
        Window w;
        ASSERT_TRUE(w.host->Started());
        w.host->Pick(MC::lstInstances, 0);
        {
            std::unique_ptr<ReadOnlyKey> locked;
            if (c.lockedKey) {
                locked = std::make_unique<ReadOnlyKey>(c.lockedKey, HKEY_LOCAL_MACHINE, c.lockedView);
                ASSERT_TRUE(locked->applied());
            }
            c.act(w);
        }
        EXPECT_EQ(w.messages.Texts(), c.messages);
        for (std::size_t v = 0; v < kViews.size(); ++v) {
            EXPECT_EQ(KeyExists(kAlpha, kViews[v]), c.holdsBefore[v]) << kViews[v];
            EXPECT_EQ(ValuesIn(kAlpha, kViews[v]), c.holdsBefore[v] ? alpha : Values{}) << kViews[v];
        }
        if (c.holdsBefore[0]) {
            EXPECT_EQ(w.form().ControlText(MC::lstInstances), "alpha");
            EXPECT_EQ(w.form().ControlText(MC::lstBaudRate), "9600");
            EXPECT_EQ(w.Status(), c.holdsBefore[1] ? kInStep : "Only in the 32-bit view");
        }
    }
}

// On 32-bit Windows nothing about the views shows.
TEST_F(MainWindowTest, TheViewsStatusAndCommandShowOnlyWhereWindowsKeepsTwoViews) {
    const bool twoViews = WindowsKeepsTwoViews();
    EXPECT_EQ(ProfileViewFlags().size(), twoViews ? 2u : 1u);
    EXPECT_EQ(IsWindowVisible(form().Control(MC::lblViews)) != FALSE, twoViews);
    EXPECT_EQ(IsWindowVisible(form().Control(MC::btnSyncViews)) != FALSE, twoViews);
    EXPECT_FALSE(form().IsEnabled(MC::btnSyncViews));
}
