#pragma once
// Helpers for the administrator's tests: a registry without any scale profile, a stand-in for
// the user at message boxes, and a script that answers the program's dialogs as they open.

#include <windows.h>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "admin/message_box.h"
#include "admin/win_main.h"

namespace ka::test {

// Moves registry keys (under HKEY_LOCAL_MACHINE, in every view the profiles are kept in) aside
// for the test and puts them back afterwards.
class KeysSetAside {
public:
    explicit KeysSetAside(std::vector<std::string> paths);
    ~KeysSetAside();
    KeysSetAside(const KeysSetAside&) = delete;
    KeysSetAside& operator=(const KeysSetAside&) = delete;

private:
    std::string BackupPath(std::size_t index) const;
    void Restore(REGSAM view);
    std::vector<std::string> paths_;
    std::string backupRoot_;
};

// A machine without any scale profile or provider key, for the length of a test.
class CleanProfiles : public KeysSetAside {
public:
    CleanProfiles();
};

// The flags of the registry views the administrator keeps the profiles in (one 0 on 32-bit Windows).
std::vector<REGSAM> ProfileViewFlags();
// `view` names a registry view (KEY_WOW64_32KEY, KEY_WOW64_64KEY); 0 is the test's own.
bool KeyExists(const std::string& path, REGSAM view = 0);
// The REG_SZ text of a value, or "<absent>" when it is missing or of another type.
std::string StoredText(const std::string& path, const std::string& valueName, REGSAM view = 0);
void WriteText(const std::string& path, const std::string& valueName, const std::string& text, REGSAM view = 0);
void DeleteValue(const std::string& path, const std::string& valueName);
void DeleteTree(const std::string& path, REGSAM view = 0);
// The system's text for a Windows error code, without its line end.
std::string ErrorText(long code);

// Records every message the program shows and answers it in the user's place.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    // Answers for Yes/No(/Cancel) questions, used in order; a question beyond them is answered No,
    // or Cancel where it offers that.
    void AnswerNext(int answer) { answers_.push_back(answer); }
    std::vector<std::string> Texts() const;
    // The message at `index` as "title | text | style", for one comparison with Shown().
    std::string Shown(std::size_t index) const;
    std::vector<vantorel::MessageRequest> messages;
    // Runs while a message is shown, as the user could act then (on the box's owner, say).
    std::function<void(const vantorel::MessageRequest&)> onMessage;

private:
    int Answer(const vantorel::MessageRequest& request);
    std::deque<int> answers_;
    vantorel::MessageBoxSeam previous_;
};

// A message as MessageRecorder::Shown describes it.
std::string Shown(const std::string& title, const std::string& text, UINT style);

// Runs an action on a dialog of this thread once it has been initialised: the action posts the
// clicks, which the dialog's own modal loop then handles. Each action runs once, in order.
class DialogScript {
public:
    DialogScript();
    ~DialogScript();
    DialogScript(const DialogScript&) = delete;
    DialogScript& operator=(const DialogScript&) = delete;

    void On(const std::string& caption, std::function<void(HWND)> action);
    // A dialog that may open without an action (a modeless box the test looks at itself).
    void Allow(const std::string& caption) { allowed_.push_back(caption); }
    // Captions of dialogs that opened without an action waiting for them.
    std::vector<std::string> unexpected;
    std::size_t Pending() const { return actions_.size(); }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) noexcept;
    void Initialised(HWND dialog);
    HHOOK hook_ = nullptr;
    std::deque<std::pair<std::string, std::function<void(HWND)>>> actions_;
    std::vector<std::string> allowed_;
};

// Posts a button click to a dialog, as the button itself would send it.
void PostClick(HWND dialog, int buttonId);

// The main window in this thread, with COM and the common controls ready.
class MainWindowHost {
public:
    MainWindowHost();
    ~MainWindowHost();
    vantorel::winMain& form() { return *form_; }
    bool Started() const { return form_ != nullptr; }
    // Sends what the control sends its window when the user acts on it.
    void Click(vantorel::MainControl control);
    void Menu(vantorel::MainControl item);
    // The user picks an entry of a drop-down list.
    void Pick(vantorel::MainControl list, int position);
    std::vector<std::string> Entries(vantorel::MainControl list);

private:
    HRESULT com_;
    std::unique_ptr<vantorel::winMain> form_;
};

inline constexpr char kScaleClassKey[] = "SOFTWARE\\OLEforRetail\\ServiceOPOS\\Scale";
inline std::string DeviceKey(const std::string& name) { return std::string(kScaleClassKey) + "\\" + name; }

// Which of the main window's controls are enabled, as one text for clear failures:
// list+Add, Remove, the configuration panel (6), Enable, Disable, Zero/Read.
std::string EnabledState(vantorel::winMain& form);
inline constexpr char kStarted[] = "11 0 000000 0 0 00";
inline constexpr char kDevicePicked[] = "11 1 111111 1 0 00";
inline constexpr char kScaleEnabled[] = "00 0 000000 0 1 11";
inline constexpr const char* kIdle = kDevicePicked;

// The main window on a machine without scale profiles, with the user's messages answered.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(host_.Started()); }
    vantorel::winMain& form() { return host_.form(); }

    CleanProfiles clean_;
    MessageRecorder messages_;
    MainWindowHost host_;
};
inline constexpr char kProviderKey[] = "SOFTWARE\\OLEforRetail\\ServiceInfo\\Kolvane-Aris";
inline constexpr char kAbsent[] = "<absent>";

}  // namespace ka::test
