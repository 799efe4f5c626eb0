#include "link/snapshot.h"

#include <cstring>

namespace simlink {

namespace {

// One read record of the request block: where its 16-byte header lies, which bytes of
// the state table it asks for, and what its data area holds until the server answers.
struct ReadRecordLayout {
  size_t at;                 // header offset in the block; the data area follows at +16
  uint32_t airborneOffset;   // state-table offset in the Airborne view
  uint32_t groundOffset;     // and in the Ground view
  uint32_t byteCount;
  uint8_t preFill;
};

const ReadRecordLayout kRecords[9] = {
  {0,    kStateMagVar,         kStateMagVar,         2,    0x00},
  {18,   kStatePosition,       kStatePosition,       24,   0x00},
  {58,   kStateGroundSpeed,    kStateGroundSpeed,    4,    0x00},
  {78,   kStateVerticalSpeed,  kStateVerticalSpeed,  4,    0x00},
  {98,   kStateCom1,           kStateCom1,           2,    0x00},
  {116,  kStateHeading,        kStateHeading,        4,    0x00},
  {136,  kStateNearest,        kStateNearest,        4,    0xFF},   // 0xFFFF = no aircraft
  {156,  kStateAirborneSlots,  kStateGroundSlots,    4088, 0x00},
  {4260, kStateAirborneRoutes, kStateGroundRoutes,   1980, 0x00},
};

const uint32_t kReadId = 1;
const size_t kRecordHeadBytes = 16;
const size_t kTerminatorAt = 6256;

// Fields of the user's aircraft and the nearest distances (offsets in the block).
const size_t kMagVarAt = 16;
const size_t kLatFractionAt = 34;
const size_t kLatWholeAt = 38;
const size_t kLonLowAt = 42;
const size_t kLonHighAt = 46;
const size_t kAltFractionAt = 50;
const size_t kAltWholeAt = 54;
const size_t kGroundSpeedAt = 74;
const size_t kVerticalSpeedAt = 94;
const size_t kCom1At = 114;
const size_t kHeadingAt = 132;
const size_t kNearestGroundAt = 152;
const size_t kNearestAirborneAt = 154;

void Store32(uint8_t* p, size_t at, uint32_t v) {
  p[at] = uint8_t(v);
  p[at + 1] = uint8_t(v >> 8);
  p[at + 2] = uint8_t(v >> 16);
  p[at + 3] = uint8_t(v >> 24);
}

// Where slot k's records begin inside their data areas, or false when k is no slot
// index the reads can hold or a record would not fit wholly inside its data area.
bool SlotOffset(const uint8_t* view, int k, size_t* at) {
  if (k < 0 || k >= kMaxSlots) return false;
  size_t pos = kSlotHeadBytes + size_t(SlotRecordLength(view)) * size_t(k);
  if (pos + kTrafficSlotBytes > kSlotTableBytes) return false;
  *at = pos;
  return true;
}

bool RouteOffset(const uint8_t* view, int k, size_t* at) {
  if (k < 0 || k >= kMaxSlots) return false;
  size_t pos = size_t(SlotRecordLength(view)) * size_t(k) / 2;
  if (pos + kSlotRouteBytes > kRouteTableBytes) return false;
  *at = pos;
  return true;
}

}  // namespace

void BuildRequestBlock(uint8_t* view, int viewMode) {
  bool ground = viewMode == ViewGround;
  for (const ReadRecordLayout& r : kRecords) {
    Store32(view, r.at, kReadId);
    Store32(view, r.at + 4, ground ? r.groundOffset : r.airborneOffset);
    Store32(view, r.at + 8, r.byteCount);
    // The destination field at +12 belongs to the server: left as it is.
    memset(view + r.at + kRecordHeadBytes, r.preFill, r.byteCount);
  }
  Store32(view, kTerminatorAt, 0);
}

uint8_t Load8(const uint8_t* p, size_t at) {
  return p[at];
}

uint16_t Load16(const uint8_t* p, size_t at) {
  uint8_t b[2];
  memcpy(b, p + at, sizeof b);
  return uint16_t(b[0] | (b[1] << 8));
}

uint32_t Load32(const uint8_t* p, size_t at) {
  uint8_t b[4];
  memcpy(b, p + at, sizeof b);
  return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) |
         (uint32_t(b[3]) << 24);
}

float LoadFloat(const uint8_t* p, size_t at) {
  uint32_t bits = Load32(p, at);
  float f;
  memcpy(&f, &bits, sizeof f);
  return f;
}

int16_t UserMagneticVariation(const uint8_t* view) {
  return int16_t(Load16(view, kMagVarAt));
}

int32_t UserLatitudeWhole(const uint8_t* view) {
  return int32_t(Load32(view, kLatWholeAt));
}

uint32_t UserLatitudeFraction(const uint8_t* view) {
  return Load32(view, kLatFractionAt);
}

uint32_t UserLongitudeLow(const uint8_t* view) {
  return Load32(view, kLonLowAt);
}

uint32_t UserLongitudeHigh(const uint8_t* view) {
  return Load32(view, kLonHighAt);
}

int32_t UserAltitudeWhole(const uint8_t* view) {
  return int32_t(Load32(view, kAltWholeAt));
}

uint32_t UserAltitudeFraction(const uint8_t* view) {
  return Load32(view, kAltFractionAt);
}

uint32_t UserGroundSpeed(const uint8_t* view) {
  return Load32(view, kGroundSpeedAt);
}

int32_t UserVerticalSpeed(const uint8_t* view) {
  return int32_t(Load32(view, kVerticalSpeedAt));
}

uint16_t UserCom1(const uint8_t* view) {
  return Load16(view, kCom1At);
}

uint32_t UserHeading(const uint8_t* view) {
  return Load32(view, kHeadingAt);
}

// The latitude counts units of 90/10001750 degree: a signed whole part and an unsigned
// fraction of a unit. The sign belongs to the whole part alone, so a whole part of 0
// is never south. The whole part's magnitude is taken in double: -2^31 has no int32
// negation.
double UserLatitudeDegrees(const uint8_t* view) {
  int32_t whole = UserLatitudeWhole(view);
  double magnitude = double(whole);
  if (magnitude < 0) magnitude = -magnitude;
  double degrees = magnitude * 90 / 10001750 +
                   double(UserLatitudeFraction(view)) * 90 / 42957189152768000.0;
  return whole < 0 ? -degrees : degrees;
}

// The longitude is one unsigned 64-bit angle, 2^64 = 360 degrees, east positive;
// exactly half a circle reads as +180.
double UserLongitudeDegrees(const uint8_t* view) {
  const double twoPowMinus32 = 1.0 / 4294967296.0;
  double degrees = double(UserLongitudeHigh(view)) * 360 * twoPowMinus32 +
                   double(UserLongitudeLow(view)) * 360 * twoPowMinus32 * twoPowMinus32;
  if (degrees > 180) degrees -= 360;
  return degrees;
}

uint16_t NearestDistance(const uint8_t* view, int viewMode) {
  return Load16(view, viewMode == ViewGround ? kNearestGroundAt : kNearestAirborneAt);
}

uint16_t SlotRecordLength(const uint8_t* view) {
  return Load16(view, kSlotTableAt);
}

uint16_t SlotCount(const uint8_t* view) {
  return Load16(view, kSlotTableAt + 2);
}

int SlotRowCount(const uint8_t* view) {
  int n = SlotCount(view);
  return n < kMaxSlots ? n : kMaxSlots;
}

const uint8_t* TrafficSlotAt(const uint8_t* view, int k) {
  size_t at;
  if (!SlotOffset(view, k, &at)) return nullptr;
  return view + kSlotTableAt + at;
}

const uint8_t* SlotRouteAt(const uint8_t* view, int k) {
  size_t at;
  if (!RouteOffset(view, k, &at)) return nullptr;
  return view + kRouteTableAt + at;
}

bool SlotOccupied(const uint8_t* view, int k) {
  const uint8_t* slot = TrafficSlotAt(view, k);
  if (slot == nullptr || SlotRouteAt(view, k) == nullptr) return false;
  return SlotRefId(slot) != 0;
}

uint32_t SlotRefId(const uint8_t* slot) { return Load32(slot, 0); }
float SlotLatitude(const uint8_t* slot) { return LoadFloat(slot, 4); }
float SlotLongitude(const uint8_t* slot) { return LoadFloat(slot, 8); }
float SlotAltitude(const uint8_t* slot) { return LoadFloat(slot, 12); }
uint16_t SlotHeading(const uint8_t* slot) { return Load16(slot, 16); }
uint16_t SlotGroundSpeed(const uint8_t* slot) { return Load16(slot, 18); }
int16_t SlotVerticalSpeed(const uint8_t* slot) { return int16_t(Load16(slot, 20)); }
const char* SlotIdField(const uint8_t* slot) { return reinterpret_cast<const char*>(slot + 22); }
uint8_t SlotState(const uint8_t* slot) { return Load8(slot, 37); }
uint16_t SlotCom1(const uint8_t* slot) { return Load16(slot, 38); }

const char* RouteFrom(const uint8_t* route) { return reinterpret_cast<const char*>(route + 8); }
const char* RouteTo(const uint8_t* route) { return reinterpret_cast<const char*>(route + 12); }
uint8_t RouteRunwayNumber(const uint8_t* route) { return Load8(route, 16); }
uint8_t RouteRunwayDesignator(const uint8_t* route) { return Load8(route, 17); }

}  // namespace simlink
