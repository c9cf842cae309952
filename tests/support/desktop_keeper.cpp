// Holds the desktop of a Wine prefix for as long as its standard input stays open.
//
// In a 64-bit prefix that runs 32-bit programs (WOW64), a 32-bit program cannot bring up the
// desktop itself under Wine, and the desktop goes when no program holds a window for a while:
// the package test keeps it up with this 64-bit program while 32-bit programs weigh. Prints
// "desktop ready" once its window exists.

#include <windows.h>

#include <cstdio>

int main() {
    HWND window = CreateWindowExW(0, L"STATIC", L"desktop keeper", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (!window) {
        std::printf("desktop keeper: no window (error %lu)\n", GetLastError());
        return 1;
    }
    std::printf("desktop ready\n");
    std::fflush(stdout);
    char buffer[64];
    DWORD got = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, sizeof buffer, &got, nullptr) && got > 0) {
    }
    DestroyWindow(window);
    return 0;
}
