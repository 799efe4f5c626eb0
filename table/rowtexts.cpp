#include "table/rowtexts.h"

#include "link/snapshot.h"
#include "table/columns.h"
#include "table/rowvalues.h"

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

// Takes one text from the row computation into its cell, cut to the cell (which no
// text reaches: see kCellBytes).
void KeepCell(void* context, int column, const char* text) {
  RowCells* row = static_cast<RowCells*>(context);
  if (column < 1 || column >= kColumns) return;
  char* cell = row->cell[column];
  int i = 0;
  for (; i < kCellBytes - 1 && text[i] != '\0'; ++i) cell[i] = text[i];
  cell[i] = '\0';
}

}  // namespace

void ClearRowTexts() {
  for (RowCells& row : Rows)
    for (char* cell : row.cell) cell[0] = '\0';
}

void FillUserRowTexts(const uint8_t* view) {
  ComputeUserRow(view, KeepCell, RowOf(-1));
}

void FillSlotRowTexts(const uint8_t* view, int32_t slot, const char* airportFilter) {
  RowCells* row = slot >= 0 ? RowOf(slot) : nullptr;
  if (row) ComputeSlotRow(view, slot, airportFilter, KeepCell, row);
}

const char* RowText(int32_t itemData, int column) {
  const RowCells* row = RowOf(itemData);
  if (!row || column < 1 || column >= kColumns) return "";
  return row->cell[column];
}

}  // namespace table
