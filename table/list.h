// TrafficList: the report-style list control that fills the main window, one row for
// the user's aircraft (item data -1) and one per traffic slot (item data = slot index).
#pragma once
#include <windows.h>
#include <commctrl.h>

namespace table {

// The one list, or null while none exists.
extern HWND TrafficList;

// Creates the list for the current view mode from the snapshot in the channel's view.
// 1 on success (ListPending is then cleared), 0 when nothing was created.
int CreateTrafficList(HWND parent);

// Destroys the list if there is one; TrafficList is null afterwards.
void DestroyTrafficList();

// Columns 1 to 16 of the list are callback cells: the list asks its parent for their
// texts with LVN_GETDISPINFOA whenever it draws one or a caller reads one back, and
// the main window hands the question on to this, which answers from the texts of the
// last successful refresh (table/rowtexts.h), cut to the caller's buffer.
void AnswerCellText(NMLVDISPINFOA* info);

}  // namespace table
