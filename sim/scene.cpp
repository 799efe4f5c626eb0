// Encoding of a scene into the state table. Every store is a byte-wise little-endian
// write at a bounds-checked offset; every conversion of a double to a whole number is
// defined for every input (not-a-number gives 0, values saturate at the type's bounds).
#include "sim/scene.h"

#include <cmath>
#include <cstring>

#include "link/snapshot.h"
#include "sim/server.h"

namespace sim {

namespace {

const double kTwo32 = 4294967296.0;
const double kPi = 3.14159265358979;      // the client's own value of pi
const double kFeetPerMetre = 3.28084;
const double kLatitudeUnitsPerDegree = 10001750.0 / 90.0;
const double kGroundSpeedRawPerKnot = 398204272.64 / (3.28084 * 3600.0);
const double kVerticalSpeedRawPerFpm = 256.0 / (3.28084 * 60.0);

void Put8(uint8_t* t, size_t at, uint8_t v) {
  if (at < kStateTableBytes) t[at] = v;
}
void Put16(uint8_t* t, size_t at, uint16_t v) {
  Put8(t, at, uint8_t(v));
  Put8(t, at + 1, uint8_t(v >> 8));
}
void Put32(uint8_t* t, size_t at, uint32_t v) {
  Put16(t, at, uint16_t(v));
  Put16(t, at + 2, uint16_t(v >> 16));
}
void PutFloat(uint8_t* t, size_t at, float f) {
  uint32_t v;
  memcpy(&v, &f, 4);
  Put32(t, at, v);
}
void PutBytes(uint8_t* t, size_t at, const void* bytes, size_t n) {
  const uint8_t* b = static_cast<const uint8_t*>(bytes);
  for (size_t i = 0; i < n; ++i) Put8(t, at + i, b[i]);
}

uint32_t Get32(const uint8_t* t, size_t at) {
  return uint32_t(t[at]) | uint32_t(t[at + 1]) << 8 | uint32_t(t[at + 2]) << 16 |
         uint32_t(t[at + 3]) << 24;
}
uint16_t Get16(const uint8_t* t, size_t at) { return uint16_t(t[at] | t[at + 1] << 8); }

// Rounds to the nearest whole number within [lo, hi]; not-a-number gives 0.
double Clamp(double v, double lo, double hi) {
  if (std::isnan(v)) return 0;
  v = std::floor(v + 0.5);
  if (v < lo) return lo;
  if (v > hi) return hi;
  return v;
}

// A non-negative magnitude split into a whole part and a 32-bit fraction, rounded to
// the nearest 2^-32 with the carry taken into the whole part.
void SplitFraction(double magnitude, double* whole, uint32_t* fraction) {
  double w = std::floor(magnitude);
  double f = std::floor((magnitude - w) * kTwo32 + 0.5);
  if (f >= kTwo32) {
    w += 1;
    f = 0;
  }
  *whole = w;
  *fraction = uint32_t(f);
}

// Angle in degrees as a fraction of a circle in [0, 1).
double CircleFraction(double degrees) {
  if (!std::isfinite(degrees)) return 0;
  double x = std::fmod(degrees / 360.0, 1.0);
  if (x < 0) x += 1.0;
  return x;
}

// The user's position as the client computes it from the encoded parts: the whole
// part's magnitude and the fraction scaled separately, then added; the longitude's two
// halves likewise, less 360 above 180.
double ReadLatitude(double wholeMagnitude, uint32_t fraction) {
  return wholeMagnitude * 90 / 10001750 + double(fraction) * 90 / 42957189152768000.0;
}
double ReadLatitudeOneSum(double wholeMagnitude, uint32_t fraction) {
  return (wholeMagnitude + double(fraction) / kTwo32) * 90 / 10001750;
}
double ReadLongitude(uint32_t high, uint32_t low) {
  double d = double(high) * 360 / kTwo32 + double(low) * 360 / kTwo32 / kTwo32;
  return d > 180 ? d - 360 : d;
}

// Rounding leaves the read-back position a few units in the last place off the one
// given. A fraction a few steps away often reads back exactly (50 N as 50, not
// 49.999999999999993), which keeps exact comparisons in a client exact: take the
// nearest such fraction, one that reads exactly both ways if there is one.
uint32_t ExactLatitudeFraction(double whole, uint32_t fraction, double magnitude) {
  int64_t best = -1;
  for (int step = 0; step <= 64; ++step)
    for (int sign = -1; sign <= 1; sign += 2) {
      int64_t f = int64_t(fraction) + sign * step;
      if (f < 0 || f > 0xFFFFFFFFll) continue;
      if (ReadLatitude(whole, uint32_t(f)) != magnitude) continue;
      if (ReadLatitudeOneSum(whole, uint32_t(f)) == magnitude) return uint32_t(f);
      if (best < 0) best = f;
    }
  return best < 0 ? fraction : uint32_t(best);
}

uint32_t ExactLongitudeLow(uint32_t high, uint32_t low, double longitude) {
  for (int step = 0; step <= 64; ++step)
    for (int sign = -1; sign <= 1; sign += 2) {
      int64_t l = int64_t(low) + sign * step;
      if (l < 0 || l > 0xFFFFFFFFll) continue;
      if (ReadLongitude(high, uint32_t(l)) == longitude) return uint32_t(l);
    }
  return low;
}

void EncodeUser(const SceneUser& u, uint8_t* t) {
  Put16(t, simlink::kStateMagVar, uint16_t(VariationToS16(u.magneticVariation)));

  // Latitude: a signed whole part and an unsigned fraction, in units of 90/10001750
  // degree, the sign carried by the whole part (so a latitude less than one unit south
  // of the equator reads as north: about a metre, no more).
  double magnitude = std::isfinite(u.latitude) ? std::fabs(u.latitude) : 0;
  if (magnitude > 90) magnitude = 90;
  double whole;
  uint32_t fraction;
  SplitFraction(magnitude * kLatitudeUnitsPerDegree, &whole, &fraction);
  fraction = ExactLatitudeFraction(whole, fraction, magnitude);
  int32_t signedWhole = int32_t(whole);
  if (u.latitude < 0) signedWhole = -signedWhole;
  Put32(t, simlink::kStatePosition, fraction);
  Put32(t, simlink::kStatePosition + 4, uint32_t(signedWhole));

  // Longitude: one 64-bit fraction of a circle, as two halves. A double holds only 53
  // bits, so the high half is taken first and the low half from the rest, which the
  // subtraction leaves exact.
  double longitude = std::isfinite(u.longitude) ? u.longitude : 0;
  double degrees = std::fmod(longitude, 360.0);
  if (degrees < 0) degrees += 360;
  double high = std::floor(degrees / 360 * kTwo32);
  if (high > kTwo32 - 1) high = kTwo32 - 1;
  double rest = degrees - high * 360 / kTwo32;
  if (rest < 0) {
    high -= 1;
    rest = degrees - high * 360 / kTwo32;
  } else if (rest >= 360 / kTwo32 && high < kTwo32 - 1) {
    high += 1;
    rest = degrees - high * 360 / kTwo32;
  }
  double low = std::floor(rest / 360 * kTwo32 * kTwo32);
  if (low > kTwo32 - 1) low = kTwo32 - 1;
  uint32_t lowHalf = ExactLongitudeLow(uint32_t(high), uint32_t(low), longitude);
  Put32(t, simlink::kStatePosition + 8, lowHalf);
  Put32(t, simlink::kStatePosition + 12, uint32_t(high));

  // Altitude: signed whole metres and a fraction.
  double metres = std::isfinite(u.altitude) ? u.altitude / kFeetPerMetre : 0;
  if (metres > 2e9) metres = 2e9;
  if (metres < -2e9) metres = -2e9;
  double wholeMetres;
  uint32_t metreFraction;
  SplitFraction(metres, &wholeMetres, &metreFraction);
  Put32(t, simlink::kStatePosition + 16, metreFraction);
  Put32(t, simlink::kStatePosition + 20, uint32_t(int32_t(wholeMetres)));

  Put32(t, simlink::kStateGroundSpeed,
        uint32_t(Clamp(u.groundSpeed * kGroundSpeedRawPerKnot, 0, kTwo32 - 1)));
  Put32(t, simlink::kStateVerticalSpeed,
        uint32_t(int32_t(Clamp(u.verticalSpeed * kVerticalSpeedRawPerFpm, -2147483648.0,
                               2147483647.0))));
  Put16(t, simlink::kStateCom1, u.com1);
  Put32(t, simlink::kStateHeading, HeadingToU32(u.heading));
}

void EncodeSlot(const SceneSlot& s, uint8_t* t, size_t at) {
  Put32(t, at + 0, s.refId);
  PutFloat(t, at + 4, s.latitude);
  PutFloat(t, at + 8, s.longitude);
  PutFloat(t, at + 12, s.altitude);
  Put16(t, at + 16, HeadingToU16(s.heading));
  Put16(t, at + 18, uint16_t(Clamp(s.groundSpeed, 0, 65535)));
  Put16(t, at + 20, uint16_t(int16_t(Clamp(s.verticalSpeed, -32768, 32767))));
  PutBytes(t, at + 22, s.idText, kIdBytes);
  Put8(t, at + 37, s.state);
  Put16(t, at + 38, s.com1);
}

void EncodeRoute(const SceneSlot& s, uint8_t* t, size_t at) {
  PutBytes(t, at + 8, s.from, 4);
  PutBytes(t, at + 12, s.to, 4);
  Put8(t, at + 16, s.runwayNumber);
  Put8(t, at + 17, s.runwayDesignator);
}

// The user's position as the client reads it back from the table.
void DecodeUserPosition(const uint8_t* t, double* lat, double* lon) {
  uint32_t fraction = Get32(t, simlink::kStatePosition);
  int32_t whole = int32_t(Get32(t, simlink::kStatePosition + 4));
  double magnitude = ReadLatitude(std::fabs(double(whole)), fraction);
  *lat = whole < 0 ? -magnitude : magnitude;
  *lon = ReadLongitude(Get32(t, simlink::kStatePosition + 12),
                       Get32(t, simlink::kStatePosition + 8));
}

// The nearest occupied slot of the list the way a client sees the encoded table: slot
// indices below min(SlotCount, 99) whose slot and route records lie inside the reads.
uint16_t ComputeNearest(const uint8_t* t, uint32_t slotsAt, double userLat, double userLon) {
  uint16_t recordLength = Get16(t, slotsAt);
  int count = Get16(t, slotsAt + 2);
  if (count > kSceneSlots) count = kSceneSlots;
  double best = -1;
  for (int k = 0; k < count; ++k) {
    size_t slot = simlink::kSlotHeadBytes + size_t(recordLength) * k;
    size_t route = size_t(recordLength) * k / 2;
    if (slot + simlink::kTrafficSlotBytes > simlink::kSlotTableBytes) continue;
    if (route + simlink::kSlotRouteBytes > simlink::kRouteTableBytes) continue;
    if (Get32(t, slotsAt + slot) == 0) continue;
    float lat, lon;
    uint32_t bits = Get32(t, slotsAt + slot + 4);
    memcpy(&lat, &bits, 4);
    bits = Get32(t, slotsAt + slot + 8);
    memcpy(&lon, &bits, 4);
    if (!std::isfinite(lat) || !std::isfinite(lon)) continue;
    double d = DistanceNm(userLat, userLon, lat, lon);
    if (best < 0 || d < best) best = d;
  }
  if (best < 0) return 0xFFFF;
  return uint16_t(Clamp(best, 0, 0xFFFE));
}

}  // namespace

uint16_t HeadingToU16(double degrees) {
  return uint16_t(uint32_t(Clamp(CircleFraction(degrees) * 65536.0, 0, 65536)) & 0xFFFF);
}

uint32_t HeadingToU32(double degrees) {
  return uint32_t(uint64_t(Clamp(CircleFraction(degrees) * kTwo32, 0, kTwo32)) & 0xFFFFFFFFu);
}

int16_t VariationToS16(double degrees) {
  return int16_t(Clamp(degrees / 360.0 * 65536.0, -32768, 32767));
}

double DistanceNm(double userLat, double userLon, double lat, double lon) {
  double c = std::cos(std::fabs(lat + userLat) * kPi / 360);
  double dlon = lon - userLon;
  if (dlon > 180 || dlon <= -180) {   // the short way round, into (-180, 180]
    dlon = std::fmod(dlon, 360.0);
    if (dlon > 180) dlon -= 360;
    else if (dlon <= -180) dlon += 360;
  }
  double e = dlon * c;
  double n = userLat - lat;
  double f = std::sqrt(n * n + e * e) * 60 / 6875.5;
  if (f > 1) f = 1;
  double w = std::asin(f);
  return (w + w) * 3437.75;
}

void ClearScene(Scene* scene) {
  memset(scene, 0, sizeof *scene);
  for (SceneList& list : scene->lists) {
    list.recordLength = kRecordLength;
    list.nearest = -1;
  }
}

int OccupiedSlots(const SceneList* list) {
  int n = 0;
  for (const SceneSlot& s : list->slots) n += s.defined && s.refId != 0;
  return n;
}

void EncodeScene(const Scene* scene, uint8_t* t) {
  EncodeUser(scene->user, t);

  const uint32_t slotsAt[2] = {simlink::kStateAirborneSlots, simlink::kStateGroundSlots};
  const uint32_t routesAt[2] = {simlink::kStateAirborneRoutes, simlink::kStateGroundRoutes};
  for (int l = 0; l < 2; ++l) {
    const SceneList& list = scene->lists[l];
    memset(t + slotsAt[l], 0, simlink::kSlotTableBytes);
    memset(t + routesAt[l], 0, simlink::kRouteTableBytes);
    uint16_t recordLength = uint16_t(Clamp(list.recordLength, 0, 65535));
    Put16(t, slotsAt[l], recordLength);
    Put16(t, slotsAt[l] + 2, uint16_t(Clamp(list.slotCount, 0, 65535)));
    for (int k = 0; k < kSceneSlots; ++k) {
      const SceneSlot& s = list.slots[k];
      if (!s.defined) continue;
      size_t slot = simlink::kSlotHeadBytes + size_t(recordLength) * k;
      if (slot + simlink::kTrafficSlotBytes <= simlink::kSlotTableBytes)
        EncodeSlot(s, t, slotsAt[l] + slot);
      size_t route = size_t(recordLength) * k / 2;
      if (route + simlink::kSlotRouteBytes <= simlink::kRouteTableBytes)
        EncodeRoute(s, t, routesAt[l] + route);
    }
  }

  double userLat, userLon;
  DecodeUserPosition(t, &userLat, &userLon);
  // Ground at +0, airborne at +2.
  const int nearestAt[2] = {2, 0};
  for (int l = 0; l < 2; ++l) {
    int given = scene->lists[l].nearest;
    uint16_t v = given >= 0 ? uint16_t(given > 0xFFFF ? 0xFFFF : given)
                            : ComputeNearest(t, slotsAt[l], userLat, userLon);
    Put16(t, simlink::kStateNearest + nearestAt[l], v);
  }

  int patches = scene->patchCount;
  if (patches > kMaxPatches) patches = kMaxPatches;
  for (int i = 0; i < patches; ++i) {
    const ScenePatch& p = scene->patches[i];
    uint32_t n = p.length > uint32_t(kPatchBytes) ? uint32_t(kPatchBytes) : p.length;
    PutBytes(t, p.offset, p.bytes, n);
  }
}

}  // namespace sim
