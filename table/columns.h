// The seventeen columns of the traffic table: header texts, widths on screen and on
// paper, the per-view-mode layouts, and the texts the rest of the program shares
// (view mode names, compass points and runway letters).
//
// Pure code: no platform headers.
#pragma once
#include <cstdint>

namespace table {

const int kColumns = 17;

enum Column {
  ColSlot = 0, ColId, ColDist, ColBrg, ColAltDiff, ColLat, ColLong, ColAlt, ColHdg,
  ColGs, ColVs, ColCom1, ColState, ColFrom, ColTo, ColRef, ColRwy
};

// 0-16 header texts, 17-18 view mode names, 19-26 compass points, 27-30 runway letters.
const int kNameTableSize = 31;
extern const char* const NameTable[kNameTableSize];
const int kViewModeNameAt = 17;
const int kCompassAt = 19;
const int kDesignatorAt = 27;

extern const int DefaultWidth[kColumns];
extern const int PrintWidth[kColumns];   // in average characters; 169 in all

struct ColumnLayout {
  int32_t widths[kColumns];   // by column identifier
  int32_t order[kColumns];    // order[p] = identifier shown at display position p
};

// Module-level layout state, one layout per view mode.
extern ColumnLayout Layouts[2];
extern bool SeparateLayouts;   // set: each view mode keeps its own layout
extern bool ListPending;       // set until the first list has been created

// Puts both layouts, SeparateLayouts and ListPending back to their start values.
void ResetColumnModel();

// Makes order a permutation of 0..16: the first occurrence of each identifier in
// 0..16 is kept in place of appearance, the missing ones follow in ascending order.
void RepairOrder(const int32_t in[kColumns], int32_t out[kColumns]);

const char* ViewModeName(int viewMode);   // "Airborne" or "Ground"

}  // namespace table
