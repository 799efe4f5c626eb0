// The texts of the table's cells, computed from one traffic snapshot: the user's row
// and one row per traffic slot, plus the sort cache the comparator reads.
//
// Pure code: no platform headers.
#pragma once
#include <cstdint>

namespace table {

// What a slot row last showed, by slot index; the comparator sorts by these.
struct SlotSortCache {
  double altitudeDifference[100];   // hundreds of feet, slot minus user
  double distance[100];             // nautical miles
  double bearing[100];              // degrees magnetic, 0 to 360
};
extern SlotSortCache SortCache;     // all zero at start
void ResetSortCache();

// Receives one cell's text (columns 1 to 16). The text is valid only during the call.
typedef void (*CellWriter)(void* context, int column, const char* text);

void ComputeUserRow(const uint8_t* view, CellWriter write, void* context);

// Writes the sixteen texts of slot k's row; for an empty, unreadable or filtered-out
// slot all sixteen are empty and the sort cache is left alone.
void ComputeSlotRow(const uint8_t* view, int slot, const char* airportFilter,
                    CellWriter write, void* context);

// The same texts, each formatted straight into its own cell: cells[c] holds column c's
// (1 to 16), cut to kCellBytes, which no text reaches (the longest has 20 characters,
// the latitude of a position that is no number). For the texts a refresh keeps for the
// list (rowtexts.h); cells[0] is not touched.
const int kCellBytes = 32;
void ComputeUserRowCells(const uint8_t* view, char cells[][kCellBytes]);
void ComputeSlotRowCells(const uint8_t* view, int slot, const char* airportFilter,
                         char cells[][kCellBytes]);

// An empty filter passes every slot; otherwise From, else To, must match it.
bool PassesAirportFilter(const uint8_t* route, const char* airportFilter);

// Four-character ASCII case-folded comparison that stops at a NUL both sides share:
// <0, 0, >0 as a is below, equal to or above b.
int CompareCode4(const char* a, const char* b);

// Helpers shared with the comparator and the printout.
int32_t SaturateToInt(double value);   // NaN gives 0; clamps at the 32-bit bounds

}  // namespace table
