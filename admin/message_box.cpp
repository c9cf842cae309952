#include "admin/message_box.h"

#include <utility>

namespace vantorel {

namespace {
MessageBoxSeam& CurrentSeam() {
    static MessageBoxSeam seam;
    return seam;
}
}  // namespace

int ShowMessage(HWND owner, const std::string& text, const std::string& title, UINT style) {
    if (const auto& seam = CurrentSeam()) return seam(MessageRequest{owner, text, title, style});
    return MessageBoxA(owner, text.c_str(), title.c_str(), style);
}

MessageBoxSeam ReplaceMessageBox(MessageBoxSeam seam) { return std::exchange(CurrentSeam(), std::move(seam)); }

}  // namespace vantorel
