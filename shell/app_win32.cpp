#include "shell/app.h"

namespace shell {

// The program's instance, set by the entry point, and the main window once it exists.
HINSTANCE Instance = nullptr;
HWND MainWindow = nullptr;

}  // namespace shell
