// simhost keeps a client's section mapped between requests. What a client must see of
// that: nothing. A client that ends and comes back under the same section name (the
// next Velmora may get the process id of the last one) makes a new section and is served
// in it; many clients at once are all served, in their own sections.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "link/snapshot.h"
#include "table/rowvalues.h"

namespace {

std::string SimhostPath() {
  const char* bin = getenv("VELMORA_BIN");
  std::string dir = bin ? bin : ".";
  if (!dir.empty() && dir[0] == '/') dir = "Z:" + dir;   // a Unix path, seen through Wine's Z:
  return dir + "\\simhost.exe";
}

HWND WindowOf(DWORD pid, const char* cls) {
  HWND w = nullptr;
  while ((w = FindWindowExA(nullptr, w, cls, nullptr)) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == pid) return w;
  }
  return nullptr;
}

// simhost serving the worked examples, ended through its own window.
struct Simhost {
  PROCESS_INFORMATION pi = {};
  HWND server = nullptr;
  HWND status = nullptr;

  bool Start() {
    std::string cmd = "\"" + SimhostPath() + "\" --scene examples";
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back(0);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
      return false;
    for (int i = 0; i < 600 && !(server && status); ++i) {
      server = WindowOf(pi.dwProcessId, "FS98MAIN01");
      status = WindowOf(pi.dwProcessId, "SimhostStatus");
      if (WaitForSingleObject(pi.hProcess, 50) == WAIT_OBJECT_0) return false;
    }
    return server && status;
  }
  ~Simhost() {
    if (!pi.hProcess) return;
    if (status) PostMessageA(status, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 99);
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
  }
};

// A client as the real one is made: an atom naming a new 10000-byte section.
struct Client {
  ATOM atom = 0;
  HANDLE mapping = nullptr;
  uint8_t* view = nullptr;
  DWORD createError = 0;

  explicit Client(const std::string& name) {
    atom = GlobalAddAtomA(name.c_str());
    SetLastError(0);
    mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                 DWORD(simlink::kViewBytes), name.c_str());
    createError = GetLastError();
    if (mapping) view = static_cast<uint8_t*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
  }
  // In the real client's order: the atom first, then the view and the section.
  ~Client() {
    if (atom) GlobalDeleteAtom(atom);
    if (view) UnmapViewOfFile(view);
    if (mapping) CloseHandle(mapping);
  }

  // One request for the airborne list; the answer, 12345 when the send failed.
  DWORD_PTR Request(HWND server) {
    simlink::BuildRequestBlock(view, simlink::ViewAirborne);
    DWORD_PTR result = 12345;
    if (!SendMessageTimeoutA(server, RegisterWindowMessageA("FsasmLib:IPC"), atom, 0,
                             SMTO_BLOCK, 5000, &result))
      return 12345;
    return result;
  }
};

void Collect(void* context, int column, const char* text) {
  if (column == 1) *static_cast<std::string*>(context) = text;
}

// The ID of slot 0 as the snapshot in view has it: "NORTH" in the worked examples,
// empty while the view holds only the request block's pre-fill.
std::string FirstId(const uint8_t* view) {
  std::string id;
  table::ComputeSlotRow(view, 0, "", Collect, &id);
  return id;
}

std::string SectionName(int n) {
  char name[64];
  snprintf(name, sizeof name, "FsasmLib:IPC:%lX:%X", GetCurrentProcessId(), 0x500 + n);
  return name;
}

}  // namespace

TEST(SimhostSections, AClientBackUnderTheSameNameIsServedInItsNewSection) {
  Simhost sim;
  ASSERT_TRUE(sim.Start()) << SimhostPath();
  const std::string name = SectionName(1);
  for (int visit = 0; visit < 3; ++visit) {
    SCOPED_TRACE(visit);
    std::unique_ptr<Client> client(new Client(name));
    // simhost keeps no handle that would keep the last visit's section, and its name,
    // alive: the name is free for a new section.
    ASSERT_NE(nullptr, client->view);
    EXPECT_NE(DWORD(ERROR_ALREADY_EXISTS), client->createError);
    for (int request = 0; request < 3; ++request) {
      EXPECT_EQ(1u, client->Request(sim.server));
      EXPECT_EQ("NORTH", FirstId(client->view)) << "request " << request;
    }
    client.reset();   // the client ends; the next one comes a moment later
    Sleep(600);
  }
}

TEST(SimhostSections, ManyClientsTakingTurnsAreEachServedInTheirOwnSection) {
  Simhost sim;
  ASSERT_TRUE(sim.Start()) << SimhostPath();
  std::vector<std::unique_ptr<Client>> clients;
  for (int n = 0; n < 12; ++n) clients.emplace_back(new Client(SectionName(10 + n)));
  for (int round = 0; round < 3; ++round) {
    for (size_t n = 0; n < clients.size(); ++n) {
      SCOPED_TRACE(testing::Message() << "round " << round << ", client " << n);
      ASSERT_NE(nullptr, clients[n]->view);
      EXPECT_EQ(1u, clients[n]->Request(sim.server));
      EXPECT_EQ("NORTH", FirstId(clients[n]->view));
    }
    // One client leaves and another comes under a new name.
    clients[round].reset(new Client(SectionName(30 + round)));
  }
}
