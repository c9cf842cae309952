#include "tools/opos_standin/module_count.h"

#include <windows.h>

namespace standin {

namespace {
LONG g_moduleCount = 0;
}

void ModuleAddRef() noexcept { InterlockedIncrement(&g_moduleCount); }
void ModuleRelease() noexcept { InterlockedDecrement(&g_moduleCount); }
bool ModuleInUse() noexcept { return InterlockedCompareExchange(&g_moduleCount, 0, 0) != 0; }

}  // namespace standin
