// The scene simhost serves: the user's aircraft and the two traffic lists, in the
// units a person thinks in (degrees, feet, knots), and its encoding into the 64 KiB
// state table at the offsets and in the forms that a client's request block reads.
//
// Pure code: no platform headers.
#pragma once
#include <cstddef>
#include <cstdint>

namespace sim {

// The two traffic lists, numbered like the client's view modes.
const int kListAirborne = 0;
const int kListGround = 1;

const int kSceneSlots = 99;        // slot records that one read of a list holds
const int kIdBytes = 15;           // IdText field, NUL-ended when shorter
const int kRecordLength = 40;      // the normal distance between two slot records

// Flight state codes, in the order a flight goes through them.
enum FlightState {
  StateInit = 0x80, StatePlan = 0x82, StateClearance = 0x83, StatePush1 = 0x84,
  StatePush2 = 0x85, StateStartup = 0x86, StatePreTaxi = 0x87, StateTaxiOut = 0x88,
  StateTakeoff1 = 0x89, StateTakeoff2 = 0x8A, StateDepart = 0x8B, StateEnroute = 0x8C,
  StatePattern = 0x8D, StateLanding = 0x8E, StateRollout = 0x8F, StateGoAround = 0x90,
  StateTaxiIn = 0x91, StateShutDown = 0x92
};

struct SceneUser {
  double latitude;            // degrees, north positive
  double longitude;           // degrees, east positive
  double altitude;            // feet
  double magneticVariation;   // degrees, east positive: magnetic = true - variation
  double heading;             // degrees true
  double groundSpeed;         // knots
  double verticalSpeed;       // feet per minute
  uint16_t com1;              // BCD digits after the leading 1: 0x2180 is 121.80
};

struct SceneSlot {
  int defined;                // 0: the slot's bytes stay zero
  uint32_t refId;             // 0 = empty slot (its other fields are still written)
  char idText[kIdBytes];      // NUL-padded; all 15 bytes may be characters
  float latitude;             // degrees
  float longitude;            // degrees
  float altitude;             // feet
  double heading;             // degrees true
  double groundSpeed;         // knots, stored as a whole number 0..65535
  double verticalSpeed;       // feet per minute, stored as a whole number
  uint8_t state;              // flight state code
  uint16_t com1;              // BCD like the user's
  char from[4];               // airport codes, NUL-padded when shorter than 4
  char to[4];
  uint8_t runwayNumber;       // 0 none, 1..36, 37..44 compass points
  uint8_t runwayDesignator;   // 0 none, 1 L, 2 R, 3 C, 4 W
};

struct SceneList {
  SceneSlot slots[kSceneSlots];
  int slotCount;              // SlotCount written, 0..65535
  int recordLength;           // RecordLength written, 0..65535 (40 normally)
  int nearest;                // NearestDistance written, or -1: computed from the slots
};

// Raw bytes laid over the encoded table, for tables no well-behaved server writes.
const int kMaxPatches = 32;
const int kPatchBytes = 64;
struct ScenePatch {
  uint32_t offset;
  uint32_t length;
  uint8_t bytes[kPatchBytes];
};

struct Scene {
  SceneUser user;
  SceneList lists[2];         // kListAirborne, kListGround
  ScenePatch patches[kMaxPatches];
  int patchCount;
};

// A scene with the user at 0 N 0 E, both lists empty with SlotCount 0, RecordLength
// 40 and computed nearest distances.
void ClearScene(Scene* scene);

// Number of occupied slots (defined, RefId not 0) of a list.
int OccupiedSlots(const SceneList* list);

// Writes the scene into the state table (kStateTableBytes long): the user's aircraft,
// both slot and route tables, the nearest distances, then the patches. Slot records
// that would not lie wholly inside a list's read are not written. Bytes of the table
// that the scene does not cover are left as they are.
void EncodeScene(const Scene* scene, uint8_t* table);

// Distance in nautical miles from the user's position to an aircraft, the way the
// client's table computes it (longitude difference folded into (-180, 180], half the
// circumference at most).
double DistanceNm(double userLatitude, double userLongitude, double latitude,
                  double longitude);

// Degrees to the encodings of the table, exposed for tests and the scenario writer.
uint16_t HeadingToU16(double degrees);       // 65536 = 360 degrees
uint32_t HeadingToU32(double degrees);       // 2^32 = 360 degrees
int16_t  VariationToS16(double degrees);     // 65536 = 360 degrees, saturated

}  // namespace sim
