// The IPC channel against a real server window: a window of the simulator's class on a
// thread of its own in this process, serving the registered message from a state table
// that the test fills, and able to answer 0 or 2 or to answer late; and against
// simhost.exe, the stand-in simulator, in a process of its own. Error boxes are the
// real ones: a BoxWatch reads them and presses OK.
//
// SendFailed is set for good by the first send that fails, so the cases that make a send
// fail (a time-out, a window that has gone) each run in a fresh process of their own,
// and every other case here leaves it at 0.
#include "link/channel.h"
#include "link/snapshot.h"
#include "shell/settings.h"
#include "sim/scenario.h"
#include "sim/scene.h"
#include "sim/server.h"
#include "tests/win32/boxwatch.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kRequestFailure[] = "Error: IPC message failure: not correct Ostrel installation?";
// Five pauses of 200 ms; a little slack for the clock's granularity.
const double kFivePausesMs = 950;

// --- The server ----------------------------------------------------------------------

const LONG kServe = -1;   // answer with the result of serving the request

uint8_t StateTable[sim::kStateTableBytes];
UINT ServerMessage;
volatile LONG Answer = kServe;   // kServe, or the result to return without serving
volatile LONG LateOnceMs = 0;    // the next request is answered this much later
volatile LONG Requests = 0;      // messages received
HWND LastServedBy;
char ReceivedName[300];          // the section name the atom carried
char ReceivedLog[4096];          // the request block's headers as the server read them

LRESULT Serve(HWND window, ATOM atom) {
  InterlockedIncrement(&Requests);
  LastServedBy = window;
  LONG late = InterlockedExchange(&LateOnceMs, 0);
  if (late) Sleep(late);
  if (Answer != kServe) return Answer;

  ReceivedName[0] = 0;
  ReceivedLog[0] = 0;
  if (!GlobalGetAtomNameA(atom, ReceivedName, sizeof ReceivedName)) return 0;
  HANDLE section = OpenFileMappingA(FILE_MAP_WRITE, FALSE, ReceivedName);
  if (!section) return 0;
  uint8_t* view = (uint8_t*)MapViewOfFile(section, FILE_MAP_WRITE, 0, 0, 0);
  LRESULT result = 0;
  if (view) {
    result = sim::ServeRequest(view, simlink::kViewBytes, StateTable, sizeof StateTable,
                               ReceivedLog, sizeof ReceivedLog);
    UnmapViewOfFile(view);
  }
  CloseHandle(section);
  return result;
}

LRESULT CALLBACK ServerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == ServerMessage && ServerMessage != 0) return Serve(window, (ATOM)wParam);
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

struct ServerStart {
  const char* className;
  HWND window;
  HANDLE ready;
};

DWORD WINAPI ServerThread(void* arg) {
  ServerStart* start = (ServerStart*)arg;
  start->window = CreateWindowExA(0, start->className, "simulator", WS_OVERLAPPEDWINDOW, 0,
                                  0, 200, 100, nullptr, nullptr, GetModuleHandleA(nullptr),
                                  nullptr);
  bool created = start->window != nullptr;
  SetEvent(start->ready);
  if (!created) return 1;
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}

void RegisterServerClasses() {
  static bool done = false;
  if (done) return;
  ServerMessage = RegisterWindowMessageA("FsasmLib:IPC");
  for (const char* name : {"FS98MAIN01", "FS98MAIN"}) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ServerProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = name;
    RegisterClassA(&wc);
  }
  done = true;
}

struct Server {
  HANDLE thread;
  HWND window;
};

Server StartServer(const char* className) {
  RegisterServerClasses();
  ServerStart start = {className, nullptr, CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  HANDLE thread = CreateThread(nullptr, 0, ServerThread, &start, 0, nullptr);
  WaitForSingleObject(start.ready, INFINITE);
  CloseHandle(start.ready);
  return {thread, start.window};
}

// Closes the window on its own thread and waits for the thread to end.
void StopServer(Server* server) {
  if (!server->thread) return;
  if (server->window) PostMessageA(server->window, WM_CLOSE, 0, 0);
  WaitForSingleObject(server->thread, INFINITE);
  CloseHandle(server->thread);
  server->thread = nullptr;
}

std::string SectionName() {
  char name[64];
  snprintf(name, sizeof name, "FsasmLib:IPC:%X:1", (unsigned)GetCurrentProcessId());
  return name;
}

// --- A scene in the state table --------------------------------------------------------

void Put16(uint32_t at, uint16_t v) { memcpy(StateTable + at, &v, 2); }
void Put32(uint32_t at, uint32_t v) { memcpy(StateTable + at, &v, 4); }
void PutFloat(uint32_t at, float v) { memcpy(StateTable + at, &v, 4); }
void PutText(uint32_t at, const char* text, size_t n) { memcpy(StateTable + at, text, n); }

// One traffic list as the server holds it: its one occupied slot is the last one.
struct ListScene {
  int viewMode;
  uint32_t slotsAt, routesAt;   // where it lies in the state table
  uint16_t slotCount;
  uint32_t refId;
  const char* idText;
  float latitude;
  const char* from;   // four characters
  const char* to;
  uint8_t runway;
  uint16_t nearest;
};

const ListScene kAirborne = {simlink::ViewAirborne, 0xF000, 0xD840, 3, 4711, "DLH4AB",
                             50.5f, "EDDF", "KJFK", 25, 42};
const ListScene kGround = {simlink::ViewGround, 0xE000, 0xD040, 5, 815, "BAW12",
                           51.47f, "EGLL", "LFPG", 9, 7};

void PutList(const ListScene& list) {
  Put16(list.slotsAt, 40);   // RecordLength
  Put16(list.slotsAt + 2, list.slotCount);
  int k = list.slotCount - 1;
  uint32_t slot = list.slotsAt + 128 + 40 * k;
  Put32(slot, list.refId);
  PutFloat(slot + 4, list.latitude);
  PutText(slot + 22, list.idText, strlen(list.idText) + 1);
  uint32_t route = list.routesAt + 20 * k;
  PutText(route + 8, list.from, 4);
  PutText(route + 12, list.to, 4);
  StateTable[route + 16] = list.runway;
  Put16(list.viewMode == simlink::ViewGround ? 0x736C : 0x736E, list.nearest);
}

void PutScene() {
  memset(StateTable, 0, sizeof StateTable);
  Put16(0x02A0, (uint16_t)-1820);   // magnetic variation, about -10 degrees
  Put32(0x0560, 0x80000000u);       // latitude fraction
  Put32(0x0564, 5556528);           // latitude whole part: 50 degrees north
  Put32(0x0568, 0x12345678u);       // longitude low half
  Put32(0x056C, 0x06000000u);       // longitude high half: 8.4375 degrees east
  Put32(0x0570, 0x40000000u);       // altitude fraction
  Put32(0x0574, 112);               // altitude whole metres
  Put32(0x02B4, 5 * 65536);         // ground speed
  Put32(0x02C8, (uint32_t)-768);    // vertical speed
  Put16(0x034E, 0x2345);            // COM1 123.45
  Put32(0x0580, 0x40000000u);       // heading 90 degrees true
  PutList(kAirborne);
  PutList(kGround);
}

// --- Fixture -------------------------------------------------------------------------

class Channel : public ::testing::Test {
 protected:
  void SetUp() override {
    simlink::CloseChannel();
    shell::ViewMode = simlink::ViewAirborne;
    Answer = kServe;
    LateOnceMs = 0;
    Requests = 0;
    LastServedBy = nullptr;
    PutScene();
  }
  void TearDown() override {
    simlink::CloseChannel();
    for (Server& s : servers) StopServer(&s);
    shell::ViewMode = simlink::ViewAirborne;
  }
  HWND Start(const char* className = "FS98MAIN01") {
    servers.push_back(StartServer(className));
    return servers.back().window;
  }
  // Opens the channel to a new server window of the simulator's class.
  void OpenToServer() {
    HWND server = Start();
    ASSERT_NE(nullptr, server);
    ASSERT_TRUE(simlink::OpenChannel(server));
    ASSERT_NE(nullptr, simlink::ChannelView());
  }
  std::vector<Server> servers;
};

// --- ReportError -----------------------------------------------------------------------

TEST_F(Channel, ReportErrorShowsTheWarningBoxAsTheUserSeesIt) {
  HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPED, 0, 0, 100, 100, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
  ASSERT_NE(nullptr, owner);
  struct {
    HWND owner;
    int32_t code;
    const char* text;
    const char* shown;
  } cases[] = {
    {nullptr, 0, "not able to find FS: please run it first",
     "Error: not able to find FS: please run it first"},
    {nullptr, 183, "can't create file mapping", "Error 183 reported: can't create file mapping"},
    {owner, -5, "in printing's StartDoc", "Error -5 reported: in printing's StartDoc"},
  };
  HICON warning = LoadIconA(nullptr, IDI_WARNING);
  for (const auto& c : cases) {
    BoxWatch watch;
    simlink::ReportError(c.owner, c.code, c.text);
    std::vector<SeenBox> boxes = watch.Boxes();
    ASSERT_EQ(1u, boxes.size()) << c.text;
    EXPECT_EQ(c.shown, boxes[0].text);
    EXPECT_EQ(c.owner, boxes[0].owner) << c.text;
    EXPECT_EQ(warning, boxes[0].icon) << c.text;
    EXPECT_EQ(1, boxes[0].buttons) << c.text;
  }
  DestroyWindow(owner);
}

// --- Finding the simulator -----------------------------------------------------------------

TEST_F(Channel, FindSimulatorWindowPrefersTheNewerClass) {
  EXPECT_EQ(nullptr, simlink::FindSimulatorWindow()) << "no simulator running";

  HWND older = Start("FS98MAIN");
  ASSERT_NE(nullptr, older);
  EXPECT_EQ(older, simlink::FindSimulatorWindow());

  HWND newer = Start("FS98MAIN01");
  ASSERT_NE(nullptr, newer);
  EXPECT_EQ(newer, simlink::FindSimulatorWindow());

  // Created after the newer one, the older class lies on top: still the newer is taken.
  HWND olderOnTop = Start("FS98MAIN");
  ASSERT_NE(nullptr, olderOnTop);
  EXPECT_EQ(newer, simlink::FindSimulatorWindow());
}

// --- Opening and closing ---------------------------------------------------------------------

TEST_F(Channel, OpenMakesTheNamedSectionAndCloseReleasesIt) {
  std::string name = SectionName();
  ASSERT_NO_FATAL_FAILURE(OpenToServer());
  HWND first = servers.back().window;
  uint8_t* view = simlink::ChannelView();

  EXPECT_NE(0, GlobalFindAtomA(name.c_str())) << "the atom carries the section name";
  HANDLE other = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
  ASSERT_NE(nullptr, other) << "the section is reachable by its name";
  const uint8_t* peek = (const uint8_t*)MapViewOfFile(other, FILE_MAP_READ, 0, 0, 0);
  ASSERT_NE(nullptr, peek);
  view[0] = 0x5A;
  view[simlink::kViewBytes - 1] = 0xA5;   // all 10000 bytes are ours to write
  EXPECT_EQ(0x5A, peek[0]);
  EXPECT_EQ(0xA5, peek[simlink::kViewBytes - 1]);
  UnmapViewOfFile(peek);
  CloseHandle(other);

  {
    // Opening an open channel changes nothing: same view, same server, no box.
    HWND second = Start("FS98MAIN01");
    BoxWatch watch;
    EXPECT_FALSE(simlink::OpenChannel(second));
    EXPECT_EQ(view, simlink::ChannelView());
    EXPECT_TRUE(simlink::RequestSnapshot());
    EXPECT_EQ(first, LastServedBy);
    EXPECT_TRUE(watch.Boxes().empty());
  }

  simlink::CloseChannel();
  EXPECT_EQ(nullptr, simlink::ChannelView());
  EXPECT_EQ(0, GlobalFindAtomA(name.c_str()));
  EXPECT_EQ(nullptr, OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str()))
      << "the section is gone with its last handle";
}

TEST_F(Channel, ASectionThatExistsAlreadyIsReportedAndEverythingReleased) {
  std::string name = SectionName();
  HWND server = Start();
  HANDLE squatter = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                       (DWORD)simlink::kViewBytes, name.c_str());
  ASSERT_NE(nullptr, squatter);
  {
    BoxWatch watch;
    EXPECT_FALSE(simlink::OpenChannel(server));
    std::vector<SeenBox> boxes = watch.Boxes();
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Error 183 reported: can't create file mapping", boxes[0].text);
    EXPECT_EQ(nullptr, boxes[0].owner);
  }
  EXPECT_EQ(nullptr, simlink::ChannelView());
  EXPECT_EQ(0, GlobalFindAtomA(name.c_str())) << "the atom is deleted";
  CloseHandle(squatter);
  EXPECT_EQ(nullptr, OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str()))
      << "the channel's handle to the section is closed as well";

  // Nothing is left over: with the name free the channel opens.
  EXPECT_TRUE(simlink::OpenChannel(server));
  EXPECT_TRUE(simlink::RequestSnapshot());
}

// --- Requests --------------------------------------------------------------------------------

// The nine reads of a request: state-table offsets for each view mode, byte count,
// and where the data area lies in the block.
struct Read {
  uint32_t airborneAt, groundAt, bytes;
  size_t dataAt;
};
const Read kReads[9] = {
  {0x02A0, 0x02A0, 2, 16},     {0x0560, 0x0560, 24, 34},     {0x02B4, 0x02B4, 4, 74},
  {0x02C8, 0x02C8, 4, 94},     {0x034E, 0x034E, 2, 114},     {0x0580, 0x0580, 4, 132},
  {0x736C, 0x736C, 4, 152},    {0xF000, 0xE000, 4088, 172},  {0xD840, 0xD040, 1980, 4276},
};

uint32_t ReadAt(const Read& read, int viewMode) {
  return viewMode == simlink::ViewGround ? read.groundAt : read.airborneAt;
}

// The record headers of the view mode's request as a server logs them, each followed by
// the separator, then the terminator.
std::string ExpectedHeaders(int viewMode, const char* separator) {
  std::string log;
  for (const Read& read : kReads) {
    char line[64];
    snprintf(line, sizeof line, "id=1 offset=0x%04X bytes=%u", (unsigned)ReadAt(read, viewMode),
             (unsigned)read.bytes);
    log += line;
    log += separator;
  }
  return log + "id=0";
}

std::string ExpectedLog(int viewMode) { return ExpectedHeaders(viewMode, "\n") + "\n"; }

TEST_F(Channel, ASnapshotArrivesInOneExchangeAndReadsAsTheScene) {
  ASSERT_NO_FATAL_FAILURE(OpenToServer());
  uint8_t* view = simlink::ChannelView();
  for (const ListScene* list : {&kAirborne, &kGround, &kAirborne}) {
    SCOPED_TRACE(list->viewMode == simlink::ViewGround ? "Ground" : "Airborne");
    shell::ViewMode = list->viewMode;
    memset(view, 0xAB, simlink::kViewBytes);   // the request must write all it needs
    Requests = 0;
    {
      BoxWatch watch;
      ASSERT_TRUE(simlink::RequestSnapshot());
      EXPECT_TRUE(watch.Boxes().empty());
    }
    EXPECT_EQ(1, Requests);
    EXPECT_EQ(SectionName(), ReceivedName);
    EXPECT_EQ(ExpectedLog(list->viewMode), ReceivedLog);
    EXPECT_EQ(0, simlink::ChannelSendFailed());

    EXPECT_EQ(-1820, simlink::UserMagneticVariation(view));
    EXPECT_EQ(5556528, simlink::UserLatitudeWhole(view));
    EXPECT_EQ(0x80000000u, simlink::UserLatitudeFraction(view));
    EXPECT_EQ(0x12345678u, simlink::UserLongitudeLow(view));
    EXPECT_EQ(0x06000000u, simlink::UserLongitudeHigh(view));
    EXPECT_EQ(112, simlink::UserAltitudeWhole(view));
    EXPECT_EQ(0x40000000u, simlink::UserAltitudeFraction(view));
    EXPECT_EQ(5u * 65536, simlink::UserGroundSpeed(view));
    EXPECT_EQ(-768, simlink::UserVerticalSpeed(view));
    EXPECT_EQ(0x2345, simlink::UserCom1(view));
    EXPECT_EQ(0x40000000u, simlink::UserHeading(view));
    EXPECT_EQ(list->nearest, simlink::NearestDistance(view, list->viewMode));

    EXPECT_EQ(40, simlink::SlotRecordLength(view));
    ASSERT_EQ(list->slotCount, simlink::SlotCount(view));
    int last = list->slotCount - 1;
    EXPECT_FALSE(simlink::SlotOccupied(view, 0));
    ASSERT_TRUE(simlink::SlotOccupied(view, last));
    const uint8_t* slot = simlink::TrafficSlotAt(view, last);
    EXPECT_EQ(list->refId, simlink::SlotRefId(slot));
    EXPECT_FLOAT_EQ(list->latitude, simlink::SlotLatitude(slot));
    EXPECT_STREQ(list->idText, simlink::SlotIdField(slot));
    const uint8_t* route = simlink::SlotRouteAt(view, last);
    EXPECT_EQ(std::string(list->from), std::string(simlink::RouteFrom(route), 4));
    EXPECT_EQ(std::string(list->to), std::string(simlink::RouteTo(route), 4));
    EXPECT_EQ(list->runway, simlink::RouteRunwayNumber(route));
  }
}

TEST_F(Channel, AWrongAnswerFailsFiveTriesThenShowsTheBoxEveryTime) {
  ASSERT_NO_FATAL_FAILURE(OpenToServer());
  for (LONG answer : {0, 2}) {
    SCOPED_TRACE(answer);
    Answer = answer;
    for (int request = 0; request < 2; ++request) {
      Requests = 0;
      BoxWatch watch;
      double start = NowMs();
      EXPECT_FALSE(simlink::RequestSnapshot());
      EXPECT_EQ(5, Requests);
      std::vector<SeenBox> boxes = watch.Boxes();
      ASSERT_EQ(1u, boxes.size()) << "request " << request;
      EXPECT_EQ(kRequestFailure, boxes[0].text);
      EXPECT_EQ(nullptr, boxes[0].owner);
      EXPECT_GE(boxes[0].seenAtMs - start, kFivePausesMs)
          << "the box comes after the pause that follows the fifth try";
      EXPECT_EQ(0, simlink::ChannelSendFailed()) << "an answer is no failed send";
    }
  }
  // The channel stays open, and the next request starts afresh.
  Answer = kServe;
  Requests = 0;
  EXPECT_TRUE(simlink::RequestSnapshot());
  EXPECT_EQ(1, Requests);
}

int TimerRequests;

void CALLBACK RefreshTick(HWND, UINT, UINT_PTR, DWORD) {
  ++TimerRequests;
  simlink::RequestSnapshot();
}

TEST_F(Channel, RequestsFromTimerTicksWhileTheBoxIsOpenRaiseNoSecondBox) {
  ASSERT_NO_FATAL_FAILURE(OpenToServer());
  Answer = 0;
  TimerRequests = 0;
  UINT_PTR timer = SetTimer(nullptr, 0, 300, RefreshTick);
  ASSERT_NE(0u, timer);
  {
    // The box stays open long enough for the ticks to run at least two more requests.
    BoxWatch watch(2500);
    EXPECT_FALSE(simlink::RequestSnapshot());
    KillTimer(nullptr, timer);
    EXPECT_EQ(1u, watch.Boxes().size());
    EXPECT_EQ(1, watch.MostOpenAtOnce());
  }
  EXPECT_GE(TimerRequests, 2) << "the requests themselves go on while the box is open";
  EXPECT_GE(Requests, 5 * (1 + TimerRequests));

  // Once the box is closed, the next failing request shows it again.
  BoxWatch watch;
  EXPECT_FALSE(simlink::RequestSnapshot());
  std::vector<SeenBox> boxes = watch.Boxes();
  ASSERT_EQ(1u, boxes.size());
  EXPECT_EQ(kRequestFailure, boxes[0].text);
}

TEST_F(Channel, AClosedChannelRequestsNothingAndShowsNothing) {
  ASSERT_NO_FATAL_FAILURE(OpenToServer());
  simlink::CloseChannel();
  BoxWatch watch;
  EXPECT_FALSE(simlink::RequestSnapshot());
  EXPECT_FALSE(simlink::Transact());
  EXPECT_EQ(0, Requests);
  EXPECT_TRUE(watch.Boxes().empty());
  EXPECT_EQ(0, simlink::ChannelSendFailed());
}

// --- Against simhost in another process ---------------------------------------------------

// simhost.exe lies in the build folder, VELMORA_BIN, beside this program.
std::string SimhostPath() {
  const char* bin = getenv("VELMORA_BIN");
  std::string dir;
  if (bin && *bin) {
    dir = bin;
    if (dir[0] == '/') dir = "Z:" + dir;   // a Unix path, seen through Wine's drive Z:
  } else {
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, sizeof self);
    dir.assign(self, n);
    dir = dir.substr(0, dir.find_last_of("\\/"));
  }
  return dir + "\\simhost.exe";
}

std::string TempPath(const char* name) {
  char dir[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  char path[MAX_PATH];
  snprintf(path, sizeof path, "%svelmora_channel_%lu_%s", dir, GetCurrentProcessId(), name);
  return path;
}

std::string ReadWholeFile(const std::string& path) {
  std::string text;
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return text;
  char buf[4096];
  DWORD got;
  while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got) text.append(buf, got);
  CloseHandle(f);
  return text;
}

void WriteWholeFile(const std::string& path, const std::string& text) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(f, text.data(), (DWORD)text.size(), &written, nullptr);
  CloseHandle(f);
}

std::vector<std::string> LogLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
    at = end + 1;
  }
  return lines;
}

// A top-level window of that class belonging to the process, or null.
HWND WindowOf(DWORD pid, const char* className) {
  HWND w = nullptr;
  while ((w = FindWindowExA(nullptr, w, className, nullptr)) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == pid) return w;
  }
  return nullptr;
}

// simhost.exe running with some arguments: its process, the simulator's window and its
// own status window (which takes the fault commands and WM_CLOSE).
struct Simhost {
  PROCESS_INFORMATION process;
  HWND server;
  HWND status;
};

Simhost StartSimhost(const std::string& args, const char* className = "FS98MAIN01") {
  Simhost host = {};
  std::string command = "\"" + SimhostPath() + "\" " + args;
  std::vector<char> line(command.begin(), command.end());
  line.push_back(0);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &host.process))
    return host;
  for (int i = 0; i < 400 && !(host.server && host.status); ++i) {
    host.server = WindowOf(host.process.dwProcessId, className);
    host.status = WindowOf(host.process.dwProcessId, "SimhostStatus");
    if (WaitForSingleObject(host.process.hProcess, 50) == WAIT_OBJECT_0) break;
  }
  return host;
}

// Ends simhost through its own window (or, failing that, ends the process we started)
// and waits until it has gone.
void StopSimhost(Simhost* host) {
  if (!host->process.hProcess) return;
  if (WaitForSingleObject(host->process.hProcess, 0) != WAIT_OBJECT_0) {
    if (host->status) PostMessageA(host->status, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(host->process.hProcess, 10000) != WAIT_OBJECT_0)
      TerminateProcess(host->process.hProcess, 99);
    WaitForSingleObject(host->process.hProcess, INFINITE);
  }
  CloseHandle(host->process.hProcess);
  CloseHandle(host->process.hThread);
  host->process.hProcess = nullptr;
}

class ChannelWithSimhost : public ::testing::Test {
 protected:
  void SetUp() override {
    simlink::CloseChannel();
    shell::ViewMode = simlink::ViewAirborne;
    log = TempPath("requests.log");
    DeleteFileA(log.c_str());
  }
  void TearDown() override {
    simlink::CloseChannel();
    for (Simhost& h : hosts) StopSimhost(&h);
    shell::ViewMode = simlink::ViewAirborne;
    DeleteFileA(log.c_str());
  }
  // Starts simhost, logging its requests to `log`, and keeps it until the test ends.
  HWND Start(const std::string& args, const char* className = "FS98MAIN01") {
    hosts.push_back(StartSimhost(args + " --log \"" + log + "\"", className));
    return hosts.back().server;
  }
  std::vector<std::string> Log() {
    for (Simhost& h : hosts) StopSimhost(&h);   // the log is complete once simhost ends
    return LogLines(ReadWholeFile(log));
  }
  std::string log;
  std::vector<Simhost> hosts;
};

// A frozen scene: the user at Zurich, two aircraft in the air, one on the ground.
const char kScenario[] =
    "user lat=47.4647 lon=8.5492 alt=1416 magvar=2 heading=140 gs=0 vs=0 com1=118.10\n"
    "airborne count=3\n"
    "ground count=2\n"
    "slot airborne 0 ref=101 id=\"SWR18\" lat=47.6 lon=8.7 alt=9000 heading=270 gs=250"
    " vs=-1500 state=Pattern com1=120.75 from=KJFK to=LSZH rwy=14\n"
    "slot airborne 2 ref=102 id=\"DLH5KM\" lat=47.9 lon=8.1 alt=24000 heading=10 gs=420"
    " vs=2500 state=Depart com1=128.05 from=LSZH to=EDDF rwy=28\n"
    "slot ground 1 ref=201 id=\"EZS1123\" lat=47.455 lon=8.56 alt=1416 heading=320 gs=12"
    " vs=0 state=TaxiOut com1=121.80 from=LSZH to=LFPG rwy=16\n";

TEST_F(ChannelWithSimhost, ASnapshotArrivesInOneExchangeAndReadsAsTheScene) {
  // What simhost serves, encoded here from the same text.
  sim::Scene scene;
  char error[sim::kScenarioErrorBytes];
  ASSERT_EQ(1, sim::ParseScenario(kScenario, strlen(kScenario), &scene, error, sizeof error))
      << error;
  std::vector<uint8_t> table(sim::kStateTableBytes, 0);
  sim::EncodeScene(&scene, table.data());

  std::string scenario = TempPath("scene.txt");
  WriteWholeFile(scenario, kScenario);
  HWND server = Start("--scenario \"" + scenario + "\"");
  ASSERT_NE(nullptr, server) << SimhostPath();
  EXPECT_EQ(server, simlink::FindSimulatorWindow());
  ASSERT_TRUE(simlink::OpenChannel(server));
  uint8_t* view = simlink::ChannelView();

  BoxWatch watch;
  for (int mode : {simlink::ViewAirborne, simlink::ViewGround}) {
    SCOPED_TRACE(mode == simlink::ViewGround ? "Ground" : "Airborne");
    shell::ViewMode = mode;
    memset(view, 0xAB, simlink::kViewBytes);
    ASSERT_TRUE(simlink::RequestSnapshot());
    for (const Read& read : kReads)
      EXPECT_EQ(0, memcmp(view + read.dataAt, table.data() + ReadAt(read, mode), read.bytes))
          << "the read of state-table offset " << ReadAt(read, mode);
  }
  // The ground list is in the view now; the user's aircraft as written in the scene.
  EXPECT_EQ(2, simlink::SlotCount(view));
  ASSERT_TRUE(simlink::SlotOccupied(view, 1));
  EXPECT_EQ(201u, simlink::SlotRefId(simlink::TrafficSlotAt(view, 1)));
  EXPECT_STREQ("EZS1123", simlink::SlotIdField(simlink::TrafficSlotAt(view, 1)));
  EXPECT_NEAR(47.4647, simlink::UserLatitudeDegrees(view), 1e-9);
  EXPECT_NEAR(8.5492, simlink::UserLongitudeDegrees(view), 1e-9);
  EXPECT_EQ(0x1810, simlink::UserCom1(view));
  EXPECT_TRUE(watch.Boxes().empty());
  simlink::CloseChannel();

  // One exchange per request, each with the block of its view mode.
  std::vector<std::string> lines = Log();
  ASSERT_EQ(2u, lines.size());
  for (int mode : {simlink::ViewAirborne, simlink::ViewGround}) {
    std::string want = "answer=1 section=" + SectionName() + " ";
    EXPECT_NE(std::string::npos, lines[mode].find(want)) << lines[mode];
    std::string headers = ExpectedHeaders(mode, "; ");
    ASSERT_GE(lines[mode].size(), headers.size());
    EXPECT_EQ(headers, lines[mode].substr(lines[mode].size() - headers.size())) << lines[mode];
  }
  DeleteFileA(scenario.c_str());
}

TEST_F(ChannelWithSimhost, TheNewerClassIsPreferredAcrossProcesses) {
  HWND older = Start("--scene empty --class FS98MAIN", "FS98MAIN");
  ASSERT_NE(nullptr, older);
  EXPECT_EQ(older, simlink::FindSimulatorWindow());
  HWND newer = Start("--scene empty");
  ASSERT_NE(nullptr, newer);
  EXPECT_EQ(newer, simlink::FindSimulatorWindow());
}

TEST_F(ChannelWithSimhost, WrongAnswersShowTheBoxAfterFiveTries) {
  HWND server = Start("--scene empty --answer 0");
  ASSERT_NE(nullptr, server);
  ASSERT_TRUE(simlink::OpenChannel(server));
  for (int command : {0, 203}) {   // answer 0 as started, then answer 2
    if (command) SendMessageA(hosts.back().status, WM_COMMAND, command, 0);
    BoxWatch watch;
    EXPECT_FALSE(simlink::RequestSnapshot());
    std::vector<SeenBox> boxes = watch.Boxes();
    ASSERT_EQ(1u, boxes.size()) << command;
    EXPECT_EQ(kRequestFailure, boxes[0].text);
  }
  EXPECT_EQ(0, simlink::ChannelSendFailed());
  simlink::CloseChannel();

  std::vector<std::string> lines = Log();
  ASSERT_EQ(10u, lines.size());
  for (size_t i = 0; i < lines.size(); ++i)
    EXPECT_NE(std::string::npos, lines[i].find(i < 5 ? " answer=0 " : " answer=2 ")) << lines[i];
}

// --- Failed sends, each in a process of its own ------------------------------------------

// Runs a case in the child process that EXPECT_EXIT starts. The child reports nothing
// itself, so the failures go to stderr, where the parent shows them, and the exit code
// is 0 when every expectation held.
void RunAndExit(void (*scenario)()) {
  ::testing::TestPartResultArray results;
  {
    ::testing::ScopedFakeTestPartResultReporter reporter(
        ::testing::ScopedFakeTestPartResultReporter::INTERCEPT_ALL_THREADS, &results);
    scenario();
  }
  int failures = 0;
  for (int i = 0; i < results.size(); ++i) {
    const ::testing::TestPartResult& r = results.GetTestPartResult(i);
    if (!r.failed()) continue;
    ++failures;
    fprintf(stderr, "%s:%d: %s\n", r.file_name() ? r.file_name() : "?", r.line_number(),
            r.message());
  }
  fflush(stderr);
  std::_Exit(failures ? 1 : 0);
}

void TimeOutScenario() {
  Server server = StartServer("FS98MAIN01");
  ASSERT_TRUE(simlink::OpenChannel(server.window));
  PutScene();
  BoxWatch watch;

  // The first try is answered too late, the others with 0.
  Answer = 0;
  LateOnceMs = 2600;
  EXPECT_EQ(0, simlink::ChannelSendFailed());
  EXPECT_FALSE(simlink::RequestSnapshot());
  EXPECT_EQ(-1, simlink::ChannelSendFailed());
  EXPECT_TRUE(watch.Boxes().empty()) << "a failed send silences the box";

  // From then on a server that answers 0 brings up no box either.
  EXPECT_FALSE(simlink::RequestSnapshot());
  EXPECT_TRUE(watch.Boxes().empty());

  // A good answer works again, and the flag stays.
  Answer = kServe;
  EXPECT_TRUE(simlink::RequestSnapshot());
  EXPECT_EQ(-1, simlink::ChannelSendFailed());
  EXPECT_EQ(ExpectedLog(simlink::ViewAirborne), ReceivedLog);
}

void GoneWindowScenario() {
  Server server = StartServer("FS98MAIN01");
  ASSERT_TRUE(simlink::OpenChannel(server.window));
  StopServer(&server);
  ASSERT_FALSE(IsWindow(server.window));

  BoxWatch watch;
  for (int request = 0; request < 2; ++request) {
    double start = NowMs();
    EXPECT_FALSE(simlink::RequestSnapshot());
    EXPECT_GE(NowMs() - start, kFivePausesMs) << "the five pauses are still taken";
    EXPECT_EQ(-1, simlink::ChannelSendFailed());
  }
  EXPECT_EQ(0, Requests);
  EXPECT_TRUE(watch.Boxes().empty());
}

// simhost ends after its first answer: the simulator has gone while the channel is open.
void SimhostGoneScenario() {
  Simhost host = StartSimhost("--scene empty --quit-after 1");
  ASSERT_NE(nullptr, host.server) << SimhostPath();
  ASSERT_TRUE(simlink::OpenChannel(host.server));
  EXPECT_TRUE(simlink::RequestSnapshot());
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(host.process.hProcess, 10000));

  BoxWatch watch;
  double start = NowMs();
  EXPECT_FALSE(simlink::RequestSnapshot());
  EXPECT_GE(NowMs() - start, kFivePausesMs);
  EXPECT_EQ(-1, simlink::ChannelSendFailed());
  EXPECT_TRUE(watch.Boxes().empty());
  simlink::CloseChannel();
  StopSimhost(&host);
}

TEST(ChannelSendFailedDeathTest, ATimeOutSetsSendFailedAndNoBoxAppearsFromThenOn) {
  EXPECT_EXIT(RunAndExit(TimeOutScenario), ::testing::ExitedWithCode(0), "");
}

TEST(ChannelSendFailedDeathTest, AGoneServerWindowFailsEveryTryWithoutABox) {
  EXPECT_EXIT(RunAndExit(GoneWindowScenario), ::testing::ExitedWithCode(0), "");
}

TEST(ChannelSendFailedDeathTest, SimhostEndingFailsEveryTryWithoutABox) {
  EXPECT_EXIT(RunAndExit(SimhostGoneScenario), ::testing::ExitedWithCode(0), "");
}

}  // namespace
