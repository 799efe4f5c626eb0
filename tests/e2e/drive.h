// Driving Velmora synchronously from outside, for tests that must know when a command
// has been carried out (and how long it took) and for the soak, which drives thousands
// of commands and must not leave anything of its own behind in Velmora's process.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "tests/e2e/probe.h"

namespace drive {

// Sends WM_COMMAND id to the window and waits until its handler has returned, at most
// timeoutMs. True when it returned; *elapsedMs gets the time the handler held the
// caller. A command whose handler opens a modal box does not return until the box is
// closed: post such commands instead.
inline bool Command(HWND window, int id, DWORD timeoutMs, DWORD* elapsedMs = nullptr) {
  DWORD start = GetTickCount();
  DWORD_PTR result = 0;
  LRESULT ok = SendMessageTimeoutA(window, WM_COMMAND, static_cast<WPARAM>(id), 0,
                                   SMTO_NORMAL, timeoutMs, &result);
  if (elapsedMs) *elapsedMs = GetTickCount() - start;
  return ok != 0;
}

// True when the window's thread answers a WM_NULL within timeoutMs: it is taking
// messages, not held in a request.
inline bool Answers(HWND window, DWORD timeoutMs) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) != 0;
}

// The header's item rectangle of a column (by identifier), in the header's client
// coordinates. The rectangle is written by the header into memory of Velmora's
// process, so this allocates there (and frees it): call it before measuring anything.
inline bool HeaderRect(const probe::Target& t, HWND list, int column, RECT* rect) {
  HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  if (!header) return false;
  void* remote = VirtualAllocEx(t.process, nullptr, sizeof(RECT), MEM_COMMIT | MEM_RESERVE,
                                PAGE_READWRITE);
  if (!remote) return false;
  bool ok = SendMessageA(header, HDM_GETITEMRECT, static_cast<WPARAM>(column),
                         reinterpret_cast<LPARAM>(remote)) != 0;
  SIZE_T done = 0;
  ok = ok && ReadProcessMemory(t.process, remote, rect, sizeof(RECT), &done) &&
       done == sizeof(RECT);
  VirtualFreeEx(t.process, remote, 0, MEM_RELEASE);
  return ok;
}

// A click in the middle of a header rectangle, sent rather than posted: the header
// reports the click to the list, the list to the main window, and the main window sorts,
// all before the button-up returns. False when the list's thread did not answer.
inline bool ClickHeaderAt(HWND list, const RECT& rect, DWORD timeoutMs = 15000) {
  HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  if (!header) return false;
  LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(header, WM_LBUTTONDOWN, MK_LBUTTON, at, SMTO_NORMAL, timeoutMs,
                             &result) &&
         SendMessageTimeoutA(header, WM_LBUTTONUP, 0, at, SMTO_NORMAL, timeoutMs, &result);
}

inline bool ClickHeader(const probe::Target& t, HWND list, int column) {
  RECT rect;
  return HeaderRect(t, list, column, &rect) && ClickHeaderAt(list, rect);
}

}  // namespace drive
