#pragma once
// Live objects and server locks of the stand-in DLL, for DllCanUnloadNow.

namespace standin {

void ModuleAddRef() noexcept;
void ModuleRelease() noexcept;
bool ModuleInUse() noexcept;

}  // namespace standin
