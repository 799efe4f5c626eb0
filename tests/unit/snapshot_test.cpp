#include "link/snapshot.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "tests/unit/block_writer.h"

using namespace simlink;

namespace {

// A block of exactly 6260 bytes on the heap, so that AddressSanitizer reports any read
// past its end.
struct Block {
  std::unique_ptr<uint8_t[]> bytes{new uint8_t[kRequestBlockBytes]};
  explicit Block(int viewMode = ViewAirborne) { BuildRequestBlock(bytes.get(), viewMode); }
  uint8_t* get() { return bytes.get(); }

  void Put8(size_t at, uint8_t v) { bytes[at] = v; }
  void Put16(size_t at, uint16_t v) { blockwriter::Put16(bytes.get(), at, v); }
  void Put32(size_t at, uint32_t v) { blockwriter::Put32(bytes.get(), at, v); }
  void PutFloat(size_t at, float f) { blockwriter::PutFloat(bytes.get(), at, f); }
  void PutSlotHead(uint16_t recordLength, uint16_t count) {
    Put16(kSlotTableAt, recordLength);
    Put16(kSlotTableAt + 2, count);
  }
};

struct RecordCase {
  size_t at;
  uint32_t airborne, ground, count;
  uint8_t preFill;
};

const RecordCase kRecordCases[9] = {
  {0, 0x02A0, 0x02A0, 2, 0},        {18, 0x0560, 0x0560, 24, 0},
  {58, 0x02B4, 0x02B4, 4, 0},       {78, 0x02C8, 0x02C8, 4, 0},
  {98, 0x034E, 0x034E, 2, 0},       {116, 0x0580, 0x0580, 4, 0},
  {136, 0x736C, 0x736C, 4, 0xFF},   {156, 0xF000, 0xE000, 4088, 0},
  {4260, 0xD840, 0xD040, 1980, 0},
};

}  // namespace

TEST(RequestBlock, NineReadRecordsWithTheirPreFillsAndTheTerminator) {
  for (int mode : {ViewAirborne, ViewGround}) {
    std::vector<uint8_t> view(kViewBytes, 0xA5);
    BuildRequestBlock(view.data(), mode);
    size_t next = 0;
    for (const RecordCase& r : kRecordCases) {
      SCOPED_TRACE(testing::Message() << "mode " << mode << " record at " << r.at);
      EXPECT_EQ(next, r.at);   // each record begins right after the previous data area
      EXPECT_EQ(1u, Load32(view.data(), r.at));
      EXPECT_EQ(mode == ViewGround ? r.ground : r.airborne, Load32(view.data(), r.at + 4));
      EXPECT_EQ(r.count, Load32(view.data(), r.at + 8));
      size_t wrong = 0;
      for (size_t i = 0; i < r.count; ++i)
        if (view[r.at + 16 + i] != r.preFill) ++wrong;
      EXPECT_EQ(0u, wrong);
      next = r.at + 16 + r.count;
    }
    EXPECT_EQ(6256u, next);
    EXPECT_EQ(0u, Load32(view.data(), 6256));
  }
}

TEST(RequestBlock, AirborneAndGroundDifferOnlyInTheTrafficTableOffsets) {
  std::vector<uint8_t> airborne(kViewBytes), ground(kViewBytes);
  for (size_t i = 0; i < kViewBytes; ++i) airborne[i] = ground[i] = uint8_t(i * 31 + 7);
  BuildRequestBlock(airborne.data(), ViewAirborne);
  BuildRequestBlock(ground.data(), ViewGround);
  std::vector<size_t> differ;
  for (size_t i = 0; i < kViewBytes; ++i)
    if (airborne[i] != ground[i]) differ.push_back(i);
  // 0xF000 vs 0xE000 differ in one byte, 0xD840 vs 0xD040 in one byte.
  EXPECT_EQ((std::vector<size_t>{156 + 5, 4260 + 5}), differ);
}

TEST(RequestBlock, LeavesDestinationFieldsAndEverythingFrom6260Alone) {
  std::vector<uint8_t> view(kViewBytes), before;
  for (size_t i = 0; i < kViewBytes; ++i) view[i] = uint8_t(i * 7 + 3);
  before = view;
  BuildRequestBlock(view.data(), ViewGround);
  for (const RecordCase& r : kRecordCases)
    for (size_t i = r.at + 12; i < r.at + 16; ++i) EXPECT_EQ(before[i], view[i]) << i;
  size_t changed = 0;
  for (size_t i = kRequestBlockBytes; i < kViewBytes; ++i)
    if (view[i] != before[i]) ++changed;
  EXPECT_EQ(0u, changed);
}

TEST(Snapshot, FreshBlockReadsAsNoTrafficAndZeroUserValues) {
  for (int mode : {ViewAirborne, ViewGround}) {
    Block b(mode);
    const uint8_t* v = b.get();
    EXPECT_EQ(0, SlotCount(v));
    EXPECT_EQ(0, SlotRecordLength(v));
    EXPECT_EQ(0, SlotRowCount(v));
    EXPECT_EQ(0xFFFF, NearestDistance(v, ViewAirborne));
    EXPECT_EQ(0xFFFF, NearestDistance(v, ViewGround));
    EXPECT_EQ(0, UserMagneticVariation(v));
    EXPECT_EQ(0, UserLatitudeWhole(v));
    EXPECT_EQ(0u, UserLatitudeFraction(v));
    EXPECT_EQ(0u, UserLongitudeLow(v));
    EXPECT_EQ(0u, UserLongitudeHigh(v));
    EXPECT_EQ(0, UserAltitudeWhole(v));
    EXPECT_EQ(0u, UserAltitudeFraction(v));
    EXPECT_EQ(0u, UserGroundSpeed(v));
    EXPECT_EQ(0, UserVerticalSpeed(v));
    EXPECT_EQ(0, UserCom1(v));
    EXPECT_EQ(0u, UserHeading(v));
    EXPECT_EQ(0.0, UserLatitudeDegrees(v));
    EXPECT_EQ(0.0, UserLongitudeDegrees(v));
    for (int k = 0; k < kMaxSlots; ++k) EXPECT_FALSE(SlotOccupied(v, k)) << k;
  }
}

TEST(Snapshot, UserFieldsAtTheirOffsetsLittleEndian) {
  Block b;
  b.Put16(16, 0xFF38);            // -200
  b.Put32(34, 0x89ABCDEF);
  b.Put32(38, 0xFFFFFFFE);        // -2
  b.Put32(42, 0x01020304);
  b.Put32(46, 0x05060708);
  b.Put32(50, 0x80000000);
  b.Put32(54, 0xFFFFFC18);        // -1000
  b.Put32(74, 3371463);
  b.Put32(94, 0xFFFFFB00);        // -1280
  b.Put16(114, 0x2345);
  b.Put32(132, 0x40000000);
  b.Put16(152, 12);
  b.Put16(154, 34);
  const uint8_t* v = b.get();
  EXPECT_EQ(-200, UserMagneticVariation(v));
  EXPECT_EQ(0x89ABCDEFu, UserLatitudeFraction(v));
  EXPECT_EQ(-2, UserLatitudeWhole(v));
  EXPECT_EQ(0x01020304u, UserLongitudeLow(v));
  EXPECT_EQ(0x05060708u, UserLongitudeHigh(v));
  EXPECT_EQ(0x80000000u, UserAltitudeFraction(v));
  EXPECT_EQ(-1000, UserAltitudeWhole(v));
  EXPECT_EQ(3371463u, UserGroundSpeed(v));
  EXPECT_EQ(-1280, UserVerticalSpeed(v));
  EXPECT_EQ(0x2345, UserCom1(v));
  EXPECT_EQ(0x40000000u, UserHeading(v));
  EXPECT_EQ(12, NearestDistance(v, ViewGround));     // first value belongs to Ground
  EXPECT_EQ(34, NearestDistance(v, ViewAirborne));
}

TEST(Snapshot, LoadsAreLittleEndianAtAnyOffset) {
  const uint8_t bytes[] = {0x11, 0x00, 0x00, 0x80, 0x3F, 0x22};
  EXPECT_EQ(0x11, Load8(bytes, 0));
  EXPECT_EQ(0x0011, Load16(bytes, 0));
  EXPECT_EQ(0x3F800000u, Load32(bytes, 1));
  EXPECT_EQ(1.0f, LoadFloat(bytes, 1));
  EXPECT_EQ(0x223F, Load16(bytes, 4));
}

TEST(Snapshot, UserLatitudeSignBelongsToTheWholePart) {
  const double unit = 90.0 / 10001750;
  struct { int32_t whole; uint32_t fraction; double units; } cases[] = {
    {-1, 0x80000000u, -1.5},
    {0, 0x80000000u, 0.5},          // whole part 0 is never south
    {0, 0xFFFFFFFFu, 0xFFFFFFFFu / 4294967296.0},
    {5556527, 0, 5556527},
    {-5556527, 0x40000000u, -5556527.25},
  };
  for (const auto& c : cases) {
    Block b;
    b.Put32(34, c.fraction);
    b.Put32(38, uint32_t(c.whole));
    EXPECT_NEAR(c.units * unit, UserLatitudeDegrees(b.get()), 1e-12)
        << c.whole << " " << c.fraction;
  }
  Block b;   // the most negative whole part still has a magnitude
  b.Put32(38, 0x80000000u);
  EXPECT_NEAR(-2147483648.0 * unit, UserLatitudeDegrees(b.get()), 1e-9);
}

TEST(Snapshot, UserLongitudeIsOneSixtyFourBitAngle) {
  struct { uint32_t high, low; double degrees; } cases[] = {
    {0x80000000u, 0, 180.0},           // exactly half a circle is east
    {0x40000000u, 0, 90.0},
    {0xC0000000u, 0, -90.0},
    {0, 0x80000000u, 180.0 / 4294967296.0},   // the low half counts too
    {0xFFFFFFFFu, 0xFFFFFFFFu, 0.0},   // a hair below a full circle
  };
  for (const auto& c : cases) {
    Block b;
    b.Put32(42, c.low);
    b.Put32(46, c.high);
    EXPECT_NEAR(c.degrees, UserLongitudeDegrees(b.get()), 1e-9) << c.high << " " << c.low;
  }
  Block b;
  b.Put32(46, 0x80000000u);
  b.Put32(42, 0x80000000u);
  EXPECT_LT(UserLongitudeDegrees(b.get()), -179.999);   // just past 180 turns west
}

TEST(Snapshot, SlotRowCountIsCappedAt99) {
  struct { uint16_t count; int rows; } cases[] = {
    {0, 0}, {1, 1}, {98, 98}, {99, 99}, {100, 99}, {65535, 99},
  };
  for (const auto& c : cases) {
    Block b;
    b.PutSlotHead(40, c.count);
    EXPECT_EQ(c.count, SlotCount(b.get()));
    EXPECT_EQ(c.rows, SlotRowCount(b.get())) << c.count;
  }
}

TEST(Snapshot, LastSlotFillsTheEndsOfBothReads) {
  Block b;
  b.PutSlotHead(40, 99);
  const uint8_t* v = b.get();
  EXPECT_EQ(v + 172 + 128, TrafficSlotAt(v, 0));
  EXPECT_EQ(v + 4276, SlotRouteAt(v, 0));
  EXPECT_EQ(v + 172 + 4048, TrafficSlotAt(v, 98));   // SlotTable bytes 4048..4087
  EXPECT_EQ(v + 4276 + 1960, SlotRouteAt(v, 98));    // RouteTable bytes 1960..1979
  EXPECT_EQ(nullptr, TrafficSlotAt(v, 99));
  EXPECT_EQ(nullptr, SlotRouteAt(v, 99));
  EXPECT_EQ(nullptr, TrafficSlotAt(v, -1));
  EXPECT_EQ(nullptr, SlotRouteAt(v, -1));
}

TEST(Snapshot, TrafficSlotAndRouteFieldsAtTheirOffsets) {
  Block b;
  b.PutSlotHead(40, 3);
  const size_t s = 172 + 128 + 40 * 2, r = 4276 + 20 * 2;
  b.Put32(s + 0, 0x0001FFFE);
  b.PutFloat(s + 4, 51.5f);
  b.PutFloat(s + 8, -0.25f);
  b.PutFloat(s + 12, 3500.5f);
  b.Put16(s + 16, 0xC000);
  b.Put16(s + 18, 250);
  b.Put16(s + 20, 0xF830);         // -2000
  memcpy(b.get() + s + 22, "BAW123\0", 7);
  b.Put8(s + 37, 0x8C);
  b.Put16(s + 38, 0x1850);
  memcpy(b.get() + r + 8, "EGLLKJFK", 8);
  b.Put8(r + 16, 27);
  b.Put8(r + 17, 3);
  const uint8_t* v = b.get();
  const uint8_t* slot = TrafficSlotAt(v, 2);
  const uint8_t* route = SlotRouteAt(v, 2);
  ASSERT_TRUE(slot && route);
  EXPECT_TRUE(SlotOccupied(v, 2));
  EXPECT_FALSE(SlotOccupied(v, 1));
  EXPECT_EQ(0x0001FFFEu, SlotRefId(slot));
  EXPECT_EQ(51.5f, SlotLatitude(slot));
  EXPECT_EQ(-0.25f, SlotLongitude(slot));
  EXPECT_EQ(3500.5f, SlotAltitude(slot));
  EXPECT_EQ(0xC000, SlotHeading(slot));
  EXPECT_EQ(250, SlotGroundSpeed(slot));
  EXPECT_EQ(-2000, SlotVerticalSpeed(slot));
  EXPECT_STREQ("BAW123", SlotIdField(slot));
  EXPECT_EQ(0x8C, SlotState(slot));
  EXPECT_EQ(0x1850, SlotCom1(slot));
  EXPECT_EQ(0, memcmp("EGLL", RouteFrom(route), 4));   // four characters, no NUL
  EXPECT_EQ(0, memcmp("KJFK", RouteTo(route), 4));
  EXPECT_EQ(27, RouteRunwayNumber(route));
  EXPECT_EQ(3, RouteRunwayDesignator(route));
}

TEST(Snapshot, EmptySlotWhateverItsOtherBytesHold) {
  Block b;
  b.PutSlotHead(40, 1);
  memset(b.get() + 172 + 128 + 4, 0xFF, 36);
  EXPECT_FALSE(SlotOccupied(b.get(), 0));
  b.Put32(172 + 128, 1);
  EXPECT_TRUE(SlotOccupied(b.get(), 0));
}

// With a hostile RecordLength a slot exists only where both of its records fit wholly
// inside their reads. Every record handed out is read in full: in this 6260-byte heap
// block AddressSanitizer reports any byte past the end.
TEST(Snapshot, HostileRecordLengthsNeverReachPastTheReads) {
  struct { uint16_t recordLength; int lastSlot; int lastRoute; } cases[] = {
    {0, 98, 98},        // every slot on top of the first
    {40, 98, 98},
    {39, 98, 98},
    {41, 95, 95},
    {80, 49, 49},
    {3921, 0, 1},       // slot 1 misses the SlotTable by one byte, its route fits
    {65535, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.recordLength);
    Block b;
    b.PutSlotHead(c.recordLength, 65535);
    memset(b.get() + kSlotTableAt + 4, 0x41, kSlotTableBytes - 4);   // RefIds nonzero
    memset(b.get() + kRouteTableAt, 0x42, kRouteTableBytes);
    const uint8_t* v = b.get();
    for (int k : {-2147483647 - 1, -1, 0, 1, 2, 48, 49, 50, 95, 96, 97, 98, 99, 100,
                  2147483647}) {
      const uint8_t* slot = TrafficSlotAt(v, k);
      const uint8_t* route = SlotRouteAt(v, k);
      EXPECT_EQ(k >= 0 && k <= c.lastSlot, slot != nullptr) << k;
      EXPECT_EQ(k >= 0 && k <= c.lastRoute, route != nullptr) << k;
      EXPECT_EQ(slot != nullptr && route != nullptr, SlotOccupied(v, k)) << k;
      if (slot) {
        EXPECT_GE(slot, v + kSlotTableAt + kSlotHeadBytes);
        EXPECT_LE(slot + kTrafficSlotBytes, v + kSlotTableAt + kSlotTableBytes);
        volatile uint32_t sum = SlotRefId(slot) + SlotHeading(slot) + SlotCom1(slot) +
                                uint32_t(SlotAltitude(slot) != 0) + SlotState(slot);
        (void)sum;
      }
      if (route) {
        EXPECT_GE(route, v + kRouteTableAt);
        EXPECT_LE(route + kSlotRouteBytes, v + kRouteTableAt + kRouteTableBytes);
        volatile uint32_t sum = RouteRunwayNumber(route) + RouteRunwayDesignator(route) +
                                uint8_t(RouteFrom(route)[3]) + uint8_t(RouteTo(route)[3]);
        (void)sum;
      }
    }
  }
}
