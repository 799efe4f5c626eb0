// Velmora's entry point: reads the settings file, registers the main window's class,
// creates the window (which connects to the simulator), runs the message loop and
// writes the settings back at the end.
//
// Exit codes: 0 after a normal run, 1 when the window class cannot be registered,
// 2 when the main window cannot be created (the simulator is not running, or the link
// to its server cannot be made; the reason has been shown in a box by then).
#include <windows.h>
#include <commctrl.h>

#include "print/print.h"
#include "shell/app.h"
#include "shell/profile.h"
#include "shell/settings.h"

namespace {

const char kClassName[] = "Velmora";

ATOM RegisterMainClass(HINSTANCE instance) {
  WNDCLASSA wc = {};
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = shell::MainWindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconA(instance, "Velmora");
  wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszMenuName = "Velmora";
  wc.lpszClassName = kClassName;
  return RegisterClassA(&wc);
}

// Created hidden at a size nobody sees: the creation handler places and shows the
// window where the settings file last had it for this view mode.
HWND CreateMainWindow(HINSTANCE instance) {
  const char* title = shell::ViewTitle[shell::ViewMode == 0 ? 0 : 1];
  return CreateWindowExA(0, kClassName, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                         CW_USEDEFAULT, 1200, 800, nullptr, nullptr, instance, nullptr);
}

// Every message goes to the print-progress dialog first while a print job has one
// open (so its Cancel button answers the keyboard); without it nothing is offered.
int RunMessageLoop() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (print::PrintDialog && IsDialogMessageA(print::PrintDialog, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  shell::Instance = instance;
  InitCommonControls();
  shell::LoadSettingsFile(instance);

  if (!RegisterMainClass(instance)) {
    MessageBeep(MB_ICONEXCLAMATION);
    return 1;
  }
  HWND window = CreateMainWindow(instance);
  if (!window) {
    MessageBeep(MB_ICONASTERISK);
    return 2;
  }
  shell::MainWindow = window;
  UpdateWindow(window);

  int exitCode = RunMessageLoop();
  shell::SaveSettingsFile();
  return exitCode;
}
