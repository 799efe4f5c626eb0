// The order of the table's rows: user row first, rows that pass the airport filter
// before those that fail it, occupied slots before empty ones (but under Slot), then
// the sort column's key, then slot index. Never answers 0.
//
// Pure code: no platform headers.
#pragma once
#include <cstdint>

namespace table {

// a, b: item data of two rows (-1 for the user's row, else the slot index);
// column: the sort column. Reads the snapshot in view, the sort cache and the filter.
int32_t CompareRows(const uint8_t* view, const char* airportFilter,
                    int32_t a, int32_t b, int32_t column);

}  // namespace table
