// Live traffic at San Francisco International (KSFO): the user's aircraft parked at a
// gate, and AI aircraft that push back, taxi, take off on runways 01L/01R, climb out
// toward their destinations, and arrive from 75 nm out to land on 28L/28R, roll out,
// taxi in, shut down and later leave again under a new flight number. Each aircraft
// holds a slot of the ground list while on the ground and one of the airborne list
// while flying.
//
// The traffic is deterministic: the same seed and the same sequence of time steps
// give the same scene, bit for bit.
//
// Pure code: no platform headers.
#pragma once
#include <cstdint>

#include "sim/scene.h"

namespace sim {

const int kFleetSize = 256;     // room for 99 overflights beside the airport's own traffic
const int kMaxPath = 8;
const int kGates = 36;              // gate 0 is the user's
const int kRunways = 4;
const double kFieldElevation = 13;  // feet
const double kFieldLatitude = 37.6189;
const double kFieldLongitude = -122.3750;
const double kMagneticVariation = 13;    // degrees east
const double kTrafficRadius = 80;        // nm: departures leave the lists beyond it

struct Waypoint {
  double latitude, longitude;
  double altitude;       // feet
  double speed;          // knots, the target speed on the way to this point
  double climbRate;      // feet per minute toward altitude; 0: along a straight slope
};

struct Aircraft {
  int active;
  int list, slot;             // the slot it holds
  uint32_t refId;
  char idText[kIdBytes];
  char from[4], to[4];
  int destination;            // index of the other airport of the flight
  int runway;                 // -1 when none is assigned yet
  int gate;                   // -1 when it holds none
  uint8_t state;
  double latitude, longitude, altitude, heading, groundSpeed, verticalSpeed;
  double wait;                // seconds left in a stationary state
  int reverse;                // pushed back, tail first
  int goAround;               // this approach will be abandoned short of the runway
  int overflight;             // en route traffic crossing the area, not KSFO's
  double cruise;              // feet
  Waypoint path[kMaxPath];
  int pathLength, pathAt;
};

struct Traffic {
  uint64_t random;
  double clock;               // seconds since the start
  double nextArrival;         // clock of the next arrival
  int slotCount;              // SlotCount of both lists, 1..99
  int overflights;            // keep the airborne list full with overflights (below)
  uint32_t nextReference;
  int reservedSlots[2];       // slots promised to aircraft about to change lists
  double runwayFreeAt[kRunways];
  int gateTaken[kGates];
  Aircraft fleet[kFleetSize];
  SceneSlot stale[2][kSceneSlots];   // what a freed slot still holds, RefId 0
  SceneUser user;
};

// Starts the traffic: about half the gates occupied by parked aircraft, the sky empty.
// slotCount is clamped to 1..99.
void StartTraffic(Traffic* traffic, uint32_t seed, int slotCount);

// From the next step on, every free slot of the airborne list is taken by an
// overflight: en route traffic between two other airports that crosses the lists'
// 80 nm at cruise level (with 99 slots, 99 moving aircraft, for load tests). An
// arrival or a departure that finds the list full takes the slot of the overflight
// farthest from the field, which leaves the list.
void AddOverflights(Traffic* traffic);

// Advances the traffic by the given number of seconds (at most a few seconds per call
// for smooth movement; the same steps give the same result).
void StepTraffic(Traffic* traffic, double seconds);

// The traffic as a scene: both lists with SlotCount slotCount and computed nearest
// distances.
void TrafficScene(const Traffic* traffic, Scene* scene);

// The airport code of the flight's other end for a destination index; "KSFO" for -1.
const char* TrafficAirport(int destination);

}  // namespace sim
