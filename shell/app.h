// Program-wide handles of the application shell, and the window placement per view
// mode that the main window restores and saves.
#pragma once
#include <windows.h>

namespace shell {

extern HINSTANCE Instance;
extern HWND MainWindow;

// Places and shows the main window for the current view mode.
void RestorePlacement(HWND window);
// Stores the window's rectangle for the current view mode and captures the list's
// column widths into the current view mode's layout.
void SavePlacement(HWND window);

// The main window's procedure and class registration (used by the entry point).
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace shell
