#include "tests/admin/admin_test_support.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

#include "admin/bas_win_reg.h"
#include "common/unique_handle.h"

namespace ka::test {

namespace {

constexpr char kBackupRoot[] = "SOFTWARE\\KolvaneArisAdminTestBackup";
DialogScript* activeScript = nullptr;

}  // namespace

bool KeyExists(const std::string& path, REGSAM view) {
    ka::UniqueKey key;
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, key.put()) == ERROR_SUCCESS;
}

std::string StoredText(const std::string& path, const std::string& valueName, REGSAM view) {
    ka::UniqueKey key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, key.put()) != ERROR_SUCCESS) return kAbsent;
    char buffer[1024] = {};
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key.get(), valueName.empty() ? nullptr : valueName.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS ||
        type != REG_SZ) {
        return kAbsent;
    }
    return buffer;
}

void WriteText(const std::string& path, const std::string& valueName, const std::string& text, REGSAM view) {
    ka::UniqueKey key;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, key.put(),
                    nullptr);
    RegSetValueExA(key.get(), valueName.empty() ? nullptr : valueName.c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(text.c_str()), static_cast<DWORD>(text.size() + 1));
}

void DeleteValue(const std::string& path, const std::string& valueName) {
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, path.c_str(), valueName.c_str());
}

std::string ErrorText(long code) {
    char text[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, static_cast<DWORD>(code), 0,
                   text, sizeof text, nullptr);
    std::string message = text;
    while (!message.empty() && std::strchr("\r\n ", message.back())) message.pop_back();
    return message;
}

void DeleteTree(const std::string& path, REGSAM view) {
    {
        ka::UniqueKey key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS | view, key.put()) == ERROR_SUCCESS)
            RegDeleteTreeA(key.get(), nullptr);
    }
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), view, 0);
}

std::vector<REGSAM> ProfileViewFlags() {
    std::vector<REGSAM> flags;
    for (const auto& view : vantorel::basWinReg::ProfileViews()) flags.push_back(view.flag);
    return flags;
}

KeysSetAside::KeysSetAside(std::vector<std::string> paths) : paths_(std::move(paths)) {
    static int sets = 0;
    backupRoot_ = std::string(kBackupRoot) + "\\" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++sets);
    // The backup lies under SOFTWARE too, so each view keeps its own.
    for (const REGSAM view : ProfileViewFlags()) {
        DeleteTree(backupRoot_, view);
        for (std::size_t i = 0; i < paths_.size(); ++i) {
            if (!KeyExists(paths_[i], view)) continue;
            ka::UniqueKey source;
            ka::UniqueKey backup;
            RegOpenKeyExA(HKEY_LOCAL_MACHINE, paths_[i].c_str(), 0, KEY_READ | view, source.put());
            RegCreateKeyExA(HKEY_LOCAL_MACHINE, BackupPath(i).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                            backup.put(), nullptr);
            RegCopyTreeA(source.get(), nullptr, backup.get());
            source.reset();
            DeleteTree(paths_[i], view);
        }
    }
}

KeysSetAside::~KeysSetAside() {
    for (const REGSAM view : ProfileViewFlags()) Restore(view);
}

void KeysSetAside::Restore(REGSAM view) {
    for (std::size_t i = 0; i < paths_.size(); ++i) {
        DeleteTree(paths_[i], view);
        if (!KeyExists(BackupPath(i), view)) continue;
        ka::UniqueKey backup;
        ka::UniqueKey restored;
        RegOpenKeyExA(HKEY_LOCAL_MACHINE, BackupPath(i).c_str(), 0, KEY_READ | view, backup.put());
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, paths_[i].c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                        restored.put(), nullptr);
        RegCopyTreeA(backup.get(), nullptr, restored.get());
    }
    DeleteTree(backupRoot_, view);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, kBackupRoot, view, 0);  // only when no other set is still aside
}

std::string KeysSetAside::BackupPath(std::size_t index) const { return backupRoot_ + "\\" + std::to_string(index); }

CleanProfiles::CleanProfiles() : KeysSetAside({kScaleClassKey, kProviderKey}) {}

MessageRecorder::MessageRecorder() {
    previous_ = vantorel::ReplaceMessageBox([this](const vantorel::MessageRequest& request) {
        messages.push_back(request);
        if (onMessage) onMessage(request);
        return Answer(request);
    });
}

MessageRecorder::~MessageRecorder() { vantorel::ReplaceMessageBox(std::move(previous_)); }

int MessageRecorder::Answer(const vantorel::MessageRequest& request) {
    const UINT buttons = request.style & MB_TYPEMASK;
    if (buttons != MB_YESNO && buttons != MB_YESNOCANCEL) return IDOK;
    // A question beyond the answers given gets the answer that changes nothing.
    if (answers_.empty()) return buttons == MB_YESNOCANCEL ? IDCANCEL : IDNO;
    const int answer = answers_.front();
    answers_.pop_front();
    return answer;
}

std::vector<std::string> MessageRecorder::Texts() const {
    std::vector<std::string> texts;
    for (const auto& m : messages) texts.push_back(m.text);
    return texts;
}

DialogScript::DialogScript() {
    activeScript = this;
    hook_ = SetWindowsHookExA(WH_CALLWNDPROCRET, &DialogScript::Hook, nullptr, GetCurrentThreadId());
}

DialogScript::~DialogScript() {
    if (hook_) UnhookWindowsHookEx(hook_);
    activeScript = nullptr;
}

void DialogScript::On(const std::string& caption, std::function<void(HWND)> action) {
    actions_.emplace_back(caption, std::move(action));
}

void DialogScript::Initialised(HWND dialog) {
    char caption[256] = {};
    GetWindowTextA(dialog, caption, sizeof caption);
    if (std::find(allowed_.begin(), allowed_.end(), caption) != allowed_.end()) return;
    if (actions_.empty() || actions_.front().first != caption) {
        unexpected.push_back(caption);
        // An unexpected dialog is closed, so a failing test does not hang in its modal loop.
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    auto action = std::move(actions_.front().second);
    actions_.pop_front();
    action(dialog);
}

LRESULT CALLBACK DialogScript::Hook(int code, WPARAM wParam, LPARAM lParam) noexcept {
    if (code == HC_ACTION && activeScript) {
        const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        if (call->message == WM_INITDIALOG) {
            try {
                activeScript->Initialised(call->hwnd);
            } catch (...) {
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void PostClick(HWND dialog, int buttonId) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, buttonId)));
}

MainWindowHost::MainWindowHost() : com_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    form_ = vantorel::winMain::Create(GetModuleHandleA(nullptr), SW_SHOWNORMAL);
}

MainWindowHost::~MainWindowHost() {
    form_.reset();
    if (SUCCEEDED(com_)) CoUninitialize();
}

void MainWindowHost::Click(vantorel::MainControl control) {
    HWND button = form_->Control(control);
    // A disabled button cannot be clicked.
    if (!IsWindowEnabled(button)) return;
    // Through the panel, which passes it on to the window as a real click would travel.
    SendMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(vantorel::Id(control), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

void MainWindowHost::Menu(vantorel::MainControl item) {
    SendMessageA(form_->Window(), WM_COMMAND, MAKEWPARAM(vantorel::Id(item), 0), 0);
}

void MainWindowHost::Pick(vantorel::MainControl list, int position) {
    HWND control = form_->Control(list);
    SendMessageA(control, CB_SETCURSEL, static_cast<WPARAM>(position), 0);
    SendMessageA(GetParent(control), WM_COMMAND, MAKEWPARAM(vantorel::Id(list), CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(control));
}

std::string Shown(const std::string& title, const std::string& text, UINT style) {
    return title + " | " + text + " | style " + std::to_string(style);
}

std::string MessageRecorder::Shown(std::size_t index) const {
    if (index >= messages.size()) return "<no message " + std::to_string(index) + ">";
    return ka::test::Shown(messages[index].title, messages[index].text, messages[index].style);
}

std::string EnabledState(vantorel::winMain& form) {
    using MC = vantorel::MainControl;
    constexpr MC kControls[] = {MC::lstInstances,    MC::btnAdd,           MC::btnRemove,    MC::lstSerialPort,
                                MC::lstBaudRate,     MC::lstParity,        MC::lstVerbosity, MC::btnSetLogFile,
                                MC::lblLogFile,      MC::btnEnableDevice,  MC::btnDisableDevice,
                                MC::btnZeroScale,    MC::btnReadWeight};
    constexpr std::size_t kGroupStarts[] = {2, 3, 9, 10, 11};
    std::string state;
    for (std::size_t i = 0; i < std::size(kControls); ++i) {
        if (std::find(std::begin(kGroupStarts), std::end(kGroupStarts), i) != std::end(kGroupStarts)) state += ' ';
        state += form.IsEnabled(kControls[i]) ? '1' : '0';
    }
    return state;
}

}  // namespace ka::test

namespace ka::test {

std::vector<std::string> MainWindowHost::Entries(vantorel::MainControl list) {
    std::vector<std::string> entries;
    HWND combo = form_->Control(list);
    const int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        std::string text(length > 0 ? static_cast<std::size_t>(length) + 1 : 1, '\0');
        SendMessageA(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        entries.emplace_back(text.c_str());
    }
    return entries;
}

}  // namespace ka::test
