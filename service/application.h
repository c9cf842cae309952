#pragma once
// The library's application object: what happens when the DLL is loaded and unloaded.

namespace pendrax {

// Makes the class factory available. False fails the library load.
bool ApplicationStartUp() noexcept;
// Frees the library's global state.
void ApplicationShutDown() noexcept;

}  // namespace pendrax
