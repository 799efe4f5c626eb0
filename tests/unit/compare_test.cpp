#include "table/compare.h"

#include "link/snapshot.h"
#include "table/columns.h"
#include "table/rowvalues.h"
#include "tests/unit/block_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

namespace {

using simlink::kRouteTableAt;
using simlink::kSlotHeadBytes;
using simlink::kSlotRouteBytes;
using simlink::kSlotTableAt;
using simlink::kTrafficSlotBytes;

using blockwriter::Put16;
using blockwriter::Put32;
using blockwriter::PutFloat;
using blockwriter::PutText;

struct Aircraft {
  blockwriter::TrafficFields slot;
  double distance, bearing, altitudeDifference;   // what the last refresh cached
};

// A snapshot in a view as the server leaves it, with 40-byte slot records.
struct Scene {
  std::vector<uint8_t> view = std::vector<uint8_t>(simlink::kViewBytes);

  explicit Scene(int slotCount, int16_t magneticVariation = 0) {
    simlink::BuildRequestBlock(view.data(), simlink::ViewAirborne);
    Put16(view.data(), 16, static_cast<uint16_t>(magneticVariation));
    Put16(view.data(), kSlotTableAt, 40);
    Put16(view.data(), kSlotTableAt + 2, static_cast<uint16_t>(slotCount));
    table::ResetSortCache();
  }

  // Fills slot k; the sort cache gets the values a refresh would have left there
  // (also for an empty slot, which keeps its old entries).
  void Set(int k, const Aircraft& a) {
    uint8_t* s = view.data() + kSlotTableAt + kSlotHeadBytes + kTrafficSlotBytes * k;
    uint8_t* r = view.data() + kRouteTableAt + kSlotRouteBytes * k;
    blockwriter::PutTraffic(s, r, a.slot);
    table::SortCache.distance[k] = a.distance;
    table::SortCache.bearing[k] = a.bearing;
    table::SortCache.altitudeDifference[k] = a.altitudeDifference;
  }
};

// Sorts the rows with a stable merge sort driven by CompareRows, as a list control
// would; rows start in the order given.
std::vector<int32_t> Sorted(const Scene& scene, const char* filter, int32_t column,
                            std::vector<int32_t> rows) {
  for (size_t width = 1; width < rows.size(); width *= 2) {
    std::vector<int32_t> merged;
    for (size_t lo = 0; lo < rows.size(); lo += 2 * width) {
      size_t mid = std::min(lo + width, rows.size());
      size_t hi = std::min(lo + 2 * width, rows.size());
      size_t i = lo, j = mid;
      while (i < mid && j < hi) {
        if (table::CompareRows(scene.view.data(), filter, rows[j], rows[i], column) < 0)
          merged.push_back(rows[j++]);
        else
          merged.push_back(rows[i++]);
      }
      while (i < mid) merged.push_back(rows[i++]);
      while (j < hi) merged.push_back(rows[j++]);
    }
    rows = merged;
  }
  return rows;
}

// The rows of a list for n slots, in a scrambled start order: the user's row last.
std::vector<int32_t> Rows(int n) {
  std::vector<int32_t> rows;
  for (int k = n - 1; k >= 0; --k) rows.push_back(k);
  rows.push_back(-1);
  return rows;
}

const float kNaN = std::numeric_limits<float>::quiet_NaN();

// Six slots, one of them empty, with a different value in every column.
//                   ref  id       lat     lon     alt    hdg     gs   vs    state com1    from    to      rwy     dist   brg    altdiff
const Aircraft kA0 = {{650, "BAW9",  51.5f,  -0.5f,  3000,  0x4000, 250, -500, 0x8C, 0x2345, "EGLL", "KSEA", 27, 0},  30.0,  90.0,  -10.0};
const Aircraft kA1 = {{700, "baw_",  -10.f,  151.f,  500,   0x0100, 0,   0,    0x81, 0x1800, "ksea", "EGLL", 9,  2},  10.0,  270.0, -30.5};
const Aircraft kA2 = {{0,   "GONE",  0.f,    0.f,    0,     0,      0,   0,    0,    0,      "KSEA", "KSEA", 0,  0},  1.0,   1.0,   -99.0};
const Aircraft kA3 = {{5,   "BAWA",  60.f,   -120.f, 35000, 0x8000, 480, 1500, 0x80, 0x0000, "EGL",  "LFPG", 37, 0},  10.004, 359.9, 320.0};
const Aircraft kA4 = {{0x10000, "baw9", 33.f, 10.f,  12000, 0xC000, 300, -2000, 0x92, 0x2700, "KPDX", "ksea", 9,  1},  250.0, 180.0, 80.0};
const Aircraft kA5 = {{90,  "AAL1",  40.f,   -74.f,  0,     0x2000, 20,  100,  0x82, 0x1850, "KJFK", "EGL",  0,  3},  0.5,   45.0,  -0.3};

Scene MixedScene() {
  Scene s(6);
  s.Set(0, kA0); s.Set(1, kA1); s.Set(2, kA2); s.Set(3, kA3); s.Set(4, kA4); s.Set(5, kA5);
  return s;
}

struct OrderCase {
  int32_t column;
  std::vector<int32_t> expected;
};

TEST(CompareRows, EveryColumnOrdersByItsKey) {
  Scene scene = MixedScene();
  const OrderCase cases[] = {
    {0, {-1, 0, 1, 2, 3, 4, 5}},     // Slot: pure slot order, the empty slot in place
    {1, {-1, 5, 0, 4, 1, 3, 2}},     // ID folded: aal1, baw9 (0 then 4), baw_, bawa
    {2, {-1, 5, 1, 3, 0, 4, 2}},     // Dist: 10.0 and 10.004 tie, so slot order
    {3, {-1, 5, 0, 4, 1, 3, 2}},     // Brg(M)
    {4, {-1, 1, 0, 5, 4, 3, 2}},     // AltDiff
    {5, {-1, 1, 4, 5, 0, 3, 2}},     // Lat
    {6, {-1, 3, 5, 0, 4, 1, 2}},     // Long
    {7, {-1, 5, 1, 0, 4, 3, 2}},     // Alt
    {8, {-1, 1, 5, 0, 3, 4, 2}},     // Hdg(M)
    {9, {-1, 1, 5, 0, 4, 3, 2}},     // GS
    {10, {-1, 4, 0, 1, 5, 3, 2}},    // VS, signed
    {11, {-1, 3, 1, 5, 0, 4, 2}},    // COM1
    {12, {-1, 3, 5, 0, 4, 1, 2}},    // State: 0x80, 0x82, 0x8C, 0x92, then 0x81
    {13, {-1, 3, 0, 5, 4, 1, 2}},    // From: EGL, EGLL, KJFK, KPDX, ksea
    {14, {-1, 5, 1, 0, 4, 3, 2}},    // To: EGL, EGLL, KSEA and ksea tie, LFPG
    {15, {-1, 4, 1, 0, 5, 3, 2}},    // Ref, larger first
    {16, {-1, 4, 1, 0, 3, 5, 2}},    // Rwy: 09L, 09R, 27, N, then none
    {17, {-1, 0, 1, 3, 4, 5, 2}},    // no such column: slot order, empty last
    {-1, {-1, 0, 1, 3, 4, 5, 2}},
    {-2147483647 - 1, {-1, 0, 1, 3, 4, 5, 2}},
  };
  for (const OrderCase& c : cases) {
    EXPECT_EQ(c.expected, Sorted(scene, "", c.column, Rows(6))) << "column " << c.column;
    // The start order does not matter for these keys.
    std::vector<int32_t> forward = {-1, 0, 1, 2, 3, 4, 5};
    EXPECT_EQ(c.expected, Sorted(scene, "", c.column, forward)) << "column " << c.column;
  }
}

TEST(CompareRows, UserRowFirstUnderEveryColumn) {
  Scene scene = MixedScene();
  for (int32_t column = -3; column <= 20; ++column) {
    for (int32_t k = 0; k < 6; ++k) {
      for (const char* filter : {"", "KSEA", "ZZZZ"}) {
        EXPECT_EQ(-1, table::CompareRows(scene.view.data(), filter, -1, k, column))
            << column << " " << k << " " << filter;
        EXPECT_EQ(1, table::CompareRows(scene.view.data(), filter, k, -1, column))
            << column << " " << k << " " << filter;
      }
    }
  }
}

TEST(CompareRows, NeverAnswersZero) {
  Scene scene = MixedScene();
  Aircraft twin = kA0;   // a slot equal to slot 0 in every key
  scene.Set(6, twin);
  Put16(scene.view.data(), kSlotTableAt + 2, 7);
  for (const char* filter : {"", "KSEA", "egl"})
    for (int32_t column = -1; column <= 17; ++column)
      for (int32_t a = -1; a < 7; ++a)
        for (int32_t b = -1; b < 7; ++b) {
          if (a == b) continue;
          EXPECT_NE(0, table::CompareRows(scene.view.data(), filter, a, b, column))
              << filter << " " << column << " " << a << " " << b;
        }
}

TEST(CompareRows, DistancesWithinAHundredthFallBackToSlotOrder) {
  Scene scene(8);
  Aircraft a = kA0;
  const double distances[8] = {7.0, 3.0, 2.995, 3.004, 0.0, 2.9951, 100000.0, 5e12};
  for (int k = 0; k < 8; ++k) {
    a.distance = distances[k];
    a.slot.refId = 1 + k;
    scene.Set(k, a);
  }
  // 1, 2, 3 and 5 lie within 0.01 of each other: slot order among them.
  EXPECT_EQ((std::vector<int32_t>{-1, 4, 1, 2, 3, 5, 0, 6, 7}), Sorted(scene, "", 2, Rows(8)));
  const uint8_t* v = scene.view.data();
  EXPECT_EQ(-1, table::CompareRows(v, "", 2, 3, 2));   // 0.009 apart
  EXPECT_EQ(1, table::CompareRows(v, "", 3, 2, 2));
  EXPECT_LT(table::CompareRows(v, "", 0, 6, 2), 0);    // the hundredths saturate
  EXPECT_GT(table::CompareRows(v, "", 7, 0, 2), 0);
  EXPECT_LT(table::CompareRows(v, "", 0, 7, 2), 0);
}

TEST(CompareRows, EmptySlotsLastButUnderSlot) {
  Scene scene(5);
  Aircraft a = kA0;
  a.distance = 40.0; scene.Set(0, a);
  Aircraft gone = kA2;
  gone.distance = 0.1; scene.Set(1, gone);   // stale cache entry of a slot now empty
  a.distance = 20.0; scene.Set(2, a);
  scene.Set(3, gone);
  a.distance = 30.0; scene.Set(4, a);
  EXPECT_EQ((std::vector<int32_t>{-1, 2, 4, 0, 1, 3}), Sorted(scene, "", 2, Rows(5)));
  EXPECT_EQ((std::vector<int32_t>{-1, 0, 1, 2, 3, 4}), Sorted(scene, "", 0, Rows(5)));
  EXPECT_EQ((std::vector<int32_t>{-1, 0, 2, 4, 1, 3}), Sorted(scene, "", 17, Rows(5)));
  EXPECT_EQ((std::vector<int32_t>{-1, 0, 2, 4, 1, 3}), Sorted(scene, "", -5, Rows(5)));
}

struct FilterCase {
  const char* filter;
  const char* from;
  const char* to;
  bool passes;
};

TEST(CompareRows, AirportFilterComparesFourFoldedCharacters) {
  const FilterCase cases[] = {
    {"KSEA", "ksea", "KLAX", true},
    {"KSEA", "KPDX", "KSEA", true},
    {"ksea", "KPDX", "kSeA", true},
    {"KSEA", "KSE", "SEA", false},
    {"KSEA", "KPDX", "KLAX", false},
    {"EGL", "EGL", "LFPG", true},
    {"EGL", "EGLL", "LFPG", false},
    {"EGL", "LFPG", "EGLL", false},
    {"egll", "EGLL", "", true},
    {"EGLL", "EGL", "EGLLX", true},    // To holds four characters without a NUL
  };
  for (const FilterCase& c : cases) {
    Scene scene(2);
    Aircraft probe = kA0;
    probe.slot.from = c.from;
    probe.slot.to = c.to;
    scene.Set(0, probe);
    Aircraft reference = kA1;          // passes every filter used here
    reference.slot.from = c.filter;
    reference.distance = 1.0;
    scene.Set(1, reference);
    // Under Slot two passing rows keep slot order; a failing row goes after.
    int32_t column = 0;
    int32_t expected = c.passes ? -1 : 1;
    EXPECT_EQ(expected, table::CompareRows(scene.view.data(), c.filter, 0, 1, column))
        << c.filter << " from " << c.from << " to " << c.to;
    EXPECT_EQ(-expected, table::CompareRows(scene.view.data(), c.filter, 1, 0, column))
        << c.filter << " from " << c.from << " to " << c.to;
  }
}

TEST(CompareRows, RowsFailingTheFilterComeAfterUnderEveryColumn) {
  Scene scene = MixedScene();
  // KSEA: slots 0, 1, 4 pass (from or to, any case), slot 2 passes but is empty,
  // slots 3 and 5 fail.
  for (int32_t column = -1; column <= 17; ++column) {
    std::vector<int32_t> rows = Sorted(scene, "KSEA", column, Rows(6));
    ASSERT_EQ(7u, rows.size());
    EXPECT_EQ(-1, rows[0]);
    std::vector<int32_t> passing(rows.begin() + 1, rows.begin() + 5);
    std::vector<int32_t> failing(rows.begin() + 5, rows.end());
    std::sort(failing.begin(), failing.end());
    EXPECT_EQ((std::vector<int32_t>{3, 5}), failing) << "column " << column;
    if (column == 0) {
      EXPECT_EQ((std::vector<int32_t>{0, 1, 2, 4}), passing);
    } else {
      EXPECT_EQ(2, passing.back()) << "column " << column;   // the empty one last
    }
  }
  std::vector<int32_t> byDistance = Sorted(scene, "KSEA", 2, Rows(6));
  EXPECT_EQ((std::vector<int32_t>{-1, 1, 0, 4, 2}),
            std::vector<int32_t>(byDistance.begin(), byDistance.begin() + 5));
}

TEST(CompareRows, RefLargerFirst) {
  Scene scene(2);
  Aircraft a = kA0;
  a.slot.refId = 650; scene.Set(0, a);
  a.slot.refId = 700; scene.Set(1, a);
  EXPECT_EQ((std::vector<int32_t>{-1, 1, 0}), Sorted(scene, "", 15, Rows(2)));
  EXPECT_EQ(1, table::CompareRows(scene.view.data(), "", 0, 1, 15));
  // Equal reference numbers answer "after" both ways.
  a.slot.refId = 700; scene.Set(0, a);
  EXPECT_EQ(1, table::CompareRows(scene.view.data(), "", 0, 1, 15));
  EXPECT_EQ(1, table::CompareRows(scene.view.data(), "", 1, 0, 15));
}

TEST(CompareRows, RunwaysThenCompassPointsThenNone) {
  Scene scene(6);
  struct { uint8_t number, designator; } runways[6] = {{0, 1}, {27, 0}, {9, 2}, {37, 0}, {9, 1}, {36, 3}};
  Aircraft a = kA0;
  for (int k = 0; k < 6; ++k) {
    a.slot.runway = runways[k].number;
    a.slot.designator = runways[k].designator;
    scene.Set(k, a);
  }
  // 09L, 09R, 27, 36C, N, none.
  EXPECT_EQ((std::vector<int32_t>{-1, 4, 2, 1, 5, 3, 0}), Sorted(scene, "", 16, Rows(6)));
}

TEST(CompareRows, StateNoNameAfterEveryOtherCode) {
  Scene scene(5);
  const uint8_t states[5] = {0x81, 0x82, 0x80, 0x82, 0xFF};
  Aircraft a = kA0;
  for (int k = 0; k < 5; ++k) {
    a.slot.state = states[k];
    scene.Set(k, a);
  }
  EXPECT_EQ((std::vector<int32_t>{-1, 2, 1, 3, 4, 0}), Sorted(scene, "", 12, Rows(5)));
}

TEST(CompareRows, HeadingWrapsBelowZeroToTheTopOfTheRange) {
  Scene scene(3, 1820);   // 10 degrees east
  Aircraft a = kA0;
  a.slot.heading = 0x0100; scene.Set(0, a);   // 1.4 true, 351.4 magnetic
  a.slot.heading = 0x8000; scene.Set(1, a);   // 180 true, 170 magnetic
  a.slot.heading = 1830;   scene.Set(2, a);   // just east of magnetic north
  EXPECT_EQ((std::vector<int32_t>{-1, 2, 1, 0}), Sorted(scene, "", 8, Rows(3)));
}

TEST(CompareRows, EqualAndUnorderedFloatsAnswerBeforeBothWays) {
  Scene scene(2);
  Aircraft a = kA0;
  scene.Set(0, a);
  scene.Set(1, a);
  const uint8_t* v = scene.view.data();
  for (int32_t column = 5; column <= 11; ++column) {
    EXPECT_EQ(-1, table::CompareRows(v, "", 0, 1, column)) << column;
    EXPECT_EQ(-1, table::CompareRows(v, "", 1, 0, column)) << column;
  }
  a.slot.latitude = kNaN;
  scene.Set(1, a);
  EXPECT_EQ(-1, table::CompareRows(v, "", 0, 1, 5));
  EXPECT_EQ(-1, table::CompareRows(v, "", 1, 0, 5));
  // A cached distance that is not a number counts as equal.
  table::SortCache.distance[1] = std::nan("");
  EXPECT_EQ(-1, table::CompareRows(v, "", 0, 1, 2));
  EXPECT_EQ(1, table::CompareRows(v, "", 1, 0, 2));
}

TEST(CompareRows, IdentificationWithoutNulComparesFourteenCharacters) {
  Scene scene(2);
  Aircraft a = kA0;
  a.slot.id = "ZZZZZZZZZZZZZZZ";   // fifteen characters, no NUL
  scene.Set(0, a);
  a.slot.id = "zzzzzzzzzzzzzzY";
  scene.Set(1, a);
  EXPECT_EQ(-1, table::CompareRows(scene.view.data(), "", 0, 1, 1));
  EXPECT_EQ(1, table::CompareRows(scene.view.data(), "", 1, 0, 1));
}

TEST(CompareRows, ViewAfterAFailedRequestGivesSlotOrder) {
  // A request that failed leaves the freshly built block: record length and slot count
  // 0, every table zero. The list still has its rows, and the sort cache old values.
  Scene scene = MixedScene();
  simlink::BuildRequestBlock(scene.view.data(), simlink::ViewAirborne);
  for (int k = 0; k < 6; ++k) table::SortCache.distance[k] = 100.0 - k;
  for (int32_t column = -1; column <= 17; ++column)
    EXPECT_EQ((std::vector<int32_t>{-1, 0, 1, 2, 3, 4, 5}), Sorted(scene, "", column, Rows(6)))
        << "column " << column;
  // Under a filter every slot fails: the user's row still leads.
  std::vector<int32_t> rows = Sorted(scene, "KSEA", 2, Rows(6));
  EXPECT_EQ(-1, rows[0]);
  EXPECT_EQ(1, table::CompareRows(scene.view.data(), "KSEA", 0, 1, 2));
  EXPECT_EQ(1, table::CompareRows(scene.view.data(), "KSEA", 1, 0, 2));
}

TEST(CompareRows, UnreadableSlotsCountAsEmptyAndFailing) {
  // With 100-byte records only slots 0 to 39 lie inside the tables.
  Scene scene(60);
  Put16(scene.view.data(), kSlotTableAt, 100);
  uint8_t* v = scene.view.data();
  Put32(v, kSlotTableAt + kSlotHeadBytes + 100 * 39, 1);    // slot 39 occupied
  memcpy(v + kRouteTableAt + 50 * 39 + 8, "KSEA", 4);
  table::SortCache.distance[39] = 50.0;
  table::SortCache.distance[40] = 1.0;
  EXPECT_EQ(-1, table::CompareRows(v, "", 39, 40, 2));
  EXPECT_EQ(1, table::CompareRows(v, "", 40, 39, 2));
  EXPECT_EQ(-1, table::CompareRows(v, "KSEA", 39, 40, 0));
  EXPECT_EQ(1, table::CompareRows(v, "KSEA", 40, 39, 0));
  // Indexes past the 99 records, and past the sort cache, are empty slots too.
  Put16(v, kSlotTableAt, 40);
  Put32(v, kSlotTableAt + kSlotHeadBytes, 1);               // slot 0 occupied
  EXPECT_EQ(1, table::CompareRows(v, "", 99, 0, 2));
  EXPECT_EQ(1, table::CompareRows(v, "", 1000, 0, 2));
  EXPECT_EQ(-1, table::CompareRows(v, "", 99, 1000, 2));
  // No view at all: every slot empty, slot order.
  EXPECT_EQ(-1, table::CompareRows(nullptr, "", 3, 4, 2));
  EXPECT_EQ(1, table::CompareRows(nullptr, "", 4, 3, 2));
  EXPECT_EQ(1, table::CompareRows(nullptr, "KSEA", 3, 4, 2));
  EXPECT_EQ(-1, table::CompareRows(nullptr, "KSEA", -1, 4, 2));
}

}  // namespace
