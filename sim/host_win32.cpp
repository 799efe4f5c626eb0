// The server thread. It owns the state table and the live traffic: the timer that
// moves the traffic and the message that reads the table run on this one thread, so
// the table needs no lock. Only HostStatus and the faults cross to the status window's
// thread, under HostLock.
#include "sim/host.h"

#include <cstdio>
#include <cstring>

#include "sim/server.h"

namespace sim {

namespace {

const UINT_PTR kTickTimer = 1;
const UINT kTickMs = 250;
const UINT_PTR kSweepTimer = 2;
const UINT kSweepMs = 250;
const int kClientViews = 8;
const double kStepSeconds = 0.25;
const int kMaxStepsPerTick = 400;   // after a long hold the traffic skips ahead
const size_t kLogBytes = 8192;      // the record headers of one request, cut beyond

// Set up by StartHost, then the thread's own.
HostSetup Setup;
HANDLE Thread;
HANDLE ReadyEvent;        // the thread's window exists (or could not be made)
HANDLE StopEvent;         // manual reset: simhost is ending, let go of every request
volatile LONG Ending;     // set with StopEvent, read without a call to the system
HANDLE FaultsChanged;     // auto reset: the faults changed, let go of a held request
HWND ServerWindow;
UINT IpcMessage;
int ThreadStarted;
HANDLE LogFile = INVALID_HANDLE_VALUE;

uint8_t StateTable[kStateTableBytes];
Scene ServedScene;
ULONGLONG StartTick;
uint64_t StepsDone;
uint32_t RequestCount;

SRWLOCK HostLock = SRWLOCK_INIT;   // usable before StartHost: the status window paints first
HostStatus Status;
Faults CurrentFaults;

// --- Clients' sections -----------------------------------------------------------------
//
// A client's section is mapped at its first request and stays mapped for the requests
// that follow, so that a request costs the walk over its records and little else. The
// view is kept by the atom and the section name it came with; simhost holds no handle to
// the section, so its name stays the client's alone: a client that closes its section
// and makes a new one of the same name gets a new section, not simhost's old one. A
// client deletes its atom when it closes its channel; every quarter of a second, and
// whenever a request finds an atom gone or naming another section, the views of gone
// clients are let go. (A client that closed its section and made a new one of the same
// name, with the same atom, within that quarter of a second and without a request in
// between, would be served into its old section.)

struct ClientView {
  ATOM atom;                 // 0: a free entry
  char name[MAX_PATH];
  uint8_t* view;
  size_t bytes;              // the committed pages from the start of the view
  ULONGLONG lastUsed;
};

ClientView Clients[kClientViews];

void ReleaseClient(ClientView* c) {
  if (c->view) UnmapViewOfFile(c->view);
  memset(c, 0, sizeof *c);
}

void ReleaseClientsOf(ATOM atom) {
  for (ClientView& c : Clients)
    if (c.atom && c.atom == atom) ReleaseClient(&c);
}

// Lets go of the views whose atom is gone or names another section now.
void ForgetGoneClients() {
  for (ClientView& c : Clients) {
    if (!c.atom) continue;
    char name[MAX_PATH];
    if (!GlobalGetAtomNameA(c.atom, name, sizeof name) || strcmp(name, c.name) != 0)
      ReleaseClient(&c);
  }
}

void ReleaseAllClients() {
  for (ClientView& c : Clients)
    if (c.atom) ReleaseClient(&c);
}

// The view of the section the atom names: the one kept from an earlier request, or a
// new mapping, kept from now on (the least recently used one makes room when all
// entries are taken). Null, with the fault in `fault`, when the section cannot be
// opened or mapped.
ClientView* ClientSection(ATOM atom, const char* name, char* fault, size_t faultBytes) {
  for (ClientView& c : Clients) {
    if (c.atom == atom && strcmp(c.name, name) == 0) {
      c.lastUsed = GetTickCount64();
      return &c;
    }
  }
  ReleaseClientsOf(atom);   // the atom names another section now

  HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
  if (!mapping) {
    snprintf(fault, faultBytes, "no section \"%s\" (error %lu)", name, GetLastError());
    return nullptr;
  }
  uint8_t* view = static_cast<uint8_t*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
  if (!view) {
    snprintf(fault, faultBytes, "no view of \"%s\" (error %lu)", name, GetLastError());
    CloseHandle(mapping);
    return nullptr;
  }
  CloseHandle(mapping);   // the view keeps the section; its name stays the client's

  ClientView* slot = &Clients[0];
  for (ClientView& c : Clients) {
    if (!c.atom) {
      slot = &c;
      break;
    }
    if (c.lastUsed < slot->lastUsed) slot = &c;
  }
  ReleaseClient(slot);
  slot->atom = atom;
  snprintf(slot->name, sizeof slot->name, "%s", name);
  slot->view = view;
  // Only the committed pages from the start of the view may be touched.
  MEMORY_BASIC_INFORMATION info;
  if (VirtualQuery(view, &info, sizeof info) == sizeof info && info.State == MEM_COMMIT)
    slot->bytes = info.RegionSize;
  slot->lastUsed = GetTickCount64();
  return slot;
}

// --- Shared with the status window --------------------------------------------------

void PublishScene() {
  int aircraft[2] = {OccupiedSlots(&ServedScene.lists[kListAirborne]),
                     OccupiedSlots(&ServedScene.lists[kListGround])};
  // The nearest distances as served: ground at 0x736C, airborne at 0x736E.
  uint16_t ground = uint16_t(StateTable[0x736C] | StateTable[0x736D] << 8);
  uint16_t airborne = uint16_t(StateTable[0x736E] | StateTable[0x736F] << 8);
  AcquireSRWLockExclusive(&HostLock);
  for (int l = 0; l < 2; ++l) {   // the heads as served, raw patches included
    const uint8_t* head = StateTable + (l == kListAirborne ? 0xF000 : 0xE000);
    Status.aircraft[l] = aircraft[l];
    Status.recordLength[l] = head[0] | head[1] << 8;
    Status.slotCount[l] = head[2] | head[3] << 8;
  }
  Status.nearest[kListAirborne] = airborne;
  Status.nearest[kListGround] = ground;
  Status.trafficSeconds = Setup.traffic ? Setup.traffic->clock : 0;
  ReleaseSRWLockExclusive(&HostLock);
}

void PublishRequest(int answer, const char* summary, const char* fault) {
  AcquireSRWLockExclusive(&HostLock);
  Status.requests = RequestCount;
  if (answer == 1) Status.answeredOne++;
  else Status.answeredOther++;
  snprintf(Status.lastRequest, sizeof Status.lastRequest, "%u answered %d: %s", RequestCount,
           answer, summary);
  if (fault) snprintf(Status.lastFault, sizeof Status.lastFault, "request %u: %s", RequestCount, fault);
  ReleaseSRWLockExclusive(&HostLock);
}

// --- The request log ------------------------------------------------------------------

void WriteLog(const char* text) {
  if (LogFile == INVALID_HANDLE_VALUE) return;
  DWORD written;
  WriteFile(LogFile, text, DWORD(strlen(text)), &written, nullptr);
}

// One line per request: its number, the answer, what happened, and the record headers
// as the walk found them, separated by "; ".
void LogRequest(int answer, const char* what, const char* records) {
  static char line[kLogBytes + 512];
  int n = snprintf(line, sizeof line, "%u answer=%d %s", RequestCount, answer, what);
  if (n < 0) return;
  size_t len = size_t(n) < sizeof line ? size_t(n) : sizeof line - 1;
  if (records && records[0] && len + 2 < sizeof line) {
    line[len++] = ':';
    line[len++] = ' ';
    for (const char* r = records; *r && len + 3 < sizeof line; ++r) {
      if (*r != '\n') {
        line[len++] = *r;
      } else if (r[1]) {
        line[len++] = ';';
        line[len++] = ' ';
      }
    }
  }
  line[len++] = '\r';
  line[len++] = '\n';
  line[len] = 0;
  WriteLog(line);
}

// The last line of a walk's log: where and why it stopped.
void LastLine(const char* records, char* out, size_t outBytes) {
  size_t n = strlen(records);
  while (n > 0 && records[n - 1] == '\n') --n;
  size_t start = n;
  while (start > 0 && records[start - 1] != '\n') --start;
  snprintf(out, outBytes, "%.*s", int(n - start), records + start);
}

// --- Serving --------------------------------------------------------------------------

// Holds the current request for ms milliseconds (INFINITE: until let go). Returns 0
// when simhost is ending, 1 when the time is up or the faults changed.
int Hold(DWORD ms) {
  HANDLE events[2] = {StopEvent, FaultsChanged};
  DWORD r = WaitForMultipleObjects(2, events, FALSE, ms);
  return r != WAIT_OBJECT_0;
}

bool Stopping() { return InterlockedCompareExchange(&Ending, 0, 0) != 0; }

LRESULT OnIpc(WPARAM wParam) {
  RequestCount++;
  if (Stopping()) {
    LogRequest(0, "simhost is ending", nullptr);
    PublishRequest(0, "simhost is ending", nullptr);
    return 0;
  }
  Faults f;
  ReadHostFaults(&f);
  bool faulty = RequestCount > f.after;
  if (faulty && (f.hang || f.delayMs)) {
    // A change of faults from here on lets go of this request's hold; one made since
    // they were read is in the faults read again.
    ResetEvent(FaultsChanged);
    ReadHostFaults(&f);
    faulty = RequestCount > f.after;
  }
  char what[400];
  char fault[200];
  fault[0] = 0;
  what[0] = 0;

  if (faulty && (f.hang || f.delayMs)) {
    ULONGLONG start = GetTickCount64();
    int go = Hold(f.hang ? INFINITE : f.delayMs);
    unsigned held = unsigned(GetTickCount64() - start);
    if (!go) {
      snprintf(what, sizeof what, "held %u ms until simhost ended", held);
      LogRequest(0, what, nullptr);
      PublishRequest(0, what, what);
      return 0;
    }
    snprintf(what, sizeof what, "held %u ms, ", held);
    snprintf(fault, sizeof fault, "held %u ms", held);
    ReadHostFaults(&f);   // let go by a change: the new faults decide the answer
    faulty = RequestCount > f.after;
  }

  char name[MAX_PATH];
  if (wParam == 0 || wParam > 0xFFFF || !GlobalGetAtomNameA(ATOM(wParam), name, sizeof name)) {
    if (wParam != 0 && wParam <= 0xFFFF) ReleaseClientsOf(ATOM(wParam));
    snprintf(fault, sizeof fault, "no global atom 0x%llX", (unsigned long long)wParam);
    LogRequest(0, fault, nullptr);
    PublishRequest(0, fault, fault);
    return 0;
  }
  ClientView* client = ClientSection(ATOM(wParam), name, fault, sizeof fault);
  if (!client) {
    LogRequest(0, fault, nullptr);
    PublishRequest(0, fault, fault);
    return 0;
  }
  uint8_t* view = client->view;
  size_t bytes = client->bytes;

  static char records[kLogBytes];
  records[0] = 0;
  int answer;
  if (faulty && f.answerMode == AnswerOnly) {
    CheckRequest(view, bytes, kStateTableBytes, records, sizeof records);
    answer = f.answer;
    snprintf(fault + strlen(fault), sizeof fault - strlen(fault), "%sanswered %d unfilled",
             fault[0] ? ", " : "", answer);
  } else {
    answer = ServeRequest(view, bytes, StateTable, kStateTableBytes, records, sizeof records);
    if (!answer) {
      char last[160];
      LastLine(records, last, sizeof last);
      snprintf(fault + strlen(fault), sizeof fault - strlen(fault), "%s%s", fault[0] ? ", " : "", last);
    }
    if (faulty && f.answerMode == AnswerFilled) {
      answer = f.answer;
      snprintf(fault + strlen(fault), sizeof fault - strlen(fault), "%sanswered %d filled",
               fault[0] ? ", " : "", answer);
    }
  }
  size_t len = strlen(what);
  snprintf(what + len, sizeof what - len, "section=%s bytes=%lu", name, (unsigned long)bytes);
  LogRequest(answer, what, records);
  int recordCount = 0;
  for (const char* r = records; *r; ++r) recordCount += *r == '\n';
  char summary[300];
  snprintf(summary, sizeof summary, "%s, %d record headers", name, recordCount > 0 ? recordCount - 1 : 0);
  PublishRequest(answer, summary, fault[0] ? fault : nullptr);

  if (Setup.options->quitAfter && RequestCount >= Setup.options->quitAfter)
    PostMessageA(ServerWindow, WM_CLOSE, 0, 0);
  return answer;
}

// Moves the live traffic on to the clock: whole steps of 0.25 s of traffic time, so
// the same seed and the same number of steps always give the same scene.
void OnTick() {
  Traffic* t = Setup.traffic;
  if (!t || Setup.options->rate <= 0) return;
  double elapsed = double(GetTickCount64() - StartTick) / 1000 * Setup.options->rate;
  uint64_t target = uint64_t(elapsed / kStepSeconds);
  if (target <= StepsDone) return;
  if (target - StepsDone > uint64_t(kMaxStepsPerTick)) StepsDone = target - kMaxStepsPerTick;
  for (; StepsDone < target; ++StepsDone) StepTraffic(t, kStepSeconds);
  TrafficScene(t, &ServedScene);
  EncodeScene(&ServedScene, StateTable);
  PublishScene();
}

LRESULT CALLBACK ServerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (IpcMessage && msg == IpcMessage) return OnIpc(wParam);
  switch (msg) {
    case WM_TIMER:
      if (wParam == kSweepTimer) ForgetGoneClients();
      else OnTick();
      return 0;
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_DESTROY:
      KillTimer(hwnd, kTickTimer);
      KillTimer(hwnd, kSweepTimer);
      ReleaseAllClients();
      PostMessageA(Setup.statusWindow, WM_CLOSE, 0, 0);
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

DWORD WINAPI ServerThread(void*) {
  IpcMessage = RegisterWindowMessageA("FsasmLib:IPC");
  WNDCLASSA wc;
  memset(&wc, 0, sizeof wc);
  wc.lpfnWndProc = ServerProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.lpszClassName = Setup.options->windowClass;
  if (IpcMessage && RegisterClassA(&wc))
    ServerWindow = CreateWindowExA(0, Setup.options->windowClass, "simhost", WS_OVERLAPPED, 0, 0,
                                   100, 100, nullptr, nullptr, wc.hInstance, nullptr);
  SetEvent(ReadyEvent);
  if (!ServerWindow) return 1;
  StartTick = GetTickCount64();
  if (Setup.traffic && Setup.options->rate > 0) SetTimer(ServerWindow, kTickTimer, kTickMs, nullptr);
  SetTimer(ServerWindow, kSweepTimer, kSweepMs, nullptr);
  MSG m;
  while (GetMessageA(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
  return 0;
}

// Waits for h while dispatching the calling thread's messages: creating and destroying
// the server window may need a word with the windows of this thread, which a plain
// wait would deadlock. Nonzero when h was signalled in time.
int WaitDispatching(HANDLE h, DWORD ms) {
  ULONGLONG end = GetTickCount64() + ms;
  for (;;) {
    ULONGLONG now = GetTickCount64();
    DWORD left = now >= end ? 0 : DWORD(end - now);
    DWORD r = MsgWaitForMultipleObjects(1, &h, FALSE, left, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) return 1;
    if (r != WAIT_OBJECT_0 + 1) return 0;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.message == WM_QUIT) {   // keep it for the caller's own loop
        PostQuitMessage(int(m.wParam));
        return WaitForSingleObject(h, left) == WAIT_OBJECT_0;
      }
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
  }
}

}  // namespace

int StartHost(const HostSetup* setup) {
  Setup = *setup;
  CurrentFaults = setup->options->faults;
  if (setup->options->logFile[0]) {
    LogFile = CreateFileA(setup->options->logFile, GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (LogFile == INVALID_HANDLE_VALUE) return 0;
  }
  if (setup->frozen) ServedScene = *setup->frozen;
  else TrafficScene(setup->traffic, &ServedScene);
  EncodeScene(&ServedScene, StateTable);
  PublishScene();

  ReadyEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  StopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  FaultsChanged = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  if (!ReadyEvent || !StopEvent || !FaultsChanged) return 0;
  Thread = CreateThread(nullptr, 0, ServerThread, nullptr, 0, nullptr);
  if (!Thread) return 0;
  ThreadStarted = 1;
  WaitDispatching(ReadyEvent, 10000);
  return ServerWindow != nullptr;
}

void StopHost() {
  if (!ThreadStarted) return;
  InterlockedExchange(&Ending, 1);
  SetEvent(StopEvent);
  if (ServerWindow) PostMessageA(ServerWindow, WM_CLOSE, 0, 0);
  WaitDispatching(Thread, 10000);
  CloseHandle(Thread);
  ThreadStarted = 0;
  if (LogFile != INVALID_HANDLE_VALUE) CloseHandle(LogFile);
  LogFile = INVALID_HANDLE_VALUE;
}

void ReadHostStatus(HostStatus* status) {
  AcquireSRWLockExclusive(&HostLock);
  *status = Status;
  ReleaseSRWLockExclusive(&HostLock);
}

void ReadHostFaults(Faults* faults) {
  AcquireSRWLockExclusive(&HostLock);
  *faults = CurrentFaults;
  ReleaseSRWLockExclusive(&HostLock);
}

void SetHostFaults(const Faults* faults) {
  AcquireSRWLockExclusive(&HostLock);
  CurrentFaults = *faults;
  CurrentFaults.after = 0;   // from the next request on
  ReleaseSRWLockExclusive(&HostLock);
  SetEvent(FaultsChanged);
}

}  // namespace sim
