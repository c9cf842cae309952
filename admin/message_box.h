#pragma once
// Every message of the administrator goes through ShowMessage, so one place decides how it is
// shown and a test can stand in for the user.

#include <windows.h>

#include <functional>
#include <string>

namespace vantorel {

// The program title: the caption of every message that names no title of its own.
inline constexpr char kProgramTitle[] = "Vantorel";
// Lines of a composed message are separated by a lone carriage return.
inline constexpr char kLineBreak[] = "\r";

struct MessageRequest {
    HWND owner;
    std::string text;
    std::string title;
    UINT style;  // MB_ buttons, icon and default button
};

// Answers a message in the user's place: returns IDOK, IDYES, IDNO, ...
using MessageBoxSeam = std::function<int(const MessageRequest&)>;

// Shows a modal message box and returns the button pressed.
int ShowMessage(HWND owner, const std::string& text, const std::string& title = kProgramTitle, UINT style = MB_OK);

// Replaces how messages are shown; an empty seam restores the real message box. Returns the previous seam.
MessageBoxSeam ReplaceMessageBox(MessageBoxSeam seam);

}  // namespace vantorel
