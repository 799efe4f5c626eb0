#include "tests/win32/boxwatch.h"

#include <algorithm>
#include <cstring>

namespace {

const char kBoxClass[] = "#32770";
const char kBoxCaption[] = "Velmora Error";
const DWORD kPollMs = 10;
const double kPressAgainMs = 1000;   // OK pressed, box still there: press again

// The box belongs to another thread of this process, which may be busy for a while
// (a request blocks it for up to seconds): ask with a time-out rather than forever.
bool ReadText(HWND window, char* buf, int size) {
  buf[0] = 0;
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, (WPARAM)size, (LPARAM)buf, SMTO_BLOCK,
                           15000, &copied))
    return false;
  buf[size - 1] = 0;
  return true;
}

bool ClassIs(HWND window, const char* name) {
  char cls[64];
  return GetClassNameA(window, cls, sizeof cls) && _stricmp(cls, name) == 0;
}

BOOL CALLBACK CollectBox(HWND window, LPARAM found) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != GetCurrentProcessId() || !ClassIs(window, kBoxClass) || !IsWindowVisible(window))
    return TRUE;
  char caption[64];
  if (ReadText(window, caption, sizeof caption) && strcmp(caption, kBoxCaption) == 0)
    ((std::vector<HWND>*)found)->push_back(window);
  return TRUE;
}

// What the box shows besides its caption: the message, the icon, the buttons.
struct BoxContents {
  char text[512];
  HICON icon;
  int buttons;
};

BOOL CALLBACK ReadChild(HWND child, LPARAM contents) {
  BoxContents* c = (BoxContents*)contents;
  if (ClassIs(child, "Button")) {
    c->buttons++;
  } else if (ClassIs(child, "Static")) {
    if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
      DWORD_PTR icon = 0;
      SendMessageTimeoutA(child, STM_GETICON, 0, 0, SMTO_BLOCK, 15000, &icon);
      c->icon = (HICON)icon;
    } else if (!c->text[0]) {
      ReadText(child, c->text, sizeof c->text);
    }
  }
  return TRUE;
}

SeenBox ReadBox(HWND box) {
  BoxContents c = {};
  // The message is the static control 0xFFFF; other children are read in passing.
  HWND message = GetDlgItem(box, 0xFFFF);
  if (message) ReadText(message, c.text, sizeof c.text);
  EnumChildWindows(box, ReadChild, (LPARAM)&c);
  SeenBox seen;
  seen.text = c.text;
  seen.owner = GetWindow(box, GW_OWNER);
  seen.icon = c.icon;
  seen.buttons = c.buttons;
  seen.seenAtMs = NowMs();
  return seen;
}

void PressOk(HWND box, bool again) {
  HWND ok = GetDlgItem(box, IDOK);
  if (ok && !again)
    PostMessageA(ok, BM_CLICK, 0, 0);
  else
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), (LPARAM)ok);
}

struct OpenBox {
  HWND box;
  double seenAtMs;
  double pressedAtMs;   // 0 until OK is pressed
};

DWORD WINAPI Watch(void* arg) {
  BoxWatch* w = (BoxWatch*)arg;
  std::vector<OpenBox> open;
  while (!w->stop) {
    std::vector<HWND> found;
    EnumWindows(CollectBox, (LPARAM)&found);

    open.erase(std::remove_if(open.begin(), open.end(),
                              [&](const OpenBox& b) {
                                return std::find(found.begin(), found.end(), b.box) ==
                                       found.end();
                              }),
               open.end());
    for (HWND box : found) {
      bool known = std::any_of(open.begin(), open.end(),
                               [&](const OpenBox& b) { return b.box == box; });
      if (known) continue;
      SeenBox seen = ReadBox(box);
      open.push_back({box, seen.seenAtMs, 0});
      EnterCriticalSection(&w->lock);
      w->seen.push_back(seen);
      LeaveCriticalSection(&w->lock);
    }
    EnterCriticalSection(&w->lock);
    w->mostOpen = std::max(w->mostOpen, (int)found.size());
    LeaveCriticalSection(&w->lock);

    double now = NowMs();
    for (OpenBox& b : open) {
      if (b.pressedAtMs == 0 && now - b.seenAtMs >= w->okAfterMs) {
        PressOk(b.box, false);
        b.pressedAtMs = now;
      } else if (b.pressedAtMs != 0 && now - b.pressedAtMs >= kPressAgainMs) {
        PressOk(b.box, true);
        b.pressedAtMs = now;
      }
    }
    Sleep(kPollMs);
  }
  return 0;
}

}  // namespace

double NowMs() {
  LARGE_INTEGER frequency, count;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&count);
  return (double)count.QuadPart * 1000.0 / (double)frequency.QuadPart;
}

BoxWatch::BoxWatch(DWORD okAfter) : okAfterMs(okAfter) {
  InitializeCriticalSection(&lock);
  thread = CreateThread(nullptr, 0, Watch, this, 0, nullptr);
}

BoxWatch::~BoxWatch() {
  InterlockedExchange(&stop, 1);
  if (thread) {
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
  }
  DeleteCriticalSection(&lock);
}

std::vector<SeenBox> BoxWatch::Boxes() {
  EnterCriticalSection(&lock);
  std::vector<SeenBox> copy = seen;
  LeaveCriticalSection(&lock);
  return copy;
}

int BoxWatch::MostOpenAtOnce() {
  EnterCriticalSection(&lock);
  int n = mostOpen;
  LeaveCriticalSection(&lock);
  return n;
}
