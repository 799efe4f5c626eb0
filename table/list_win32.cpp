#include "table/list.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "link/channel.h"
#include "link/snapshot.h"
#include "shell/app.h"
#include "shell/settings.h"
#include "table/columns.h"
#include "table/rowtexts.h"

namespace table {

HWND TrafficList = nullptr;

// Set while the box about a failed creation is open. Timer ticks go on inside its
// modal loop, and a refresh that fails to create the list again must not open a
// second box inside the first.
static bool CreateBoxOpen = false;

static const DWORD kListStyle = WS_CHILD | WS_VISIBLE | WS_THICKFRAME | LVS_REPORT |
                                LVS_SINGLESEL | LVS_SORTASCENDING;

// The list asks its parent for the text of a callback cell (LVN_GETDISPINFOA); the
// answer is the cell's text from the last successful refresh, cut to the asker's buffer
// as the list cuts a text it holds.
static void AnswerCellText(NMLVDISPINFOA* info) {
  LVITEMA& item = info->item;
  if (!(item.mask & LVIF_TEXT) || item.pszText == nullptr || item.cchTextMax <= 0) return;
  const char* text = RowText(static_cast<int32_t>(item.lParam), item.iSubItem);
  int i = 0;
  for (; i < item.cchTextMax - 1 && text[i] != '\0'; ++i) item.pszText[i] = text[i];
  item.pszText[i] = '\0';
}

// Whatever window the list is made in answers for its cells: the parent's window
// procedure is subclassed for that one notification, and hands every other message to
// its own procedure, kept in a property of the window.
static const char kParentProc[] = "Velmora.ListParentProc";

static LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC own = reinterpret_cast<WNDPROC>(GetPropA(window, kParentProc));
  if (message == WM_NOTIFY) {
    NMHDR* hdr = reinterpret_cast<NMHDR*>(lParam);
    if (hdr->code == LVN_GETDISPINFOA && TrafficList && hdr->hwndFrom == TrafficList) {
      AnswerCellText(reinterpret_cast<NMLVDISPINFOA*>(lParam));
      return 0;
    }
  }
  if (message == WM_NCDESTROY) RemovePropA(window, kParentProc);
  return own ? CallWindowProcA(own, window, message, wParam, lParam)
             : DefWindowProcA(window, message, wParam, lParam);
}

static void AnswerForTheList(HWND parent) {
  if (reinterpret_cast<WNDPROC>(GetWindowLongPtrA(parent, GWLP_WNDPROC)) == ParentProc) return;
  LONG_PTR own = GetWindowLongPtrA(parent, GWLP_WNDPROC);
  if (!SetPropA(parent, kParentProc, reinterpret_cast<HANDLE>(own))) return;
  SetWindowLongPtrA(parent, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ParentProc));
}

static void InsertColumns(HWND list, const ColumnLayout& layout) {
  for (int i = 0; i < kColumns; ++i) {
    LVCOLUMNA column;
    memset(&column, 0, sizeof column);
    column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    column.fmt = LVCFMT_LEFT;
    column.cx = layout.widths[i];
    column.pszText = const_cast<char*>(NameTable[i]);
    column.cchTextMax = static_cast<int>(strlen(NameTable[i])) + 1;
    column.iSubItem = i;
    SendMessageA(list, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
  }
  // The settings file may hold an order that is not a permutation; the control is only
  // ever given one that is.
  int32_t order[kColumns];
  RepairOrder(layout.order, order);
  SendMessageA(list, LVM_SETCOLUMNORDERARRAY, kColumns, reinterpret_cast<LPARAM>(order));
}

// The user's row (item data -1, empty Slot text) and one row per slot. Every row goes
// in at index 0; the sort-ascending style places it by its Slot text, so the user's
// row ends up first and the slots follow in ascending order. Columns 1 to 16 of every
// row are callback cells: the list asks for their texts (AnswerCellText).
static void InsertRows(HWND list, int slotCount) {
  for (int k = -1; k < slotCount; ++k) {
    char text[16] = "";
    if (k >= 0) snprintf(text, sizeof text, "%02d", k);
    LVITEMA item;
    memset(&item, 0, sizeof item);
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = 0;
    item.iSubItem = 0;
    item.pszText = text;
    item.cchTextMax = static_cast<int>(strlen(text)) + 1;
    item.lParam = k;
    SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
  }
  int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int row = 0; row < rows; ++row) {
    for (int column = 1; column < kColumns; ++column) {
      LVITEMA cell;
      memset(&cell, 0, sizeof cell);
      cell.iSubItem = column;
      cell.pszText = LPSTR_TEXTCALLBACKA;
      SendMessageA(list, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&cell));
    }
  }
}

int CreateTrafficList(HWND parent) {
  const uint8_t* view = simlink::ChannelView();
  if (view == nullptr) return 0;
  int slotCount = simlink::SlotRowCount(view);
  if (slotCount == 0) return 0;

  RECT client = {0, 0, 0, 0};
  GetClientRect(parent, &client);
  SetLastError(0);
  TrafficList = CreateWindowExA(0, "SysListView32", nullptr, kListStyle, 0, 0,
                                client.right - client.left, client.bottom - client.top,
                                parent, nullptr, shell::Instance, nullptr);
  if (TrafficList == nullptr) {
    DWORD error = GetLastError();
    if (error != 0 && !CreateBoxOpen) {
      CreateBoxOpen = true;
      simlink::ReportError(parent, static_cast<int32_t>(error), "creating details window");
      CreateBoxOpen = false;
    }
    return 0;
  }

  HWND list = TrafficList;
  AnswerForTheList(parent);
  ClearRowTexts();
  // A visible list lays itself out and redraws for every column and every row that
  // goes in, which makes a list of 100 rows take a second to appear; it is drawn once,
  // complete, instead.
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  InsertColumns(list, Layouts[shell::ViewMode == 1 ? 1 : 0]);
  SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_HEADERDRAGDROP);
  InsertRows(list, slotCount);
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  ListPending = false;
  return 1;
}

void DestroyTrafficList() {
  if (TrafficList == nullptr) return;
  HWND list = TrafficList;
  TrafficList = nullptr;
  DestroyWindow(list);
}

}  // namespace table
