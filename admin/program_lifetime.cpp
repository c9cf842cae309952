#include "admin/program_lifetime.h"

#include <windows.h>

namespace vantorel {

namespace {
// Every window of the program lives on its one user-interface thread.
int openWindows = 0;
bool quitWhenLast = false;
}  // namespace

void TopLevelWindowOpened() noexcept { ++openWindows; }

void TopLevelWindowClosed() noexcept {
    if (--openWindows == 0 && quitWhenLast) PostQuitMessage(0);
}

void QuitWhenLastWindowCloses(bool quit) noexcept { quitWhenLast = quit; }

}  // namespace vantorel
