// The test probe: see probe.h.
#include "tests/e2e/probe.h"

#include <commctrl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>

#include "tests/e2e/probe_remote.h"

namespace probe {

namespace {

const int kTextBytes = 512;

// A block of memory inside Velmora, freed when it goes out of scope.
struct RemoteBlock {
  HANDLE process;
  char* at;
  RemoteBlock(HANDLE p, size_t bytes)
      : process(p),
        at(static_cast<char*>(
            VirtualAllocEx(p, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))) {}
  ~RemoteBlock() {
    if (at) VirtualFreeEx(process, at, 0, MEM_RELEASE);
  }
  RemoteBlock(const RemoteBlock&) = delete;
  RemoteBlock& operator=(const RemoteBlock&) = delete;
  int Write(size_t offset, const void* data, size_t bytes) const {
    SIZE_T done = 0;
    return WriteProcessMemory(process, at + offset, data, bytes, &done) && done == bytes;
  }
  int Read(const void* from, void* data, size_t bytes) const {
    SIZE_T done = 0;
    return ReadProcessMemory(process, from, data, bytes, &done) && done == bytes;
  }
};

DWORD WindowPid(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid;
}

// Base address of a module in another process, by file name; null when not loaded.
char* RemoteModule(DWORD pid, const char* name) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32, pid);
  if (snap == INVALID_HANDLE_VALUE) return nullptr;
  MODULEENTRY32 me;
  me.dwSize = sizeof(me);
  char* base = nullptr;
  for (BOOL ok = Module32First(snap, &me); ok; ok = Module32Next(snap, &me)) {
    if (lstrcmpiA(me.szModule, name) == 0) {
      base = reinterpret_cast<char*>(me.modBaseAddr);
      break;
    }
  }
  CloseHandle(snap);
  return base;
}

// The remote address of a routine of a module loaded in both processes: the same
// offset from the module's base.
void* RemoteProc(DWORD pid, HMODULE local, const char* moduleName, const char* proc) {
  char* remoteBase = RemoteModule(pid, moduleName);
  FARPROC here = GetProcAddress(local, proc);
  if (!remoteBase || !here) return nullptr;
  return remoteBase + (reinterpret_cast<char*>(here) - reinterpret_cast<char*>(local));
}

int RunRemoteThread(HANDLE process, void* routine, void* param) {
  HANDLE thread = CreateRemoteThread(process, nullptr, 0,
                                     reinterpret_cast<LPTHREAD_START_ROUTINE>(routine),
                                     param, 0, nullptr);
  if (!thread) return 0;
  DWORD waited = WaitForSingleObject(thread, 20000);
  CloseHandle(thread);
  return waited == WAIT_OBJECT_0;
}

// The probe DLL lies beside the probe's own executable.
void ProbeDllPath(char out[MAX_PATH]) {
  char exe[MAX_PATH];
  DWORD n = GetModuleFileNameA(nullptr, exe, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) exe[0] = '\0';
  char* slash = strrchr(exe, '\\');
  if (slash) slash[1] = '\0';
  snprintf(out, MAX_PATH, "%s%s", exe, kProbeDll);
}

// Loads velmora_probe.dll into the target (once) and returns the remote address of its
// entry point.
void* ProbeEntry(const Target& t) {
  char path[MAX_PATH];
  ProbeDllPath(path);
  HMODULE local = LoadLibraryA(path);
  if (!local) return nullptr;
  if (!RemoteModule(t.pid, kProbeDll)) {
    void* loadLibrary =
        RemoteProc(t.pid, GetModuleHandleA("kernel32.dll"), "kernel32.dll", "LoadLibraryA");
    if (!loadLibrary) loadLibrary = reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "LoadLibraryA"));
    RemoteBlock name(t.process, sizeof(path));
    if (!name.at || !name.Write(0, path, strlen(path) + 1)) return nullptr;
    if (!RunRemoteThread(t.process, loadLibrary, name.at)) return nullptr;
  }
  return RemoteProc(t.pid, local, kProbeDll, kProbeEntry);
}

// Runs one request inside Velmora; 1 with r->result filled in on success.
int CallRemote(const Target& t, RemoteRequest* r) {
  void* entry = ProbeEntry(t);
  if (!entry) return 0;
  RemoteBlock block(t.process, sizeof(RemoteRequest));
  r->window = reinterpret_cast<uintptr_t>(t.window);
  r->done = 0;
  if (!block.at || !block.Write(0, r, sizeof(*r))) return 0;
  if (!RunRemoteThread(t.process, entry, block.at)) return 0;
  return block.Read(block.at, r, sizeof(*r)) && r->done == 1;
}

int HeaderItemRect(const Target& t, HWND header, int column, RECT* rect) {
  RemoteBlock block(t.process, sizeof(RECT));
  if (!block.at) return 0;
  if (!SendMessageA(header, HDM_GETITEMRECT, static_cast<WPARAM>(column),
                    reinterpret_cast<LPARAM>(block.at)))
    return 0;
  return block.Read(block.at, rect, sizeof(*rect));
}

struct BoxSearch {
  DWORD pid;
  const char* caption;
  HWND found;
};

BOOL CALLBACK MatchBox(HWND window, LPARAM param) {
  BoxSearch* s = reinterpret_cast<BoxSearch*>(param);
  char cls[32];
  if (!IsWindowVisible(window) || WindowPid(window) != s->pid) return TRUE;
  if (!GetClassNameA(window, cls, sizeof(cls)) || strcmp(cls, "#32770") != 0) return TRUE;
  if (WindowText(window) != s->caption) return TRUE;
  s->found = window;
  return FALSE;
}

BOOL CALLBACK LongestStatic(HWND child, LPARAM param) {
  std::string* best = reinterpret_cast<std::string*>(param);
  char cls[32];
  if (!GetClassNameA(child, cls, sizeof(cls)) || lstrcmpiA(cls, "Static") != 0) return TRUE;
  std::string text = WindowText(child);
  if (text.size() > best->size()) *best = text;
  return TRUE;
}

}  // namespace

HWND FindMainWindow(DWORD pid, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitFor([&] {
    for (HWND w = FindWindowExA(nullptr, nullptr, "Velmora", nullptr); w;
         w = FindWindowExA(nullptr, w, "Velmora", nullptr)) {
      if (pid == 0 || WindowPid(w) == pid) {
        found = w;
        return true;
      }
    }
    return false;
  }, timeoutMs);
  return found;
}

int Attach(HWND window, Target* target) {
  target->window = window;
  target->pid = WindowPid(window);
  target->process = OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION |
                                    PROCESS_VM_OPERATION | PROCESS_VM_READ |
                                    PROCESS_VM_WRITE | SYNCHRONIZE,
                                FALSE, target->pid);
  return target->process != nullptr;
}

void Close(Target* target) {
  if (target->process) CloseHandle(target->process);
  target->process = nullptr;
}

std::string WindowText(HWND window) {
  char text[kTextBytes];
  // WM_GETTEXT is copied across processes by the platform. A time-out keeps the probe
  // from hanging on a window whose thread is busy (a request waiting for the server).
  DWORD_PTR n = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text),
                           SMTO_NORMAL, 15000, &n) || n == 0)
    return std::string();
  text[sizeof(text) - 1] = '\0';
  return std::string(text);
}

HWND FindList(HWND mainWindow) {
  return FindWindowExA(mainWindow, nullptr, "SysListView32", nullptr);
}

int RowCount(HWND list) {
  return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

std::string CellText(const Target& t, HWND list, int row, int column) {
  RemoteBlock block(t.process, sizeof(LVITEMA) + kTextBytes);
  if (!block.at) return std::string();
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = block.at + sizeof(LVITEMA);
  item.cchTextMax = kTextBytes;
  if (!block.Write(0, &item, sizeof(item))) return std::string();
  SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
               reinterpret_cast<LPARAM>(block.at));
  // The control may point pszText at its own copy instead of filling the buffer.
  LVITEMA after;
  char text[kTextBytes];
  if (!block.Read(block.at, &after, sizeof(after))) return std::string();
  if (!after.pszText || !block.Read(after.pszText, text, sizeof(text))) return std::string();
  text[sizeof(text) - 1] = '\0';
  return std::string(text);
}

std::vector<std::vector<std::string>> ReadTable(const Target& t, HWND list) {
  std::vector<std::vector<std::string>> rows;
  int n = RowCount(list);
  for (int r = 0; r < n; ++r) {
    std::vector<std::string> cells;
    for (int c = 0; c < 17; ++c) cells.push_back(CellText(t, list, r, c));
    rows.push_back(cells);
  }
  return rows;
}

int ItemData(const Target& t, HWND list, int row, LPARAM* data) {
  RemoteBlock block(t.process, sizeof(LVITEMA));
  if (!block.at) return 0;
  LVITEMA item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  if (!block.Write(0, &item, sizeof(item))) return 0;
  if (!SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(block.at))) return 0;
  if (!block.Read(block.at, &item, sizeof(item))) return 0;
  *data = item.lParam;
  return 1;
}

int ColumnOrder(const Target& t, HWND list, int order[17]) {
  RemoteBlock block(t.process, 17 * sizeof(int));
  if (!block.at) return 0;
  if (!SendMessageA(list, LVM_GETCOLUMNORDERARRAY, 17, reinterpret_cast<LPARAM>(block.at)))
    return 0;
  return block.Read(block.at, order, 17 * sizeof(int));
}

int ColumnWidth(HWND list, int column) {
  return static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, column, 0));
}

int MenuState(const Target& t, int command) {
  RemoteRequest r = {};
  r.op = RemoteMenuState;
  r.arg = command;
  if (!CallRemote(t, &r)) return -1;
  return static_cast<int>(r.result);
}

long long SendBeginDrag(const Target& t, int item) {
  RemoteRequest r = {};
  r.op = RemoteBeginDrag;
  r.arg = item;
  if (!CallRemote(t, &r)) return -1;
  return r.result;
}

void PostCommand(const Target& t, int id) {
  PostMessageA(t.window, WM_COMMAND, static_cast<WPARAM>(id), 0);
}

int ClickHeader(const Target& t, HWND list, int column) {
  return DragHeader(t, list, column, 0);
}

// The header control takes the button-down, the moves and the button-up as if they
// came from the mouse: a click when the pointer stays put, a drag when it moves further
// than the drag threshold.
int DragHeader(const Target& t, HWND list, int column, int dx) {
  HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  RECT r;
  if (!header || !HeaderItemRect(t, header, column, &r)) return 0;
  int x = (r.left + r.right) / 2;
  int y = (r.top + r.bottom) / 2;
  PostMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  if (dx != 0) {
    const int steps = 8;
    for (int i = 1; i <= steps; ++i) {
      PostMessageA(header, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(x + dx * i / steps, y));
    }
  }
  PostMessageA(header, WM_LBUTTONUP, 0, MAKELPARAM(x + dx, y));
  return 1;
}

HWND FindBox(DWORD pid, const char* caption, DWORD timeoutMs) {
  BoxSearch s = {pid, caption, nullptr};
  WaitFor([&] {
    EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&s));
    return s.found != nullptr;
  }, timeoutMs);
  return s.found;
}

std::string BoxText(HWND box) {
  std::string text;
  EnumChildWindows(box, LongestStatic, reinterpret_cast<LPARAM>(&text));
  return text;
}

void PressOk(HWND box) {
  PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}

int WaitExit(HANDLE process, DWORD timeoutMs) {
  if (WaitForSingleObject(process, timeoutMs) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  if (!GetExitCodeProcess(process, &code)) return -1;
  return static_cast<int>(code);
}

}  // namespace probe
