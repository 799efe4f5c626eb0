// Writes the seed corpus of the fuzz targets: make_seeds DIR writes DIR/snapshot,
// DIR/settings, DIR/server and DIR/scenario (the folders must exist). The files kept in
// fuzz/corpus are its output; run it again after a change of a target's input format.
//
//   snapshot: the worked examples (the user at 50 N 0 E with aircraft one degree away),
//             the hostile tables (SlotCount 0 and 255, RecordLength 0, 41, 3921 and
//             65535, IdText and codes without NUL, NaN and infinite positions, the
//             180-degree meridian, runway numbers past 44, fields at their limits), and
//             simhost's scenes as its server fills a client's block;
//   settings: settings files of the documented forms and hostile ones;
//   server:   request blocks as a client sends them, and broken ones;
//   scenario: simhost's built-in scenarios and its live traffic written out.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "link/snapshot.h"
#include "sim/scenario.h"
#include "sim/scene.h"
#include "sim/server.h"
#include "sim/traffic.h"

using namespace simlink;

namespace {

std::string Dir;

void WriteFile(const char* folder, const std::string& name, const std::vector<uint8_t>& bytes) {
  std::string path = Dir + "/" + folder + "/" + name;
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) {
    perror(path.c_str());
    return;
  }
  if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
}

// --- Snapshot blocks -----------------------------------------------------------------

enum FilterKind { NoFilter = 0, InputFilter = 1, FromOfSlot0 = 2, ToOfSlot0 = 3 };

struct Block {
  std::vector<uint8_t> b = std::vector<uint8_t>(kRequestBlockBytes);
  explicit Block(int mode = ViewAirborne) { BuildRequestBlock(b.data(), mode); }

  void Put16(size_t at, uint16_t v) {
    for (int i = 0; i < 2; ++i) b[at + i] = uint8_t(v >> (8 * i));
  }
  void Put32(size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
  }
  void PutFloat(size_t at, float f) {
    uint32_t v;
    memcpy(&v, &f, 4);
    Put32(at, v);
  }
  void PutText(size_t at, const char* text, size_t field) {
    memset(&b[at], 0, field);
    memcpy(&b[at], text, strnlen(text, field));
  }

  // The user's aircraft in degrees, metres and raw units.
  void User(double lat, double lon, int32_t altMetres, int16_t magVar) {
    double units = std::fabs(lat) * 10001750 / 90;
    double whole = std::floor(units);
    Put32(34, uint32_t((units - whole) * 4294967296.0));
    Put32(38, uint32_t(int32_t(lat < 0 ? -whole : whole)));
    double turns = (lon < 0 ? lon + 360 : lon) / 360;   // 2^64 = one turn
    double high = std::floor(turns * 4294967296.0);
    Put32(42, uint32_t((turns * 4294967296.0 - high) * 4294967296.0));
    Put32(46, uint32_t(high));
    Put32(54, uint32_t(altMetres));
    Put16(16, uint16_t(magVar));
  }
  void UserMotion(uint32_t heading, uint32_t groundSpeed, int32_t verticalSpeed, uint16_t com1) {
    Put32(132, heading);
    Put32(74, groundSpeed);
    Put32(94, uint32_t(verticalSpeed));
    Put16(114, com1);
  }
  void Nearest(uint16_t ground, uint16_t airborne) {
    Put16(152, ground);
    Put16(154, airborne);
  }
  void Table(uint16_t recordLength, uint16_t count) {
    Put16(kSlotTableAt, recordLength);
    Put16(kSlotTableAt + 2, count);
  }

  // Slot k with the 40-byte stride, or at the block's RecordLength when it fits.
  size_t SlotAt(int k) {
    size_t stride = size_t(b[kSlotTableAt]) | size_t(b[kSlotTableAt + 1]) << 8;
    return kSlotTableAt + kSlotHeadBytes + stride * size_t(k);
  }
  size_t RouteAt(int k) {
    size_t stride = size_t(b[kSlotTableAt]) | size_t(b[kSlotTableAt + 1]) << 8;
    return kRouteTableAt + stride * size_t(k) / 2;
  }
  void Slot(int k, uint32_t ref, const char* id, float lat, float lon, float alt,
            uint16_t heading, uint16_t gs, int16_t vs, uint8_t state, uint16_t com1) {
    size_t at = SlotAt(k);
    Put32(at, ref);
    PutFloat(at + 4, lat);
    PutFloat(at + 8, lon);
    PutFloat(at + 12, alt);
    Put16(at + 16, heading);
    Put16(at + 18, gs);
    Put16(at + 20, uint16_t(vs));
    PutText(at + 22, id, kIdFieldBytes);
    b[at + 37] = state;
    Put16(at + 38, com1);
  }
  void Route(int k, const char* from, const char* to, uint8_t number, uint8_t designator) {
    size_t at = RouteAt(k);
    PutText(at + 8, from, 4);
    PutText(at + 12, to, 4);
    b[at + 16] = number;
    b[at + 17] = designator;
  }

  void Save(const std::string& name, int filterKind = NoFilter, const char* filter = "") {
    std::vector<uint8_t> bytes(5, 0);
    int mode = Load32(b.data(), 156 + 4) == kStateGroundSlots ? 1 : 0;
    bytes[0] = uint8_t(mode | filterKind << 1);
    memcpy(&bytes[1], filter, strnlen(filter, 4));
    bytes.insert(bytes.end(), b.begin(), b.end());
    WriteFile("snapshot", name, bytes);
  }
};

// The worked examples: the user at 50 N 0 E, 1000 m, and aircraft one degree north,
// east, south, west and north-east, one at the user's own position, one empty slot.
Block Examples(int mode = ViewAirborne, int16_t magVar = 0) {
  Block k(mode);
  k.User(50, 0, 1000, magVar);
  k.UserMotion(0x40000000u, 0x00338000u, 512, 0x2345);
  k.Nearest(0, 60);
  k.Table(40, 8);
  k.Slot(0, 700, "BAW123", 51, 0, 5000, 0x4000, 250, -500, 0x8C, 0x2345);
  k.Route(0, "KSEA", "EGLL", 9, 1);
  k.Slot(1, 650, "dlh4u", 50, 1, -11.3f, 0xC000, 12, 0, 0x80, 0x1830);
  k.Route(1, "ksea", "KJFK", 9, 2);
  k.Slot(2, 12, "N12345", 49, 0, 11.5f, 0, 0, 0, 0x81, 0);
  k.Route(2, "EGL", "LFPG", 27, 0);
  k.Slot(3, 0x8000, "_under", 50, -1, 37000, 0xFFFF, 480, 1800, 0x92, 0x2180);
  k.Route(3, "EGLL", "KSEA", 37, 0);
  k.Slot(4, 0xFFFFFFFF, "Zulu9", 51, 1, 3000, 0x2000, 140, -700, 0x93, 0x9999);
  k.Route(4, "LFPG", "EGLL", 0, 3);
  k.Slot(5, 0, "EMPTY", 52, 2, 100, 1, 1, 1, 0x8C, 0x2000);   // RefId 0: an empty slot
  k.Route(5, "KSEA", "KSEA", 1, 1);
  k.Slot(6, 33, "HERE", 50, 0, 3280.84f, 0x8000, 0, 0, 0xFF, 0x0100);
  k.Route(6, "EGLL", "", 44, 4);
  k.Slot(7, 34, "Tie", 51, 0, 5000, 0x4000, 250, -500, 0x8C, 0x2345);
  k.Route(7, "EGLL", "KSEA", 9, 1);
  return k;
}

uint32_t Random(uint32_t* state) {
  *state = *state * 1664525u + 1013904223u;
  return *state >> 8;
}

// 99 occupied slots with varied fields, many of them equal, for the comparator.
void FillAll(Block* k, uint32_t seed) {
  static const char* const kCodes[] = {"KSEA", "EGLL", "EGL", "ksea", "", "LFPG"};
  for (int i = 0; i < kMaxSlots; ++i) {
    char id[16];
    snprintf(id, sizeof id, "AC%u", Random(&seed) % 40);
    float lat = 45 + float(Random(&seed) % 1000) / 100;
    float lon = -5 + float(Random(&seed) % 1000) / 100;
    k->Slot(i, Random(&seed) % 5, id, lat, lon, float(Random(&seed) % 40000),
            uint16_t(Random(&seed)), uint16_t(Random(&seed) % 600), int16_t(Random(&seed)),
            uint8_t(0x7E + Random(&seed) % 24), uint16_t(Random(&seed) % 3 * 0x1111));
    k->Route(i, kCodes[Random(&seed) % 6], kCodes[Random(&seed) % 6],
             uint8_t(Random(&seed) % 50), uint8_t(Random(&seed) % 6));
  }
}

void SnapshotSeeds() {
  Block(ViewAirborne).Save("prefill-airborne");
  Block(ViewGround).Save("prefill-ground");

  Examples().Save("examples");
  Examples().Save("examples-filter-ksea", InputFilter, "KSEA");
  Examples().Save("examples-filter-egl", InputFilter, "EGL");
  Examples().Save("examples-filter-from-slot0", FromOfSlot0);
  Examples().Save("examples-filter-to-slot0", ToOfSlot0);
  Examples(ViewGround).Save("examples-ground");
  Examples(ViewAirborne, 1820).Save("examples-magvar-1820");
  Examples(ViewAirborne, -32768).Save("examples-magvar-min");

  Block k = Examples();
  k.Table(40, 0);
  k.Save("count0");
  k = Examples();
  k.Table(40, 255);
  FillAll(&k, 7);
  k.Save("count255");
  k.Save("count255-filter-from-slot0", FromOfSlot0);
  k = Examples();
  k.Table(40, 99);
  FillAll(&k, 11);
  k.Save("full99", InputFilter, "KSEA");

  const uint16_t lengths[] = {0, 1, 39, 41, 3921, 65535};
  for (uint16_t length : lengths) {
    Block r = Examples();
    r.Table(40, 99);
    FillAll(&r, length);
    r.Table(length, 99);
    r.Slot(0, 700, "BAW123", 51, 0, 5000, 0x4000, 250, -500, 0x8C, 0x2345);   // any stride
    r.Route(0, "KSEA", "EGLL", 9, 1);
    r.Save("reclen" + std::to_string(length), FromOfSlot0);
  }

  k = Examples();
  k.PutText(k.SlotAt(0) + 22, "ABCDEFGHIJKLMNO", kIdFieldBytes);   // 15 characters
  k.PutText(k.SlotAt(1) + 22, "abcdefghijklmnO", kIdFieldBytes);
  k.PutText(k.RouteAt(0) + 8, "EGLLX", 4);
  k.PutText(k.RouteAt(0) + 12, "KSEAX", 4);
  k.Save("idnonul");
  k.Save("idnonul-filter", InputFilter, "EGLL");

  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  k = Examples();
  k.PutFloat(k.SlotAt(0) + 4, nan);
  k.PutFloat(k.SlotAt(1) + 8, inf);
  k.PutFloat(k.SlotAt(2) + 4, -inf);
  k.PutFloat(k.SlotAt(2) + 8, inf);
  k.PutFloat(k.SlotAt(3) + 4, 3e38f);
  k.PutFloat(k.SlotAt(3) + 12, nan);
  k.PutFloat(k.SlotAt(4) + 12, -inf);
  k.PutFloat(k.SlotAt(6) + 8, -3e38f);
  k.Save("nan-inf");

  k = Examples();
  k.User(-16.6906, -179.8767, 18, 2185);
  k.Slot(0, 1, "EAST", -16.70f, 179.95f, 3000, 0, 120, 0, 0x8C, 0);
  k.Slot(1, 2, "WEST", -16.60f, -179.70f, 4000, 0, 120, 0, 0x8C, 0);
  k.Slot(2, 3, "FAR", 16.6f, 0.12f, 4000, 0, 120, 0, 0x8C, 0);   // the antipode, nearly
  k.Slot(3, 4, "POLE", 90, 180, 0, 0, 0, 0, 0x8C, 0);
  k.Save("antimeridian");

  k = Examples();
  k.Route(0, "KSEA", "EGLL", 200, 9);
  k.Route(1, "KSEA", "EGLL", 255, 255);
  k.Route(2, "KSEA", "EGLL", 45, 4);
  k.Save("runway200");

  // Every user field at its limits.
  k = Examples();
  k.Put32(34, 0xFFFFFFFFu);
  k.Put32(38, 0x80000000u);
  k.Put32(42, 0);
  k.Put32(46, 0x80000000u);   // exactly +180 degrees
  k.Put32(50, 0xFFFFFFFFu);
  k.Put32(54, 0x7FFFFFFFu);
  k.UserMotion(0xFFFFFFFFu, 0xFFFFFFFFu, -2147483647 - 1, 0xFFFF);
  k.Put16(16, 0x8000);
  k.Save("user-limits");

  // simhost's scenes, served into a client's block the way simhost serves them.
  std::vector<uint8_t> table(sim::kStateTableBytes);
  std::vector<uint8_t> view(kViewBytes);
  static sim::Scene scene;
  for (int i = 0; sim::BuiltinScenarioName(i); ++i) {
    const char* name = sim::BuiltinScenarioName(i);
    const char* text = sim::BuiltinScenario(name);
    char error[sim::kScenarioErrorBytes];
    if (!sim::ParseScenario(text, strlen(text), &scene, error, sizeof error)) {
      fprintf(stderr, "scenario %s: %s\n", name, error);
      continue;
    }
    std::fill(table.begin(), table.end(), 0);
    sim::EncodeScene(&scene, table.data());
    for (int mode = 0; mode < 2; ++mode) {
      Block s(mode);
      memcpy(view.data(), s.b.data(), kRequestBlockBytes);
      sim::ServeRequest(view.data(), kViewBytes, table.data(), table.size(), nullptr, 0);
      memcpy(s.b.data(), view.data(), kRequestBlockBytes);
      s.Save(std::string("sim-") + name + (mode ? "-ground" : "-airborne"), FromOfSlot0);
    }
  }
  static sim::Traffic traffic;
  sim::StartTraffic(&traffic, 1, 60);
  for (int minute = 1; minute <= 20; ++minute) {
    for (int step = 0; step < 60; ++step) sim::StepTraffic(&traffic, 1.0);
    if (minute % 10) continue;
    sim::TrafficScene(&traffic, &scene);
    std::fill(table.begin(), table.end(), 0);
    sim::EncodeScene(&scene, table.data());
    for (int mode = 0; mode < 2; ++mode) {
      Block s(mode);
      memcpy(view.data(), s.b.data(), kRequestBlockBytes);
      sim::ServeRequest(view.data(), kViewBytes, table.data(), table.size(), nullptr, 0);
      memcpy(s.b.data(), view.data(), kRequestBlockBytes);
      s.Save("sim-traffic-" + std::to_string(minute) + (mode ? "min-ground" : "min-airborne"),
             mode ? InputFilter : NoFilter, "KSFO");
    }
  }
}

// --- Settings files ------------------------------------------------------------------

void SettingsSeed(const std::string& name, const std::string& text, int flags = 0,
                  int16_t n = 80, int32_t width = 1920, int32_t height = 1080) {
  std::vector<uint8_t> bytes(11, 0);
  bytes[0] = uint8_t(flags);
  memcpy(&bytes[1], &n, 2);
  memcpy(&bytes[3], &width, 4);
  memcpy(&bytes[7], &height, 4);
  bytes.insert(bytes.end(), text.begin(), text.end());
  WriteFile("settings", name, bytes);
}

std::string Columns(const char* section, int shift) {
  static const char* const kKeys[17] = {"Slot", "ID", "Dist", "Brg(M)", "AltDiff", "Lat",
                                        "Long", "Alt", "Hdg(M)", "GS", "VS", "COM1",
                                        "State", "From", "To", "Ref", "Rwy"};
  std::string s = std::string("[") + section + "]\r\n";
  for (int j = 0; j < 17; ++j)
    s += std::string(kKeys[j]) + "=" + std::to_string((j + shift) % 17) + "," +
         std::to_string(40 + 10 * j) + "\r\n";
  return s;
}

void SettingsSeeds() {
  const std::string window =
      "[Window]\r\nMode=Ground\r\nAirport=KSEA\r\nSort=2\r\n"
      "Airborne=[10,20,300,400]\r\nGround=[220,80,700,800]\r\n";
  SettingsSeed("written", window + Columns("Airborne", 0) + Columns("Ground", 3));
  SettingsSeed("one-section", "[Window]\nMode=airborne\nSort=17\n" + Columns("Ground", 1));
  SettingsSeed("empty", "");
  SettingsSeed("modes", "[Window]\nMode=GROUND\nMode=Gr\n[window]\nmode=Taxi\n");
  SettingsSeed("airport-long", "[Window]\nAirport=EGLLXX\nSort=18\n");
  SettingsSeed("sort-values", "[Window]\nSort=-3\n[x]\na=17\nb=abc\nc=  +12x\nd=-\n");
  SettingsSeed("column-values",
               "[Airborne]\nSlot=5\nID=17,80\nDist=-1,80\nBrg(M)=3,0\nAltDiff=,120\n"
               "Lat=16,-5\nLong=2,2147483647\nAlt= 7 , 9\n");
  SettingsSeed("repeated-order", "[Ground]\nSlot=3\nID=3\nDist=3\nBrg(M)=3\n");
  SettingsSeed("placements",
               "[Window]\nAirborne=[10,20,300,400]\nGround=[1800,20,300,400]\n"
               "[p]\na=[-50,20,300,400]\nb=[10,20,300,400\nc=[10,20,300]\nd=10,20,300,400]\n"
               "e=junk[10,20,300,400]\nf=[\ng=[1,2,3,4,5,6]\n");
  SettingsSeed("placement-short-n", "[Window]\nAirborne=[10,20,300,400]\n", 0, 3);
  SettingsSeed("placement-negative-n", "[10,20,300,400]", 0, -1);
  SettingsSeed("placement-small-screen", "[Window]\nAirborne=[0,0,1,1]\n", 0, 80, 0, -1);
  SettingsSeed("numbers",
               "[n]\na=99999999999999999999\nb=-2147483649\nc=2147483648\nd=\t\v 42\n"
               "e=+-5\nf=0x10\ng=-2147483648\n");
  SettingsSeed("long-values",
               "[Window]\nMode=" + std::string(300, 'G') + "\nAirport=" + std::string(300, 'K') +
                   "\nSort=" + std::string(200, '9') + "\nAirborne=[" + std::string(120, '1') +
                   ",2,3,4]\n");
  std::string binary = "[Window]\nMode=\x01\x02\xff\nAirport=\xe9\xe8\x80\x7f\n[Airborne]\nSlot=";
  binary += std::string("\0\x01,5", 4);
  binary += "\n";
  SettingsSeed("binary", binary);
  SettingsSeed("careless-reader", window + Columns("Airborne", 5), 1);
  SettingsSeed("failing-reader", window + Columns("Airborne", 5), 3);
  SettingsSeed("path", "C:\\Program Files\\Velmora.v2\\velmora.exe");
  SettingsSeed("path-no-dot", "C:\\Velmora\\velmora");
  SettingsSeed("path-long", std::string(258, 'a') + ".");
}

// --- Server sections -----------------------------------------------------------------

void ServerSeed(const std::string& name, uint16_t sectionBytes, uint16_t tableBytes,
                uint8_t logBytes, uint8_t flags, const std::vector<uint8_t>& section) {
  std::vector<uint8_t> bytes = {uint8_t(sectionBytes), uint8_t(sectionBytes >> 8),
                                uint8_t(tableBytes), uint8_t(tableBytes >> 8), logBytes, flags};
  bytes.insert(bytes.end(), section.begin(), section.end());
  WriteFile("server", name, bytes);
}

void ServerSeeds() {
  Block air(ViewAirborne), ground(ViewGround);
  ServerSeed("client-airborne", 10000, 0, 255, 0, air.b);
  ServerSeed("client-ground", 10000, 0, 0, 0, ground.b);
  ServerSeed("client-exact", 6260, 0, 64, 1, air.b);
  ServerSeed("client-no-terminator-room", 6258, 0, 255, 0, air.b);
  ServerSeed("client-small-table", 10000, 0x8000, 255, 0, air.b);
  ServerSeed("client-small-log", 10000, 0, 7, 1, air.b);
  ServerSeed("block-from-flag", 10000, 0, 200, 2 | 4, {});

  Block k(ViewAirborne);
  k.Put32(156 + 8, 0xFFFFFFFFu);   // record 8 asks for 4 GiB
  ServerSeed("count-huge", 10000, 0, 255, 0, k.b);
  k = Block(ViewAirborne);
  k.Put32(136 + 4, 0xFFFFFFFFu);   // record 7 reads from the last offset
  ServerSeed("offset-huge", 10000, 0, 255, 0, k.b);
  k = Block(ViewAirborne);
  k.Put32(58, 2);                  // record 3 has an unknown id
  ServerSeed("id-2", 10000, 0, 255, 0, k.b);
  k = Block(ViewAirborne);
  k.Put32(6256, 1);                // no terminator: the walk runs on into zeros
  ServerSeed("no-terminator", 6262, 0, 255, 0, k.b);
  std::vector<uint8_t> zeroCounts;
  for (int i = 0; i < 20; ++i) {
    const uint8_t rec[16] = {1, 0, 0, 0, uint8_t(i), 0xFF, 0, 0, 0, 0, 0, 0, 9, 9, 9, 9};
    zeroCounts.insert(zeroCounts.end(), rec, rec + 16);
  }
  ServerSeed("zero-counts", 400, 0xFF10, 100, 0, zeroCounts);
  ServerSeed("section-empty", 0, 0, 10, 0, {});
  ServerSeed("section-3", 3, 0, 10, 0, {1, 0, 0});
  ServerSeed("header-cut", 10, 0, 10, 0, {1, 0, 0, 0, 0, 0, 0, 0, 2, 0});
}

// --- Scenario files ------------------------------------------------------------------

void ScenarioSeeds() {
  for (int i = 0; sim::BuiltinScenarioName(i); ++i) {
    const char* text = sim::BuiltinScenario(sim::BuiltinScenarioName(i));
    WriteFile("scenario", sim::BuiltinScenarioName(i),
              std::vector<uint8_t>(text, text + strlen(text)));
  }
  // The live traffic after ten minutes, as simhost would write it out.
  static sim::Traffic traffic;
  static sim::Scene scene;
  static char text[1 << 17];
  sim::StartTraffic(&traffic, 3, 40);
  for (int step = 0; step < 600; ++step) sim::StepTraffic(&traffic, 1.0);
  sim::TrafficScene(&traffic, &scene);
  size_t n = sim::FormatScenario(&scene, text, sizeof text);
  WriteFile("scenario", "traffic-10min", std::vector<uint8_t>(text, text + n));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: make_seeds DIR (with DIR/snapshot, settings, server, scenario)\n");
    return 2;
  }
  Dir = argv[1];
  SnapshotSeeds();
  SettingsSeeds();
  ServerSeeds();
  ScenarioSeeds();
  return 0;
}
