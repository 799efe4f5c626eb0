#include "sim/scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "sim_fixture.h"

using namespace simtest;

namespace {

const double kTwo32 = 4294967296.0;

sim::Scene* NewScene() {
  static sim::Scene scene;
  sim::ClearScene(&scene);
  return &scene;
}

}  // namespace

// The user's aircraft read back by the client's readers gives the scene's values to
// the precision of each encoding.
TEST(SceneEncoding, UserAircraftReadsBackAsGiven) {
  struct Case {
    double lat, lon, alt, magvar, heading, gs, vs;
    uint16_t com1;
  } cases[] = {
      {37.6158, -122.3863, 13, 13, 297.9, 0, 0, 0x2180},
      {-33.9461, 151.1772, 21, -12.5, 0, 250, 1800, 0x1885},
      {51.4706, -0.4619, 83, -0.5, 359.999, 140, -750, 0x3650},
      {0, 180, -100, 0, 90, 1, -1, 0},
      {-89.99, -179.99, 41000, 179, 180, 600, -6000, 0x9999},
      {50, -1, 0, 0, 45.5, 100, 196.850393700787, 0x2345},
  };
  for (const Case& c : cases) {
    sim::Scene* scene = NewScene();
    sim::SceneUser& u = scene->user;
    u.latitude = c.lat; u.longitude = c.lon; u.altitude = c.alt;
    u.magneticVariation = c.magvar; u.heading = c.heading;
    u.groundSpeed = c.gs; u.verticalSpeed = c.vs; u.com1 = c.com1;
    Served s;
    Serve(*scene, simlink::ViewAirborne, &s);
    ASSERT_EQ(1, s.answer);
    const uint8_t* v = s.v();
    SCOPED_TRACE(c.lat);
    EXPECT_NEAR(c.lat, simlink::UserLatitudeDegrees(v), 1e-12);
    EXPECT_NEAR(c.lon, simlink::UserLongitudeDegrees(v), 1e-12);
    double metres = simlink::UserAltitudeWhole(v) + simlink::UserAltitudeFraction(v) / kTwo32;
    EXPECT_NEAR(c.alt, metres * 3.28084, 1e-6);
    EXPECT_NEAR(c.magvar, simlink::UserMagneticVariation(v) * 360.0 / 65536, 360.0 / 65536 / 2);
    double heading = simlink::UserHeading(v) * 360.0 / kTwo32;
    EXPECT_NEAR(0, std::remainder(c.heading - heading, 360.0), 1e-6);
    EXPECT_NEAR(c.gs, simlink::UserGroundSpeed(v) * 3.28084 * 3600 / 398204272.64, 1e-4);
    EXPECT_NEAR(c.vs, simlink::UserVerticalSpeed(v) * 3.28084 * 60 / 256, 0.4);
    EXPECT_EQ(c.com1, simlink::UserCom1(v));
  }
}

// Whole degrees north and the prime meridian read back exactly, not a few units in
// the last place off: exact comparisons in the client (a slot due east) stay exact.
TEST(SceneEncoding, WholeDegreesReadBackExactly) {
  for (double lat : {50.0, 51.0, 49.0, -33.0, 37.6189, 10.0}) {
    for (double lon : {0.0, 1.0, -1.0, -122.375, 180.0}) {
      sim::Scene* scene = NewScene();
      scene->user.latitude = lat;
      scene->user.longitude = lon;
      Served s;
      Serve(*scene, simlink::ViewGround, &s);
      EXPECT_EQ(lat, simlink::UserLatitudeDegrees(s.v())) << lat;
      EXPECT_EQ(lon, simlink::UserLongitudeDegrees(s.v())) << lon;
    }
  }
}

TEST(SceneEncoding, SlotAndRouteFieldsReadBackInBothLists) {
  sim::Scene* scene = NewScene();
  for (int l = 0; l < 2; ++l) {
    sim::SceneList& list = scene->lists[l];
    list.slotCount = 99;
    list.slots[0] = MakeSlot(0xFFFFFFFEu, "UAL1532", 37.5f, -122.25f, 11000.5f);
    sim::SceneSlot& last = list.slots[98];
    last = MakeSlot(7, "ABCDEFGHIJKLMNO", -16.69f, -179.877f, -11.3f);   // 15 chars, no NUL
    last.heading = 359.999;
    last.groundSpeed = 65535;
    last.verticalSpeed = -32768;
    last.state = 0xFF;
    last.com1 = 0x2180;
    memcpy(last.from, "KSFO", 4);
    memcpy(last.to, "EGL", 3);
    last.runwayNumber = 28;
    last.runwayDesignator = 1;
    list.slots[40] = MakeSlot(40, "DLH455", 50, 8.5f);
    list.slots[40].heading = 297.9;
    list.slots[40].groundSpeed = 251.6;
    list.slots[40].verticalSpeed = -1499.5;
  }
  for (int mode = 0; mode < 2; ++mode) {
    Served s;
    Serve(*scene, mode, &s);
    ASSERT_EQ(1, s.answer);
    const uint8_t* v = s.v();
    EXPECT_EQ(40, simlink::SlotRecordLength(v));
    EXPECT_EQ(99, simlink::SlotCount(v));
    const uint8_t* first = simlink::TrafficSlotAt(v, 0);
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(0xFFFFFFFEu, simlink::SlotRefId(first));
    EXPECT_EQ(37.5f, simlink::SlotLatitude(first));
    EXPECT_EQ(-122.25f, simlink::SlotLongitude(first));
    EXPECT_EQ(11000.5f, simlink::SlotAltitude(first));
    EXPECT_STREQ("UAL1532", simlink::SlotIdField(first));
    EXPECT_EQ("2", SlotRow(v, 0).cell[15]);   // Ref: low 16 bits negated

    const uint8_t* slot = simlink::TrafficSlotAt(v, 98);
    const uint8_t* route = simlink::SlotRouteAt(v, 98);
    ASSERT_NE(nullptr, slot);
    ASSERT_NE(nullptr, route);
    EXPECT_EQ(0, memcmp("ABCDEFGHIJKLMNO", simlink::SlotIdField(slot), 15));
    EXPECT_EQ(-16.69f, simlink::SlotLatitude(slot));
    EXPECT_EQ(-179.877f, simlink::SlotLongitude(slot));
    EXPECT_EQ(0, simlink::SlotHeading(slot));          // 359.99 rounds to a full circle
    EXPECT_EQ(65535, simlink::SlotGroundSpeed(slot));
    EXPECT_EQ(-32768, simlink::SlotVerticalSpeed(slot));
    EXPECT_EQ(0xFF, simlink::SlotState(slot));
    EXPECT_EQ(0x2180, simlink::SlotCom1(slot));
    EXPECT_EQ(0, memcmp("KSFO", simlink::RouteFrom(route), 4));
    EXPECT_EQ(0, memcmp("EGL\0", simlink::RouteTo(route), 4));
    EXPECT_EQ(28, simlink::RouteRunwayNumber(route));
    EXPECT_EQ(1, simlink::RouteRunwayDesignator(route));
    Row row = SlotRow(v, 98);
    EXPECT_EQ("ABCDEFGHIJKLMN", row.cell[1]);
    EXPECT_EQ("-10", row.cell[7]);
    EXPECT_EQ("121.80", row.cell[11]);
    EXPECT_EQ("KSFO", row.cell[13]);
    EXPECT_EQ("EGL", row.cell[14]);
    EXPECT_EQ("28L", row.cell[16]);

    const uint8_t* mid = simlink::TrafficSlotAt(v, 40);
    EXPECT_EQ(54231, simlink::SlotHeading(mid));      // 297.9 / 360 * 65536 = 54230.6
    EXPECT_EQ(252, simlink::SlotGroundSpeed(mid));
    EXPECT_EQ(-1499, simlink::SlotVerticalSpeed(mid));   // halves round upward
    EXPECT_FALSE(simlink::SlotOccupied(v, 41));
  }
}

// SlotCount and RecordLength are written as given; slot records go where the stride
// puts them, and none is written where it would not lie wholly inside its list's read:
// the bytes around the four tables keep what they held.
TEST(SceneEncoding, HostileCountsAndStridesStayInsideTheirTables) {
  struct Case {
    int count, recordLength;
    int firstSlotAt;   // where slot 1's record begins in the slot table, or -1: not written
  } cases[] = {
      {0, 40, 168}, {255, 40, 168}, {99, 0, -1}, {99, 65535, -1}, {50, 41, 169}, {3, 3960, -1},
  };
  for (const Case& c : cases) {
    sim::Scene* scene = NewScene();
    for (int l = 0; l < 2; ++l) {
      scene->lists[l].slotCount = c.count;
      scene->lists[l].recordLength = c.recordLength;
      for (int k = 0; k < sim::kSceneSlots; ++k)
        scene->lists[l].slots[k] = MakeSlot(1000 + k, "X", 1, 1);
    }
    std::vector<uint8_t> table(sim::kStateTableBytes, 0xCC);
    sim::EncodeScene(scene, table.data());
    SCOPED_TRACE(c.recordLength);
    for (uint32_t head : {0xE000u, 0xF000u}) {
      EXPECT_EQ(c.recordLength, table[head] | table[head + 1] << 8);
      EXPECT_EQ(c.count, table[head + 2] | table[head + 3] << 8);
      uint32_t ref;
      memcpy(&ref, &table[head + 128], 4);
      if (c.recordLength == 0) EXPECT_EQ(1098u, ref);   // every slot on one record: the last wins
      else EXPECT_EQ(1000u, ref);
      if (c.firstSlotAt >= 0) {
        memcpy(&ref, &table[head + c.firstSlotAt], 4);
        EXPECT_EQ(1001u, ref);
      }
    }
    for (uint32_t gap : {0xD7FCu, 0xDFFCu, 0xEFF8u, 0xFFF8u})
      for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(0xCC, table[gap + i]) << std::hex << gap;
  }
}

// The worked examples of the client's distance and bearing: the user at 50 N 0 E.
TEST(SceneEncoding, UserAtFiftyNorthGivesTheWorkedDistancesAndBearings) {
  struct Case {
    float lat, lon;
    const char *dist, *bearing, *bearing1820;
  } cases[] = {
      {51, 0, "60 nm", "000", "350"}, {50, 1, "39 nm", "090", "080"},
      {49, 0, "60 nm", "180", "170"}, {50, -1, "39 nm", "270", "260"},
      {51, 1, "71 nm", "032", "022"}, {50, 0, "0 nm", "270", "260"},
  };
  for (double variation : {0.0, 1820 * 360.0 / 65536}) {
    sim::Scene* scene = NewScene();
    scene->user.latitude = 50;
    scene->user.longitude = 0;
    scene->user.magneticVariation = variation;
    scene->lists[sim::kListAirborne].slotCount = 6;
    for (int k = 0; k < 6; ++k)
      scene->lists[sim::kListAirborne].slots[k] = MakeSlot(k + 1, "EX", cases[k].lat, cases[k].lon);
    Served s;
    Serve(*scene, simlink::ViewAirborne, &s);
    ASSERT_EQ(1, s.answer);
    for (int k = 0; k < 6; ++k) {
      Row row = SlotRow(s.v(), k);
      EXPECT_EQ(cases[k].dist, row.cell[2]) << k;
      EXPECT_EQ(variation == 0 ? cases[k].bearing : cases[k].bearing1820, row.cell[3]) << k;
    }
    EXPECT_EQ(0, simlink::NearestDistance(s.v(), simlink::ViewAirborne));
    EXPECT_EQ(0xFFFF, simlink::NearestDistance(s.v(), simlink::ViewGround));
    Row user = UserRow(s.v());
    EXPECT_EQ("N50  00.0000", user.cell[5]);
    EXPECT_EQ("E000  00.0000", user.cell[6]);
  }
}

// The nearest distance counts only what a client would show: occupied slots below
// SlotCount with finite positions; RefId 0 and slots past SlotCount do not count.
TEST(SceneEncoding, NearestDistanceFollowsTheOccupiedSlots) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  sim::Scene* scene = NewScene();
  scene->user.latitude = 50;
  sim::SceneList& ground = scene->lists[sim::kListGround];
  ground.slotCount = 4;
  ground.slots[0] = MakeSlot(0, "EMPTY", 50, 0);           // RefId 0: empty
  ground.slots[1] = MakeSlot(5, "FAR", 51, 1);             // 71 nm
  ground.slots[2] = MakeSlot(6, "NAN", nan, 0);
  ground.slots[3] = MakeSlot(7, "INF", 50, inf);
  ground.slots[4] = MakeSlot(8, "PASTCOUNT", 50, 0);      // beyond SlotCount
  sim::SceneList& air = scene->lists[sim::kListAirborne];
  air.slotCount = 2;
  air.slots[1] = MakeSlot(9, "E", 50, 1);                  // 39 nm
  air.slots[0] = MakeSlot(10, "N", 51, 0);                 // 60 nm
  Served s;
  Serve(*scene, simlink::ViewGround, &s);
  EXPECT_EQ(71, simlink::NearestDistance(s.v(), simlink::ViewGround));
  EXPECT_EQ(39, simlink::NearestDistance(s.v(), simlink::ViewAirborne));

  // Given values are written as they are; the antimeridian is crossed the short way.
  ground.nearest = 12345;
  air.nearest = -1;
  scene->user.longitude = 179.9;
  air.slots[0] = MakeSlot(10, "W", 50, -179.9f);
  air.slots[1].defined = 0;
  Serve(*scene, simlink::ViewGround, &s);
  EXPECT_EQ(12345, simlink::NearestDistance(s.v(), simlink::ViewGround));
  EXPECT_EQ(8, simlink::NearestDistance(s.v(), simlink::ViewAirborne));
  Serve(*scene, simlink::ViewAirborne, &s);
  EXPECT_EQ("8 nm", SlotRow(s.v(), 0).cell[2]);
}

TEST(SceneEncoding, PatchesLieOverEverythingAndStopAtTheTableEnd) {
  sim::Scene* scene = NewScene();
  scene->lists[sim::kListGround].slotCount = 3;
  scene->patches[0] = {0xE002, 2, {0xFF, 0x00}};      // SlotCount 255
  scene->patches[1] = {0x736C, 4, {1, 0, 2, 0}};      // both nearest values
  scene->patches[2] = {0xFFFE, 4, {0xAA, 0xBB, 0xCC, 0xDD}};
  scene->patchCount = 3;
  std::vector<uint8_t> table(sim::kStateTableBytes + 2, 0x11);
  sim::EncodeScene(scene, table.data());
  EXPECT_EQ(255, table[0xE002]);
  EXPECT_EQ(1, table[0x736C]);
  EXPECT_EQ(2, table[0x736E]);
  EXPECT_EQ(0xAA, table[0xFFFE]);
  EXPECT_EQ(0xBB, table[0xFFFF]);
  EXPECT_EQ(0x11, table[0x10000]);   // nothing past the table
  EXPECT_EQ(0x11, table[0x10001]);
}
