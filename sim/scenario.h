// Scenario files: a frozen scene as text, for exact checks and for the hostile tables
// that no well-behaved server writes. sim/README.md describes the format; in short:
//
//   # a comment
//   user lat=37.6158 lon=-122.3863 alt=13 magvar=13 heading=297.9 gs=0 vs=0 com1=118.85
//   airborne count=auto recordlength=40 nearest=auto
//   ground count=40
//   slot ground 3 ref=12 id="UAL1532" lat=37.61 lon=-122.38 alt=13 heading=27.9 gs=15
//        vs=0 state=TaxiOut com1=121.80 from=KSFO to=KORD rwy=01R      (one line)
//   raw 0xE002 FF 00
//
// Pure code: no platform headers.
#pragma once
#include <cstddef>

#include "sim/scene.h"

namespace sim {

const size_t kScenarioErrorBytes = 200;
const size_t kScenarioLineBytes = 1024;

// Parses a scenario (length bytes, not necessarily NUL-terminated) into scene.
// Returns 1 on success; 0 on the first error, with "line N: what is wrong" in error.
int ParseScenario(const char* text, size_t length, Scene* scene, char* error,
                  size_t errorBytes);

// Writes the scene as a scenario that parses back into the same table. Returns the
// number of characters written (NUL not counted), or 0 when out is too small.
size_t FormatScenario(const Scene* scene, char* out, size_t outBytes);

// Built-in scenarios by name ("examples", "count0", ...): the text, or null.
const char* BuiltinScenario(const char* name);
// The i-th built-in's name and one-line summary, or null past the last.
const char* BuiltinScenarioName(int i);
const char* BuiltinScenarioSummary(int i);

}  // namespace sim
