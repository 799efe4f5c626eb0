// velmora_probe.dll: loaded into Velmora by the test probe, it makes the calls that the
// platform allows only from inside the process (the menu is per process; a WM_NOTIFY
// from another process is refused) and writes the answer into the request record.
// Its entry point runs on a thread the probe starts with CreateRemoteThread, never in
// DllMain, so it holds no loader lock while it sends messages to Velmora's window.
#include <windows.h>
#include <commctrl.h>

#include "tests/e2e/probe_remote.h"

namespace {

int64_t MenuStateOf(HWND window, int command) {
  HMENU menu = GetMenu(window);
  if (!menu) return -1;
  return static_cast<int32_t>(GetMenuState(menu, static_cast<UINT>(command), MF_BYCOMMAND));
}

// The notification as the list control forwards it from its header.
int64_t BeginDrag(HWND window, int item) {
  HWND list = FindWindowExA(window, nullptr, "SysListView32", nullptr);
  if (!list) return -1;
  HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  NMHEADERA nm = {};
  nm.hdr.hwndFrom = header;
  nm.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(header));
  nm.hdr.code = HDN_BEGINDRAG;
  nm.iItem = item;
  nm.iButton = 0;
  return SendMessageA(window, WM_NOTIFY, nm.hdr.idFrom, reinterpret_cast<LPARAM>(&nm));
}

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI ProbeRemote(void* param) {
  probe::RemoteRequest* r = static_cast<probe::RemoteRequest*>(param);
  HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(r->window));
  switch (r->op) {
    case probe::RemoteMenuState:
      r->result = MenuStateOf(window, r->arg);
      break;
    case probe::RemoteBeginDrag:
      r->result = BeginDrag(window, r->arg);
      break;
    default:
      r->result = -1;
      break;
  }
  r->done = 1;
  return 0;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
