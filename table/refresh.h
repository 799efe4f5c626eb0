// The refresh cycle: fetch a snapshot, create the list on the first one, capture the
// column order, write every row, sort, repaint; and the main window's title.
#pragma once
#include <windows.h>

#include <cstdint>

namespace table {

// 1 when the rows were written and sorted, 0 otherwise.
int RefreshTable();

// The step of RefreshTable that writes the rows: the texts of every row of the list,
// computed from the snapshot in view into the cells the list draws from, each row by
// its item data, in the list's order. 0 when row 0 cannot be read (nothing is written).
int FillRowTexts(HWND list, const uint8_t* view);

// "<view title> (Nearest %dnm)" or "<view title> (No aircraft)" for view mode m.
void UpdateTitle(HWND mainWindow, int viewMode);

// The comparator handed to LVM_SORTITEMS: item data of two rows and the sort column.
int CALLBACK CompareRowsCallback(LPARAM a, LPARAM b, LPARAM column);

}  // namespace table
