// The main window: connects to the simulator while it is created, keeps the traffic
// list filling its client area, runs the menu commands, refreshes on every tick of the
// refresh timer, sorts on a header click, and takes everything down in order on close.
#include <windows.h>
#include <commctrl.h>

#include "link/channel.h"
#include "link/snapshot.h"
#include "print/print.h"
#include "shell/about.h"
#include "shell/app.h"
#include "shell/settings.h"
#include "table/columns.h"
#include "table/list.h"
#include "table/refresh.h"

namespace shell {

namespace {

// Menu commands.
const WPARAM kCmdExit = 101;
const WPARAM kCmdRefresh = 102;
const WPARAM kCmdAbout = 103;
const WPARAM kCmdPrint = 104;
const WPARAM kCmdAutoRefresh = 105;
const WPARAM kCmdGround = 106;
const WPARAM kCmdAirborne = 107;

const UINT_PTR kRefreshTimer = 1010;
const UINT kRefreshPeriodMs = 2000;

// Set: the refresh timer runs and "&AutoRefresh" carries its check mark. Clear at
// load; the command posted during creation turns it on.
bool AutoRefresh;

// The window title shows the nearest distance from the shared view. A refresh can open
// an error box whose modal loop lets the user close the window; once the handler
// resumes, the window, the list and the channel may all be gone, and nothing may be
// touched then.
void UpdateTitleIfOpen(HWND window, int viewMode) {
  if (IsWindow(window) && simlink::ChannelView()) table::UpdateTitle(window, viewMode);
}

void RefreshAndRetitle(HWND window) {
  table::RefreshTable();
  UpdateTitleIfOpen(window, ViewMode);
}

// --- Messages ---------------------------------------------------------------------

LRESULT OnCreate(HWND window, WPARAM wParam, LPARAM lParam) {
  HWND simulator = simlink::FindSimulatorWindow();
  if (!simulator) {
    simlink::ReportError(nullptr, 0, "not able to find FS: please run it first");
    return -1;
  }
  if (!simlink::OpenChannel(simulator)) {
    simlink::ReportError(nullptr, 0, "not able to link to Ostrel");
    return -1;
  }
  RestorePlacement(window);
  PostMessageA(window, WM_COMMAND, kCmdAutoRefresh, 0);
  return DefWindowProcA(window, WM_CREATE, wParam, lParam);
}

LRESULT OnSize(HWND window, WPARAM wParam, LPARAM lParam) {
  if (wParam != SIZE_MINIMIZED && table::TrafficList) {
    RECT client;
    GetClientRect(window, &client);
    SetWindowPos(table::TrafficList, nullptr, 0, 0, client.right - client.left,
                 client.bottom - client.top, SWP_NOZORDER | SWP_SHOWWINDOW);
  }
  SavePlacement(window);
  return DefWindowProcA(window, WM_SIZE, wParam, lParam);
}

LRESULT OnPaint(HWND window) {
  PAINTSTRUCT ps;
  BeginPaint(window, &ps);
  EndPaint(window, &ps);
  return 0;
}

LRESULT OnClose(HWND window) {
  if (AutoRefresh) KillTimer(window, kRefreshTimer);
  SavePlacement(window);
  table::DestroyTrafficList();
  simlink::CloseChannel();
  print::PrintTable(true);
  DestroyWindow(window);
  return 0;
}

LRESULT OnDestroy() {
  MainWindow = nullptr;
  PostQuitMessage(0);
  return 0;
}

// The "Slot" header stays where it is: its drag is refused. Any other column may be
// dragged anywhere, the leftmost position included.
LRESULT OnBeginDrag(const NMHEADERA* header) {
  return header->iItem == table::ColSlot ? 1 : 0;
}

void OnColumnClick(const NMLISTVIEW* click) {
  if (!simlink::ChannelView()) return;  // the comparator reads the snapshot
  SendMessageA(click->hdr.hwndFrom, LVM_SORTITEMS, static_cast<WPARAM>(click->iSubItem),
               reinterpret_cast<LPARAM>(table::CompareRowsCallback));
  SortColumn = click->iSubItem;
}

LRESULT OnNotify(HWND window, WPARAM wParam, LPARAM lParam) {
  const NMHDR* hdr = reinterpret_cast<const NMHDR*>(lParam);
  switch (hdr->code) {
    case HDN_BEGINDRAG:
      return OnBeginDrag(reinterpret_cast<const NMHEADERA*>(lParam));
    case LVN_COLUMNCLICK:
      OnColumnClick(reinterpret_cast<const NMLISTVIEW*>(lParam));
      break;
  }
  return DefWindowProcA(window, WM_NOTIFY, wParam, lParam);
}

void ToggleAutoRefresh(HWND window) {
  AutoRefresh = !AutoRefresh;
  CheckMenuItem(GetMenu(window), kCmdAutoRefresh,
                MF_BYCOMMAND | (AutoRefresh ? MF_CHECKED : MF_UNCHECKED));
  if (AutoRefresh) {
    SetTimer(window, kRefreshTimer, kRefreshPeriodMs, nullptr);
  } else {
    KillTimer(window, kRefreshTimer);
  }
}

// The other traffic list: its own placement and column layout, a new list, a refresh.
// The new list is made by the refresh from the new view's own snapshot, not from the
// one still in the view: the two traffic lists need not count the same number of
// slots, and a list made for the old count would leave aircraft of the new view out
// (or show rows for slots it does not have) until the program is started again.
void SwitchViewMode(HWND window, int viewMode) {
  SavePlacement(window);
  ViewMode = viewMode;
  table::DestroyTrafficList();
  RestorePlacement(window);
  table::ListPending = true;
  table::RefreshTable();
  UpdateTitleIfOpen(window, viewMode);
  table::SeparateLayouts = true;
}

void ShowAbout(HWND window) {
  DialogBoxParamA(Instance, "AboutBox", window, AboutBoxProc, 0);
}

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
  switch (wParam) {
    case kCmdExit:
      SendMessageA(window, WM_CLOSE, 0, 0);
      return 0;
    case kCmdRefresh:
      RefreshAndRetitle(window);
      break;
    case kCmdAbout:
      ShowAbout(window);
      break;
    case kCmdPrint:
      if (table::TrafficList) print::PrintTable(false);
      break;
    case kCmdAutoRefresh:
      ToggleAutoRefresh(window);
      break;
    case kCmdGround:
      if (ViewMode == simlink::ViewAirborne) SwitchViewMode(window, simlink::ViewGround);
      break;
    case kCmdAirborne:
      if (ViewMode != simlink::ViewAirborne) SwitchViewMode(window, simlink::ViewAirborne);
      break;
  }
  // After a modal loop (About, an error box) the window may be gone.
  if (!IsWindow(window)) return 0;
  return DefWindowProcA(window, WM_COMMAND, wParam, lParam);
}

// Every tick refreshes, whatever the timer's identifier.
LRESULT OnTimer(HWND window, WPARAM wParam, LPARAM lParam) {
  RefreshAndRetitle(window);
  if (!IsWindow(window)) return 0;
  return DefWindowProcA(window, WM_TIMER, wParam, lParam);
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:  return OnCreate(window, wParam, lParam);
    case WM_SIZE:    return OnSize(window, wParam, lParam);
    case WM_PAINT:   return OnPaint(window);
    case WM_CLOSE:   return OnClose(window);
    case WM_DESTROY: return OnDestroy();
    case WM_NOTIFY:  return OnNotify(window, wParam, lParam);
    case WM_COMMAND: return OnCommand(window, wParam, lParam);
    case WM_TIMER:   return OnTimer(window, wParam, lParam);
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace shell
