// TrafficList: the report-style list control that fills the main window, one row for
// the user's aircraft (item data -1) and one per traffic slot (item data = slot index).
// Its cells of columns 1 to 16 hold no text of their own: the list asks for them
// whenever it draws one or a caller reads one back, and gets the texts of the last
// successful refresh (table/rowtexts.h).
#pragma once
#include <windows.h>

namespace table {

// The one list, or null while none exists.
extern HWND TrafficList;

// Creates the list for the current view mode from the snapshot in the channel's view.
// 1 on success (ListPending is then cleared), 0 when nothing was created.
int CreateTrafficList(HWND parent);

// Destroys the list if there is one; TrafficList is null afterwards.
void DestroyTrafficList();


}  // namespace table
