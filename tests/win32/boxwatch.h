// Watches this process for the program's error boxes and answers them as a user would.
//
// A BoxWatch runs a thread of its own that looks for top-level dialogs (class "#32770")
// of this process with the caption "Velmora Error". For each new box it records the
// message text as shown (read with WM_GETTEXT from the box's static control), the
// owner, the icon and the number of buttons, then leaves the box open for okAfterMs
// and presses its OK button. Keep one alive around every call that may show a box:
// without it the call would wait for a user who never comes.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

struct SeenBox {
  std::string text;   // the message as the user sees it
  HWND owner;         // the box's owner window, or null
  HICON icon;         // the icon shown in the box, or null
  int buttons;        // number of push buttons
  double seenAtMs;    // NowMs() when the watcher first saw the box
};

// Milliseconds on a steady clock, for comparing with SeenBox::seenAtMs.
double NowMs();

struct BoxWatch {
  explicit BoxWatch(DWORD okAfterMs = 50);
  ~BoxWatch();   // stops the thread; boxes still open stay open

  // Every box seen so far, in the order they appeared.
  std::vector<SeenBox> Boxes();
  // The largest number of boxes that were open at the same time.
  int MostOpenAtOnce();

  BoxWatch(const BoxWatch&) = delete;
  BoxWatch& operator=(const BoxWatch&) = delete;

  // Shared with the watcher thread, under lock.
  CRITICAL_SECTION lock;
  std::vector<SeenBox> seen;
  int mostOpen = 0;
  DWORD okAfterMs;
  volatile LONG stop = 0;
  HANDLE thread = nullptr;
};
