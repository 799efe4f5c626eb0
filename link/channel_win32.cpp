// The IPC channel: the simulator's window, the registered message "FsasmLib:IPC" and a
// 10000-byte page-file-backed section whose name reaches the server as a global atom.
// Everything here runs on the thread of the message loop; a request blocks that thread
// until the server has answered or the tries are used up.
#include "link/channel.h"

#include "link/errortext.h"
#include "link/snapshot.h"
#include "shell/settings.h"

namespace simlink {

namespace {

const char kMessageName[] = "FsasmLib:IPC";
const DWORD kTimeoutMs = 2000;   // one try
const int kTries = 5;
const DWORD kPauseMs = 200;      // after every failed try, the last one included

struct IpcChannel {
  HWND ServerWindow;
  UINT MessageId;
  ATOM Atom;
  HANDLE Mapping;
  uint8_t* View;
  DWORD TimeoutMs;
  int32_t SendFailed;   // -1 once a send has failed; never cleared
};

IpcChannel Channel = {nullptr, 0, 0, nullptr, nullptr, kTimeoutMs, 0};

// Set while the box about a failed request is open. Its modal loop keeps dispatching
// timer ticks, and every tick runs another request: one that fails as well must not
// open a second box inside the first.
bool RequestBoxOpen = false;

// The end of a failed OpenChannel: the step's own box, then everything released.
bool FailOpen(int32_t code, const char* text) {
  ReportError(nullptr, code, text);
  CloseChannel();
  return false;
}

}  // namespace

void ReportError(HWND owner, int32_t code, const char* text) {
  char message[kErrorTextBytes];
  FormatErrorText(code, text ? text : "", message);
  MessageBoxA(owner, message, kErrorCaption, MB_OK | MB_ICONWARNING);
}

HWND FindSimulatorWindow() {
  HWND window = FindWindowExA(nullptr, nullptr, "FS98MAIN01", nullptr);
  if (window) return window;
  return FindWindowExA(nullptr, nullptr, "FS98MAIN", nullptr);
}

bool OpenChannel(HWND simulatorWindow) {
  if (Channel.View) return false;

  Channel.ServerWindow = simulatorWindow;
  Channel.TimeoutMs = kTimeoutMs;
  Channel.MessageId = RegisterWindowMessageA(kMessageName);
  if (Channel.MessageId == 0) return false;

  char name[kSectionNameBytes];
  FormatSectionName(GetCurrentProcessId(), name);

  Channel.Atom = GlobalAddAtomA(name);
  if (Channel.Atom == 0) return FailOpen(0, "can't create atom for mapped filename");

  SetLastError(0);
  Channel.Mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                       (DWORD)kViewBytes, name);
  DWORD error = GetLastError();
  if (!Channel.Mapping) return FailOpen((int32_t)error, "can't create file mapping");
  // A section of this name that existed already is not ours to use.
  if (error == ERROR_ALREADY_EXISTS)
    return FailOpen(ERROR_ALREADY_EXISTS, "can't create file mapping");

  Channel.View = (uint8_t*)MapViewOfFile(Channel.Mapping, FILE_MAP_WRITE, 0, 0, 0);
  if (!Channel.View)
    return FailOpen((int32_t)GetLastError(), "can't get a view of the mapped file");
  return true;
}

bool Transact() {
  if (!Channel.View) return false;
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(Channel.ServerWindow, Channel.MessageId, (WPARAM)Channel.Atom,
                           0, SMTO_BLOCK, Channel.TimeoutMs, &result)) {
    Channel.SendFailed = -1;
    return false;
  }
  return result == 1;
}

bool RequestSnapshot() {
  // A handler that resumes after the window was closed inside a modal loop finds the
  // channel closed: nothing to build, nothing to send, nothing to report.
  if (!Channel.View) return false;

  BuildRequestBlock(Channel.View, shell::ViewMode);
  for (int i = 0; i < kTries; ++i) {
    if (Transact()) return true;
    Sleep(kPauseMs);
  }
  if (Channel.SendFailed == 0 && !RequestBoxOpen) {
    RequestBoxOpen = true;
    ReportError(nullptr, 0, "IPC message failure: not correct Ostrel installation?");
    RequestBoxOpen = false;
  }
  return false;
}

void CloseChannel() {
  Channel.ServerWindow = nullptr;
  Channel.MessageId = 0;
  if (Channel.Atom) {
    GlobalDeleteAtom(Channel.Atom);
    Channel.Atom = 0;
  }
  if (Channel.View) {
    UnmapViewOfFile(Channel.View);
    Channel.View = nullptr;
  }
  if (Channel.Mapping) {
    CloseHandle(Channel.Mapping);
    Channel.Mapping = nullptr;
  }
}

uint8_t* ChannelView() { return Channel.View; }

int32_t ChannelSendFailed() { return Channel.SendFailed; }

}  // namespace simlink
