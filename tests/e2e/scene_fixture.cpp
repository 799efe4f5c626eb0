#include "tests/e2e/scene_fixture.h"

#include <cstdio>
#include <cstring>

#include "link/snapshot.h"
#include "sim/scenario.h"
#include "sim/server.h"
#include "table/rowvalues.h"

namespace e2e {

namespace {

void Route(sim::SceneSlot* s, const char* from, const char* to, int runway, int designator) {
  memcpy(s->from, from, strnlen(from, 4));
  memcpy(s->to, to, strnlen(to, 4));
  s->runwayNumber = uint8_t(runway);
  s->runwayDesignator = uint8_t(designator);
}

void Aircraft(sim::SceneSlot* s, uint32_t ref, const char* id, double lat, double lon,
              double alt, double hdg, double gs, double vs, uint8_t state, uint16_t com1) {
  s->defined = 1;
  s->refId = ref;
  snprintf(s->idText, sizeof(s->idText), "%s", id);
  s->latitude = float(lat);
  s->longitude = float(lon);
  s->altitude = float(alt);
  s->heading = hdg;
  s->groundSpeed = gs;
  s->verticalSpeed = vs;
  s->state = state;
  s->com1 = com1;
}

void Cell(void* context, int column, const char* text) {
  (*static_cast<std::vector<std::string>*>(context))[size_t(column)] = text;
}

}  // namespace

sim::Scene FrozenScene() {
  sim::Scene scene;
  sim::ClearScene(&scene);
  scene.user = {51.4600, -0.3900, 2500.0, -1.5, 265.0, 180.0, -700.0, 0x1930};

  sim::SceneList& air = scene.lists[0];
  air.slotCount = 9;
  Aircraft(&air.slots[0], 0xFFFE, "BAW123", 51.52, -0.55, 4000, 270, 210, 1500, sim::StateDepart, 0x1890);
  Route(&air.slots[0], "EGLL", "LFPG", 27, 1);
  Aircraft(&air.slots[1], 0x0005, "DLH4AB", 51.30, -0.20, 9000, 45, 290, 0, sim::StateEnroute, 0x3380);
  Route(&air.slots[1], "EDDF", "egll", 9, 2);
  // Slot 2 stays empty.
  Aircraft(&air.slots[3], 0x8000, "AFR1680", 51.90, 0.30, 23000, 120, 420, -1200, sim::StateEnroute, 0x2745);
  Route(&air.slots[3], "LFPG", "EGCC", 0, 0);
  Aircraft(&air.slots[4], 700, "N512KS", 51.47, -0.42, 1200, 90, 140, -650, sim::StateLanding, 0x1850);
  Route(&air.slots[4], "KSEA", "EGLL", 9, 1);
  Aircraft(&air.slots[5], 650, "EZY89QX", 50.95, -1.35, 15000, 200, 330, 2000, sim::StateEnroute, 0x3255);
  Route(&air.slots[5], "EGKK", "LEMD", 26, 0);
  Aircraft(&air.slots[7], 0x1234, "VIR25", 51.48, -0.47, 2500, 275, 160, 0, sim::StatePattern, 0);
  Route(&air.slots[7], "KJFK", "EGLL", 44, 4);
  air.recordLength = sim::kRecordLength;
  air.nearest = -1;

  sim::SceneList& ground = scene.lists[1];
  ground.slotCount = 6;
  Aircraft(&ground.slots[0], 901, "SAS4711", 51.4710, -0.4590, 80, 90, 12, 0, sim::StateTaxiOut, 0x2190);
  Route(&ground.slots[0], "EGLL", "ESSA", 9, 2);
  Aircraft(&ground.slots[2], 902, "QFA1", 51.4725, -0.4870, 80, 0, 0, 0, sim::StateShutDown, 0);
  Route(&ground.slots[2], "YSSY", "EGLL", 0, 0);
  Aircraft(&ground.slots[3], 903, "UAL901", 51.4650, -0.4400, 80, 270, 25, 0, sim::StateRollout, 0x1875);
  Route(&ground.slots[3], "KSFO", "EGLL", 27, 2);
  ground.recordLength = sim::kRecordLength;
  ground.nearest = -1;
  return scene;
}

std::string ScenarioText(const sim::Scene& scene) {
  static char text[1 << 18];
  size_t n = sim::FormatScenario(&scene, text, sizeof(text));
  return std::string(text, n);
}

Expected ExpectedView(const sim::Scene& scene, int viewMode, const char* airportFilter) {
  static uint8_t table[sim::kStateTableBytes];
  static uint8_t view[simlink::kViewBytes];
  memset(table, 0, sizeof(table));
  memset(view, 0, sizeof(view));
  sim::EncodeScene(&scene, table);
  simlink::BuildRequestBlock(view, viewMode);
  sim::ServeRequest(view, sizeof(view), table, sizeof(table), nullptr, 0);

  Expected e;
  e.slotRows = simlink::SlotRowCount(view);
  e.nearest = simlink::NearestDistance(view, viewMode);
  std::vector<std::string> user(17);
  table::ComputeUserRow(view, Cell, &user);
  e.bySlot.push_back(user);
  for (int k = 0; k < e.slotRows; ++k) {
    std::vector<std::string> row(17);
    char slot[16];
    snprintf(slot, sizeof(slot), "%02d", k);
    row[0] = slot;
    table::ComputeSlotRow(view, k, airportFilter, Cell, &row);
    e.bySlot.push_back(row);
  }
  return e;
}

}  // namespace e2e
