// The refresh cycle: fetch a snapshot, create the list on the first one, capture the
// column order, write every row, sort, repaint; and the main window's title.
#pragma once
#include <windows.h>

namespace table {

// 1 when the rows were written and sorted, 0 otherwise.
int RefreshTable();

// "<view title> (Nearest %dnm)" or "<view title> (No aircraft)" for view mode m.
void UpdateTitle(HWND mainWindow, int viewMode);

// The comparator handed to LVM_SORTITEMS: item data of two rows and the sort column.
int CALLBACK CompareRowsCallback(LPARAM a, LPARAM b, LPARAM column);

}  // namespace table
