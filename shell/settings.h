// The program's settings: the state they set (view mode, airport filter, sort column,
// window titles, column layouts) and the parsing and formatting of every value of the
// settings file and of the window placements.
//
// Pure code: no platform headers. The settings file itself is reached through the two
// callbacks below, which the Win32 side backs with the private-profile functions.
#pragma once
#include <cstdint>

namespace shell {

const int kPathBytes = 261;
const int kTitleBytes = 192;
const int kValueBytes = 80;

// Module-level program state.
extern int ViewMode;                       // 0 Airborne, 1 Ground
extern char AirportFilter[5];              // up to four characters; empty = no filter
extern int SortColumn;                     // initially 2 (Dist)
extern char ViewTitle[2][kTitleBytes];
extern char SettingsFile[kPathBytes];

// Back to the values the program starts with (the column model included).
void ResetSettings();

// Decimal number at text: white space skipped, optional sign, digits; none gives 0.
// Saturates at the 32-bit bounds.
int32_t ParseNumber(const char* text);

// The settings file path: everything after the last "." replaced by "ini".
void SettingsPathFor(const char* modulePath, char out[kPathBytes]);

// Reads one value into buf (size bytes, NUL-terminated); returns the characters read,
// 0 when the key is absent or empty.
typedef int (*ReadValue)(void* context, const char* section, const char* key,
                         char* buf, int size);
typedef void (*WriteValue)(void* context, const char* section, const char* key,
                           const char* value);

// Start-up reads, in order: Mode, Airport, Sort, both column sections; sets
// SeparateLayouts and copies a lone section's layout to the other view mode.
void LoadSettings(ReadValue read, void* context);

// Shutdown writes: Mode, Sort, and the column sections that are due.
void SaveSettings(WriteValue write, void* context);

// Pieces of the above, for callers and tests.
void ApplyMode(const char* value);               // "AIR"/"GRO" by first three letters
void ApplyAirport(const char* value);            // filter and both titles
void ApplySort(const char* value);
void ApplyColumnValue(int viewMode, int column, const char* value);
void FormatColumnValue(int viewMode, int column, char out[kValueBytes]);

struct Placement { int32_t left, top, width, height; };
const Placement kDefaultPlacement = {220, 80, 700, 800};

// Parses "[left,top,width,height]" from the first n characters of text and checks it
// against the screen; gives the default placement when either fails.
Placement ParsePlacement(const char* text, int n, int screenWidth, int screenHeight);

// "[%d,%d,%d,%d]" of left, top, right - left, bottom - top.
void FormatPlacement(int32_t left, int32_t top, int32_t right, int32_t bottom,
                     char out[kValueBytes]);

}  // namespace shell
