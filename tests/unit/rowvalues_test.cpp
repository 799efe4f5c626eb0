#include "table/rowvalues.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "link/snapshot.h"
#include "table/columns.h"
#include "tests/unit/block_writer.h"

using namespace table;
using simlink::kRequestBlockBytes;

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

// Latitude units that read as exactly 50 and 10 degrees north.
const int32_t k50NWhole = 5556527;
const uint32_t k50NFraction = 3340530117u;
const int32_t k10NWhole = 1111305;
const uint32_t k10NFraction = 2386092942u;

struct SlotFields {
  uint32_t refId = 1;
  float latitude = 0, longitude = 0, altitude = 0;
  uint16_t heading = 0, groundSpeed = 0;
  int16_t verticalSpeed = 0;
  const char* id = "TEST1";       // up to 15 bytes copied, NUL included when it fits
  uint8_t state = 0x8C;
  uint16_t com1 = 0;
  const char* from = "";          // up to 4 bytes
  const char* to = "";
  uint8_t runway = 0, designator = 0;
};

// A request block as the server would leave it: exactly 6260 bytes on the heap, so that
// AddressSanitizer reports a read past its end, with writers for the fields at their
// offsets.
struct Block {
  std::unique_ptr<uint8_t[]> bytes{new uint8_t[kRequestBlockBytes]};
  Block() {
    simlink::BuildRequestBlock(bytes.get(), simlink::ViewAirborne);
    SetSlotHead(40, 99);
  }
  const uint8_t* view() const { return bytes.get(); }

  void Put16(size_t at, uint16_t v) { blockwriter::Put16(bytes.get(), at, v); }
  void Put32(size_t at, uint32_t v) { blockwriter::Put32(bytes.get(), at, v); }
  void PutFloat(size_t at, float f) { blockwriter::PutFloat(bytes.get(), at, f); }

  void SetMagVar(int16_t v) { Put16(16, uint16_t(v)); }
  void SetUserLatitude(int32_t whole, uint32_t fraction) {
    Put32(34, fraction);
    Put32(38, uint32_t(whole));
  }
  void SetUserLongitude(uint32_t high, uint32_t low) {
    Put32(42, low);
    Put32(46, high);
  }
  void SetUserAltitude(int32_t whole, uint32_t fraction) {
    Put32(50, fraction);
    Put32(54, uint32_t(whole));
  }
  void SetSlotHead(uint16_t recordLength, uint16_t count) {
    Put16(172, recordLength);
    Put16(174, count);
  }
  // Slot k with a 40-byte stride.
  void SetSlot(int k, const SlotFields& f) {
    size_t s = 172 + 128 + 40 * size_t(k), r = 4276 + 20 * size_t(k);
    blockwriter::PutTraffic(&bytes[s], &bytes[r],
                            {f.refId, f.id, f.latitude, f.longitude, f.altitude, f.heading,
                             f.groundSpeed, f.verticalSpeed, f.state, f.com1, f.from, f.to,
                             f.runway, f.designator});
  }
  // The user at 50 N, 0 E.
  void SetUserAt50N() {
    SetUserLatitude(k50NWhole, k50NFraction);
    SetUserLongitude(0, 0);
  }
};

// The texts of one row as the cell writer received them.
struct Row {
  std::string cell[kColumns];
  int writes[kColumns] = {};
  const char* idPointer = nullptr;
};

void Collect(void* context, int column, const char* text) {
  Row* row = static_cast<Row*>(context);
  ASSERT_GE(column, 1);
  ASSERT_LE(column, 16);
  EXPECT_LT(strlen(text), 512u);
  row->cell[column] = text;
  row->writes[column]++;
  if (column == ColId) row->idPointer = text;
}

void ExpectEachColumnOnce(const Row& row) {
  EXPECT_EQ(0, row.writes[0]);
  for (int c = 1; c < kColumns; ++c) EXPECT_EQ(1, row.writes[c]) << "column " << c;
}

Row UserRow(const Block& b) {
  Row row;
  ComputeUserRow(b.view(), Collect, &row);
  ExpectEachColumnOnce(row);
  return row;
}

Row SlotRow(const Block& b, int k, const char* filter = "") {
  Row row;
  ComputeSlotRow(b.view(), k, filter, Collect, &row);
  ExpectEachColumnOnce(row);
  return row;
}

Row OneSlot(const SlotFields& f, int16_t magVar = 0) {
  Block b;
  b.SetMagVar(magVar);
  b.SetSlot(0, f);
  return SlotRow(b, 0);
}

bool AllEmpty(const Row& row) {
  for (int c = 1; c < kColumns; ++c)
    if (!row.cell[c].empty()) return false;
  return true;
}

class RowValues : public testing::Test {
 protected:
  void SetUp() override { ResetSortCache(); }
};

}  // namespace

// --- The user's row ------------------------------------------------------------------

TEST_F(RowValues, UserRowOfAFreshBlock) {
  Block b;
  Row row = UserRow(b);
  const char* want[kColumns] = {
    "", "User", "", "", "", "N00  00.0000", "E000  00.0000", "0", "000", "0", "0", "",
    "", "", "", "", "",
  };
  for (int c = 1; c < kColumns; ++c) EXPECT_EQ(want[c], row.cell[c]) << "column " << c;
}

TEST_F(RowValues, UserAltitudeIsTruncatedFeet) {
  struct { int32_t whole; uint32_t fraction; const char* want; } cases[] = {
    {1000, 0, "3280"},
    {-1, 0x80000000u, "-1"},       // -0.5 m is -1.64 ft
    {100, 0x80000000u, "329"},
    {2147483647, 0, "2147483647"}, // beyond the 32-bit range: saturated
    {-2147483647 - 1, 0, "-2147483648"},
  };
  for (const auto& c : cases) {
    Block b;
    b.SetUserAltitude(c.whole, c.fraction);
    EXPECT_EQ(c.want, UserRow(b).cell[ColAlt]) << c.whole << " " << c.fraction;
  }
}

TEST_F(RowValues, UserHeadingRoundsToACircleStepAndNeverShows360) {
  struct { uint32_t heading; int16_t magVar; const char* want; } cases[] = {
    {0x40000000u, 0, "090"},
    {0x40000000u, 256, "088"},
    {0xFFFF8000u, 0, "000"},    // 2^32 - 32768 rounds up to a full circle
    {0xFFFF7FFFu, 0, "359"},
    {0, 1, "359"},
    {0, -1, "000"},
    {0x80000000u, -32768, "000"},
  };
  for (const auto& c : cases) {
    Block b;
    b.Put32(132, c.heading);
    b.SetMagVar(c.magVar);
    EXPECT_EQ(c.want, UserRow(b).cell[ColHdg]) << c.heading << " " << c.magVar;
  }
}

TEST_F(RowValues, UserSpeedsAndRadio) {
  struct { uint32_t groundSpeed; int32_t verticalSpeed; uint16_t com1;
           const char* gs; const char* vs; const char* com; } cases[] = {
    {3371463, 256, 0x2345, "100", "197", "123.45"},
    {0, -1280, 0, "0", "-983", ""},             // -984.25 fpm: +0.5, toward zero
    {0xFFFFFFFFu, 2147483647, 0x1850, "127392", "1651300839", "118.50"},
  };
  for (const auto& c : cases) {
    Block b;
    b.Put32(74, c.groundSpeed);
    b.Put32(94, uint32_t(c.verticalSpeed));
    b.Put16(114, c.com1);
    Row row = UserRow(b);
    EXPECT_EQ(c.gs, row.cell[ColGs]);
    EXPECT_EQ(c.vs, row.cell[ColVs]);
    EXPECT_EQ(c.com, row.cell[ColCom1]);
  }
}

TEST_F(RowValues, UserPositionTexts) {
  struct { int32_t whole; uint32_t fraction; uint32_t high, low; const char* lat;
           const char* lon; } cases[] = {
    {k50NWhole, k50NFraction, 0x80000000u, 0, "N50  00.0000", "E180  00.0000"},
    {-1, 0x80000000u, 0xC0000000u, 0, "S00  00.0008", "W090  00.0000"},
    {0, 0x80000000u, 0x40000000u, 0, "N00  00.0003", "E090  00.0000"},   // never south
  };
  for (const auto& c : cases) {
    Block b;
    b.SetUserLatitude(c.whole, c.fraction);
    b.SetUserLongitude(c.high, c.low);
    Row row = UserRow(b);
    EXPECT_EQ(c.lat, row.cell[ColLat]);
    EXPECT_EQ(c.lon, row.cell[ColLong]);
  }
}

// --- A slot's row --------------------------------------------------------------------

TEST_F(RowValues, SlotPositionTexts) {
  struct { float lat, lon; const char* latText; const char* lonText; } cases[] = {
    {51.5f, -0.5f, "N51  30.0000", "W000  30.0000"},
    {-33.25f, 151.125f, "S33  15.0000", "E151  07.5000"},
    {0.0f, 0.0f, "N00  00.0000", "E000  00.0000"},
    {-0.0f, -0.0f, "N00  00.0000", "E000  00.0000"},
    {-89.75f, 179.75f, "S89  45.0000", "E179  45.0000"},
  };
  for (const auto& c : cases) {
    SlotFields f;
    f.latitude = c.lat;
    f.longitude = c.lon;
    Row row = OneSlot(f);
    EXPECT_EQ(c.latText, row.cell[ColLat]) << c.lat;
    EXPECT_EQ(c.lonText, row.cell[ColLong]) << c.lon;
  }
}

TEST_F(RowValues, SlotAltitudeAndAltitudeDifference) {
  struct { int32_t userWhole; float altitude; const char* alt; const char* diff;
           double cached; } cases[] = {
    {1000, 5000.0f, "5000", "+17", 17.1916},
    {0, -11.3f, "-10", "+0", -0.113},
    {0, 11.5f, "12", "+0", 0.115},
    {0, 1719.0f, "1719", "+17", 17.19},
    {0, -70.0f, "-69", "-1", -0.7},   // -69.5 truncated toward zero
    {0, -30.0f, "-29", "+0", -0.3},
    {0, 50.0f, "50", "+1", 0.5},
    {0, -50.0f, "-49", "-1", -0.5},
    {0, -270.0f, "-269", "-3", -2.7},
  };
  for (const auto& c : cases) {
    Block b;
    b.SetUserAltitude(c.userWhole, 0xFFFFFFFFu);   // the user's fraction is not used here
    SlotFields f;
    f.altitude = c.altitude;
    b.SetSlot(0, f);
    Row row = SlotRow(b, 0);
    EXPECT_EQ(c.alt, row.cell[ColAlt]) << c.altitude;
    EXPECT_EQ(c.diff, row.cell[ColAltDiff]) << c.altitude;
    EXPECT_NEAR(c.cached, SortCache.altitudeDifference[0], 1e-5) << c.altitude;
  }
}

TEST_F(RowValues, SlotHeadingScalesFirstAndCanShow360) {
  struct { uint16_t heading; int16_t magVar; const char* want; } cases[] = {
    {65535, -1, "360"},
    {65535, 0, "359"},
    {0, 182, "000"},
    {0, 183, "359"},
    {16384, 0, "090"},
    {65535, -32768, "179"},   // t = 98303 scales to 539 and wraps once
  };
  for (const auto& c : cases) {
    SlotFields f;
    f.heading = c.heading;
    EXPECT_EQ(c.want, OneSlot(f, c.magVar).cell[ColHdg]) << c.heading << " " << c.magVar;
  }
}

TEST_F(RowValues, SlotSpeedsRadioAndReference) {
  struct { uint16_t gs; int16_t vs; uint16_t com1; uint32_t refId;
           const char* gsText; const char* vsText; const char* com; const char* ref; } cases[] = {
    {250, -2000, 0x2345, 0x0000FFFE, "250", "-2000", "123.45", "2"},
    {65535, 32767, 0, 0x00000005, "65535", "32767", "", "-5"},
    {0, -32768, 0x1850, 0x00008000, "0", "-32768", "118.50", "32768"},
    {1, 0, 0x0000, 0x00010000, "1", "0", "", "0"},   // occupied, low bits zero
  };
  for (const auto& c : cases) {
    SlotFields f;
    f.groundSpeed = c.gs;
    f.verticalSpeed = c.vs;
    f.com1 = c.com1;
    f.refId = c.refId;
    Row row = OneSlot(f);
    EXPECT_EQ(c.gsText, row.cell[ColGs]);
    EXPECT_EQ(c.vsText, row.cell[ColVs]);
    EXPECT_EQ(c.com, row.cell[ColCom1]);
    EXPECT_EQ(c.ref, row.cell[ColRef]) << c.refId;
  }
}

TEST_F(RowValues, StateTexts) {
  struct { uint8_t code; const char* want; } cases[] = {
    {0x80, "Init"}, {0x81, ""}, {0x82, "Plan"}, {0x83, "Clrnc"}, {0x86, "Startup"},
    {0x87, "preTaxi"}, {0x89, "T/off1"}, {0x8A, "T/off2"}, {0x8C, "Enroute"},
    {0x8F, "Rollout"}, {0x90, "GoArnd"}, {0x92, "ShutDn"}, {0x93, "19"}, {0xFF, "127"},
    {0x00, ""}, {0x7F, ""},
  };
  for (const auto& c : cases) {
    SlotFields f;
    f.state = c.code;
    EXPECT_EQ(c.want, OneSlot(f).cell[ColState]) << int(c.code);
  }
}

TEST_F(RowValues, RunwayTexts) {
  struct { uint8_t number, designator; const char* want; } cases[] = {
    {9, 1, "09L"}, {27, 3, "27C"}, {37, 0, "N"}, {44, 4, "NWW"}, {36, 5, "36"},
    {1, 2, "01R"}, {40, 2, "SER"}, {0, 2, ""}, {0, 0, ""},
    {45, 1, "45L"}, {255, 0, "255"},   // past the compass points: shown as numbers
  };
  for (const auto& c : cases) {
    SlotFields f;
    f.runway = c.number;
    f.designator = c.designator;
    EXPECT_EQ(c.want, OneSlot(f).cell[ColRwy]) << int(c.number) << " " << int(c.designator);
  }
}

TEST_F(RowValues, IdentificationAndAirportCodes) {
  Block b;
  SlotFields f;
  f.id = "BAW123";
  f.from = "EGLL";   // four characters: no NUL before To
  f.to = "KJF";
  b.SetSlot(0, f);
  f.id = "ABCDEFGHIJKLMNO";   // 15 characters, no NUL in the field
  f.from = "";
  f.to = "LFPG";
  b.SetSlot(1, f);
  f.id = "ABCDEFGHIJKLMN";    // 14 characters and the NUL: taken as it lies
  b.SetSlot(2, f);

  Row row = SlotRow(b, 0);
  EXPECT_EQ("BAW123", row.cell[ColId]);
  EXPECT_EQ(simlink::SlotIdField(simlink::TrafficSlotAt(b.view(), 0)), row.idPointer);
  EXPECT_EQ("EGLL", row.cell[ColFrom]);
  EXPECT_EQ("KJF", row.cell[ColTo]);
  row = SlotRow(b, 1);
  EXPECT_EQ("ABCDEFGHIJKLMN", row.cell[ColId]);
  EXPECT_EQ("", row.cell[ColFrom]);
  EXPECT_EQ("LFPG", row.cell[ColTo]);
  row = SlotRow(b, 2);
  EXPECT_EQ("ABCDEFGHIJKLMN", row.cell[ColId]);
  EXPECT_EQ(simlink::SlotIdField(simlink::TrafficSlotAt(b.view(), 2)), row.idPointer);
}

// --- Distance and bearing ------------------------------------------------------------

TEST_F(RowValues, DistanceAndBearingFrom50North) {
  struct { float lat, lon; int16_t magVar; const char* dist; const char* brg;
           double distance, bearing; } cases[] = {
    {51, 0, 0, "60 nm", "000", 60.0008, 0},
    {50, 1, 0, "39 nm", "090", 38.5675, 90},
    {49, 0, 0, "60 nm", "180", 60.0008, 180},
    {50, -1, 0, "39 nm", "270", 38.5675, 270},
    {51, 1, 0, "71 nm", "032", 71.1106, 32.4596},
    {50, 0, 0, "0 nm", "270", 0, 270},          // at the user's own position
    {51, 0, 1820, "60 nm", "350", 60.0008, 350.0024},
    {49, 0, -1820, "60 nm", "190", 60.0008, 189.9976},
    {50, -1, -16384, "39 nm", "360", 38.5675, 360},   // 270 + 90 = 360 stays 360
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.lat << " " << c.lon << " " << c.magVar);
    Block b;
    b.SetUserAt50N();
    ASSERT_EQ(50.0, simlink::UserLatitudeDegrees(b.view()));
    b.SetMagVar(c.magVar);
    SlotFields f;
    f.latitude = c.lat;
    f.longitude = c.lon;
    b.SetSlot(7, f);
    Row row = SlotRow(b, 7);
    EXPECT_EQ(c.dist, row.cell[ColDist]);
    EXPECT_EQ(c.brg, row.cell[ColBrg]);
    EXPECT_NEAR(c.distance, SortCache.distance[7], 1e-4);
    EXPECT_NEAR(c.bearing, SortCache.bearing[7], 1e-4);
  }
}

// Two aircraft a few miles apart on either side of the 180-degree meridian, at 10 N:
// 0.1 degree of longitude is about 5.9 nm there.
TEST_F(RowValues, AcrossTheAntimeridianTheShortWayRound) {
  const uint32_t at179_95E = uint32_t(179.95 / 360 * 4294967296.0);
  const uint32_t at179_95W = uint32_t(180.05 / 360 * 4294967296.0);
  struct { uint32_t userHigh; float lat, lon; const char* dist; const char* brg; } cases[] = {
    {at179_95E, 10.0f, -179.95f, "6 nm", "090"},   // east, across the line
    {at179_95W, 10.0f, 179.95f, "6 nm", "270"},    // west, across the line
    {at179_95E, 10.1f, -179.95f, "8 nm", "045"},
    {at179_95W, 10.1f, 179.95f, "8 nm", "315"},
    {at179_95W, 9.9f, 179.95f, "8 nm", "225"},
    {at179_95E, 9.9f, -179.95f, "8 nm", "135"},
    {at179_95E, 10.0f, 179.85f, "6 nm", "270"},    // same side: as always
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.userHigh << " " << c.lat << " " << c.lon);
    Block b;
    b.SetUserLatitude(k10NWhole, k10NFraction);
    b.SetUserLongitude(c.userHigh, 0);
    SlotFields f;
    f.latitude = c.lat;
    f.longitude = c.lon;
    b.SetSlot(3, f);
    Row row = SlotRow(b, 3);
    EXPECT_EQ(c.dist, row.cell[ColDist]);
    EXPECT_EQ(c.brg, row.cell[ColBrg]);
    EXPECT_LT(SortCache.distance[3], 9.0);
  }
}

TEST_F(RowValues, AntipodalDistanceIsHalfTheCircumference) {
  Block b;
  b.SetUserAt50N();
  SlotFields f;
  f.latitude = -50;
  f.longitude = 180;
  b.SetSlot(0, f);
  Row row = SlotRow(b, 0);
  EXPECT_EQ("10800 nm", row.cell[ColDist]);
  EXPECT_NEAR(3.14159265358979 * 3437.75, SortCache.distance[0], 1e-6);
  EXPECT_EQ("119", row.cell[ColBrg]);   // as computed, from the flat separation
}

// --- Airport filter and the sort cache -----------------------------------------------

TEST_F(RowValues, AirportFilterMatchesFourCharactersIgnoringCase) {
  struct { const char* from; const char* to; const char* filter; bool passes; } cases[] = {
    {"EGLL", "KJFK", "", true},
    {"", "", "", true},
    {"EGLL", "KJFK", "egll", true},
    {"ksea", "KJFK", "KSEA", true},
    {"EGLL", "KSEA", "KSEA", true},
    {"EGL", "KJFK", "EGL", true},
    {"EGLL", "KJFK", "EGL", false},   // a shorter filter does not match a longer code
    {"EGL", "KJFK", "EGLL", false},
    {"EGLL", "KJFK", "LFPG", false},
    {"", "", "LFPG", false},
  };
  for (const auto& c : cases) {
    Block b;
    SlotFields f;
    f.from = c.from;
    f.to = c.to;
    b.SetSlot(0, f);
    SCOPED_TRACE(testing::Message() << c.from << "/" << c.to << " filter " << c.filter);
    EXPECT_EQ(c.passes, PassesAirportFilter(simlink::SlotRouteAt(b.view(), 0), c.filter));
    EXPECT_EQ(!c.passes, AllEmpty(SlotRow(b, 0, c.filter)));
  }
}

TEST_F(RowValues, CompareCode4FoldsAsciiLettersToLowerCase) {
  struct { const char* a; const char* b; int sign; } cases[] = {
    {"EGLL", "egll", 0}, {"EGL", "EGLL", -1}, {"EGLL", "EGL", 1},
    {"abc_", "ABCD", -1},   // '_' sorts before the letters
    {"ZZZZ", "aaaa", 1}, {"EGLLX", "EGLLY", 0}, {"", "", 0}, {"\xC4", "\xE4", -1},
  };
  for (const auto& c : cases) {
    int r = CompareCode4(c.a, c.b);
    EXPECT_EQ(c.sign, (r > 0) - (r < 0)) << c.a << " " << c.b;
  }
}

TEST_F(RowValues, EmptyOrFilteredSlotsLeaveTheirCacheEntriesAlone) {
  Block b;
  b.SetUserAt50N();
  SlotFields f;
  f.latitude = 51;
  f.from = "EGLL";
  b.SetSlot(0, f);
  f.refId = 0;   // an empty slot, whatever else it holds
  b.SetSlot(1, f);
  for (int k = 0; k < 3; ++k) {
    SortCache.distance[k] = 1.5;
    SortCache.bearing[k] = 2.5;
    SortCache.altitudeDifference[k] = 3.5;
  }
  EXPECT_TRUE(AllEmpty(SlotRow(b, 0, "KSEA")));
  EXPECT_TRUE(AllEmpty(SlotRow(b, 1, "")));
  EXPECT_TRUE(AllEmpty(SlotRow(b, 2, "")));   // never written: zero RefId
  for (int k = 0; k < 3; ++k) {
    EXPECT_EQ(1.5, SortCache.distance[k]);
    EXPECT_EQ(2.5, SortCache.bearing[k]);
    EXPECT_EQ(3.5, SortCache.altitudeDifference[k]);
  }
  EXPECT_EQ("60 nm", SlotRow(b, 0, "egll").cell[ColDist]);
  EXPECT_NEAR(60.0008, SortCache.distance[0], 1e-4);
  EXPECT_EQ(0.0, SortCache.bearing[0]);
}

TEST_F(RowValues, SaturateToIntCoversEveryDouble) {
  struct { double in; int32_t out; } cases[] = {
    {std::nan(""), 0}, {HUGE_VAL, 2147483647}, {-HUGE_VAL, -2147483647 - 1},
    {3e9, 2147483647}, {-3e9, -2147483647 - 1}, {2147483647.0, 2147483647},
    {2147483647.9, 2147483647}, {-2147483648.0, -2147483647 - 1},
    {-2147483648.9, -2147483647 - 1}, {1.9, 1}, {-1.9, -1}, {-0.7, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(c.out, SaturateToInt(c.in)) << c.in;
}

// --- Hostile snapshots -----------------------------------------------------------------

TEST_F(RowValues, NotANumberAndInfiniteFloatsGiveDefinedTexts) {
  struct { float lat, lon, alt; const char* latText; const char* lonText; const char* altText;
           const char* diff; const char* dist; const char* brg; } cases[] = {
    {kNaN, kNaN, kNaN, "N00  00.0000", "E000  00.0000", "0", "+0", "0 nm", "000"},
    {kInf, -kInf, kInf, "N2147483647  00.0000", "W2147483647  00.0000", "2147483647",
     "+2147483647", "0 nm", "000"},
    {-kInf, kInf, -kInf, "S2147483647  00.0000", "E2147483647  00.0000", "-2147483648",
     "-2147483647", "0 nm", "000"},
    {3e38f, -3e38f, 3e9f, "N2147483647  00.0000", "W2147483647  00.0000", "2147483647",
     "+30000000", "10800 nm", "360"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.lat << " " << c.lon << " " << c.alt);
    Block b;
    b.SetUserAt50N();
    SlotFields f;
    f.latitude = c.lat;
    f.longitude = c.lon;
    f.altitude = c.alt;
    b.SetSlot(0, f);
    Row row = SlotRow(b, 0);
    EXPECT_EQ(c.latText, row.cell[ColLat]);
    EXPECT_EQ(c.lonText, row.cell[ColLong]);
    EXPECT_EQ(c.altText, row.cell[ColAlt]);
    EXPECT_EQ(c.diff, row.cell[ColAltDiff]);
    EXPECT_EQ(c.dist, row.cell[ColDist]);
    EXPECT_EQ(c.brg, row.cell[ColBrg]);
  }
}

// Any slot count, any record length, any slot index, bytes that are all nonzero (no NUL
// anywhere): every row gets sixteen texts, no read leaves the 6260-byte block and no
// write leaves the sort cache.
TEST_F(RowValues, HostileSlotTablesReadNothingOutOfBounds) {
  const uint16_t recordLengths[] = {0, 1, 39, 40, 41, 3921, 65535};
  const uint8_t fills[] = {0x41, 0xFF, 0x7F};   // 0xFF and 0x7F floats are NaN
  for (uint16_t recordLength : recordLengths) {
    for (uint8_t fill : fills) {
      SCOPED_TRACE(testing::Message() << recordLength << " fill " << int(fill));
      Block b;
      memset(b.bytes.get() + simlink::kSlotTableAt, fill, simlink::kSlotTableBytes);
      memset(b.bytes.get() + simlink::kRouteTableAt, fill, simlink::kRouteTableBytes);
      b.SetSlotHead(recordLength, 65535);
      int rows = simlink::SlotRowCount(b.view());
      EXPECT_EQ(99, rows);
      for (int k : {-2147483647 - 1, -1, 0, 1, 50, 97, 98, 99, 100, 65535, 2147483647}) {
        Row row = SlotRow(b, k);
        bool readable = simlink::TrafficSlotAt(b.view(), k) && simlink::SlotRouteAt(b.view(), k);
        EXPECT_EQ(!readable, AllEmpty(row)) << k;
        if (readable) {
          EXPECT_EQ(14u, row.cell[ColId].size()) << k;
        }
        Row filtered = SlotRow(b, k, "ZZZZ");
        EXPECT_TRUE(AllEmpty(filtered)) << k;
      }
    }
  }
}
