// The test probe: finds a running Velmora and reads and drives it from outside, as a
// user would see and use it.
//
// Reading another process's list control needs the records and text buffers in that
// process's memory (VirtualAllocEx, WriteProcessMemory, ReadProcessMemory). What the
// platform only allows from inside the process (the menu's check marks, a WM_NOTIFY
// with its pointer) is done by velmora_probe.dll, which the probe loads into Velmora
// with a remote thread and then calls, again on a remote thread, with a request record
// placed in Velmora's memory.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

namespace probe {

// A Velmora process: its id, a handle with the rights the probe needs, its main window.
struct Target {
  DWORD pid;
  HANDLE process;
  HWND window;
};

// Top-level window of class "Velmora" (of process pid, or of any process when pid is
// 0), waiting up to timeoutMs for it to appear. Null when there is none.
HWND FindMainWindow(DWORD pid, DWORD timeoutMs);

// Opens the window's process. 1 on success; Close releases the handle.
int Attach(HWND window, Target* target);
void Close(Target* target);

std::string WindowText(HWND window);

// The traffic list (the main window's "SysListView32" child), or null.
HWND FindList(HWND mainWindow);
int RowCount(HWND list);

// Cell text (subitem column) of a row; empty when the read fails.
std::string CellText(const Target& target, HWND list, int row, int column);
// Every cell: rows in display order, columns by identifier 0..16.
std::vector<std::vector<std::string>> ReadTable(const Target& target, HWND list);
// Item data of a row; 1 on success.
int ItemData(const Target& target, HWND list, int row, LPARAM* data);
// Column identifiers in display order (LVM_GETCOLUMNORDERARRAY); 1 on success.
int ColumnOrder(const Target& target, HWND list, int order[17]);
int ColumnWidth(HWND list, int column);

// Menu item state (GetMenuState by command) of the main window's menu, read inside
// Velmora: MF_CHECKED and friends, or -1 when it cannot be read.
int MenuState(const Target& target, int command);

// The answer of the main window to an HDN_BEGINDRAG for header item, sent from inside
// Velmora; -1 when the call could not be made.
long long SendBeginDrag(const Target& target, int item);

// Posts WM_COMMAND id to the main window (returns at once, also when the command opens
// a modal box).
void PostCommand(const Target& target, int id);

// A real click on the header of column (by identifier), or a drag of it by dx pixels,
// with mouse messages posted to the header control. 1 when they were posted.
int ClickHeader(const Target& target, HWND list, int column);
int DragHeader(const Target& target, HWND list, int column, int dx);

// A box of Velmora's process: the "Velmora Error" message box, or a dialog with the
// given caption. Waits up to timeoutMs; null when none appears.
HWND FindBox(DWORD pid, const char* caption, DWORD timeoutMs);
// The message text of a message box (its static text).
std::string BoxText(HWND box);
// Presses the box's OK button (IDOK).
void PressOk(HWND box);

// Waits for the process to end; its exit code, or -1 after timeoutMs.
int WaitExit(HANDLE process, DWORD timeoutMs);

// Runs until cond() holds or timeoutMs has passed; true when it held.
template <typename F>
bool WaitFor(F cond, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (cond()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(50);
  }
}

}  // namespace probe
