#pragma once
// Waiting for something that shows in a folder (a log line, a cable's ends): the condition is
// looked at again whenever the folder changes, not by polling.

#include <windows.h>

#include <string>

namespace ka::test {

// Waits until `condition` holds, at most `timeoutMs`, woken by the changes of `filter`
// (FILE_NOTIFY_CHANGE_...) in `folder`. The condition's last answer.
template <typename Condition>
bool WaitForFolderCondition(const std::string& folder, DWORD filter, DWORD timeoutMs, Condition condition) {
    const HANDLE change = FindFirstChangeNotificationA(folder.c_str(), FALSE, filter);
    if (change == INVALID_HANDLE_VALUE) return condition();
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    bool reached = false;
    for (;;) {
        reached = condition();
        const ULONGLONG now = GetTickCount64();
        if (reached || now >= deadline) break;
        if (WaitForSingleObject(change, static_cast<DWORD>(deadline - now)) == WAIT_OBJECT_0) FindNextChangeNotification(change);
    }
    FindCloseChangeNotification(change);
    return reached;
}

}  // namespace ka::test
