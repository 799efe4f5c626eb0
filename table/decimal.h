// Decimal texts for the table's cells, byte for byte what printf gives for the formats
// named, written without it: a refresh formats some 1500 numbers, and printf's general
// machinery costs many times the work itself.
//
// Each routine writes at most bytes - 1 characters and a NUL (nothing when bytes is 0),
// as snprintf does, and returns the length of the whole text, as snprintf does.
//
// Pure code: no platform headers.
#pragma once
#include <cstddef>
#include <cstdint>

namespace table {

// "%d" of value when width is 0 or 1; "%0*d" of width and value otherwise (the sign
// counts toward the width: -5 in width 3 is -05).
size_t FormatDecimal(char* out, size_t bytes, int32_t value, int width);

// "%07.4f" of minutes, a number from 0 to 60: the exact binary value rounded to four
// decimals, halfway cases to the even last digit, as printf rounds. Anything else (not
// a number, negative, above 60) gives the text of 0.
size_t FormatMinutes(char* out, size_t bytes, double minutes);

}  // namespace table
