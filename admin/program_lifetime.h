#pragma once
// The program runs as long as one of its top-level windows is open: closing the main window
// while the about box is still open ends the program only when that box closes too.

namespace vantorel {

void TopLevelWindowOpened() noexcept;
void TopLevelWindowClosed() noexcept;
// The program's entry turns this on; tests that host the windows leave their thread running.
void QuitWhenLastWindowCloses(bool quit) noexcept;

}  // namespace vantorel
