// The request block that travels to the simulator's IPC server, and the readers that
// take the traffic snapshot in place from the shared view once the server has filled it.
//
// Pure code: no platform headers. Every field is read with a bounded little-endian load
// at its byte offset; nothing casts a pointer into the view to a struct.
#pragma once
#include <cstddef>
#include <cstdint>

namespace simlink {

enum ViewMode { ViewAirborne = 0, ViewGround = 1 };

const size_t kViewBytes = 10000;          // the whole shared section
const size_t kRequestBlockBytes = 6260;   // nine read records and the terminator

// Data areas of the records that hold the traffic lists (offsets in the block).
const size_t kSlotTableAt = 172;
const size_t kSlotTableBytes = 4088;
const size_t kSlotHeadBytes = 128;        // RecordLength, SlotCount, reserved
const size_t kTrafficSlotBytes = 40;
const size_t kRouteTableAt = 4276;
const size_t kRouteTableBytes = 1980;
const size_t kSlotRouteBytes = 20;

const int kMaxSlots = 99;                 // slot records a 40-byte stride fits into one read
const int kSortCacheSlots = 100;

// Writes the nine read records for the view mode, with their pre-fills, and the
// terminator into the first 6260 bytes of view. Destination fields and everything
// from byte 6260 on are left as they are.
void BuildRequestBlock(uint8_t* view, int viewMode);

// Little-endian loads at a byte offset.
uint8_t  Load8(const uint8_t* p, size_t at);
uint16_t Load16(const uint8_t* p, size_t at);
uint32_t Load32(const uint8_t* p, size_t at);
float    LoadFloat(const uint8_t* p, size_t at);

// --- The user's aircraft -------------------------------------------------------------
int16_t  UserMagneticVariation(const uint8_t* view);   // 65536 = 360 degrees
int32_t  UserLatitudeWhole(const uint8_t* view);
uint32_t UserLatitudeFraction(const uint8_t* view);
uint32_t UserLongitudeLow(const uint8_t* view);
uint32_t UserLongitudeHigh(const uint8_t* view);
int32_t  UserAltitudeWhole(const uint8_t* view);       // metres
uint32_t UserAltitudeFraction(const uint8_t* view);    // 2^-32 metre
uint32_t UserGroundSpeed(const uint8_t* view);         // 1/65536 m/s
int32_t  UserVerticalSpeed(const uint8_t* view);       // 1/256 m/s
uint16_t UserCom1(const uint8_t* view);                // BCD after a leading 1
uint32_t UserHeading(const uint8_t* view);             // 2^32 = 360 degrees, true

// The user's position in degrees, north and east positive.
double UserLatitudeDegrees(const uint8_t* view);
double UserLongitudeDegrees(const uint8_t* view);      // (-180, 180]

// --- Nearest aircraft --------------------------------------------------------------
// Whole nautical miles to the nearest aircraft of the view mode's list; 0xFFFF = none.
uint16_t NearestDistance(const uint8_t* view, int viewMode);

// --- Slot table --------------------------------------------------------------------
uint16_t SlotRecordLength(const uint8_t* view);
uint16_t SlotCount(const uint8_t* view);

// Number of slot rows the snapshot offers: min(SlotCount, 99).
int SlotRowCount(const uint8_t* view);

// The TrafficSlot and SlotRouteInfo of slot index k, or null when k lies outside
// 0..98 or the record does not lie wholly inside its data area. A slot without both
// records reads as empty everywhere.
const uint8_t* TrafficSlotAt(const uint8_t* view, int k);
const uint8_t* SlotRouteAt(const uint8_t* view, int k);

// True when slot k has both records and a nonzero RefId.
bool SlotOccupied(const uint8_t* view, int k);

// Fields of a TrafficSlot record (slot = TrafficSlotAt(...), never null here).
uint32_t SlotRefId(const uint8_t* slot);
float    SlotLatitude(const uint8_t* slot);      // degrees
float    SlotLongitude(const uint8_t* slot);     // degrees
float    SlotAltitude(const uint8_t* slot);      // feet
uint16_t SlotHeading(const uint8_t* slot);       // 65536 = 360 degrees, true
uint16_t SlotGroundSpeed(const uint8_t* slot);   // knots
int16_t  SlotVerticalSpeed(const uint8_t* slot); // feet per minute
uint8_t  SlotState(const uint8_t* slot);
uint16_t SlotCom1(const uint8_t* slot);
const char* SlotIdField(const uint8_t* slot);    // the 15-byte field, maybe without NUL
const size_t kIdFieldBytes = 15;
const size_t kIdMaxChars = 14;

// Fields of a SlotRouteInfo record.
const char* RouteFrom(const uint8_t* route);     // 4 characters, NUL-ended when shorter
const char* RouteTo(const uint8_t* route);
uint8_t  RouteRunwayNumber(const uint8_t* route);
uint8_t  RouteRunwayDesignator(const uint8_t* route);

// Offsets of the state table that the block reads (for the server side and tests).
const uint32_t kStateMagVar = 0x02A0;
const uint32_t kStatePosition = 0x0560;
const uint32_t kStateGroundSpeed = 0x02B4;
const uint32_t kStateVerticalSpeed = 0x02C8;
const uint32_t kStateCom1 = 0x034E;
const uint32_t kStateHeading = 0x0580;
const uint32_t kStateNearest = 0x736C;           // Ground at +0, Airborne at +2
const uint32_t kStateAirborneSlots = 0xF000;
const uint32_t kStateGroundSlots = 0xE000;
const uint32_t kStateAirborneRoutes = 0xD840;
const uint32_t kStateGroundRoutes = 0xD040;

}  // namespace simlink
