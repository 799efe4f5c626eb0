#include "sim/traffic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <memory>
#include <set>

#include "sim_fixture.h"

using namespace simtest;

namespace {

const double kStep = 0.25;   // seconds, the step simhost uses
const double kPi = 3.14159265358979323846;

struct TrafficRun {
  std::unique_ptr<sim::Traffic> traffic{new sim::Traffic};
  std::unique_ptr<sim::Scene> scene{new sim::Scene};
  explicit TrafficRun(uint32_t seed, int slots = 40) { sim::StartTraffic(traffic.get(), seed, slots); }
  void Advance(double seconds) {
    for (double t = 0; t < seconds - 1e-9; t += kStep) sim::StepTraffic(traffic.get(), kStep);
    sim::TrafficScene(traffic.get(), scene.get());
  }
};

std::vector<uint8_t> Encoded(const sim::Scene& scene) {
  std::vector<uint8_t> table(sim::kStateTableBytes, 0);
  sim::EncodeScene(&scene, table.data());
  return table;
}

bool OnGroundState(int s) {
  return (s >= sim::StateInit && s <= sim::StateTakeoff1) || s == sim::StateRollout ||
         s == sim::StateTaxiIn || s == sim::StateShutDown;
}

bool ValidBcd(uint16_t v) {
  for (int i = 0; i < 4; ++i)
    if (((v >> (4 * i)) & 0xF) > 9) return false;
  return true;
}

}  // namespace

TEST(Traffic, SameSeedAndStepsGiveTheSameTablesOtherSeedsDiffer) {
  TrafficRun a(7), b(7), c(8);
  for (int minute = 0; minute < 60; ++minute) {
    a.Advance(60);
    b.Advance(60);
    c.Advance(60);
    ASSERT_EQ(Encoded(*a.scene), Encoded(*b.scene)) << "minute " << minute;
  }
  EXPECT_NE(Encoded(*a.scene), Encoded(*c.scene));
}

// Every aircraft goes through the flight states in the order a flight does, holds a
// slot of the list that fits its state, and changes lists only when it lifts off or
// touches down. Over a few hours every state shows up, go-arounds included.
TEST(Traffic, FlightStatesFollowABelievableOrder) {
  const std::set<std::pair<int, int>> allowed = {
      {sim::StateInit, sim::StatePlan},         {sim::StatePlan, sim::StateClearance},
      {sim::StateClearance, sim::StatePush1},   {sim::StatePush1, sim::StatePush2},
      {sim::StatePush2, sim::StateStartup},     {sim::StateStartup, sim::StatePreTaxi},
      {sim::StatePreTaxi, sim::StateTaxiOut},   {sim::StateTaxiOut, sim::StateTakeoff1},
      {sim::StateTakeoff1, sim::StateTakeoff2}, {sim::StateTakeoff2, sim::StateDepart},
      {sim::StateDepart, sim::StateEnroute},    {sim::StateEnroute, sim::StatePattern},
      {sim::StatePattern, sim::StateLanding},   {sim::StateLanding, sim::StateRollout},
      {sim::StateLanding, sim::StateGoAround},  {sim::StateGoAround, sim::StatePattern},
      {sim::StateRollout, sim::StateTaxiIn},    {sim::StateTaxiIn, sim::StateShutDown},
      {sim::StateShutDown, sim::StateInit},
  };
  struct Seen {
    int state, list, slot;
  };
  std::set<int> statesSeen;
  int listChanges = 0, departed = 0;
  for (uint32_t seed : {1u, 2u}) {
    TrafficRun run(seed);
    std::map<uint32_t, Seen> last;
    for (int i = 0; i < 4 * 3600; i += 2) {
      run.Advance(2);
      std::map<uint32_t, Seen> now;
      for (int l = 0; l < 2; ++l)
        for (int k = 0; k < sim::kSceneSlots; ++k) {
          const sim::SceneSlot& s = run.scene->lists[l].slots[k];
          if (!s.defined || s.refId == 0) continue;
          ASSERT_TRUE(now.find(s.refId) == now.end()) << "one aircraft in two slots";
          now[s.refId] = {s.state, l, k};
          statesSeen.insert(s.state);
          EXPECT_EQ(l == sim::kListGround, OnGroundState(s.state)) << std::hex << int(s.state);
        }
      for (const auto& [ref, was] : last) {
        auto it = now.find(ref);
        if (it == now.end()) {   // gone from the lists: only outbound, far away
          EXPECT_TRUE(was.state == sim::StateDepart || was.state == sim::StateEnroute)
              << std::hex << was.state;
          departed++;
          continue;
        }
        const Seen& is = it->second;
        if (is.state != was.state) {
          EXPECT_TRUE(allowed.count({was.state, is.state}))
              << std::hex << was.state << " -> " << is.state;
        }
        if (is.list != was.list) {
          listChanges++;
          EXPECT_TRUE((was.state == sim::StateTakeoff1 && is.state == sim::StateTakeoff2) ||
                      (was.state == sim::StateLanding && is.state == sim::StateRollout))
              << std::hex << was.state << " -> " << is.state;
        } else {
          EXPECT_EQ(was.slot, is.slot) << "an aircraft keeps its slot within a list";
        }
      }
      last = now;
    }
  }
  for (int s = sim::StateInit; s <= sim::StateShutDown; ++s)
    if (s != 0x81) {
      EXPECT_TRUE(statesSeen.count(s)) << std::hex << s;
    }
  EXPECT_GT(listChanges, 40);
  EXPECT_GT(departed, 20);
}

// Aircraft move the way their speeds say, climb and descend the way their vertical
// speeds say, point where they go (tail first only while pushed back), and carry
// texts and frequencies that a client can show.
TEST(Traffic, MovementAndFieldsArePlausible) {
  TrafficRun run(3);
  run.Advance(3600);
  std::map<uint32_t, sim::SceneSlot> last;
  int moving = 0;
  for (int i = 0; i < 1800; ++i) {
    run.Advance(1);
    std::map<uint32_t, sim::SceneSlot> now;
    for (int l = 0; l < 2; ++l)
      for (const sim::SceneSlot& s : run.scene->lists[l].slots) {
        if (!s.defined || s.refId == 0) continue;
        now[s.refId] = s;
        SCOPED_TRACE(s.idText);
        size_t n = strnlen(s.idText, sim::kIdBytes);
        EXPECT_TRUE(n >= 4 && n <= 14);
        for (size_t c = 0; c < n; ++c) EXPECT_TRUE(isalnum(static_cast<unsigned char>(s.idText[c])));
        EXPECT_TRUE(ValidBcd(s.com1));
        EXPECT_TRUE(memcmp(s.from, "KSFO", 4) == 0 || memcmp(s.to, "KSFO", 4) == 0);
        if (l == sim::kListGround) {
          EXPECT_EQ(float(sim::kFieldElevation), s.altitude);
          EXPECT_LE(s.groundSpeed, 180);
          EXPECT_EQ(0, s.verticalSpeed);
          EXPECT_LT(sim::DistanceNm(sim::kFieldLatitude, sim::kFieldLongitude, s.latitude, s.longitude), 3);
        } else {
          EXPECT_GE(s.altitude, sim::kFieldElevation);
          EXPECT_LE(s.altitude, 41000);
          EXPECT_GE(s.groundSpeed, 130);
          EXPECT_LE(s.groundSpeed, 500);
          EXPECT_LE(std::fabs(s.verticalSpeed), 3000);
          EXPECT_LT(sim::DistanceNm(sim::kFieldLatitude, sim::kFieldLongitude, s.latitude, s.longitude), 82);
        }
        auto it = last.find(s.refId);
        if (it == last.end() || it->second.state != s.state) continue;
        const sim::SceneSlot& p = it->second;
        double moved = sim::DistanceNm(p.latitude, p.longitude, s.latitude, s.longitude);
        double fastest = std::fmax(p.groundSpeed, s.groundSpeed) / 3600;
        EXPECT_LE(moved, fastest * 1.05 + 0.0005);
        // Vertical speed is that of the last step: the second's climb lies between the
        // rates at its two ends.
        double climbed = s.altitude - p.altitude;
        EXPECT_GE(climbed, std::fmin(p.verticalSpeed, s.verticalSpeed) / 60 - 1);
        EXPECT_LE(climbed, std::fmax(p.verticalSpeed, s.verticalSpeed) / 60 + 1);
        // Along a leg (no turn at a waypoint within the second) the track is the heading.
        if (moved > 0.01 && std::fabs(std::remainder(p.heading - s.heading, 360.0)) < 0.5 &&
            s.state != sim::StatePush1 &&
            s.state != sim::StatePush2) {
          moving++;
          double track = std::atan2((s.longitude - p.longitude) * std::cos(s.latitude * kPi / 180),
                                    s.latitude - p.latitude) * 180 / kPi;
          EXPECT_NEAR(0, std::remainder(track - s.heading, 360.0), 3);
        }
      }
    last = now;
  }
  EXPECT_GT(moving, 5000);
}

// What the scene says about the lists is what a client sees: the nearest distance of
// each list is the smallest "Dist" of its rows, a list without aircraft says 0xFFFF,
// and a freed slot (RefId 0, its old bytes still there) shows an empty row.
TEST(Traffic, NearestDistancesAndFreedSlotsAsAClientSeesThem) {
  TrafficRun run(5, 30);
  int staleSeen = 0;
  for (int check = 0; check < 40; ++check) {
    run.Advance(check == 0 ? 0 : 120);
    for (int mode = 0; mode < 2; ++mode) {
      Served s;
      Serve(*run.scene, mode, &s);
      ASSERT_EQ(1, s.answer);
      EXPECT_EQ(30, simlink::SlotCount(s.v()));
      int nearest = -1;
      for (int k = 0; k < simlink::SlotRowCount(s.v()); ++k) {
        Row row = SlotRow(s.v(), k);
        const sim::SceneSlot& slot = run.scene->lists[mode].slots[k];
        if (!simlink::SlotOccupied(s.v(), k)) {
          EXPECT_EQ("", row.cell[1]);
          staleSeen += slot.defined && slot.idText[0] != 0;
          continue;
        }
        EXPECT_EQ(std::string(slot.idText), row.cell[1]);
        int d = atoi(row.cell[2].c_str());
        if (nearest < 0 || d < nearest) nearest = d;
      }
      EXPECT_EQ(nearest < 0 ? 0xFFFF : nearest, simlink::NearestDistance(s.v(), mode))
          << "check " << check << " mode " << mode;
    }
  }
  EXPECT_GT(staleSeen, 0);
}

TEST(Traffic, AFewDozenAircraftWithinTheSlotCount) {
  for (int slots : {40, 99, 8}) {
    TrafficRun run(11, slots);
    int fewest = 1000, most = 0;
    for (int minute = 0; minute < 180; ++minute) {
      run.Advance(60);
      int air = sim::OccupiedSlots(&run.scene->lists[sim::kListAirborne]);
      int ground = sim::OccupiedSlots(&run.scene->lists[sim::kListGround]);
      for (int l = 0; l < 2; ++l)
        for (int k = slots; k < sim::kSceneSlots; ++k)
          EXPECT_FALSE(run.scene->lists[l].slots[k].defined);
      if (minute >= 60) {
        fewest = std::min(fewest, air + ground);
        most = std::max(most, air + ground);
      }
    }
    if (slots >= 40) {
      EXPECT_GE(fewest, 24) << slots;
      EXPECT_LE(most, 80) << slots;
    } else {
      EXPECT_GE(fewest, 4);
    }
  }
}

// With overflights the airborne list is full all the time and every aircraft in it
// moves, while the airport goes on working: departures still take off into the full
// list and arrivals still land, each taking the slot of the farthest overflight.
TEST(Traffic, OverflightsKeepTheAirborneListFullAndTheAirportWorking) {
  TrafficRun run(4, 99);
  sim::AddOverflights(run.traffic.get());
  run.Advance(1200);
  std::map<uint32_t, sim::SceneSlot> last;
  std::set<uint32_t> tookOff, landed;
  for (int i = 0; i < 3600; i += 2) {
    run.Advance(2);
    const sim::SceneList& air = run.scene->lists[sim::kListAirborne];
    // Each departure on its take-off roll holds the promise of one slot.
    EXPECT_EQ(99 - run.traffic->reservedSlots[sim::kListAirborne], sim::OccupiedSlots(&air))
        << "second " << i;
    EXPECT_LE(run.traffic->reservedSlots[sim::kListAirborne], 2);
    std::map<uint32_t, sim::SceneSlot> now;
    for (int l = 0; l < 2; ++l)
      for (const sim::SceneSlot& s : run.scene->lists[l].slots) {
        if (!s.defined || s.refId == 0) continue;
        now[s.refId] = s;
        auto it = last.find(s.refId);
        if (it == last.end()) continue;
        if (l == sim::kListAirborne) {
          EXPECT_TRUE(s.latitude != it->second.latitude || s.longitude != it->second.longitude)
              << s.idText << " stands still in the air";
        }
        if (s.state == sim::StateTakeoff2 && it->second.state == sim::StateTakeoff1)
          tookOff.insert(s.refId);
        if (s.state == sim::StateRollout && it->second.state == sim::StateLanding)
          landed.insert(s.refId);
      }
    for (const auto& [ref, was] : last) {
      if (now.count(ref) || was.state != sim::StateEnroute) continue;
      bool airport = memcmp(was.from, "KSFO", 4) == 0 || memcmp(was.to, "KSFO", 4) == 0;
      // An overflight leaves beyond 80 nm, or nearer when it makes room for the airport.
      if (airport) {
        EXPECT_GT(sim::DistanceNm(sim::kFieldLatitude, sim::kFieldLongitude, was.latitude,
                                  was.longitude), 75);
      }
    }
    last = now;
  }
  EXPECT_GE(tookOff.size(), 5u);
  EXPECT_GE(landed.size(), 5u);
}
