// A library that runs one action of its host's when it is unloaded: code that runs in a library's
// detach, under the loader's lock, as a close from another library's detach or static destructor
// would.

#include <windows.h>

namespace {
void (*g_action)(void*) = nullptr;
void* g_context = nullptr;
}  // namespace

extern "C" __declspec(dllexport) void SetDetachAction(void (*action)(void*), void* context) {
    g_action = action;
    g_context = context;
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_DETACH && g_action) g_action(g_context);
    return TRUE;
}
