// The frozen scene the end-to-end tests run simhost with, and what Velmora must show
// for it: every cell, computed here from the same scene through the request block,
// the server's walk and the row texts, so a test compares the screen with the bytes
// that travelled.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "sim/scene.h"

namespace e2e {

// The user over the Thames west of London; airborne traffic around, ground traffic at
// the airport, routes to and from EGLL among others (one of them typed in lower case).
sim::Scene FrozenScene();

// The scenario file that makes simhost serve exactly that scene, frozen.
std::string ScenarioText(const sim::Scene& scene);

// The texts of columns 0..16 that Velmora shows for the row with item data k (-1 for
// the user's row) under view mode m and the filter.
struct Expected {
  std::vector<std::vector<std::string>> bySlot;   // index k + 1
  std::vector<std::string> Row(long long k) const { return bySlot.at(size_t(k + 1)); }
  int slotRows;                                   // rows of slots (SlotCount, at most 99)
  uint16_t nearest;                               // NearestDistance of the view mode
};
Expected ExpectedView(const sim::Scene& scene, int viewMode, const char* airportFilter);

}  // namespace e2e
