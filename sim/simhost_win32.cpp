// simhost: the entry point and simhost's own window, which shows what the server
// thread (host_win32.cpp) serves and switches its faults from the Faults menu.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "sim/host.h"
#include "sim/options.h"
#include "sim/scenario.h"
#include "sim/traffic.h"

namespace sim {

namespace {

const char kStatusClass[] = "SimhostStatus";
const int kStatusLines = 8;
const UINT_PTR kRepaintTimer = 1;
const size_t kScenarioFileBytes = 1 << 20;

// Menu commands; a test may post them as WM_COMMAND to the status window.
enum {
  CmdExit = 101,
  CmdNormal = 201, CmdAnswer0 = 202, CmdAnswer2 = 203, CmdDelay = 204, CmdHang = 205,
};

Options Opts;
Scene FrozenScene;
Traffic LiveTraffic;
int Live;
char SceneText[kPathBytes + 80];
HWND StatusWindow;
HFONT StatusFont;

// --- Console output ------------------------------------------------------------------

// simhost is a window program: its standard handles exist when it was started with
// them (redirected, or under Wine from a terminal); otherwise it borrows the console
// of the program that started it, if there is one. Nonzero when the text went out.
int WriteStd(DWORD which, const char* text) {
  HANDLE h = GetStdHandle(which);
  if (!h || h == INVALID_HANDLE_VALUE) {
    if (!AttachConsole(ATTACH_PARENT_PROCESS) && GetLastError() != ERROR_ACCESS_DENIED) return 0;
    h = GetStdHandle(which);
    if (!h || h == INVALID_HANDLE_VALUE)
      h = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (!h || h == INVALID_HANDLE_VALUE) return 0;
  }
  DWORD written;
  return WriteFile(h, text, DWORD(strlen(text)), &written, nullptr) != 0;
}

// A message for the user: on standard error, or in a box when there is no console.
int Complain(int exitCode, const char* format, const char* a, const char* b) {
  char text[600];
  snprintf(text, sizeof text, format, a, b);
  char line[640];
  snprintf(line, sizeof line, "simhost: %s\n", text);
  if (!WriteStd(STD_ERROR_HANDLE, line)) MessageBoxA(nullptr, text, "simhost", MB_OK | MB_ICONWARNING);
  return exitCode;
}

// --- The scene ------------------------------------------------------------------------

int LoadScenarioFile(const char* path) {
  HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) {
    char code[32];
    snprintf(code, sizeof code, "%lu", GetLastError());
    return Complain(0, "cannot open scenario file %s (error %s)", path, code);
  }
  static char text[kScenarioFileBytes + 1];
  DWORD got = 0;
  BOOL ok = ReadFile(f, text, DWORD(sizeof text), &got, nullptr);
  CloseHandle(f);
  if (!ok) return Complain(0, "cannot read scenario file %s%s", path, "");
  if (got > kScenarioFileBytes) return Complain(0, "scenario file %s is larger than 1 MiB%s", path, "");
  char error[kScenarioErrorBytes];
  if (!ParseScenario(text, got, &FrozenScene, error, sizeof error))
    return Complain(0, "%s: %s", path, error);
  return 1;
}

int LoadScene() {
  if (Opts.scenarioFile[0]) {
    snprintf(SceneText, sizeof SceneText, "scenario file %s", Opts.scenarioFile);
    return LoadScenarioFile(Opts.scenarioFile);
  }
  if (Opts.sceneName[0]) {
    snprintf(SceneText, sizeof SceneText, "built-in scene %s", Opts.sceneName);
    const char* text = BuiltinScenario(Opts.sceneName);
    char error[kScenarioErrorBytes];
    if (!text || !ParseScenario(text, strlen(text), &FrozenScene, error, sizeof error))
      return Complain(0, "built-in scene %s: %s", Opts.sceneName, text ? error : "none");
    return 1;
  }
  Live = 1;
  snprintf(SceneText, sizeof SceneText, "live traffic at KSFO, seed %lu, %d slots%s",
           (unsigned long)Opts.seed, Opts.slots, Opts.overflights ? ", overflights" : "");
  StartTraffic(&LiveTraffic, Opts.seed, Opts.slots);
  if (Opts.overflights) AddOverflights(&LiveTraffic);
  for (long steps = long(Opts.warmup / 0.25); steps > 0; --steps) StepTraffic(&LiveTraffic, 0.25);
  return 1;
}

int WriteScenarioFile(const char* path) {
  static Scene scene;
  if (Live) TrafficScene(&LiveTraffic, &scene);
  else scene = FrozenScene;
  static char text[400000];
  size_t n = FormatScenario(&scene, text, sizeof text);
  HANDLE f = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  BOOL ok = f != INVALID_HANDLE_VALUE && n > 0 && WriteFile(f, text, DWORD(n), &written, nullptr) &&
            written == n;
  if (f != INVALID_HANDLE_VALUE) CloseHandle(f);
  if (!ok) return Complain(0, "cannot write scenario file %s%s", path, "");
  return 1;
}

// --- The status window ------------------------------------------------------------------

void DescribeFaults(const Faults& f, char* out, size_t bytes) {
  out[0] = 0;
  size_t len = 0;
  auto add = [&](const char* text) {
    int n = snprintf(out + len, bytes - len, "%s%s", len ? ", " : "", text);
    if (n > 0) len = size_t(n) < bytes - len ? len + n : bytes - 1;
  };
  char part[80];
  if (f.answerMode != AnswerServe) {
    snprintf(part, sizeof part, "answer %ld %s", long(f.answer),
             f.answerMode == AnswerOnly ? "unfilled" : "filled");
    add(part);
  }
  if (f.hang) add("never answer");
  else if (f.delayMs) {
    snprintf(part, sizeof part, "hold %lu ms", (unsigned long)f.delayMs);
    add(part);
  }
  if (!len) add("none");
  else if (f.after) {
    snprintf(part, sizeof part, "from request %lu on", (unsigned long)f.after + 1);
    add(part);
  }
  if (Opts.quitAfter) {
    snprintf(part, sizeof part, "end after request %lu", (unsigned long)Opts.quitAfter);
    add(part);
  }
}

void DescribeList(const HostStatus& s, int list, char* out, size_t bytes) {
  const char* name = list == kListAirborne ? "Airborne" : "Ground";
  char nearest[32];
  if (s.nearest[list] == 0xFFFF) snprintf(nearest, sizeof nearest, "none");
  else snprintf(nearest, sizeof nearest, "%u nm", unsigned(s.nearest[list]));
  char stride[40] = "";
  if (s.recordLength[list] != kRecordLength)
    snprintf(stride, sizeof stride, ", RecordLength %d", s.recordLength[list]);
  snprintf(out, bytes, "%s list: %d aircraft, SlotCount %d%s, nearest %s", name, s.aircraft[list],
           s.slotCount[list], stride, nearest);
}

// The distance from one status line to the next in the status font.
int LineStep(HDC dc) {
  HGDIOBJ old = SelectObject(dc, StatusFont);
  TEXTMETRICA tm;
  GetTextMetricsA(dc, &tm);
  SelectObject(dc, old);
  return tm.tmHeight + tm.tmExternalLeading + 2;
}

void OnPaint(HWND hwnd) {
  HostStatus s;
  ReadHostStatus(&s);
  Faults f;
  ReadHostFaults(&f);
  char lines[kStatusLines][300];
  snprintf(lines[0], sizeof lines[0], "Serving as %s, message FsasmLib:IPC", Opts.windowClass);
  if (Live) {
    long t = long(s.trafficSeconds);
    snprintf(lines[1], sizeof lines[1], "Scene: %s, traffic time %02ld:%02ld:%02ld%s", SceneText,
             t / 3600, t / 60 % 60, t % 60, Opts.rate > 0 ? "" : " (frozen)");
  } else {
    snprintf(lines[1], sizeof lines[1], "Scene: %s", SceneText);
  }
  snprintf(lines[2], sizeof lines[2], "Requests: %lu (%lu answered 1, %lu otherwise)",
           (unsigned long)s.requests, (unsigned long)s.answeredOne, (unsigned long)s.answeredOther);
  DescribeList(s, kListAirborne, lines[3], sizeof lines[3]);
  DescribeList(s, kListGround, lines[4], sizeof lines[4]);
  char faults[200];
  DescribeFaults(f, faults, sizeof faults);
  snprintf(lines[5], sizeof lines[5], "Faults: %s", faults);
  snprintf(lines[6], sizeof lines[6], "Last request: %s", s.lastRequest[0] ? s.lastRequest : "none yet");
  snprintf(lines[7], sizeof lines[7], "Last fault: %s", s.lastFault[0] ? s.lastFault : "none");

  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd, &ps);
  HGDIOBJ old = SelectObject(dc, StatusFont);
  SetBkMode(dc, TRANSPARENT);
  int step = LineStep(dc);
  for (int i = 0; i < kStatusLines; ++i) TextOutA(dc, 10, 8 + i * step, lines[i], int(strlen(lines[i])));
  SelectObject(dc, old);
  EndPaint(hwnd, &ps);
}

void OnCommand(HWND hwnd, int id) {
  Faults f;
  memset(&f, 0, sizeof f);
  switch (id) {
    case CmdExit: PostMessageA(hwnd, WM_CLOSE, 0, 0); return;
    case CmdNormal: break;
    case CmdAnswer0: f.answerMode = AnswerOnly; f.answer = 0; break;
    case CmdAnswer2: f.answerMode = AnswerOnly; f.answer = 2; break;
    case CmdDelay: f.delayMs = 3000; break;
    case CmdHang: f.hang = 1; break;
    default: return;
  }
  SetHostFaults(&f);
  InvalidateRect(hwnd, nullptr, TRUE);
}

LRESULT CALLBACK StatusProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE: SetTimer(hwnd, kRepaintTimer, 500, nullptr); return 0;
    case WM_TIMER: InvalidateRect(hwnd, nullptr, TRUE); return 0;
    case WM_PAINT: OnPaint(hwnd); return 0;
    case WM_COMMAND: OnCommand(hwnd, LOWORD(wParam)); return 0;
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_DESTROY:
      KillTimer(hwnd, kRepaintTimer);
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

HMENU BuildMenu() {
  HMENU bar = CreateMenu();
  HMENU file = CreatePopupMenu();
  AppendMenuA(file, MF_STRING, CmdExit, "E&xit");
  HMENU faults = CreatePopupMenu();
  AppendMenuA(faults, MF_STRING, CmdNormal, "&Answer normally");
  AppendMenuA(faults, MF_STRING, CmdAnswer0, "Answer &0");
  AppendMenuA(faults, MF_STRING, CmdAnswer2, "Answer &2");
  AppendMenuA(faults, MF_STRING, CmdDelay, "&Hold each request 3000 ms");
  AppendMenuA(faults, MF_STRING, CmdHang, "&Stop answering");
  AppendMenuA(bar, MF_POPUP, UINT_PTR(file), "&Simhost");
  AppendMenuA(bar, MF_POPUP, UINT_PTR(faults), "&Faults");
  return bar;
}

int CreateStatusWindow(HINSTANCE instance) {
  WNDCLASSA wc;
  memset(&wc, 0, sizeof wc);
  wc.lpfnWndProc = StatusProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
  wc.hbrBackground = HBRUSH(COLOR_WINDOW + 1);
  wc.lpszClassName = kStatusClass;
  if (!RegisterClassA(&wc)) return 0;
  StatusFont = HFONT(GetStockObject(DEFAULT_GUI_FONT));
  char title[64];
  snprintf(title, sizeof title, "simhost - %s", Opts.windowClass);
  int x = Opts.hasPosition ? Opts.x : CW_USEDEFAULT;
  int y = Opts.hasPosition ? Opts.y : CW_USEDEFAULT;
  const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  HDC dc = GetDC(nullptr);
  RECT r = {0, 0, 560, 16 + kStatusLines * LineStep(dc)};   // the client area the text needs
  ReleaseDC(nullptr, dc);
  AdjustWindowRect(&r, style, TRUE);
  StatusWindow = CreateWindowExA(0, kStatusClass, title, style, x, y, r.right - r.left,
                                 r.bottom - r.top, nullptr, BuildMenu(), instance, nullptr);
  if (!StatusWindow) return 0;
  ShowWindow(StatusWindow, SW_SHOWNOACTIVATE);
  UpdateWindow(StatusWindow);
  return 1;
}

}  // namespace

int Run(HINSTANCE instance, int argc, char** argv) {
  char error[200];
  if (!ParseOptions(argc - 1, argv + 1, &Opts, error, sizeof error))
    return Complain(1, "%s%s", error, "");
  if (Opts.help) {
    static char help[8192];
    FormatHelp(help, sizeof help);
    if (!WriteStd(STD_OUTPUT_HANDLE, help)) MessageBoxA(nullptr, help, "simhost", MB_OK);
    return 0;
  }
  if (Opts.printScene[0]) {
    WriteStd(STD_OUTPUT_HANDLE, BuiltinScenario(Opts.printScene));
    return 0;
  }
  if (!LoadScene()) return 2;
  if (Opts.writeScenario[0]) return WriteScenarioFile(Opts.writeScenario) ? 0 : 2;

  if (!CreateStatusWindow(instance)) return Complain(2, "cannot create simhost's window%s%s", "", "");
  HostSetup setup = {&Opts, Live ? nullptr : &FrozenScene, Live ? &LiveTraffic : nullptr, StatusWindow};
  if (!StartHost(&setup)) {
    StopHost();
    DestroyWindow(StatusWindow);
    return Complain(2, "cannot create the %s window or the request log %s", Opts.windowClass,
                    Opts.logFile);
  }
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  StopHost();
  return 0;
}

}  // namespace sim

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  return sim::Run(instance, __argc, __argv);
}
