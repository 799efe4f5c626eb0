// simhost in a process of its own, driven by a small client written here with the raw
// calls: a global atom, a named page-file section, the request block, the registered
// message sent with a time-out.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/snapshot.h"
#include "table/rowvalues.h"
#include "tests/win32/simhost_process.h"

namespace {

// simhost started with the given arguments; ended (and its exit code checked) by the test.
struct Simhost {
  SimhostProcess host;
  HWND server = nullptr;
  HWND status = nullptr;

  Simhost() { host = SimhostProcess(); }

  bool Start(const std::string& args, const char* windowClass = "FS98MAIN01") {
    int started = StartSimhost(&host, "--warmup 1800 " + args, windowClass);
    server = host.server;
    status = host.status;
    return started != 0;
  }

  // Asks it to end through the given window and returns its exit code (-1: still running).
  long Close(HWND via) {
    if (!host.process.hProcess) return -1;
    PostMessageA(via, WM_CLOSE, 0, 0);
    return Wait(10000);
  }

  long Wait(DWORD ms) { return WaitSimhost(&host, ms); }

  ~Simhost() { StopSimhost(&host); }
};

// The client: an atom naming a 10000-byte section, like the real client's.
struct Client {
  ATOM atom = 0;
  HANDLE mapping = nullptr;
  uint8_t* view = nullptr;
  UINT message = RegisterWindowMessageA("FsasmLib:IPC");
  char name[64];

  explicit Client(DWORD bytes = DWORD(simlink::kViewBytes)) {
    static unsigned serial;
    snprintf(name, sizeof name, "FsasmLib:IPC:%lX:%X", GetCurrentProcessId(), ++serial + 100);
    atom = GlobalAddAtomA(name);
    mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, bytes, name);
    if (mapping) view = static_cast<uint8_t*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
  }
  ~Client() {
    if (view) UnmapViewOfFile(view);
    if (mapping) CloseHandle(mapping);
    if (atom) GlobalDeleteAtom(atom);
  }

  // Sends what the view holds; sent is false on a time-out or a failed call.
  struct Answer {
    bool sent;
    DWORD_PTR result;
    DWORD ms;
  };
  Answer Send(HWND to, DWORD timeoutMs = 2000, WPARAM wParam = 0) {
    DWORD_PTR result = 12345;
    DWORD start = GetTickCount();
    LRESULT ok = SendMessageTimeoutA(to, message, wParam ? wParam : atom, 0, SMTO_BLOCK,
                                     timeoutMs, &result);
    return {ok != 0, result, GetTickCount() - start};
  }
  Answer Request(HWND to, int mode, DWORD timeoutMs = 2000) {
    simlink::BuildRequestBlock(view, mode);
    return Send(to, timeoutMs);
  }
};

struct Row {
  std::string cell[17];
};
void Collect(void* context, int column, const char* text) {
  if (column >= 0 && column < 17) static_cast<Row*>(context)->cell[column] = text;
}
Row SlotRow(const uint8_t* view, int k) {
  Row row;
  table::ComputeSlotRow(view, k, "", Collect, &row);
  return row;
}

const char* const kAirborneHeaders =
    "id=1 offset=0x02A0 bytes=2; id=1 offset=0x0560 bytes=24; id=1 offset=0x02B4 bytes=4; "
    "id=1 offset=0x02C8 bytes=4; id=1 offset=0x034E bytes=2; id=1 offset=0x0580 bytes=4; "
    "id=1 offset=0x736C bytes=4; id=1 offset=0xF000 bytes=4088; id=1 offset=0xD840 bytes=1980; id=0";

}  // namespace

// The default scene: live traffic at KSFO, answered in one exchange for either list,
// read back as a believable scene; the request log holds the headers as sent.
TEST(Simhost, LiveSceneAnswersOneExchangePerListAndLogsTheHeaders) {
  std::string log = TempPath("live.log");
  Simhost sim;
  ASSERT_TRUE(sim.Start("--log \"" + log + "\""));
  Client client;
  ASSERT_NE(nullptr, client.view);

  for (int mode : {simlink::ViewAirborne, simlink::ViewGround}) {
    Client::Answer a = client.Request(sim.server, mode);
    ASSERT_TRUE(a.sent);
    ASSERT_EQ(1u, a.result);
    const uint8_t* v = client.view;
    EXPECT_EQ(40, simlink::SlotCount(v));
    EXPECT_EQ(40, simlink::SlotRecordLength(v));
    EXPECT_NEAR(37.61, simlink::UserLatitudeDegrees(v), 0.02);
    EXPECT_NEAR(-122.38, simlink::UserLongitudeDegrees(v), 0.02);
    EXPECT_EQ(2367, simlink::UserMagneticVariation(v));   // 13 degrees east
    int occupied = 0, nearest = -1;
    for (int k = 0; k < simlink::SlotRowCount(v); ++k) {
      if (!simlink::SlotOccupied(v, k)) continue;
      occupied++;
      Row r = SlotRow(v, k);
      EXPECT_FALSE(r.cell[1].empty());
      EXPECT_TRUE(r.cell[13] == "KSFO" || r.cell[14] == "KSFO") << r.cell[1];
      int d = atoi(r.cell[2].c_str());
      if (nearest < 0 || d < nearest) nearest = d;
    }
    EXPECT_GE(occupied, 5) << mode;
    EXPECT_EQ(nearest, simlink::NearestDistance(v, mode));
  }
  EXPECT_EQ(0, sim.Close(sim.server));

  std::vector<std::string> lines = Lines(ReadFileText(log));
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ(0u, lines[0].find(std::string("1 answer=1 section=") + client.name + " bytes="));
  EXPECT_NE(std::string::npos, lines[0].find(std::string(": ") + kAirborneHeaders));
  EXPECT_EQ(0u, lines[1].find("2 answer=1 "));
  EXPECT_NE(std::string::npos, lines[1].find("id=1 offset=0xE000 bytes=4088; id=1 offset=0xD040 bytes=1980; id=0"));
  DeleteFileA(log.c_str());
}

TEST(Simhost, LiveTrafficMovesWithTheClock) {
  Simhost sim;
  ASSERT_TRUE(sim.Start("--rate 60 --seed 9"));
  Client client;
  ASSERT_EQ(1u, client.Request(sim.server, simlink::ViewAirborne).result);
  std::vector<uint8_t> first(client.view, client.view + simlink::kRequestBlockBytes);
  Sleep(1500);   // 90 s of traffic time
  ASSERT_EQ(1u, client.Request(sim.server, simlink::ViewAirborne).result);
  int moved = 0;
  for (int k = 0; k < simlink::SlotRowCount(client.view); ++k) {
    if (!simlink::SlotOccupied(client.view, k) || !simlink::SlotOccupied(first.data(), k)) continue;
    const uint8_t* a = simlink::TrafficSlotAt(first.data(), k);
    const uint8_t* b = simlink::TrafficSlotAt(client.view, k);
    if (simlink::SlotRefId(a) != simlink::SlotRefId(b)) continue;
    double nm = std::hypot(simlink::SlotLatitude(a) - simlink::SlotLatitude(b),
                           simlink::SlotLongitude(a) - simlink::SlotLongitude(b)) * 60;
    if (nm > 2) moved++;   // at 130 knots and more, 90 s is 3 nm and more
  }
  EXPECT_GE(moved, 3);
  EXPECT_EQ(0, sim.Close(sim.status));
}

// A scenario file is served exactly as written, under the class asked for.
TEST(Simhost, ScenarioFileIsServedExactly) {
  std::string file = TempPath("scene.txt");
  WriteFileText(file,
                "# two aircraft\n"
                "user lat=50 lon=0 alt=3280.85 magvar=0 heading=90 com1=123.45\n"
                "airborne count=3\n"
                "slot airborne 0 ref=0xFFFE id=\"NORTH\" lat=51 lon=0 alt=5000 heading=0 gs=250"
                " state=Enroute com1=123.45 from=EGLL to=LFPG rwy=09L\n"
                "slot airborne 2 ref=9 id=\"ABCDEFGHIJKLMNO\" lat=50 lon=1 alt=-11.3 state=0x93\n");
  Simhost sim;
  ASSERT_TRUE(sim.Start("--class FS98MAIN --scenario \"" + file + "\"", "FS98MAIN"));
  EXPECT_EQ(nullptr, WindowOf(sim.host.process.dwProcessId, "FS98MAIN01"));
  Client client;
  ASSERT_EQ(1u, client.Request(sim.server, simlink::ViewAirborne).result);
  const uint8_t* v = client.view;
  EXPECT_EQ(50.0, simlink::UserLatitudeDegrees(v));
  EXPECT_EQ(0x2345, simlink::UserCom1(v));
  EXPECT_EQ(3, simlink::SlotCount(v));
  EXPECT_EQ(39, simlink::NearestDistance(v, simlink::ViewAirborne));
  EXPECT_EQ(0xFFFF, simlink::NearestDistance(v, simlink::ViewGround));
  Row north = SlotRow(v, 0);
  EXPECT_EQ("NORTH", north.cell[1]);
  EXPECT_EQ("60 nm", north.cell[2]);
  EXPECT_EQ("000", north.cell[3]);
  EXPECT_EQ("+17", north.cell[4]);
  EXPECT_EQ("250", north.cell[9]);
  EXPECT_EQ("Enroute", north.cell[12]);
  EXPECT_EQ("2", north.cell[15]);
  EXPECT_EQ("09L", north.cell[16]);
  EXPECT_EQ("", SlotRow(v, 1).cell[1]);
  Row east = SlotRow(v, 2);
  EXPECT_EQ("ABCDEFGHIJKLMN", east.cell[1]);
  EXPECT_EQ("39 nm", east.cell[2]);
  EXPECT_EQ("-10", east.cell[7]);
  EXPECT_EQ("19", east.cell[12]);
  EXPECT_EQ(0, sim.Close(sim.server));
  DeleteFileA(file.c_str());
}

TEST(Simhost, HostileBuiltinScenesAreServedAsTheySay) {
  struct Case {
    const char* scene;
    int count, recordLength;
  } cases[] = {{"count0", 0, 40}, {"count255", 255, 40}, {"reclen0", 5, 0}, {"reclen65535", 99, 65535}};
  for (const Case& c : cases) {
    Simhost sim;
    ASSERT_TRUE(sim.Start(std::string("--scene ") + c.scene)) << c.scene;
    Client client;
    ASSERT_EQ(1u, client.Request(sim.server, simlink::ViewGround).result) << c.scene;
    EXPECT_EQ(c.count, simlink::SlotCount(client.view)) << c.scene;
    EXPECT_EQ(c.recordLength, simlink::SlotRecordLength(client.view)) << c.scene;
    EXPECT_EQ(0, sim.Close(sim.status)) << c.scene;
  }
}

// The fault switches: each answer as the client sees it, and whether the view was filled.
TEST(Simhost, FaultSwitchesAnswerAsAsked) {
  struct Case {
    const char* args;
    DWORD_PTR first, second;   // results of two requests
    bool firstFilled;
  } cases[] = {
      {"--answer 0", 0, 0, false},
      {"--answer 2", 2, 2, false},
      {"--answer-filled 2", 2, 2, true},
      {"--faults-after 1 --answer 0", 1, 0, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args);
    std::string log = TempPath("faults.log");
    Simhost sim;
    ASSERT_TRUE(sim.Start(std::string(c.args) + " --log \"" + log + "\""));
    Client client;
    Client::Answer a = client.Request(sim.server, simlink::ViewGround);
    EXPECT_TRUE(a.sent);
    EXPECT_EQ(c.first, a.result);
    // Filled: the table's SlotCount; not filled: the pre-fill (0, and 0xFFFF nearest).
    EXPECT_EQ(c.firstFilled ? 40 : 0, simlink::SlotCount(client.view));
    if (!c.firstFilled) {
      EXPECT_EQ(0xFFFF, simlink::NearestDistance(client.view, simlink::ViewGround));
    }
    Client::Answer b = client.Request(sim.server, simlink::ViewGround);
    EXPECT_TRUE(b.sent);
    EXPECT_EQ(c.second, b.result);
    EXPECT_EQ(0, sim.Close(sim.server));
    std::vector<std::string> lines = Lines(ReadFileText(log));
    ASSERT_EQ(2u, lines.size());
    // The headers are logged whether or not the request was filled.
    EXPECT_NE(std::string::npos, lines[1].find("id=1 offset=0xE000 bytes=4088"));
    EXPECT_EQ(0u, lines[1].find("2 answer=" + std::to_string(c.second) + " "));
    DeleteFileA(log.c_str());
  }
}

// A delay longer than the client's time-out: the try fails; a later try with time
// to spare is answered, after the held one.
TEST(Simhost, DelayLongerThanTheTimeoutFailsTheTry) {
  Simhost sim;
  ASSERT_TRUE(sim.Start("--delay 2500"));
  Client client;
  Client::Answer a = client.Request(sim.server, simlink::ViewAirborne, 2000);
  EXPECT_FALSE(a.sent);
  EXPECT_GE(a.ms, 1900u);
  EXPECT_TRUE(IsWindow(sim.server));
  Client::Answer b = client.Request(sim.server, simlink::ViewAirborne, 8000);
  EXPECT_TRUE(b.sent);
  EXPECT_EQ(1u, b.result);
  EXPECT_GE(b.ms, 2400u);
  EXPECT_EQ(0, sim.Close(sim.status));
}

// Stop answering: every try times out while the window lives on; simhost still ends
// at once when its own window is closed. The Faults menu lets go of a held request.
TEST(Simhost, HangHoldsEveryRequestUntilLetGo) {
  Simhost sim;
  ASSERT_TRUE(sim.Start("--hang"));
  Client client;
  for (int i = 0; i < 2; ++i) {
    Client::Answer a = client.Request(sim.server, simlink::ViewAirborne, 1000);
    EXPECT_FALSE(a.sent);
    EXPECT_TRUE(IsWindow(sim.server));
  }
  PostMessageA(sim.status, WM_COMMAND, 201, 0);   // Faults / Answer normally
  Client::Answer a = client.Request(sim.server, simlink::ViewAirborne, 5000);
  EXPECT_TRUE(a.sent);
  EXPECT_EQ(1u, a.result);
  PostMessageA(sim.status, WM_COMMAND, 202, 0);   // Faults / Answer 0
  Sleep(200);
  EXPECT_EQ(0u, client.Request(sim.server, simlink::ViewAirborne).result);
  PostMessageA(sim.status, WM_COMMAND, 205, 0);   // Faults / Stop answering
  Sleep(200);
  EXPECT_FALSE(client.Request(sim.server, simlink::ViewAirborne, 1000).sent);
  EXPECT_EQ(0, sim.Close(sim.status));
}

// Quit after N: N requests are answered, then simhost ends by itself with exit code 0
// and its window is gone.
TEST(Simhost, QuitAfterNRequests) {
  Simhost sim;
  ASSERT_TRUE(sim.Start("--quit-after 2"));
  Client client;
  EXPECT_EQ(1u, client.Request(sim.server, simlink::ViewAirborne).result);
  EXPECT_EQ(1u, client.Request(sim.server, simlink::ViewGround).result);
  EXPECT_EQ(0, sim.Wait(10000));
  EXPECT_FALSE(IsWindow(sim.server));
  EXPECT_FALSE(client.Request(sim.server, simlink::ViewAirborne).sent);
}

// A hostile client gets 0 and leaves simhost serving: unknown atoms, an atom without a
// section, a section too small for its records, a record past the table.
TEST(Simhost, HostileClientsGetZeroAndDoNoHarm) {
  std::string log = TempPath("hostile.log");
  Simhost sim;
  ASSERT_TRUE(sim.Start("--scene examples --log \"" + log + "\""));
  Client client;
  EXPECT_EQ(0u, client.Send(sim.server, 2000, 0x10000).result);   // no atom that large
  EXPECT_EQ(0u, client.Send(sim.server, 2000, 0xBFFF).result);    // an integer atom

  ATOM orphan = GlobalAddAtomA("FsasmLib:IPC:no-such-section");
  EXPECT_EQ(0u, client.Send(sim.server, 2000, orphan).result);
  GlobalDeleteAtom(orphan);

  Client small(4096);   // a block of 6260 bytes does not fit one page
  simlink::BuildRequestBlock(client.view, simlink::ViewAirborne);
  memcpy(small.view, client.view, 4096);
  EXPECT_EQ(0u, small.Send(sim.server).result);

  simlink::BuildRequestBlock(client.view, simlink::ViewAirborne);
  uint32_t past = 0xFFF0;   // record 8 (header at 156) asks for 4088 bytes from 0xFFF0
  memcpy(client.view + 156 + 4, &past, 4);
  EXPECT_EQ(0u, client.Send(sim.server).result);

  EXPECT_EQ(1u, client.Request(sim.server, simlink::ViewAirborne).result);
  EXPECT_EQ("NORTH", SlotRow(client.view, 0).cell[1]);
  EXPECT_EQ(0, sim.Close(sim.server));

  std::vector<std::string> lines = Lines(ReadFileText(log));
  ASSERT_EQ(6u, lines.size());
  EXPECT_NE(std::string::npos, lines[0].find("1 answer=0 no global atom 0x10000"));
  EXPECT_NE(std::string::npos, lines[2].find("no section \"FsasmLib:IPC:no-such-section\""));
  EXPECT_NE(std::string::npos, lines[3].find("id=1 offset=0xF000 bytes=4088 past the section"));
  EXPECT_NE(std::string::npos, lines[4].find("id=1 offset=0xFFF0 bytes=4088 past the table"));
  EXPECT_EQ(0u, lines[5].find("6 answer=1 "));
  DeleteFileA(log.c_str());
}

// --help goes to standard output, even from a window program.
TEST(Simhost, HelpIsWrittenToStandardOutput) {
  SECURITY_ATTRIBUTES sa = {sizeof sa, nullptr, TRUE};
  HANDLE readEnd, writeEnd;
  ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, &sa, 0));
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = writeEnd;
  si.hStdError = writeEnd;
  si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  std::string cmd = "\"" + SimhostPath() + "\" --help";
  std::vector<char> line(cmd.begin(), cmd.end());
  line.push_back(0);
  PROCESS_INFORMATION pi;
  ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi));
  CloseHandle(writeEnd);
  std::string out;
  char buf[4096];
  DWORD got;
  while (ReadFile(readEnd, buf, sizeof buf, &got, nullptr) && got) out.append(buf, got);
  CloseHandle(readEnd);
  WaitForSingleObject(pi.hProcess, 10000);
  DWORD code = 99;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  EXPECT_EQ(0u, code);
  for (const char* want : {"--scenario FILE", "--answer N", "--delay MS", "--hang", "--quit-after N",
                           "--log FILE", "--class NAME", "antimeridian"})
    EXPECT_NE(std::string::npos, out.find(want)) << want;
}
