#include "table/columns.h"

namespace table {

const char* const NameTable[kNameTableSize] = {
  "Slot", "ID", "Dist", "Brg(M)", "AltDiff", "Lat", "Long", "Alt", "Hdg(M)", "GS", "VS",
  "COM1", "State", "From", "To", "Ref", "Rwy",
  "Airborne", "Ground",
  "N", "NE", "E", "SE", "S", "SW", "W", "NW",
  "L", "R", "C", "W",
};

const int DefaultWidth[kColumns] = {
  40, 160, 70, 70, 70, 120, 120, 70, 55, 40, 50, 50, 50, 50, 50, 50, 50,
};

const int PrintWidth[kColumns] = {
  7, 22, 9, 8, 9, 16, 18, 8, 9, 6, 8, 10, 10, 9, 9, 3, 8,
};

ColumnLayout Layouts[2];
bool SeparateLayouts = false;
bool ListPending = true;

static void SetDefaultLayout(ColumnLayout* layout) {
  for (int i = 0; i < kColumns; ++i) {
    layout->widths[i] = DefaultWidth[i];
    layout->order[i] = i;
  }
}

// Static initialisation gives the defaults before anything reads the layouts.
static const bool kLayoutsReady = (ResetColumnModel(), true);

void ResetColumnModel() {
  SetDefaultLayout(&Layouts[0]);
  SetDefaultLayout(&Layouts[1]);
  SeparateLayouts = false;
  ListPending = true;
}

void RepairOrder(const int32_t in[kColumns], int32_t out[kColumns]) {
  bool used[kColumns] = {};
  int n = 0;
  for (int p = 0; p < kColumns; ++p) {
    int32_t id = in[p];
    if (id >= 0 && id < kColumns && !used[id]) {
      used[id] = true;
      out[n++] = id;
    }
  }
  for (int id = 0; id < kColumns; ++id)
    if (!used[id]) out[n++] = id;
}

const char* ViewModeName(int viewMode) {
  return NameTable[kViewModeNameAt + (viewMode == 1 ? 1 : 0)];
}

}  // namespace table
