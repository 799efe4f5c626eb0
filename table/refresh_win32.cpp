#include "table/refresh.h"

#include <commctrl.h>

#include <cstring>

#include "link/channel.h"
#include "link/snapshot.h"
#include "shell/app.h"
#include "shell/settings.h"
#include "table/columns.h"
#include "table/compare.h"
#include "table/list.h"
#include "table/rowtexts.h"
#include "table/title.h"

namespace table {

namespace {

const uint16_t kNoAircraft = 0xFFFF;

// The item data of a row: -1 for the user's row, else its slot index.
bool RowItemData(HWND list, int row, int32_t* itemData) {
  LVITEMA item;
  memset(&item, 0, sizeof item);
  item.mask = LVIF_PARAM;
  item.iItem = row;
  item.iSubItem = 0;
  if (!SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return false;
  *itemData = static_cast<int32_t>(item.lParam);
  return true;
}

// Reads the display order the user may have changed by dragging headers into the
// current view mode's layout, and into the other's while the two share one.
void CaptureColumnOrder(HWND list) {
  int32_t order[kColumns];
  if (!SendMessageA(list, LVM_GETCOLUMNORDERARRAY, kColumns, reinterpret_cast<LPARAM>(order)))
    return;
  int mode = shell::ViewMode == 1 ? 1 : 0;
  memcpy(Layouts[mode].order, order, sizeof order);
  if (!SeparateLayouts) memcpy(Layouts[1 - mode].order, order, sizeof order);
}

}  // namespace

int FillRowTexts(HWND list, const uint8_t* view) {
  int rows = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  int32_t itemData;
  if (!RowItemData(list, 0, &itemData)) return 0;

  // Row 0 is the user's row: the sort always puts it first.
  FillUserRowTexts(view);
  for (int row = 1; row < rows; ++row) {
    if (!RowItemData(list, row, &itemData)) break;
    FillSlotRowTexts(view, itemData, shell::AirportFilter);
  }
  return 1;
}

int RefreshTable() {
  if (!simlink::RequestSnapshot()) return 0;
  if (ListPending && !CreateTrafficList(shell::MainWindow)) return 0;

  // Either may be gone when this cycle resumes after a modal loop in which the main
  // window was closed.
  HWND list = TrafficList;
  const uint8_t* view = simlink::ChannelView();
  if (list == nullptr || !IsWindow(list) || view == nullptr) return 0;

  CaptureColumnOrder(list);
  if (!FillRowTexts(list, view)) return 0;
  SendMessageA(list, LVM_SORTITEMS, static_cast<WPARAM>(shell::SortColumn),
               reinterpret_cast<LPARAM>(CompareRowsCallback));
  // The list draws every cell from the texts just filled (see table/rowtexts.h).
  InvalidateRect(list, nullptr, FALSE);
  return 1;
}

void UpdateTitle(HWND mainWindow, int viewMode) {
  int mode = viewMode == 1 ? 1 : 0;
  // A closed channel has no view to read: no aircraft to show.
  const uint8_t* view = simlink::ChannelView();
  uint16_t nearest = view ? simlink::NearestDistance(view, mode) : kNoAircraft;
  char title[kWindowTitleBytes];
  FormatTitle(shell::ViewTitle[mode], nearest, title, sizeof title);
  SetWindowTextA(mainWindow, title);
}

int CALLBACK CompareRowsCallback(LPARAM a, LPARAM b, LPARAM column) {
  // With the channel closed the view is null, and every slot reads as empty.
  return CompareRows(simlink::ChannelView(), shell::AirportFilter, static_cast<int32_t>(a),
                     static_cast<int32_t>(b), static_cast<int32_t>(column));
}

}  // namespace table
