// The texts the list shows, kept here rather than in the list control: one set of
// cells per row, found by the row's item data (-1 for the user's row, the slot index
// for a slot row), since rows move when the list sorts. A refresh fills them from its
// snapshot; the list asks for a cell's text whenever it draws one or a caller reads one
// back (the cells of columns 1 to 16 are callback cells, see table/list.h). A refresh
// that fails touches nothing here, so the list keeps showing the last good texts.
//
// Pure code: no platform headers.
#pragma once
#include <cstdint>

#include "table/rowvalues.h"

namespace table {

// Every cell of every row empty: the state of a list just made.
void ClearRowTexts();

// The user's row, from the snapshot.
void FillUserRowTexts(const uint8_t* view);

// Slot k's row, from the snapshot: sixteen empty texts for an empty, unreadable or
// filtered-out slot (the sort cache is then left alone, see rowvalues.h). A slot index
// outside 0..98 has no row here and is ignored.
void FillSlotRowTexts(const uint8_t* view, int32_t slot, const char* airportFilter);

// The text of a cell by item data and column (1 to 16); "" for anything else.
const char* RowText(int32_t itemData, int column);

}  // namespace table
