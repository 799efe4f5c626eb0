#include "table/compare.h"

#include "link/snapshot.h"
#include "table/columns.h"
#include "table/rowvalues.h"

namespace table {

namespace {

// The records of slot k, both or neither: a slot missing either record, or any slot
// of a missing view, reads as empty and fails a set filter.
struct SlotRecords {
  const uint8_t* slot;
  const uint8_t* route;
};

SlotRecords RecordsOf(const uint8_t* view, int32_t k) {
  SlotRecords r = {nullptr, nullptr};
  if (view == nullptr) return r;
  const uint8_t* slot = simlink::TrafficSlotAt(view, k);
  const uint8_t* route = simlink::SlotRouteAt(view, k);
  if (slot != nullptr && route != nullptr) {
    r.slot = slot;
    r.route = route;
  }
  return r;
}

bool IsEmpty(const SlotRecords& r) {
  return r.slot == nullptr || simlink::SlotRefId(r.slot) == 0;
}

bool Passes(const SlotRecords& r, const char* filter) {
  return r.route != nullptr && PassesAirportFilter(r.route, filter);
}

unsigned char Fold(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c - 'A' + 'a') : c;
}

// The identification texts, case-folded, each cut to 14 characters when its field has
// no NUL.
int CompareIdText(const uint8_t* slotA, const uint8_t* slotB) {
  const char* a = simlink::SlotIdField(slotA);
  const char* b = simlink::SlotIdField(slotB);
  for (size_t i = 0; i < simlink::kIdMaxChars; ++i) {
    unsigned char ca = Fold(static_cast<unsigned char>(a[i]));
    unsigned char cb = Fold(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
    if (ca == 0) return 0;
  }
  return 0;
}

// Dist, Brg(M) and AltDiff: the difference in hundredths, truncated, so values less
// than 0.01 apart count as equal.
int32_t CompareCached(double a, double b) {
  return SaturateToInt((a - b) * 100.0);
}

// Keys compared with no equal case: +1 when A is greater, -1 otherwise (ties and
// unordered floats included).
template <typename T>
int32_t GreaterOrBelow(T a, T b) {
  return a > b ? 1 : -1;
}

const uint8_t kStateNoName = 0x81;

int32_t CompareState(uint8_t a, uint8_t b) {
  if (a == b) return 0;
  if (a == kStateNoName) return 1;
  if (b == kStateNoName) return -1;
  return a > b ? 1 : -1;
}

// Runway numbers ascending with 0 (none) last; equal numbers by designator.
int32_t CompareRunway(const uint8_t* routeA, const uint8_t* routeB) {
  uint8_t na = simlink::RouteRunwayNumber(routeA);
  uint8_t nb = simlink::RouteRunwayNumber(routeB);
  if (na != nb) {
    if (na == 0) return 1;
    if (nb == 0) return -1;
    return na > nb ? 1 : -1;
  }
  uint8_t ga = simlink::RouteRunwayDesignator(routeA);
  uint8_t gb = simlink::RouteRunwayDesignator(routeB);
  if (ga == gb) return 0;
  return ga > gb ? 1 : -1;
}

// The sort column's key for two occupied or two empty slots; 0 = fall back to slot
// order. Both rows have their records here.
int32_t CompareKey(const uint8_t* view, const SlotRecords& A, const SlotRecords& B,
                   int32_t a, int32_t b, int32_t column) {
  const uint8_t* sa = A.slot;
  const uint8_t* sb = B.slot;
  switch (column) {
    case ColId:
      return CompareIdText(sa, sb);
    case ColDist:
      return CompareCached(SortCache.distance[a], SortCache.distance[b]);
    case ColBrg:
      return CompareCached(SortCache.bearing[a], SortCache.bearing[b]);
    case ColAltDiff:
      return CompareCached(SortCache.altitudeDifference[a],
                           SortCache.altitudeDifference[b]);
    case ColLat:
      return GreaterOrBelow(simlink::SlotLatitude(sa), simlink::SlotLatitude(sb));
    case ColLong:
      return GreaterOrBelow(simlink::SlotLongitude(sa), simlink::SlotLongitude(sb));
    case ColAlt:
      return GreaterOrBelow(simlink::SlotAltitude(sa), simlink::SlotAltitude(sb));
    case ColHdg: {
      uint16_t variation = static_cast<uint16_t>(simlink::UserMagneticVariation(view));
      uint16_t ha = static_cast<uint16_t>(simlink::SlotHeading(sa) - variation);
      uint16_t hb = static_cast<uint16_t>(simlink::SlotHeading(sb) - variation);
      return GreaterOrBelow(ha, hb);
    }
    case ColGs:
      return GreaterOrBelow(simlink::SlotGroundSpeed(sa), simlink::SlotGroundSpeed(sb));
    case ColVs:
      return GreaterOrBelow(simlink::SlotVerticalSpeed(sa),
                            simlink::SlotVerticalSpeed(sb));
    case ColCom1:
      return GreaterOrBelow(simlink::SlotCom1(sa), simlink::SlotCom1(sb));
    case ColState:
      return CompareState(simlink::SlotState(sa), simlink::SlotState(sb));
    case ColFrom:
      return CompareCode4(simlink::RouteFrom(A.route), simlink::RouteFrom(B.route));
    case ColTo:
      return CompareCode4(simlink::RouteTo(A.route), simlink::RouteTo(B.route));
    case ColRef:
      // Larger reference numbers first; equal ones count as after.
      return simlink::SlotRefId(sa) > simlink::SlotRefId(sb) ? -1 : 1;
    case ColRwy:
      return CompareRunway(A.route, B.route);
  }
  return 0;
}

}  // namespace

int32_t CompareRows(const uint8_t* view, const char* airportFilter,
                    int32_t a, int32_t b, int32_t column) {
  // 1. The user's row comes first.
  if (a < 0) return -1;
  if (b < 0) return 1;

  // Only slots with both records reach a key, so the sort cache (100 entries) is
  // read for indexes 0..98 alone.
  SlotRecords A = RecordsOf(view, a);
  SlotRecords B = RecordsOf(view, b);

  // 2. Rows that pass a set airport filter come before those that fail it.
  if (airportFilter != nullptr && airportFilter[0] != '\0') {
    if (!Passes(A, airportFilter)) return 1;
    if (!Passes(B, airportFilter)) return -1;
  }

  // 3. Occupied slots before empty ones, unless sorting by slot.
  bool emptyA = IsEmpty(A);
  bool emptyB = IsEmpty(B);
  bool bySlot = emptyA && emptyB;
  if (!bySlot && emptyA != emptyB) {
    if (column != ColSlot) return emptyA ? 1 : -1;
    bySlot = true;
  }

  // 4, 5. The sort column's key, for the columns that have one.
  if (!bySlot && column >= ColId && column <= ColRwy) {
    int32_t key = CompareKey(view, A, B, a, b, column);
    if (key != 0) return key;
  }

  // 6. Slot index order.
  return a > b ? 1 : -1;
}

}  // namespace table
