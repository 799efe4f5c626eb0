// The live traffic. Each aircraft follows a short path of waypoints at a target speed
// per leg; its flight state decides the path, the speeds and when it moves on. The
// geometry is flat-earth around the field, which is good to far better than the
// table's whole nautical miles within the 80 nm the lists cover.
#include "sim/traffic.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace sim {

namespace {

const double kPi = 3.14159265358979323846;
const double kFeetPerNm = 6076.115;

// Runway thresholds, true headings and lengths (feet).
struct Runway {
  uint8_t number, designator;
  double latitude, longitude, heading, length;
};
const Runway kRunwayTable[kRunways] = {
    {28, 1, 37.6117, -122.3576, 297.9, 11381},   // 28L
    {28, 2, 37.6135, -122.3571, 297.9, 11870},   // 28R
    {1, 1, 37.6081, -122.3830, 27.9, 7650},      // 01L
    {1, 2, 37.6068, -122.3807, 27.9, 8650},      // 01R
};
const int kFirstDepartureRunway = 2;

// The other airports, with the true bearing from KSFO along which their flights leave
// and arrive, and the airlines that fly there ("N" stands for a private aircraft that
// goes by its registration).
struct Airport {
  const char* code;
  double bearing;
  const char* airlines;
};
const Airport kAirports[] = {
    {"KLAX", 137, "UAL AAL DAL SWA ASA"}, {"KSAN", 135, "UAL SWA ASA"},
    {"KSEA", 354, "ASA UAL DAL"},         {"KPDX", 358, "ASA UAL SWA"},
    {"KLAS", 97, "SWA UAL N"},            {"KPHX", 111, "AAL SWA UAL"},
    {"KDEN", 79, "UAL SWA FFT"},          {"KORD", 67, "UAL AAL"},
    {"KDFW", 100, "AAL UAL"},             {"KJFK", 68, "JBU DAL AAL UAL"},
    {"KBOS", 64, "JBU UAL DAL"},          {"KATL", 83, "DAL"},
    {"KSLC", 66, "DAL SKW"},              {"PHNL", 245, "UAL HAL"},
    {"CYVR", 352, "ACA UAL"},             {"EGLL", 24, "BAW UAL VIR"},
    {"EDDF", 22, "DLH UAL"},              {"RJTT", 302, "ANA JAL UAL"},
    {"RKSI", 307, "KAL AAR"},             {"VHHH", 301, "CPA UAL"},
    {"YSSY", 240, "QFA UAL"},             {"KSNA", 134, "UAL ASA N"},
    {"KTRK", 62, "N"},                    {"KSBA", 140, "SKW N"},
};
const int kAirportCount = int(sizeof kAirports / sizeof kAirports[0]);

// Terminal geometry: concourses reach out from the terminal centre in six directions;
// gates lie on both sides, taxi lanes beside them.
const double kTerminalLatitude = 37.6160;
const double kTerminalLongitude = -122.3905;
const double kConcourseDirection[6] = {160, 130, 100, 70, 40, 10};
const double kConcourseRoot = 0.25;       // nm from the terminal centre
const double kGateAcross = 160;           // feet from the concourse's centre line
const double kLaneAcross = 400;
const double kSouthJunction[2] = {37.6100, -122.3850};
const double kNorthJunction[2] = {37.6185, -122.3815};

// Speeds (knots), rates (feet per minute) and accelerations (knots per second).
const double kTaxiSpeed = 18, kLaneSpeed = 10, kPushSpeed = 3;
const double kRotateSpeed = 150;

// --- Random numbers: xorshift64*, deterministic per seed ------------------------------

uint32_t NextRandom(Traffic* t) {
  t->random ^= t->random >> 12;
  t->random ^= t->random << 25;
  t->random ^= t->random >> 27;
  return uint32_t((t->random * 2685821657736338717ULL) >> 32);
}

// A whole number from lo to hi inclusive.
int RandomInt(Traffic* t, int lo, int hi) {
  return lo + int(NextRandom(t) % uint32_t(hi - lo + 1));
}

double RandomRange(Traffic* t, double lo, double hi) {
  return lo + (hi - lo) * (NextRandom(t) / 4294967296.0);
}

// --- Flat geometry around the field -------------------------------------------------

double Radians(double degrees) { return degrees * kPi / 180; }

void Move(double* lat, double* lon, double heading, double nm) {
  double h = Radians(heading);
  double startLat = *lat;
  *lat += std::cos(h) * nm / 60;
  *lon += std::sin(h) * nm / (60 * std::cos(Radians(startLat)));
}

void Offsets(double lat1, double lon1, double lat2, double lon2, double* north, double* east) {
  *north = (lat2 - lat1) * 60;
  *east = (lon2 - lon1) * 60 * std::cos(Radians((lat1 + lat2) / 2));
}

double FlatDistance(double lat1, double lon1, double lat2, double lon2) {
  double n, e;
  Offsets(lat1, lon1, lat2, lon2, &n, &e);
  return std::sqrt(n * n + e * e);
}

double BearingTo(double lat1, double lon1, double lat2, double lon2) {
  double n, e;
  Offsets(lat1, lon1, lat2, lon2, &n, &e);
  double b = std::atan2(e, n) * 180 / kPi;
  return b < 0 ? b + 360 : b;
}

double Wrap360(double degrees) {
  double d = std::fmod(degrees, 360.0);
  return d < 0 ? d + 360 : d;
}

// A point `along` feet out along concourse c and `across` feet to its side.
void ConcoursePoint(int c, double along, double across, double* lat, double* lon) {
  *lat = kTerminalLatitude;
  *lon = kTerminalLongitude;
  Move(lat, lon, kConcourseDirection[c], kConcourseRoot + along / kFeetPerNm);
  Move(lat, lon, kConcourseDirection[c] + 90, across / kFeetPerNm);
}

int GateConcourse(int gate) { return gate / 6; }
int GateSide(int gate) { return gate % 2 ? 1 : -1; }
double GateAlong(int gate) { return 200 + 250 * ((gate % 6) / 2); }

// Parked nose-in, facing the concourse.
double GateHeading(int gate) {
  return Wrap360(kConcourseDirection[GateConcourse(gate)] - 90 * GateSide(gate));
}

void GatePoint(int gate, double across, double extraAlong, double* lat, double* lon) {
  ConcoursePoint(GateConcourse(gate), GateAlong(gate) + extraAlong, across * GateSide(gate),
                 lat, lon);
}

// Concourses 0..2 open to the southern junction, 3..5 to the northern one.
const double* GateJunction(int gate) {
  return GateConcourse(gate) < 3 ? kSouthJunction : kNorthJunction;
}

void RunwayPoint(int r, double feetAlong, double feetLeft, double* lat, double* lon) {
  const Runway& rw = kRunwayTable[r];
  *lat = rw.latitude;
  *lon = rw.longitude;
  Move(lat, lon, rw.heading, feetAlong / kFeetPerNm);
  Move(lat, lon, rw.heading - 90, feetLeft / kFeetPerNm);
}

// --- Paths --------------------------------------------------------------------------

void ClearPath(Aircraft* a) {
  a->pathLength = 0;
  a->pathAt = 0;
}

void AddPoint(Aircraft* a, double lat, double lon, double alt, double speed, double rate) {
  if (a->pathLength >= kMaxPath) return;
  Waypoint& w = a->path[a->pathLength++];
  w.latitude = lat;
  w.longitude = lon;
  w.altitude = alt;
  w.speed = speed;
  w.climbRate = rate;
}

void AddGroundPoint(Aircraft* a, double lat, double lon, double speed) {
  AddPoint(a, lat, lon, kFieldElevation, speed, 0);
}

bool PathDone(const Aircraft* a) { return a->pathAt >= a->pathLength; }

// Moves the aircraft along its path for dt seconds: speed toward the leg's target
// speed at `accel` knots per second, position toward the waypoint (on to the next one
// with what is left of the step), altitude at the leg's climb rate or along the slope.
void FollowPath(Aircraft* a, double dt, double accel) {
  if (PathDone(a)) {
    a->groundSpeed = 0;
    a->verticalSpeed = 0;
    return;
  }
  double target = a->path[a->pathAt].speed;
  if (a->groundSpeed < target) a->groundSpeed = std::fmin(target, a->groundSpeed + accel * dt);
  else a->groundSpeed = std::fmax(target, a->groundSpeed - accel * dt);

  double startAlt = a->altitude;
  double step = a->groundSpeed * dt / 3600;   // nm
  for (int guard = 0; guard < kMaxPath && !PathDone(a); ++guard) {
    const Waypoint& w = a->path[a->pathAt];
    double left = FlatDistance(a->latitude, a->longitude, w.latitude, w.longitude);
    double bearing = BearingTo(a->latitude, a->longitude, w.latitude, w.longitude);
    if (left > 1e-9) a->heading = a->reverse ? Wrap360(bearing + 180) : bearing;
    double moved = step < left ? step : left;
    if (w.climbRate > 0) {
      double change = w.climbRate * dt / 60;
      if (a->altitude < w.altitude) a->altitude = std::fmin(w.altitude, a->altitude + change);
      else a->altitude = std::fmax(w.altitude, a->altitude - change);
    } else if (left > 1e-9) {
      a->altitude += (w.altitude - a->altitude) * (moved / left);
    }
    if (step < left) {
      Move(&a->latitude, &a->longitude, bearing, step);
      break;
    }
    a->latitude = w.latitude;
    a->longitude = w.longitude;
    step -= left;
    a->pathAt++;
    if (step <= 0) break;
  }
  a->verticalSpeed = dt > 0 ? (a->altitude - startAlt) * 60 / dt : 0;
}

// --- Slots --------------------------------------------------------------------------

bool SlotTaken(const Traffic* t, int list, int slot) {
  for (const Aircraft& a : t->fleet)
    if (a.active && a.list == list && a.slot == slot) return true;
  return false;
}

int FreeSlots(const Traffic* t, int list) {
  int n = 0;
  for (int k = 0; k < t->slotCount; ++k) n += !SlotTaken(t, list, k);
  return n - t->reservedSlots[list];
}

// Frees the aircraft's slot, which keeps its last contents with RefId 0, and takes
// the lowest free slot of the other list (or none, list -1, when leaving the lists).
void ChangeList(Traffic* t, Aircraft* a, int newList) {
  if (a->list >= 0 && a->slot >= 0) {
    SceneSlot& s = t->stale[a->list][a->slot];
    memset(&s, 0, sizeof s);
    s.defined = 1;
    memcpy(s.idText, a->idText, kIdBytes);
    s.latitude = float(a->latitude);
    s.longitude = float(a->longitude);
    s.altitude = float(a->altitude);
    s.heading = a->heading;
    s.state = a->state;
  }
  a->list = newList;
  a->slot = -1;
  if (newList < 0) return;
  for (int k = 0; k < t->slotCount; ++k)
    if (!SlotTaken(t, newList, k)) {
      a->slot = k;
      return;
    }
}

// With overflights, an arrival or a departure that needs a slot of the full airborne
// list gets the one of the overflight farthest from the field, which leaves the list.
void MakeRoomInTheAir(Traffic* t) {
  if (!t->overflights || FreeSlots(t, kListAirborne) >= 1) return;
  Aircraft* farthest = nullptr;
  double distance = -1;
  for (Aircraft& a : t->fleet) {
    if (!a.active || !a.overflight) continue;
    double d = FlatDistance(kFieldLatitude, kFieldLongitude, a.latitude, a.longitude);
    if (d > distance) {
      distance = d;
      farthest = &a;
    }
  }
  if (!farthest) return;
  farthest->active = 0;
  ChangeList(t, farthest, -1);
}

// --- Flights ------------------------------------------------------------------------

uint16_t Com1ForState(uint8_t state) {
  switch (state) {
    case StatePlan: case StateClearance: return 0x1820;                        // delivery
    case StatePush1: case StatePush2: case StateStartup: case StatePreTaxi:
    case StateTaxiOut: case StateTaxiIn: return 0x2180;                        // ground
    case StateTakeoff1: case StateTakeoff2: case StateLanding: case StateRollout:
    case StateGoAround: return 0x2050;                                         // tower
    case StateDepart: return 0x3510;                                           // departure
    case StateEnroute: return 0x2870;                                          // centre
    case StatePattern: return 0x3565;                                          // approach
    default: return 0;                                                         // engines off
  }
}

bool IsUsAirline(const char* code) {
  const char* us = "UAL AAL DAL SWA ASA JBU SKW FFT HAL";
  return strstr(us, code) != nullptr;
}

// A new flight number or registration for a flight to or from airport d.
void NameFlight(Traffic* t, Aircraft* a, int d) {
  const char* list = kAirports[d].airlines;
  int count = 0;
  for (const char* p = list; *p; ++p) count += *p == ' ';
  int pick = RandomInt(t, 0, count);
  const char* p = list;
  for (int i = 0; i < pick; ++i) p = strchr(p, ' ') + 1;
  char airline[4] = {0};
  for (int i = 0; i < 3 && p[i] && p[i] != ' '; ++i) airline[i] = p[i];

  char text[32];
  if (airline[0] == 'N' && airline[1] == 0) {
    snprintf(text, sizeof text, "N%d%c%c", RandomInt(t, 100, 999), 'A' + RandomInt(t, 0, 25),
             'A' + RandomInt(t, 0, 25));
  } else {
    int number = IsUsAirline(airline) ? RandomInt(t, 100, 2999) : RandomInt(t, 1, 999);
    snprintf(text, sizeof text, "%s%d", airline, number);
  }
  memset(a->idText, 0, kIdBytes);
  memcpy(a->idText, text, strlen(text) < size_t(kIdBytes - 1) ? strlen(text) : kIdBytes - 1);
}

void SetRoute(Aircraft* a, const char* from, const char* to) {
  memset(a->from, 0, 4);
  memset(a->to, 0, 4);
  memcpy(a->from, from, strnlen(from, 4));
  memcpy(a->to, to, strnlen(to, 4));
}

void SetState(Aircraft* a, uint8_t state) { a->state = state; }

Aircraft* FreeAircraft(Traffic* t) {
  for (Aircraft& a : t->fleet)
    if (!a.active) {
      memset(&a, 0, sizeof a);
      a.active = 1;
      a.list = -1;
      a.slot = -1;
      a.runway = -1;
      a.gate = -1;
      return &a;
    }
  return nullptr;
}

uint32_t NewReference(Traffic* t) {
  uint32_t n = t->nextReference++;
  if (t->nextReference > 32767) t->nextReference = 1;
  return 0u - n;   // shown by the client as n
}

// An overflight between two other airports, far enough apart in bearing to cross the
// area: it enters the airborne list 78 nm out on its origin's bearing and flies level,
// at cruise speed, toward the point 100 nm out on its destination's bearing, leaving
// the list beyond 80 nm. 0 when the fleet has no aircraft to spare.
int SpawnOverflight(Traffic* t) {
  Aircraft* a = FreeAircraft(t);
  if (!a) return 0;
  int from = RandomInt(t, 0, kAirportCount - 1);
  int to = from;
  for (int tries = 0; tries < 64 && std::fabs(std::remainder(kAirports[to].bearing -
                                                              kAirports[from].bearing, 360.0)) < 90;
       ++tries)
    to = RandomInt(t, 0, kAirportCount - 1);
  a->overflight = 1;
  a->refId = NewReference(t);
  a->destination = to;
  NameFlight(t, a, from);
  SetRoute(a, kAirports[from].code, kAirports[to].code);
  a->latitude = kFieldLatitude;
  a->longitude = kFieldLongitude;
  Move(&a->latitude, &a->longitude, kAirports[from].bearing + RandomRange(t, -15, 15), 78);
  a->cruise = 1000.0 * RandomInt(t, 25, 39);
  a->altitude = a->cruise;
  a->groundSpeed = RandomInt(t, 420, 480);
  double lat = kFieldLatitude, lon = kFieldLongitude;
  Move(&lat, &lon, kAirports[to].bearing + RandomRange(t, -15, 15), 100);
  ClearPath(a);
  AddPoint(a, lat, lon, a->cruise, a->groundSpeed, 0);
  a->heading = BearingTo(a->latitude, a->longitude, lat, lon);
  ChangeList(t, a, kListAirborne);
  SetState(a, StateEnroute);
  return 1;
}

// A parked aircraft at gate g, ready for its next departure after `wait` seconds.
void ParkForDeparture(Traffic* t, Aircraft* a, int g, double wait) {
  a->gate = g;
  t->gateTaken[g] = 1;
  GatePoint(g, kGateAcross, 0, &a->latitude, &a->longitude);
  a->altitude = kFieldElevation;
  a->heading = GateHeading(g);
  a->groundSpeed = 0;
  a->verticalSpeed = 0;
  a->reverse = 0;
  a->runway = -1;
  a->destination = RandomInt(t, 0, kAirportCount - 1);
  NameFlight(t, a, a->destination);
  SetRoute(a, "KSFO", kAirports[a->destination].code);
  a->cruise = 1000.0 * RandomInt(t, 24, 39);
  a->wait = wait;
  ClearPath(a);
  SetState(a, StateInit);
}

int FreeGate(Traffic* t) {
  int free[kGates];
  int n = 0;
  for (int g = 1; g < kGates; ++g)
    if (!t->gateTaken[g]) free[n++] = g;
  return n ? free[RandomInt(t, 0, n - 1)] : -1;
}

void SpawnArrival(Traffic* t) {
  if (FreeSlots(t, kListGround) < 1) return;
  MakeRoomInTheAir(t);
  if (FreeSlots(t, kListAirborne) < 1) return;
  int g = FreeGate(t);
  if (g < 0) return;
  Aircraft* a = FreeAircraft(t);
  if (!a) return;
  a->refId = NewReference(t);
  a->destination = RandomInt(t, 0, kAirportCount - 1);
  NameFlight(t, a, a->destination);
  SetRoute(a, kAirports[a->destination].code, "KSFO");
  a->gate = g;
  t->gateTaken[g] = 1;
  t->reservedSlots[kListGround]++;   // taken at touchdown
  a->latitude = kFieldLatitude;
  a->longitude = kFieldLongitude;
  Move(&a->latitude, &a->longitude, kAirports[a->destination].bearing + RandomRange(t, -4, 4),
       75);
  a->altitude = 1000.0 * RandomInt(t, 16, 28);
  a->groundSpeed = RandomInt(t, 300, 340);
  a->runway = -1;
  a->goAround = RandomInt(t, 1, 12) == 1;
  ChangeList(t, a, kListAirborne);
  SetState(a, StateEnroute);
  // Toward the initial approach fix, 20 nm out on the final approach course.
  int r = RandomInt(t, 0, 1);
  double lat, lon;
  RunwayPoint(r, -20 * kFeetPerNm, 0, &lat, &lon);
  ClearPath(a);
  AddPoint(a, lat, lon, 6000, 250, 1800);
  a->runway = -2 - r;   // chosen, not yet announced: shown from the approach on
}

int AssignedRunway(const Aircraft* a) { return a->runway <= -2 ? -2 - a->runway : a->runway; }

void BeginFinal(Aircraft* a) {
  int r = AssignedRunway(a);
  double lat, lon;
  ClearPath(a);
  RunwayPoint(r, 0, 0, &lat, &lon);
  AddPoint(a, lat, lon, kFieldElevation + 50, 140, 0);
  SetState(a, StateLanding);
}

void BeginPattern(Aircraft* a, bool afterGoAround) {
  int r = AssignedRunway(a);
  a->runway = r;
  double lat, lon;
  ClearPath(a);
  if (afterGoAround) {   // a left-hand circuit back to the final approach fix
    RunwayPoint(r, 5 * kFeetPerNm, 5 * kFeetPerNm, &lat, &lon);
    AddPoint(a, lat, lon, 3000, 210, 1500);
    RunwayPoint(r, -12 * kFeetPerNm, 5 * kFeetPerNm, &lat, &lon);
    AddPoint(a, lat, lon, 3000, 210, 1500);
  } else {
    RunwayPoint(r, -20 * kFeetPerNm, 0, &lat, &lon);
    AddPoint(a, lat, lon, 6000, 230, 1800);
  }
  RunwayPoint(r, -10 * kFeetPerNm, 0, &lat, &lon);
  AddPoint(a, lat, lon, 3200, 180, 1200);
  SetState(a, StatePattern);
}

void BeginTaxiIn(Aircraft* a) {
  ClearPath(a);
  AddGroundPoint(a, kNorthJunction[0], kNorthJunction[1], kTaxiSpeed);
  const double* j = GateJunction(a->gate);
  if (j != kNorthJunction) AddGroundPoint(a, j[0], j[1], kTaxiSpeed);
  double lat, lon;
  ConcoursePoint(GateConcourse(a->gate), 0, kLaneAcross * GateSide(a->gate), &lat, &lon);
  AddGroundPoint(a, lat, lon, kLaneSpeed);
  GatePoint(a->gate, kLaneAcross, 0, &lat, &lon);
  AddGroundPoint(a, lat, lon, kLaneSpeed);
  GatePoint(a->gate, kGateAcross, 0, &lat, &lon);
  AddGroundPoint(a, lat, lon, kPushSpeed + 2);
  SetState(a, StateTaxiIn);
}

void BeginTaxiOut(Traffic* t, Aircraft* a) {
  double lat, lon;
  ClearPath(a);
  a->reverse = 0;
  ConcoursePoint(GateConcourse(a->gate), 0, kLaneAcross * GateSide(a->gate), &lat, &lon);
  AddGroundPoint(a, lat, lon, kLaneSpeed);
  const double* j = GateJunction(a->gate);
  AddGroundPoint(a, j[0], j[1], kTaxiSpeed);
  if (j != kSouthJunction) AddGroundPoint(a, kSouthJunction[0], kSouthJunction[1], kTaxiSpeed);
  RunwayPoint(a->runway, 0, 300, &lat, &lon);   // the holding point beside the threshold
  AddGroundPoint(a, lat, lon, kLaneSpeed);
  t->gateTaken[a->gate] = 0;
  a->gate = -1;
  SetState(a, StateTaxiOut);
}

void BeginTakeoff(Traffic* t, Aircraft* a) {
  double lat, lon;
  ClearPath(a);
  RunwayPoint(a->runway, 0, 0, &lat, &lon);
  AddGroundPoint(a, lat, lon, 8);
  RunwayPoint(a->runway, kRunwayTable[a->runway].length, 0, &lat, &lon);
  AddGroundPoint(a, lat, lon, 175);
  t->runwayFreeAt[a->runway] = t->clock + 75;
  t->reservedSlots[kListAirborne]++;   // taken at rotation
  SetState(a, StateTakeoff1);
}

void BeginDeparture(Aircraft* a) {
  double lat = kFieldLatitude, lon = kFieldLongitude;
  Move(&lat, &lon, kAirports[a->destination].bearing, 100);
  ClearPath(a);
  AddPoint(a, lat, lon, 10000, 250, 2200);
  SetState(a, StateDepart);
}

// Moves one aircraft on by dt seconds and takes it to its next state when due.
void StepAircraft(Traffic* t, Aircraft* a, double dt) {
  switch (a->state) {
    case StateInit:
    case StatePlan:
    case StateClearance:
    case StateStartup:
    case StatePreTaxi:
    case StateShutDown:
      a->groundSpeed = 0;
      a->verticalSpeed = 0;
      a->wait -= dt;
      if (a->wait > 0) return;
      if (a->state == StateInit) {
        SetState(a, StatePlan);
        a->wait = RandomRange(t, 30, 90);
      } else if (a->state == StatePlan) {
        SetState(a, StateClearance);
        a->runway = kFirstDepartureRunway + RandomInt(t, 0, 1);
        a->wait = RandomRange(t, 30, 90);
      } else if (a->state == StateClearance) {
        double lat, lon;   // straight back out of the stand to the lane
        ClearPath(a);
        a->reverse = 1;
        GatePoint(a->gate, kLaneAcross, 0, &lat, &lon);
        AddGroundPoint(a, lat, lon, kPushSpeed);
        SetState(a, StatePush1);
      } else if (a->state == StateStartup) {
        SetState(a, StatePreTaxi);
        a->wait = RandomRange(t, 20, 45);
      } else if (a->state == StatePreTaxi) {
        BeginTaxiOut(t, a);
      } else {   // shut down at the gate: the next flight of the same aircraft
        ParkForDeparture(t, a, a->gate, RandomRange(t, 900, 2700));
      }
      return;

    case StatePush1:
      FollowPath(a, dt, 0.5);
      if (PathDone(a)) {   // tail swung round along the lane, nose toward the terminal
        double lat, lon;
        ClearPath(a);
        GatePoint(a->gate, kLaneAcross, 150, &lat, &lon);
        AddGroundPoint(a, lat, lon, kPushSpeed);
        SetState(a, StatePush2);
      }
      return;

    case StatePush2:
      FollowPath(a, dt, 0.5);
      if (PathDone(a)) {
        a->reverse = 0;
        a->heading = Wrap360(kConcourseDirection[GateConcourse(a->gate)] + 180);
        SetState(a, StateStartup);
        a->wait = RandomRange(t, 60, 120);
      }
      return;

    case StateTaxiOut:
      FollowPath(a, dt, 1.5);
      if (PathDone(a) && t->clock >= t->runwayFreeAt[a->runway]) {
        MakeRoomInTheAir(t);
        if (FreeSlots(t, kListAirborne) >= 1) BeginTakeoff(t, a);
      }
      return;

    case StateTakeoff1:
      FollowPath(a, dt, a->pathAt == 0 ? 1.5 : 3.5);
      a->altitude = kFieldElevation;
      a->verticalSpeed = 0;
      if (a->groundSpeed >= kRotateSpeed || PathDone(a)) {
        t->reservedSlots[kListAirborne]--;
        ChangeList(t, a, kListAirborne);
        double lat = a->latitude, lon = a->longitude;
        Move(&lat, &lon, kRunwayTable[a->runway].heading, 4);
        ClearPath(a);
        AddPoint(a, lat, lon, 3000, 190, 2500);
        SetState(a, StateTakeoff2);
      }
      return;

    case StateTakeoff2:
      FollowPath(a, dt, 1.5);
      if (a->altitude >= 1500 || PathDone(a)) BeginDeparture(a);
      return;

    case StateDepart:
      FollowPath(a, dt, 1.0);
      if (a->altitude >= 10000 - 1) {
        a->path[0].altitude = a->cruise;
        a->path[0].speed = RandomInt(t, 440, 480);
        a->path[0].climbRate = 1800;
        SetState(a, StateEnroute);
      }
      if (FlatDistance(kFieldLatitude, kFieldLongitude, a->latitude, a->longitude) >
          kTrafficRadius)
        a->active = 0;
      return;

    case StateEnroute:
      FollowPath(a, dt, 1.0);
      if (a->gate < 0) {   // outbound: leaves the lists beyond their radius
        if (FlatDistance(kFieldLatitude, kFieldLongitude, a->latitude, a->longitude) >
                kTrafficRadius ||
            PathDone(a))
          a->active = 0;
      } else if (FlatDistance(kFieldLatitude, kFieldLongitude, a->latitude, a->longitude) <
                     35 ||
                 PathDone(a)) {
        BeginPattern(a, false);
      }
      return;

    case StatePattern:
      FollowPath(a, dt, 1.0);
      if (PathDone(a)) BeginFinal(a);
      return;

    case StateLanding:
      FollowPath(a, dt, 1.0);
      if (a->goAround && a->altitude <= kFieldElevation + 400) {
        a->goAround = 0;
        double lat, lon;
        RunwayPoint(a->runway, 5 * kFeetPerNm, 0, &lat, &lon);
        ClearPath(a);
        AddPoint(a, lat, lon, 3000, 200, 2000);
        SetState(a, StateGoAround);
      } else if (PathDone(a)) {   // touchdown
        t->reservedSlots[kListGround]--;
        ChangeList(t, a, kListGround);
        a->altitude = kFieldElevation;
        a->verticalSpeed = 0;
        a->groundSpeed = 135;
        double lat, lon;
        ClearPath(a);
        RunwayPoint(a->runway, 6500, 0, &lat, &lon);
        AddGroundPoint(a, lat, lon, 20);
        RunwayPoint(a->runway, 6500 + 300, 400, &lat, &lon);
        AddGroundPoint(a, lat, lon, 15);
        SetState(a, StateRollout);
      }
      return;

    case StateGoAround:
      FollowPath(a, dt, 1.0);
      if (PathDone(a)) BeginPattern(a, true);
      return;

    case StateRollout:
      FollowPath(a, dt, 4.0);
      a->altitude = kFieldElevation;
      a->verticalSpeed = 0;
      if (PathDone(a)) {
        a->runway = -1;
        BeginTaxiIn(a);
      }
      return;

    case StateTaxiIn:
      FollowPath(a, dt, 1.5);
      if (PathDone(a)) {
        a->heading = GateHeading(a->gate);
        SetState(a, StateShutDown);
        a->wait = RandomRange(t, 120, 300);
      }
      return;

    default:
      return;
  }
}

}  // namespace

const char* TrafficAirport(int destination) {
  if (destination < 0 || destination >= kAirportCount) return "KSFO";
  return kAirports[destination].code;
}

void StartTraffic(Traffic* t, uint32_t seed, int slotCount) {
  memset(t, 0, sizeof *t);
  t->random = 0x9E3779B97F4A7C15ULL ^ (uint64_t(seed) * 0xD1B54A32D192ED03ULL);
  if (t->random == 0) t->random = 1;
  t->slotCount = slotCount < 1 ? 1 : slotCount > kSceneSlots ? kSceneSlots : slotCount;
  t->nextReference = uint32_t(RandomInt(t, 100, 900));
  t->nextArrival = RandomRange(t, 5, 40);

  // The user: parked at gate 0 with the ATIS tuned.
  t->gateTaken[0] = 1;
  SceneUser& u = t->user;
  GatePoint(0, kGateAcross, 0, &u.latitude, &u.longitude);
  u.altitude = kFieldElevation;
  u.magneticVariation = kMagneticVariation;
  u.heading = GateHeading(0);
  u.com1 = 0x1885;

  // About half the gates hold an aircraft waiting for its next departure.
  int parked = (kGates - 1) / 2;
  if (parked > t->slotCount - 2) parked = t->slotCount - 2;
  for (int i = 0; i < parked; ++i) {
    int g = FreeGate(t);
    Aircraft* a = g >= 0 ? FreeAircraft(t) : nullptr;
    if (!a) break;
    a->refId = NewReference(t);
    ParkForDeparture(t, a, g, RandomRange(t, 30, 2400));
    ChangeList(t, a, kListGround);
  }
}

void StepTraffic(Traffic* t, double seconds) {
  if (!(seconds > 0)) return;
  if (seconds > 60) seconds = 60;
  t->clock += seconds;
  if (t->clock >= t->nextArrival) {
    SpawnArrival(t);
    t->nextArrival = t->clock + RandomRange(t, 50, 130);
  }
  for (Aircraft& a : t->fleet) {
    if (!a.active) continue;
    StepAircraft(t, &a, seconds);
    if (!a.active) ChangeList(t, &a, -1);   // gone from the lists: free its slot
  }
  while (t->overflights && FreeSlots(t, kListAirborne) >= 1 && SpawnOverflight(t)) {
  }
}

void AddOverflights(Traffic* t) { t->overflights = 1; }

void TrafficScene(const Traffic* t, Scene* scene) {
  ClearScene(scene);
  scene->user = t->user;
  for (int l = 0; l < 2; ++l) {
    scene->lists[l].slotCount = t->slotCount;
    for (int k = 0; k < t->slotCount; ++k) scene->lists[l].slots[k] = t->stale[l][k];
  }
  for (const Aircraft& a : t->fleet) {
    if (!a.active || a.list < 0 || a.slot < 0) continue;
    SceneSlot& s = scene->lists[a.list].slots[a.slot];
    memset(&s, 0, sizeof s);
    s.defined = 1;
    s.refId = a.refId;
    memcpy(s.idText, a.idText, kIdBytes);
    s.latitude = float(a.latitude);
    s.longitude = float(a.longitude);
    s.altitude = float(a.altitude);
    s.heading = a.heading;
    s.groundSpeed = a.groundSpeed;
    s.verticalSpeed = a.verticalSpeed;
    s.state = a.state;
    s.com1 = Com1ForState(a.state);
    memcpy(s.from, a.from, 4);
    memcpy(s.to, a.to, 4);
    int r = a.runway;
    if (r >= 0 && r < kRunways && a.state >= StateClearance) {
      s.runwayNumber = kRunwayTable[r].number;
      s.runwayDesignator = kRunwayTable[r].designator;
    }
  }
}

}  // namespace sim
