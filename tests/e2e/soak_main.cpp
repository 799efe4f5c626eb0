// soak.exe: a long run of Velmora beside simhost's live traffic, to show that nothing
// grows with use. Velmora is driven from outside as fast as it takes the commands:
// REFRESHES Refresh commands, with a switch of view every so many and a click on a
// column header every few, while slots come and go in the moving scene. Velmora's GDI
// and USER objects, handles and private bytes are sampled after a warm-up and at the
// end, and must stay flat.
//
//   soak REFRESHES [--seed N] [--rate X]
//
// Exit code 0 when the run completed and every figure stayed within its tolerance,
// 1 when one grew, 2 when the run itself failed (a program did not start, a command was
// not answered, Velmora did not end with exit code 0).
//
// Nothing the soak does may leave anything in Velmora's process: commands and clicks
// are window messages, the samples are taken from outside, and the one block of memory
// that reading the list needs is made in Velmora before the first sample and reused.
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "tests/e2e/drive.h"
#include "tests/e2e/e2e_support.h"

namespace {

const int kCmdExit = 101;
const int kCmdRefresh = 102;
const int kCmdAutoRefresh = 105;
const int kCmdGround = 106;
const int kCmdAirborne = 107;

const int kWarmupRefreshes = 200;
const int kSwitchEvery = 250;      // refreshes between two switches of view
const int kClickEvery = 25;        // refreshes between two header clicks
const int kWatchEvery = 100;       // refreshes between two looks at the list's IDs
const DWORD kCommandTimeoutMs = 30000;

// Growth allowed from the start sample to the end one, and why:
// - GDI and USER objects: every object a refresh, a switch or a click needs has been
//   made once in the warm-up; 2 leaves room for one the system makes on first use
//   elsewhere, while a leak of one object per switch (dozens) or per click (hundreds)
//   stands far outside it.
// - Handles: 8, for the system's own lazily opened handles; a leak per refresh would
//   be thousands.
// - Private bytes: 256 KiB. Samples of a steady Velmora differ by a page or two (the
//   heap commits and gives back memory in pages and blocks of up to 64 KiB as the list
//   control's texts change length with the scene); 256 KiB is four such blocks. One
//   leaked heap block per refresh (32 bytes at least, with its header) is 640 KiB over
//   20,000 refreshes, and a leak per switch of anything the size of a list is more.
//   The short run in make check (3,000 refreshes) catches 88 bytes a refresh and more.
const long kToleranceObjects = 2;
const long kToleranceHandles = 8;
const long long kTolerancePrivateBytes = 256 << 10;

// --- Samples ---------------------------------------------------------------------------

struct Sample {
  long gdi;
  long user;
  long handles;
  long long privateBytes;
};

// Where a figure comes from: the documented call when the system implements it, else
// the same count taken another way (Wine answers the first three calls with 0).
struct Sources {
  const char* gdi = "GetGuiResources";
  const char* user = "GetGuiResources";
  const char* handles = "GetProcessHandleCount";
  const char* privateBytes = "PrivateUsage";
};

typedef LONG(NTAPI* QueryProcess)(HANDLE, ULONG, void*, ULONG, ULONG*);
typedef LONG(NTAPI* QuerySystem)(ULONG, void*, ULONG, ULONG*);

// The GDI handle table that the system maps into each process (the PEB's
// GdiSharedHandleTable): one 24-byte entry per handle, its type byte nonzero while
// the handle is in use.
long GdiTableCount(HANDLE process) {
  auto query = reinterpret_cast<QueryProcess>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
  if (!query) return -1;
  struct {
    void* reserved1;
    char* peb;
    void* reserved2[2];
    ULONG_PTR pid;
    void* reserved3;
  } basic = {};
  if (query(process, 0 /* ProcessBasicInformation */, &basic, sizeof basic, nullptr) != 0)
    return -1;
  char* table = nullptr;
  SIZE_T done = 0;
  if (!ReadProcessMemory(process, basic.peb + 0xF8, &table, sizeof table, &done) || !table)
    return -1;
  const size_t kEntries = 65536, kEntryBytes = 24, kTypeAt = 14;
  std::vector<unsigned char> entries(kEntries * kEntryBytes);
  if (!ReadProcessMemory(process, table, entries.data(), entries.size(), &done)) return -1;
  long n = 0;
  for (size_t i = 0; i < done / kEntryBytes; ++i) n += entries[i * kEntryBytes + kTypeAt] != 0;
  return n;
}

// Handles of a process in the system's handle list (SystemExtendedHandleInformation).
long SystemHandleCount(DWORD pid) {
  auto query = reinterpret_cast<QuerySystem>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return -1;
  struct Entry {
    void* object;
    ULONG_PTR pid;
    ULONG_PTR handle;
    ULONG access;
    USHORT trace, type;
    ULONG attributes, reserved;
  };
  std::vector<char> buffer(1 << 20);
  ULONG needed = 0;
  LONG status;
  while ((status = query(64, buffer.data(), ULONG(buffer.size()), &needed)) ==
         LONG(0xC0000004)) {   // too small
    buffer.resize(buffer.size() * 2);
    if (buffer.size() > (256u << 20)) return -1;
  }
  if (status != 0) return -1;
  ULONG_PTR count = *reinterpret_cast<ULONG_PTR*>(buffer.data());
  const Entry* e = reinterpret_cast<const Entry*>(buffer.data() + 2 * sizeof(ULONG_PTR));
  long n = 0;
  for (ULONG_PTR i = 0; i < count; ++i) n += e[i].pid == pid;
  return n;
}

// The windows of a process, top-level, message-only and every child: the USER objects
// that its running paths make (lists, headers, boxes, dialogs).
struct WindowCount {
  DWORD pid;
  long n;
};

BOOL CALLBACK CountChild(HWND w, LPARAM param) {
  WindowCount* c = reinterpret_cast<WindowCount*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  c->n += pid == c->pid;
  return TRUE;
}

BOOL CALLBACK CountTop(HWND w, LPARAM param) {
  CountChild(w, param);
  EnumChildWindows(w, CountChild, param);   // every descendant
  return TRUE;
}

long WindowsOf(DWORD pid) {
  WindowCount c = {pid, 0};
  EnumWindows(CountTop, reinterpret_cast<LPARAM>(&c));
  for (HWND w = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); w;
       w = FindWindowExA(HWND_MESSAGE, w, nullptr, nullptr))
    CountTop(w, reinterpret_cast<LPARAM>(&c));
  return c.n;
}

Sample TakeOnce(HANDLE process, DWORD pid, Sources* src) {
  Sample s = {};
  s.gdi = long(GetGuiResources(process, GR_GDIOBJECTS));
  if (s.gdi == 0) {
    s.gdi = GdiTableCount(process);
    src->gdi = "GDI handle table";
  }
  s.user = long(GetGuiResources(process, GR_USEROBJECTS));
  if (s.user == 0) {
    s.user = WindowsOf(pid);
    src->user = "windows of the process";
  }
  DWORD handles = 0;
  if (GetProcessHandleCount(process, &handles) && handles != 0) {
    s.handles = long(handles);
  } else {
    s.handles = SystemHandleCount(pid);
    src->handles = "system handle list";
  }
  PROCESS_MEMORY_COUNTERS_EX m = {};
  m.cb = sizeof m;
  if (K32GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&m),
                              sizeof m)) {
    s.privateBytes = (long long)m.PrivateUsage;
    if (s.privateBytes == 0) {   // Windows gives the same commit charge in both
      s.privateBytes = (long long)m.PagefileUsage;
      src->privateBytes = "PagefileUsage";
    }
  }
  return s;
}

DWORD Began = GetTickCount();

// The steady figures: the least of five looks 50 ms apart once Velmora has answered,
// so that a device context or a brush that a paint of the list holds for a moment is
// not taken for one that stays. An object that stays is in every look.
Sample Take(HANDLE process, DWORD pid, HWND window, Sources* src) {
  drive::Answers(window, 10000);
  Sample least = TakeOnce(process, pid, src);
  for (int i = 1; i < 5; ++i) {
    Sleep(50);
    Sample s = TakeOnce(process, pid, src);
    if (s.gdi < least.gdi) least.gdi = s.gdi;
    if (s.user < least.user) least.user = s.user;
    if (s.handles < least.handles) least.handles = s.handles;
    if (s.privateBytes < least.privateBytes) least.privateBytes = s.privateBytes;
  }
  return least;
}

void Print(const char* what, int refreshes, const Sample& s) {
  printf("%-8s %7.1f %9d %6ld %6ld %8ld %12.1f\n", what, (GetTickCount() - Began) / 1000.0,
         refreshes, s.gdi, s.user, s.handles, double(s.privateBytes) / 1024.0);
  fflush(stdout);
}

// --- The list, read through one block in Velmora -------------------------------------

// The IDs shown in the list (column 1 of every row), read with one block of Velmora's
// memory made before the first sample.
struct ListReader {
  HANDLE process = nullptr;
  char* block = nullptr;
  static const int kText = 64;

  bool Open(HANDLE p) {
    process = p;
    block = static_cast<char*>(VirtualAllocEx(p, nullptr, sizeof(LVITEMA) + kText,
                                              MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    return block != nullptr;
  }
  std::set<std::string> Ids(HWND list) const {
    std::set<std::string> ids;
    int rows = int(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
    for (int r = 0; r < rows; ++r) {
      LVITEMA item = {};
      item.iSubItem = 1;
      item.pszText = block + sizeof(LVITEMA);
      item.cchTextMax = kText;
      SIZE_T done = 0;
      if (!WriteProcessMemory(process, block, &item, sizeof item, &done)) continue;
      SendMessageA(list, LVM_GETITEMTEXTA, WPARAM(r), reinterpret_cast<LPARAM>(block));
      LVITEMA after;
      char text[kText] = "";
      if (!ReadProcessMemory(process, block, &after, sizeof after, &done) || !after.pszText ||
          !ReadProcessMemory(process, after.pszText, text, sizeof text, &done))
        continue;
      text[kText - 1] = '\0';
      if (text[0] && strcmp(text, "User") != 0) ids.insert(text);
    }
    return ids;
  }
};

// --- The run ---------------------------------------------------------------------------

struct Run {
  e2e::TempFolder folder;
  e2e::Process simhost;
  e2e::Process velmora;
  probe::Target target = {};
  HWND list = nullptr;
  RECT header[17] = {};
  int view = 0;
  int refreshes = 0, switches = 0, clicks = 0, nextColumn = 0;
  long arrivals = 0, departures = 0;
  std::set<std::string> ids[2];
  bool idsSeen[2] = {false, false};
  std::set<std::string> titles;
  ListReader reader;

  bool Fail(const char* what) {
    fprintf(stderr, "soak: %s\n", what);
    return false;
  }

  bool Start(const std::string& seed, const std::string& rate) {
    if (FindWindowA("FS98MAIN01", nullptr)) return Fail("another simulator window is open");
    // Wide enough in both views for every column header to be clicked.
    e2e::WriteFile(folder.File("velmora.ini"),
                   "[Window]\r\nAirborne=[0,0,1400,700]\r\nGround=[0,0,1400,700]\r\n");
    if (!simhost.Start(e2e::BinDir() + "\\simhost.exe",
                       "--seed " + seed + " --rate " + rate + " --pos 0,720", folder.path))
      return Fail("simhost did not start");
    if (!probe::WaitFor([] { return FindWindowA("FS98MAIN01", nullptr) != nullptr; }, 15000))
      return Fail("simhost's window did not appear");
    std::string exe = folder.File("velmora.exe");
    if (!CopyFileA((e2e::BinDir() + "\\velmora.exe").c_str(), exe.c_str(), FALSE))
      return Fail("velmora.exe could not be copied");
    if (!velmora.Start(exe, "", folder.path)) return Fail("velmora did not start");
    HWND window = probe::FindMainWindow(velmora.pi.dwProcessId, 15000);
    if (!window || !probe::Attach(window, &target)) return Fail("no Velmora window");
    if (!probe::WaitFor([&] { return IsWindowVisible(window) != 0; }, 15000))
      return Fail("Velmora's window was not shown");
    // AutoRefresh off (its own command, posted at creation, and this one): every
    // refresh is one of ours.
    if (!drive::Command(window, kCmdAutoRefresh, kCommandTimeoutMs)) return Fail("no answer");
    if (!Refresh()) return false;
    list = probe::FindList(window);
    if (!list) return Fail("no list after the first refresh");
    for (int c = 0; c < 17; ++c)
      if (!drive::HeaderRect(target, list, c, &header[c])) return Fail("no header rectangle");
    if (!reader.Open(target.process)) return Fail("no block for reading the list");
    return true;
  }

  bool Refresh() {
    if (!drive::Command(target.window, kCmdRefresh, kCommandTimeoutMs))
      return Fail("a Refresh command was not answered");
    ++refreshes;
    return true;
  }

  bool Switch() {
    view = 1 - view;
    if (!drive::Command(target.window, view == 1 ? kCmdGround : kCmdAirborne,
                        kCommandTimeoutMs))
      return Fail("a switch of view was not answered");
    list = probe::FindList(target.window);
    if (!list) return Fail("no list after a switch");
    ++switches;
    return true;
  }

  bool Click() {
    if (!drive::ClickHeaderAt(list, header[nextColumn], kCommandTimeoutMs))
      return Fail("a header click was not answered");
    nextColumn = (nextColumn + 1) % 17;
    ++clicks;
    return true;
  }

  // Which aircraft came into the view's list and which left it since the last look.
  void Watch() {
    std::set<std::string> now = reader.Ids(list);
    if (idsSeen[view]) {
      for (const std::string& id : now) arrivals += !ids[view].count(id);
      for (const std::string& id : ids[view]) departures += !now.count(id);
    }
    ids[view] = now;
    idsSeen[view] = true;
    titles.insert(probe::WindowText(target.window));
  }

  // n refreshes with the switches, clicks and looks mixed in.
  bool Drive(int n) {
    for (int i = 0; i < n; ++i) {
      if (!Refresh()) return false;
      if (refreshes % kSwitchEvery == 0 && !Switch()) return false;
      if (refreshes % kClickEvery == 0 && !Click()) return false;
      if (refreshes % kWatchEvery == 0) Watch();
    }
    return true;
  }

  // Exit through the menu; Velmora's exit code.
  int Exit() {
    drive::Command(target.window, kCmdExit, kCommandTimeoutMs);
    int code = velmora.Wait(30000);
    HWND status = FindWindowA("SimhostStatus", nullptr);
    if (status) PostMessageA(status, WM_COMMAND, kCmdExit, 0);
    simhost.Wait(15000);
    return code;
  }

  ~Run() { probe::Close(&target); }
};

int Usage() {
  fprintf(stderr, "usage: soak REFRESHES [--seed N] [--rate X]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  int total = atoi(argv[1]);
  if (total < 1) return Usage();
  std::string seed = "1", rate = "20";
  for (int i = 2; i + 1 < argc; i += 2) {
    if (!strcmp(argv[i], "--seed")) {
      seed = argv[i + 1];
    } else if (!strcmp(argv[i], "--rate")) {
      rate = argv[i + 1];
    } else {
      return Usage();
    }
  }

  Run run;
  if (!run.Start(seed, rate)) return 2;
  printf("soak: Velmora (process %lu) beside simhost's live traffic (seed %s, rate %s)\n",
         run.target.pid, seed.c_str(), rate.c_str());
  printf("         seconds refreshes    gdi   user  handles  private KiB\n");
  Sources src;
  auto sample = [&] { return Take(run.target.process, run.target.pid, run.target.window, &src); };
  Print("launch", run.refreshes, sample());

  // Warm-up: every path once (both views, every column), so that whatever the system
  // makes on first use exists before the first sample.
  if (!run.Drive(kWarmupRefreshes) || !run.Switch() || !run.Switch()) return 2;
  for (int c = 0; c < 17; ++c)
    if (!run.Click()) return 2;
  run.Watch();
  int warm = run.refreshes;
  Sample start = sample();
  Print("start", warm, start);

  DWORD began = GetTickCount();
  int left = total;
  const int kSlices = 10;
  for (int slice = 1; slice <= kSlices && left > 0; ++slice) {
    int n = slice == kSlices ? left : total / kSlices;
    if (!run.Drive(n)) return 2;
    left -= n;
    Print("", run.refreshes, sample());
  }
  double seconds = (GetTickCount() - began) / 1000.0;
  // The end sample in the view of the start one.
  if (run.view != 0 && !run.Switch()) return 2;
  Sample end = sample();
  Print("end", run.refreshes, end);

  int driven = run.refreshes - warm;
  printf("\nrefreshes %d in %.1f s: %.0f a second; %d switches of view, %d header clicks\n",
         driven, seconds, seconds > 0 ? driven / seconds : 0.0, run.switches, run.clicks);
  printf("traffic: %ld aircraft came into a list and %ld left one between looks; "
         "%zu different titles\n",
         run.arrivals, run.departures, run.titles.size());
  printf("sources: GDI %s, USER %s, handles %s, private bytes %s\n", src.gdi, src.user,
         src.handles, src.privateBytes);

  bool flat = true;
  auto check = [&](const char* what, long long from, long long to, long long tolerance,
                   const char* unit) {
    long long growth = to - from;
    bool ok = from >= 0 && to >= 0 && growth <= tolerance;
    printf("%-13s %lld -> %lld %s: %+lld (tolerance %lld) %s\n", what, from, to, unit, growth,
           tolerance, ok ? "flat" : "GREW");
    flat = flat && ok;
  };
  check("GDI objects", start.gdi, end.gdi, kToleranceObjects, "");
  check("USER objects", start.user, end.user, kToleranceObjects, "");
  check("handles", start.handles, end.handles, kToleranceHandles, "");
  check("private bytes", start.privateBytes, end.privateBytes, kTolerancePrivateBytes, "B");

  int code = run.Exit();
  printf("Velmora's exit code: %d\n", code);
  if (code != 0) return 2;
  if (run.arrivals + run.departures == 0) {
    fprintf(stderr, "soak: the traffic never changed\n");
    return 2;
  }
  printf("soak: %s\n", flat ? "flat" : "GREW");
  return flat ? 0 : 1;
}
