// Times Velmora's refresh under Wine (or Windows): the real RefreshTable, in this
// process, against simhost.exe in another process serving 99 moving aircraft, with the
// list visible on the screen; the parts of the cycle one by one; the first refresh and
// a ViewMode switch; the ways of writing the cells side by side on a list of its own;
// one exchange with simhost against one with a server that does nothing; and the cost
// of velmora.exe left running beside simhost for a while.
//
//   refresh_bench [--smoke] [--samples N] [--idle-seconds N]
//
// Every figure is one line on standard output, fields separated by tabs:
//   row  GROUP  WHAT  MEDIAN  P25  P75  UNIT  TARGET  SAMPLES
// scripts/bench.sh gathers them with the native benchmarks into one table. Lines that
// begin with "#" say what ran.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "link/channel.h"
#include "link/snapshot.h"
#include "shell/app.h"
#include "shell/settings.h"
#include "table/columns.h"
#include "table/compare.h"
#include "table/list.h"
#include "table/refresh.h"
#include "table/rowtexts.h"
#include "table/rowvalues.h"

namespace {

// simhost's live traffic runs eight times as fast as the clock, and the refreshes here
// come a quarter of a second apart: each one sees the two seconds of movement that the
// refresh timer's period brings.
const char kSimhostArgs[] = "--slots 99 --overflights --rate 8 --pos 0,0";
const DWORD kGapMs = 260;

const char kEchoClass[] = "VelmoraBenchEcho";

// --- Clock and figures ----------------------------------------------------------------

double NowUs() {
  static LARGE_INTEGER frequency;
  if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return double(now.QuadPart) * 1e6 / double(frequency.QuadPart);
}

typedef std::vector<double> Samples;

double Quantile(const Samples& sorted, double q) {
  if (sorted.empty()) return 0;
  double at = q * double(sorted.size() - 1);
  size_t i = size_t(at);
  if (i + 1 >= sorted.size()) return sorted.back();
  return sorted[i] + (sorted[i + 1] - sorted[i]) * (at - double(i));
}

void Report(const char* group, const char* what, Samples samples, const char* unit,
            const char* target) {
  std::sort(samples.begin(), samples.end());
  printf("row\t%s\t%s\t%.6g\t%.6g\t%.6g\t%s\t%s\t%u\n", group, what, Quantile(samples, 0.5),
         Quantile(samples, 0.25), Quantile(samples, 0.75), unit, target,
         unsigned(samples.size()));
  fflush(stdout);
}

// A figure taken once (idle cost): no spread.
void ReportOne(const char* group, const char* what, double value, const char* unit,
               const char* target) {
  Report(group, what, Samples(1, value), unit, target);
}

// --- Messages -------------------------------------------------------------------------

void Pump() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
}

// Dispatches this thread's messages (paints, simhost's replies) for ms milliseconds.
void PumpFor(DWORD ms) {
  ULONGLONG end = GetTickCount64() + ms;
  for (;;) {
    ULONGLONG now = GetTickCount64();
    if (now >= end) break;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(end - now), QS_ALLINPUT);
    Pump();
  }
  Pump();
}

// --- Processes ------------------------------------------------------------------------

std::string BinDir() {
  char exe[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, exe, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return ".";
  char* slash = strrchr(exe, '\\');
  if (slash) *slash = '\0';
  return exe;
}

std::string TempFolder() {
  char base[MAX_PATH];
  GetTempPathA(MAX_PATH, base);
  char name[MAX_PATH];
  snprintf(name, sizeof name, "%svelmora-bench-%lu", base, GetCurrentProcessId());
  CreateDirectoryA(name, nullptr);
  return name;
}

void RemoveFolder(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        DeleteFileA((folder + "\\" + found.cFileName).c_str());
    } while (FindNextFileA(h, &found));
    FindClose(h);
  }
  RemoveDirectoryA(folder.c_str());
}

bool StartProcess(const std::string& exe, const std::string& args, const std::string& folder,
                  PROCESS_INFORMATION* pi) {
  std::string line = "\"" + exe + "\" " + args;
  std::vector<char> command(line.begin(), line.end());
  command.push_back('\0');
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  memset(pi, 0, sizeof *pi);
  return CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &si, pi) != 0;
}

struct Found {
  DWORD pid;
  const char* className;
  HWND window;
};

BOOL CALLBACK FindOne(HWND window, LPARAM lParam) {
  Found* f = reinterpret_cast<Found*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  char name[64];
  if (pid == f->pid && GetClassNameA(window, name, sizeof name) && !strcmp(name, f->className)) {
    f->window = window;
    return FALSE;
  }
  return TRUE;
}

// A top-level window of the class in process pid, waited for up to ms milliseconds.
HWND WaitWindow(const PROCESS_INFORMATION& pi, const char* className, DWORD ms) {
  for (DWORD waited = 0; waited <= ms; waited += 50) {
    Found f = {pi.dwProcessId, className, nullptr};
    EnumWindows(FindOne, reinterpret_cast<LPARAM>(&f));
    if (f.window) return f.window;
    if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) break;
  }
  return nullptr;
}

// Ends a process through WM_CLOSE to its window, or at last by force.
void StopProcess(PROCESS_INFORMATION* pi, HWND window) {
  if (!pi->hProcess) return;
  if (window) PostMessageA(window, WM_CLOSE, 0, 0);
  if (WaitForSingleObject(pi->hProcess, 10000) != WAIT_OBJECT_0) {
    TerminateProcess(pi->hProcess, 99);
    WaitForSingleObject(pi->hProcess, 10000);
  }
  CloseHandle(pi->hProcess);
  CloseHandle(pi->hThread);
  memset(pi, 0, sizeof *pi);
}

// --- Velmora in this process ------------------------------------------------------------

// The main window as velmora.exe makes it (class, menu, icon, procedure), so that the
// refresh runs with everything it touches: the channel the window's creation opens, the
// list it fills, the window procedure that answers the list's notifications.
HWND OpenVelmora(const std::string& folder) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  shell::Instance = instance;
  shell::ResetSettings();
  snprintf(shell::SettingsFile, shell::kPathBytes, "%s\\velmora.ini", folder.c_str());
  static ATOM registered;
  if (!registered) {
    WNDCLASSA wc = {};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = shell::MainWindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, "Velmora");
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszMenuName = "Velmora";
    wc.lpszClassName = "Velmora";
    registered = RegisterClassA(&wc);
  }
  HWND window = CreateWindowExA(0, "Velmora", shell::ViewTitle[0], WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, 1200, 800, nullptr, nullptr,
                                instance, nullptr);
  if (!window) return nullptr;
  shell::MainWindow = window;
  // The creation posts AutoRefresh's command; the refreshes here are the harness's own.
  MSG m;
  while (PeekMessageA(&m, window, WM_COMMAND, WM_COMMAND, PM_REMOVE)) {
  }
  UpdateWindow(window);
  Pump();
  return window;
}

void CloseVelmora(HWND window) {
  if (IsWindow(window)) SendMessageA(window, WM_CLOSE, 0, 0);
  Pump();
}

// The list's own paint, right after a refresh asked for it (not part of the cycle).
double PaintUs() {
  double t0 = NowUs();
  if (table::TrafficList) UpdateWindow(table::TrafficList);
  return NowUs() - t0;
}

// --- The cycle ---------------------------------------------------------------------------

void MeasureCycle(int samples) {
  Samples cycle, paint;
  int failed = 0;
  for (int i = 0; i < samples; ++i) {
    PumpFor(kGapMs);
    double t0 = NowUs();
    int ok = table::RefreshTable();
    cycle.push_back(NowUs() - t0);
    failed += !ok;
    paint.push_back(PaintUs());
  }
  if (failed) printf("# %d of %d refreshes failed\n", failed, samples);
  Report("refresh (Wine)", "RefreshTable, 99 moving aircraft", cycle, "us", "<= 2000");
  Report("refresh (Wine)", "the list's repaint that follows (not in the cycle)", paint, "us", "");
}

// The first refresh: a new list made from the snapshot, then filled.
void MeasureFirstRefresh(int samples) {
  Samples first;
  for (int i = 0; i < samples; ++i) {
    PumpFor(kGapMs);
    table::DestroyTrafficList();
    table::ListPending = true;
    double t0 = NowUs();
    table::RefreshTable();
    first.push_back(NowUs() - t0);
    PaintUs();
  }
  Report("refresh (Wine)", "first refresh: list created and filled", first, "us", "");
}

// A switch of ViewMode through the menu command, to Ground and back to Airborne: the
// placement saved and restored, the list destroyed, made anew and filled.
void MeasureSwitch(HWND window, int samples) {
  Samples toGround, toAirborne;
  for (int i = 0; i < samples; ++i) {
    PumpFor(kGapMs);
    double t0 = NowUs();
    SendMessageA(window, WM_COMMAND, 106, 0);
    toGround.push_back(NowUs() - t0);
    PumpFor(kGapMs);
    t0 = NowUs();
    SendMessageA(window, WM_COMMAND, 107, 0);
    toAirborne.push_back(NowUs() - t0);
  }
  Report("refresh (Wine)", "ViewMode switch to Ground (menu command)", toGround, "us", "");
  Report("refresh (Wine)", "ViewMode switch to Airborne (menu command)", toAirborne, "us", "");
}

// --- The parts of the cycle ----------------------------------------------------------------

// The list's rows by item data, in display order, read the way the refresh reads them.
int ReadItemData(HWND list, int32_t* itemData, int most) {
  int rows = int(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  int n = 0;
  for (int row = 0; row < rows && n < most; ++row) {
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) break;
    itemData[n++] = int32_t(item.lParam);
  }
  return n;
}

// The steps of RefreshTable one at a time, each timed on its own, on the real list: the
// request; the list's rows read (item data); the texts of every row; the step that does
// both (FillRowTexts); the sort; the repaint request. Then the paint that follows.
void MeasureParts(int samples) {
  Samples request, reads, texts, fill, sort, invalidate, paint;
  HWND list = table::TrafficList;
  if (!list) return;
  int32_t itemData[128];
  for (int i = 0; i < samples; ++i) {
    PumpFor(kGapMs);
    double t0 = NowUs();
    bool ok = simlink::RequestSnapshot();
    double t1 = NowUs();
    if (!ok) continue;
    request.push_back(t1 - t0);
    const uint8_t* view = simlink::ChannelView();

    t0 = NowUs();
    int n = ReadItemData(list, itemData, 128);
    t1 = NowUs();
    reads.push_back(t1 - t0);

    t0 = NowUs();
    for (int r = 0; r < n; ++r) {
      if (itemData[r] < 0) table::FillUserRowTexts(view);
      else table::FillSlotRowTexts(view, itemData[r], shell::AirportFilter);
    }
    t1 = NowUs();
    texts.push_back(t1 - t0);

    t0 = NowUs();
    table::FillRowTexts(list, view);
    t1 = NowUs();
    fill.push_back(t1 - t0);

    t0 = NowUs();
    SendMessageA(list, LVM_SORTITEMS, static_cast<WPARAM>(shell::SortColumn),
                 reinterpret_cast<LPARAM>(table::CompareRowsCallback));
    t1 = NowUs();
    sort.push_back(t1 - t0);

    t0 = NowUs();
    InvalidateRect(list, nullptr, FALSE);
    t1 = NowUs();
    invalidate.push_back(t1 - t0);
    paint.push_back(PaintUs());
  }
  Report("refresh parts (Wine)", "the request (one exchange with simhost)", request, "us", "");
  Report("refresh parts (Wine)", "the list's rows read (item data of 100 rows)", reads, "us", "");
  Report("refresh parts (Wine)", "the texts of every row (into the rows' copy)", texts, "us", "");
  Report("refresh parts (Wine)", "FillRowTexts: rows read and texts, as the cycle runs them",
         fill, "us", "");
  Report("refresh parts (Wine)", "list writes: none, the list asks for its texts", Samples(1, 0.0),
         "us", "");
  Report("refresh parts (Wine)", "the sort (LVM_SORTITEMS, CompareRows)", sort, "us", "");
  Report("refresh parts (Wine)", "the repaint request (InvalidateRect)", invalidate, "us", "");
  Report("refresh parts (Wine)", "the list's repaint that follows (not in the cycle)", paint, "us",
         "");
}

// --- The ways of writing the cells, side by side ---------------------------------------------
//
// Five lists of their own, made like Velmora's (same style, columns and rows), one for
// each way one could write the cells, all refreshed from each snapshot in turn, each
// shown alone in a window of Velmora's size while it is refreshed and painted. The
// request is not timed here; each figure is the rest of a refresh (texts, list calls,
// sort, repaint request), then the paint that follows.

enum Way {
  EveryCell,           // every cell of every row written with LVM_SETITEMTEXTA
  EveryCellNoRedraw,   // the same, with redraw suspended (WM_SETREDRAW) around the writes
  ChangedCells,        // only the cells whose text changed since the last refresh
  ChangedNoRedraw,     // the same, with redraw suspended
  Callback,            // no writes: callback cells, the texts in a copy per row
  kWays
};

const char* const kWayNames[kWays] = {
    "every cell written, as each refresh did",
    "every cell written, redraw suspended",
    "changed cells only",
    "changed cells only, redraw suspended",
    "no writes: the list asks (kept)",
};

struct WayList {
  HWND list;
  char written[100][17][32];   // by item data + 1: the text each cell holds
  int cellsWritten;
};
WayList* Ways;   // kWays of them

LRESULT CALLBACK OptionsProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NOTIFY) {
    NMHDR* hdr = reinterpret_cast<NMHDR*>(lParam);
    if (hdr->code == LVN_GETDISPINFOA) {   // as Velmora's list gets its texts
      LVITEMA& item = reinterpret_cast<NMLVDISPINFOA*>(lParam)->item;
      if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0)
        lstrcpynA(item.pszText, table::RowText(int32_t(item.lParam), item.iSubItem),
                  item.cchTextMax);
      return 0;
    }
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeWayList(HWND parent, bool callback) {
  RECT client;
  GetClientRect(parent, &client);
  HWND list = CreateWindowExA(0, "SysListView32", nullptr,
                              WS_CHILD | WS_THICKFRAME | LVS_REPORT | LVS_SINGLESEL |
                                  LVS_SORTASCENDING,
                              0, 0, client.right, client.bottom, parent, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  for (int i = 0; i < table::kColumns; ++i) {
    LVCOLUMNA c = {};
    c.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    c.cx = table::DefaultWidth[i];
    c.pszText = const_cast<char*>(table::NameTable[i]);
    c.iSubItem = i;
    SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&c));
  }
  for (int k = -1; k < 99; ++k) {
    char text[8] = "";
    if (k >= 0) snprintf(text, sizeof text, "%02d", k);
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.pszText = text;
    item.lParam = k;
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
  }
  for (int row = 0; row < 100; ++row)
    for (int column = 1; column < table::kColumns; ++column) {
      LVITEMA cell = {};
      cell.iSubItem = column;
      cell.pszText = callback ? LPSTR_TEXTCALLBACKA : const_cast<char*>("");
      SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&cell));
    }
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  return list;
}

struct CellTarget {
  WayList* way;
  int row;
  int32_t itemData;
  bool onlyChanged;
};

void WriteWayCell(void* context, int column, const char* text) {
  CellTarget* t = static_cast<CellTarget*>(context);
  char* held = t->way->written[t->itemData + 1][column];
  if (t->onlyChanged && strncmp(held, text, 31) == 0) return;
  snprintf(held, 32, "%s", text);
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = const_cast<char*>(text);
  SendMessageA(t->way->list, LVM_SETITEMTEXTA, t->row, reinterpret_cast<LPARAM>(&item));
  t->way->cellsWritten++;
}

void RefreshWayList(Way way, const uint8_t* view) {
  WayList* w = &Ways[way];
  HWND list = w->list;
  w->cellsWritten = 0;
  if (way == Callback) {
    table::FillRowTexts(list, view);
  } else {
    bool noRedraw = way == EveryCellNoRedraw || way == ChangedNoRedraw;
    if (noRedraw) SendMessageA(list, WM_SETREDRAW, FALSE, 0);
    int32_t itemData[128];
    int n = ReadItemData(list, itemData, 128);
    for (int row = 0; row < n; ++row) {
      CellTarget target = {w, row, itemData[row], way == ChangedCells || way == ChangedNoRedraw};
      if (target.itemData < -1 || target.itemData > 98) continue;
      if (target.itemData < 0) table::ComputeUserRow(view, WriteWayCell, &target);
      else table::ComputeSlotRow(view, target.itemData, shell::AirportFilter, WriteWayCell, &target);
    }
    if (noRedraw) SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  }
  SendMessageA(list, LVM_SORTITEMS, static_cast<WPARAM>(shell::SortColumn),
               reinterpret_cast<LPARAM>(table::CompareRowsCallback));
  InvalidateRect(list, nullptr, FALSE);
}

void MeasureWays(HWND velmora, int samples) {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = OptionsProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = "VelmoraBenchOptions";
  RegisterClassA(&wc);
  RECT placed;
  GetWindowRect(velmora, &placed);
  HWND window = CreateWindowExA(0, wc.lpszClassName, "refresh_bench: ways of writing the cells",
                                WS_OVERLAPPEDWINDOW | WS_VISIBLE, placed.left, placed.top,
                                placed.right - placed.left, placed.bottom - placed.top, nullptr,
                                nullptr, wc.hInstance, nullptr);
  Ways = new WayList[kWays]();
  for (int w = 0; w < kWays; ++w) Ways[w].list = MakeWayList(window, w == Callback);

  Samples work[kWays], paint[kWays], cells[kWays];
  // Round 0 fills every list once: the refresh of a fresh list writes everything.
  for (int round = 0; round <= samples; ++round) {
    PumpFor(kGapMs);
    if (!simlink::RequestSnapshot()) continue;
    const uint8_t* view = simlink::ChannelView();
    for (int i = 0; i < kWays; ++i) {
      int w = (round + i) % kWays;   // each way in every position of the turn
      HWND list = Ways[w].list;
      ShowWindow(list, SW_SHOW);
      UpdateWindow(list);
      double t0 = NowUs();
      RefreshWayList(Way(w), view);
      double t1 = NowUs();
      UpdateWindow(list);
      double t2 = NowUs();
      ShowWindow(list, SW_HIDE);
      if (round == 0) continue;
      work[w].push_back(t1 - t0);
      paint[w].push_back(t2 - t1);
      cells[w].push_back(Ways[w].cellsWritten);
    }
  }
  for (int w = 0; w < kWays; ++w) {
    char what[160];
    snprintf(what, sizeof what, "%s: refresh without its request", kWayNames[w]);
    Report("ways of writing the cells (Wine)", what, work[w], "us", "");
    snprintf(what, sizeof what, "%s: the paint that follows", kWayNames[w]);
    Report("ways of writing the cells (Wine)", what, paint[w], "us", "");
    snprintf(what, sizeof what, "%s: cells written", kWayNames[w]);
    Report("ways of writing the cells (Wine)", what, cells[w], "cells", "");
  }
  DestroyWindow(window);
  delete[] Ways;
  Ways = nullptr;
  Pump();
}

// --- One exchange -------------------------------------------------------------------------

LRESULT CALLBACK EchoProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  static UINT ipc = RegisterWindowMessageA("FsasmLib:IPC");
  if (message == ipc) return 1;
  if (message == WM_CLOSE) {
    DestroyWindow(window);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// refresh_bench --echo: a server window that answers every request with 1 at once and
// touches nothing, the other end of a bare exchange.
int RunEchoServer() {
  WNDCLASSA wc = {};
  wc.lpfnWndProc = EchoProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = kEchoClass;
  if (!RegisterClassA(&wc)) return 2;
  if (!CreateWindowExA(0, kEchoClass, "echo", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr,
                       wc.hInstance, nullptr))
    return 2;
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) DispatchMessageA(&m);
  return 0;
}

// One exchange with simhost (a request's one try, the block built once as between the
// tries of one request) and one with a server that answers at once, taken in turn so
// that both meet the same machine: the difference is what simhost's handling costs.
void MeasureExchanges(HWND simhost, int samples) {
  PROCESS_INFORMATION echo;
  std::string self = BinDir() + "\\refresh_bench.exe";
  if (!StartProcess(self, "--echo", "", &echo)) return;
  HWND echoWindow = WaitWindow(echo, kEchoClass, 10000);
  if (echoWindow && simlink::OpenChannel(simhost)) {
    UINT message = RegisterWindowMessageA("FsasmLib:IPC");
    simlink::BuildRequestBlock(simlink::ChannelView(), simlink::ViewAirborne);
    // The channel's atom, for the bare exchange: a server that reads nothing.
    char name[64];
    snprintf(name, sizeof name, "FsasmLib:IPC:%lX:1", GetCurrentProcessId());
    ATOM atom = GlobalFindAtomA(name);
    Samples withSimhost, bare, difference;
    for (int i = 0; i < samples; ++i) {
      double t0 = NowUs();
      bool ok = simlink::Transact();
      double t1 = NowUs();
      DWORD_PTR result = 0;
      LRESULT sent = SendMessageTimeoutA(echoWindow, message, atom, 0, SMTO_BLOCK, 2000, &result);
      double t2 = NowUs();
      if (!ok || !sent) continue;
      withSimhost.push_back(t1 - t0);
      bare.push_back(t2 - t1);
      difference.push_back((t1 - t0) - (t2 - t1));
    }
    simlink::CloseChannel();
    Report("request (Wine)", "one exchange with simhost (client's view)", withSimhost, "us", "");
    Report("request (Wine)", "one exchange with a server that does nothing", bare, "us", "");
    Report("request (Wine)", "simhost's handling of one request (the difference)", difference,
           "us", "<= 100");
  }
  StopProcess(&echo, echoWindow);
}

// --- Idle -------------------------------------------------------------------------------

struct Cost {
  double cpuMs;          // user and kernel time since start
  double privateMb;      // private bytes (PagefileUsage)
  int gdiObjects;
  int userObjects;       // USER objects; windows counted where the system does not say
};

typedef NTSTATUS(NTAPI* QueryProcess)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);

// GDI objects from the process's GDI handle table, found through its PEB, for systems
// whose GetGuiResources does not count (Wine): entries with a type are live objects.
int CountGdiHandles(HANDLE process) {
  QueryProcess query = reinterpret_cast<QueryProcess>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
  PROCESS_BASIC_INFORMATION basic;
  ULONG length;
  if (!query || query(process, ProcessBasicInformation, &basic, sizeof basic, &length) != 0)
    return -1;
  const size_t kTableAtInPeb = 0xF8;   // PEB64 GdiSharedHandleTable
  const size_t kEntryBytes = 24, kEntries = 65536, kTypeAt = 14;
  uint64_t table = 0;
  SIZE_T got = 0;
  if (!ReadProcessMemory(process, reinterpret_cast<uint8_t*>(basic.PebBaseAddress) + kTableAtInPeb,
                         &table, sizeof table, &got) || !table)
    return -1;
  std::vector<uint8_t> entries(kEntryBytes * kEntries);
  if (!ReadProcessMemory(process, reinterpret_cast<void*>(table), entries.data(), entries.size(),
                         &got))
    return -1;
  int n = 0;
  for (size_t i = 0; i < kEntries; ++i) n += entries[i * kEntryBytes + kTypeAt] != 0;
  return n;
}

struct WindowCount {
  DWORD pid;
  int n;
};

BOOL CALLBACK CountChild(HWND, LPARAM lParam) {
  reinterpret_cast<WindowCount*>(lParam)->n++;
  return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM lParam) {
  WindowCount* c = reinterpret_cast<WindowCount*>(lParam);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid == c->pid) {
    c->n++;
    EnumChildWindows(window, CountChild, lParam);
  }
  return TRUE;
}

bool OnWine() {
  return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

std::string ReadWholeFile(const std::string& path) {
  std::string text;
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return text;
  char buf[4096];
  DWORD got;
  while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got) text.append(buf, got);
  CloseHandle(f);
  return text;
}

// Under Wine, GetProcessTimes knows no times of another process. The Linux process that
// runs it has them, in /proc (Wine's drive Z: is the Linux root): the process whose
// command line names the program's path, its user and system time in clock ticks of
// 10 ms. -1 when it is not found.
double LinuxCpuMs(const std::string& exePath) {
  WIN32_FIND_DATAA found;
  HANDLE h = FindFirstFileA("Z:\\proc\\*", &found);
  if (h == INVALID_HANDLE_VALUE) return -1;
  double ms = -1;
  do {
    if (found.cFileName[0] < '1' || found.cFileName[0] > '9') continue;
    std::string dir = std::string("Z:\\proc\\") + found.cFileName;
    std::string command = ReadWholeFile(dir + "\\cmdline");
    if (command.find(exePath) == std::string::npos) continue;
    std::string stat = ReadWholeFile(dir + "\\stat");
    size_t at = stat.rfind(')');
    if (at == std::string::npos) continue;
    // After the name: state (field 3) ... utime (14), stime (15).
    unsigned long long utime = 0, stime = 0;
    const char* p = stat.c_str() + at + 2;
    for (int field = 3; field < 14 && p; ++field) {
      p = strchr(p, ' ');
      if (p) ++p;
    }
    if (p && sscanf(p, "%llu %llu", &utime, &stime) == 2) {
      ms = double(utime + stime) * 10.0;
      static bool told;
      if (!told) printf("# idle CPU time from /proc/%s/stat (Linux), 10 ms ticks\n", found.cFileName);
      told = true;
      break;
    }
  } while (FindNextFileA(h, &found));
  FindClose(h);
  return ms;
}

Cost CostOf(const PROCESS_INFORMATION& pi, const std::string& exePath) {
  Cost c = {};
  FILETIME created, exited, kernel, user;
  if (GetProcessTimes(pi.hProcess, &created, &exited, &kernel, &user)) {
    ULARGE_INTEGER k, u;
    k.LowPart = kernel.dwLowDateTime;
    k.HighPart = kernel.dwHighDateTime;
    u.LowPart = user.dwLowDateTime;
    u.HighPart = user.dwHighDateTime;
    c.cpuMs = double(k.QuadPart + u.QuadPart) / 1e4;
  }
  // Wine answers GetProcessTimes for another process, but with times that never move.
  if (OnWine()) {
    c.cpuMs = LinuxCpuMs(exePath);
    if (c.cpuMs < 0) printf("# no Linux process found for %s\n", exePath.c_str());
  }
  PROCESS_MEMORY_COUNTERS_EX memory = {};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(pi.hProcess, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                           sizeof memory)) {
    SIZE_T bytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
    c.privateMb = double(bytes) / (1024.0 * 1024.0);
  }
  c.gdiObjects = int(GetGuiResources(pi.hProcess, GR_GDIOBJECTS));
  c.userObjects = int(GetGuiResources(pi.hProcess, GR_USEROBJECTS));
  if (c.gdiObjects == 0) c.gdiObjects = CountGdiHandles(pi.hProcess);
  if (c.userObjects == 0) {
    WindowCount count = {pi.dwProcessId, 0};
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&count));
    c.userObjects = count.n;
  }
  return c;
}

// The CPU share that velmora.exe takes over `seconds`.
double CpuShare(const PROCESS_INFORMATION& pi, const std::string& exe, int seconds,
                Cost* start, Cost* end) {
  *start = CostOf(pi, exe);
  ULONGLONG t0 = GetTickCount64();
  Sleep(DWORD(seconds) * 1000);
  *end = CostOf(pi, exe);
  double wallMs = double(GetTickCount64() - t0);
  return (end->cpuMs - start->cpuMs) * 100 / wallMs;
}

// velmora.exe as a user runs it (a copy in a folder of its own, for its settings file),
// beside the running simhost, AutoRefresh on from its start: what it costs over
// `seconds` once it has settled; then the same with its window minimized, where the
// refreshes go on but nothing is painted.
void MeasureIdle(const std::string& folder, int seconds) {
  std::string exe = folder + "\\velmora.exe";
  if (!CopyFileA((BinDir() + "\\velmora.exe").c_str(), exe.c_str(), FALSE)) return;
  PROCESS_INFORMATION velmora;
  if (!StartProcess(exe, "", folder, &velmora)) return;
  HWND window = WaitWindow(velmora, "Velmora", 20000);
  if (window) {
    Sleep(5000);   // started, first refreshes done
    Cost start, end;
    double share = CpuShare(velmora, exe, seconds, &start, &end);
    char what[160];
    snprintf(what, sizeof what, "velmora.exe beside simhost, AutoRefresh on, %d s: CPU", seconds);
    ReportOne("idle (Wine)", what, share, "% of a core", "< 0.2");
    ReportOne("idle (Wine)", "private bytes at the end", end.privateMb, "MB", "<= 10");
    ReportOne("idle (Wine)", "GDI objects, start", start.gdiObjects, "", "");
    ReportOne("idle (Wine)", "GDI objects, end", end.gdiObjects, "", "= start");
    ReportOne("idle (Wine)", "USER objects, start", start.userObjects, "", "");
    ReportOne("idle (Wine)", "USER objects, end", end.userObjects, "", "= start");

    ShowWindow(window, SW_MINIMIZE);
    Sleep(2000);
    share = CpuShare(velmora, exe, seconds, &start, &end);
    snprintf(what, sizeof what, "the same, window minimized (refreshes, no paint), %d s: CPU",
             seconds);
    ReportOne("idle (Wine)", what, share, "% of a core", "");
  }
  StopProcess(&velmora, window);
  DeleteFileA(exe.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  int samples = 60, idleSeconds = 60;
  for (int i = 1; i < argc; ++i) {
    if (!strcmp(argv[i], "--echo")) return RunEchoServer();
    if (!strcmp(argv[i], "--smoke")) {
      samples = 3;
      idleSeconds = 2;
    } else if (!strcmp(argv[i], "--samples") && i + 1 < argc) {
      samples = atoi(argv[++i]);
    } else if (!strcmp(argv[i], "--idle-seconds") && i + 1 < argc) {
      idleSeconds = atoi(argv[++i]);
    }
  }
  if (samples < 1) samples = 1;
  InitCommonControls();
  std::string folder = TempFolder();

  PROCESS_INFORMATION simhost;
  std::string args = kSimhostArgs;
  if (!StartProcess(BinDir() + "\\simhost.exe", args, folder, &simhost)) {
    fprintf(stderr, "refresh_bench: cannot start simhost.exe\n");
    return 2;
  }
  HWND server = WaitWindow(simhost, "FS98MAIN01", 20000);
  HWND status = WaitWindow(simhost, "SimhostStatus", 5000);
  if (!server) {
    fprintf(stderr, "refresh_bench: simhost.exe made no simulator window\n");
    StopProcess(&simhost, status);
    return 2;
  }
  printf("# simhost %s\n", args.c_str());

  HWND window = OpenVelmora(folder);
  if (!window) {
    fprintf(stderr, "refresh_bench: Velmora's main window was not made\n");
    StopProcess(&simhost, status);
    return 2;
  }
  table::RefreshTable();   // the list, made and filled once before the figures
  PaintUs();
  int rows = table::TrafficList ? int(SendMessageA(table::TrafficList, LVM_GETITEMCOUNT, 0, 0)) : 0;
  int occupied = 0;
  for (int k = 0; k < 99; ++k) occupied += simlink::SlotOccupied(simlink::ChannelView(), k);
  printf("# list of %d rows, %d occupied slots in the last snapshot\n", rows, occupied);

  MeasureCycle(samples);
  MeasureParts(samples);
  MeasureFirstRefresh(samples / 4 + 1);
  MeasureSwitch(window, samples / 4 + 1);
  MeasureWays(window, samples / 2 + 1);
  CloseVelmora(window);

  MeasureExchanges(server, samples * 4);
  MeasureIdle(folder, idleSeconds);

  StopProcess(&simhost, status);
  RemoveFolder(folder);
  return 0;
}
