#include "table/rowtexts.h"

#include "link/snapshot.h"
#include "table/columns.h"

namespace table {

namespace {

struct RowCells {
  char cell[kColumns][kCellBytes];   // column 0 (Slot) stays in the list itself
};

// Index 0 is the user's row, index k + 1 slot k's.
const int kRows = simlink::kMaxSlots + 1;
RowCells Rows[kRows];

RowCells* RowOf(int32_t itemData) {
  if (itemData < -1 || itemData >= simlink::kMaxSlots) return nullptr;
  return &Rows[itemData + 1];
}

}  // namespace

void ClearRowTexts() {
  for (RowCells& row : Rows)
    for (char* cell : row.cell) cell[0] = '\0';
}

void FillUserRowTexts(const uint8_t* view) {
  ComputeUserRowCells(view, RowOf(-1)->cell);
}

void FillSlotRowTexts(const uint8_t* view, int32_t slot, const char* airportFilter) {
  RowCells* row = slot >= 0 ? RowOf(slot) : nullptr;
  if (row) ComputeSlotRowCells(view, slot, airportFilter, row->cell);
}

const char* RowText(int32_t itemData, int column) {
  const RowCells* row = RowOf(itemData);
  if (!row || column < 1 || column >= kColumns) return "";
  return row->cell[column];
}

}  // namespace table
