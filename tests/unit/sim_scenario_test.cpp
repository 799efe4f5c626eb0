#include "sim/scenario.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "sim/traffic.h"
#include "sim_fixture.h"

using namespace simtest;

namespace {

// One scene at a time; scenes are too large for the stack of every test.
struct Parsed {
  std::unique_ptr<sim::Scene> scene{new sim::Scene};
  char error[sim::kScenarioErrorBytes] = "";
  int ok = 0;
  explicit Parsed(const std::string& text) {
    ok = sim::ParseScenario(text.data(), text.size(), scene.get(), error, sizeof error);
  }
};

std::vector<uint8_t> Encoded(const sim::Scene& scene) {
  std::vector<uint8_t> table(sim::kStateTableBytes, 0);
  sim::EncodeScene(&scene, table.data());
  return table;
}

std::string Format(const sim::Scene& scene) {
  std::vector<char> out(200000);
  size_t n = sim::FormatScenario(&scene, out.data(), out.size());
  EXPECT_GT(n, 0u);
  return std::string(out.data(), n);
}

}  // namespace

TEST(Scenario, FieldsDefaultsCommentsAndQuotes) {
  Parsed p(
      "# a comment line\r\n"
      "\n"
      "   user lat=37.5 lon=-122.25 alt=13 magvar=-2.5 heading=90 gs=12 vs=-300 com1=121.80  # tail\r\n"
      "ground nearest=7 recordlength=44\n"
      "slot ground 4 id=\"A \\\"B\\\\\\x00Z\" lat=1.5 state=t/off1 rwy=NWW from=KSF to=\"\"\n"
      "slot airborne 2 ref=0 id=UAL1 com1=off rwy=SEC state=0x93 runway=12 designator=9\n");
  ASSERT_TRUE(p.ok) << p.error;
  const sim::Scene& s = *p.scene;
  EXPECT_EQ(37.5, s.user.latitude);
  EXPECT_EQ(-122.25, s.user.longitude);
  EXPECT_EQ(-2.5, s.user.magneticVariation);
  EXPECT_EQ(-300, s.user.verticalSpeed);
  EXPECT_EQ(0x2180, s.user.com1);

  const sim::SceneList& ground = s.lists[sim::kListGround];
  EXPECT_EQ(5, ground.slotCount);              // auto: highest slot given, plus one
  EXPECT_EQ(44, ground.recordLength);
  EXPECT_EQ(7, ground.nearest);
  const sim::SceneSlot& g = ground.slots[4];
  EXPECT_TRUE(g.defined);
  EXPECT_EQ(5u, g.refId);                      // default: index plus one
  EXPECT_EQ(0, memcmp("A \"B\\\0Z", g.idText, 7));
  EXPECT_EQ(1.5f, g.latitude);
  EXPECT_EQ(0x89, g.state);
  EXPECT_EQ(44, g.runwayNumber);
  EXPECT_EQ(4, g.runwayDesignator);
  EXPECT_EQ(0, memcmp("KSF\0", g.from, 4));
  EXPECT_FALSE(ground.slots[3].defined);

  const sim::SceneList& air = s.lists[sim::kListAirborne];
  EXPECT_EQ(3, air.slotCount);
  EXPECT_EQ(40, air.recordLength);
  EXPECT_EQ(-1, air.nearest);
  EXPECT_EQ(0u, air.slots[2].refId);
  EXPECT_EQ(0x93, air.slots[2].state);
  EXPECT_EQ(12, air.slots[2].runwayNumber);    // the later field wins over rwy=SEC
  EXPECT_EQ(9, air.slots[2].runwayDesignator);
}

TEST(Scenario, RunwayAndCom1Forms) {
  struct Case {
    const char* rwy;
    int number, designator;
  } runways[] = {{"28L", 28, 1}, {"01", 1, 0},   {"36W", 36, 4}, {"N", 37, 0}, {"NW", 44, 0},
                 {"NWW", 44, 4}, {"SEC", 40, 3}, {"none", 0, 0}, {"\"\"", 0, 0}};
  for (const Case& c : runways) {
    Parsed p(std::string("slot ground 0 rwy=") + c.rwy);
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(c.number, p.scene->lists[1].slots[0].runwayNumber) << c.rwy;
    EXPECT_EQ(c.designator, p.scene->lists[1].slots[0].runwayDesignator) << c.rwy;
  }
  struct Com {
    const char* text;
    uint16_t bcd;
  } coms[] = {{"121.80", 0x2180}, {"199.99", 0x9999}, {"100.00", 0}, {"off", 0}, {"0", 0},
              {"0x2345", 0x2345}, {"0xFFFF", 0xFFFF}};
  for (const Com& c : coms) {
    Parsed p(std::string("user com1=") + c.text);
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(c.bcd, p.scene->user.com1) << c.text;
  }
}

TEST(Scenario, ErrorsNameTheLineAndWhatIsWrong) {
  struct Case {
    std::string text;
    const char* error;
  } cases[] = {
      {"user lat=91", "line 1: lat: 91 is outside -90..90"},
      {"user lat=nan", "line 1: lat: nan is outside -90..90"},
      {"user lat", "line 1: 'lat' needs a value: lat=..."},
      {"user foo=1", "line 1: user has no field 'foo'"},
      {"user\nuser", "line 2: user given twice"},
      {"\n\nslot ground 99", "line 3: slot index: 99 is outside 0..98"},
      {"slot sky 1", "line 1: slot: 'sky' is neither airborne nor ground"},
      {"slot ground", "line 1: slot needs a list and an index: slot ground 3 ..."},
      {"slot ground 1\n# fine\nslot ground 1", "line 3: slot ground 1 given twice"},
      {"plane x=1", "line 1: unknown keyword 'plane'"},
      {"slot ground 1 id=\"ABCDEFGHIJKLMNOP\"", "line 1: id: longer than 15 characters"},
      {"slot ground 1 id=\"ABC", "line 1: unterminated quote in id"},
      {"slot ground 1 id=\"A\\qB\"", "line 1: unknown escape \\q in id"},
      {"slot ground 1 from=KSFOX", "line 1: from: longer than 4 characters"},
      {"slot ground 1 com1=121.8", "line 1: com1: '121.8' is not like 121.80, off or 0x2180"},
      {"slot ground 1 state=Flying", "line 1: state: 'Flying' is neither a state name nor a number"},
      {"slot ground 1 state=256", "line 1: state: 256 is outside 0..255"},
      {"slot ground 1 rwy=37", "line 1: rwy: number 37 is outside 01..36"},
      {"slot ground 1 rwy=28X", "line 1: rwy: '28X' is not like 28L, N or none"},
      {"slot ground 1 lat=abc", "line 1: lat: 'abc' is not a number"},
      {"slot ground 1 lat=1e39", "line 1: lat: 1e39 does not fit a float"},
      {"slot ground 1 gs=70000", "line 1: gs: 70000 is outside 0..65535"},
      {"slot ground 1 ref=-1", "line 1: ref: -1 is outside 0..4294967295"},
      {"slot ground 1 ref=0x", "line 1: ref: '0x' is not a whole number"},
      {"ground count=70000", "line 1: count: 70000 is outside 0..65535"},
      {"ground colour=red", "line 1: ground has no field 'colour'"},
      {"raw 0xFFFF 01 02", "line 1: raw: 2 bytes at 0xFFFF reach past the table"},
      {"raw 0x10 1FF", "line 1: raw byte: 0x1FF is outside 0..255"},
      {"raw 0x10", "line 1: raw needs an offset and at least one byte"},
      {"lat=1", "line 1: a line begins with a keyword, not 'lat='"},
      {std::string("user\n") + std::string(1100, ' '), "line 2: longer than 1023 characters"},
      {std::string("user\0", 5), "line 1: a NUL character in the text"},
  };
  for (const Case& c : cases) {
    Parsed p(c.text);
    EXPECT_FALSE(p.ok) << c.text;
    EXPECT_STREQ(c.error, p.error) << c.text;
  }
}

// A scene written as a scenario reads back into the same state table: the built-ins,
// hostile values and all, and a live scene frozen at a moment.
TEST(Scenario, WrittenScenesReadBackIntoTheSameTable) {
  for (int i = 0; sim::BuiltinScenarioName(i); ++i) {
    const char* name = sim::BuiltinScenarioName(i);
    Parsed first(sim::BuiltinScenario(name));
    ASSERT_TRUE(first.ok) << name << ": " << first.error;
    Parsed again(Format(*first.scene));
    ASSERT_TRUE(again.ok) << name << ": " << again.error;
    EXPECT_EQ(Encoded(*first.scene), Encoded(*again.scene)) << name;
  }
  std::unique_ptr<sim::Traffic> traffic(new sim::Traffic);
  sim::StartTraffic(traffic.get(), 4, 60);
  for (int i = 0; i < 4 * 2400; ++i) sim::StepTraffic(traffic.get(), 0.25);
  Parsed live("");
  sim::TrafficScene(traffic.get(), live.scene.get());
  live.scene->patches[0] = {0x1234, 3, {1, 2, 3}};
  live.scene->patchCount = 1;
  Parsed again(Format(*live.scene));
  ASSERT_TRUE(again.ok) << again.error;
  EXPECT_EQ(Encoded(*live.scene), Encoded(*again.scene));

  char tiny[64];
  EXPECT_EQ(0u, sim::FormatScenario(live.scene.get(), tiny, sizeof tiny));
  EXPECT_STREQ("", tiny);
}

// The "examples" scenario through the client's row texts: the worked examples.
TEST(Scenario, ExamplesGiveTheWorkedTexts) {
  Parsed p(sim::BuiltinScenario("examples"));
  ASSERT_TRUE(p.ok) << p.error;
  Served s;
  Serve(*p.scene, simlink::ViewAirborne, &s);
  ASSERT_EQ(1, s.answer);
  struct Want {
    const char *id, *dist, *brg, *altdiff, *alt, *state, *rwy, *ref, *com1;
  } want[] = {
      {"NORTH", "60 nm", "000", "+17", "5000", "Enroute", "09L", "2", "123.45"},
      {"EAST", "39 nm", "090", "-33", "-10", "Landing", "27C", "-5", "118.50"},
      {"SOUTH", "60 nm", "180", "-33", "12", "Depart", "N", "32768", "119.10"},
      {"WEST", "39 nm", "270", "+87", "12000", "Pattern", "NWW", "-3", "120.40"},
      {"NORTHEAST", "71 nm", "032", "+317", "35000", "Enroute", "36", "-4", "132.05"},
      {"HERE", "0 nm", "270", "+0", "3280", "GoArnd", "", "-6", "123.45"},
  };
  for (int k = 0; k < 6; ++k) {
    Row r = SlotRow(s.v(), k);
    const Want& w = want[k];
    SCOPED_TRACE(w.id);
    EXPECT_EQ(w.id, r.cell[1]);
    EXPECT_EQ(w.dist, r.cell[2]);
    EXPECT_EQ(w.brg, r.cell[3]);
    EXPECT_EQ(w.altdiff, r.cell[4]);
    EXPECT_EQ(w.alt, r.cell[7]);
    EXPECT_EQ(w.state, r.cell[12]);
    EXPECT_EQ(w.rwy, r.cell[16]);
    EXPECT_EQ(w.ref, r.cell[15]);
    EXPECT_EQ(w.com1, r.cell[11]);
  }
  Row user = UserRow(s.v());
  EXPECT_EQ("3280", user.cell[7]);
  EXPECT_EQ("090", user.cell[8]);
  EXPECT_EQ("100", user.cell[9]);
  EXPECT_EQ("197", user.cell[10]);
  EXPECT_EQ("123.45", user.cell[11]);
  EXPECT_EQ(0, simlink::NearestDistance(s.v(), simlink::ViewAirborne));

  Serve(*p.scene, simlink::ViewGround, &s);
  EXPECT_EQ("G-ABCD", SlotRow(s.v(), 0).cell[1]);
  EXPECT_EQ("", SlotRow(s.v(), 1).cell[1]);    // RefId 0: empty, its bytes notwithstanding
  EXPECT_EQ(1, simlink::NearestDistance(s.v(), simlink::ViewGround));
}

// Every built-in serves; the client's readers see the table each one is meant to
// show, and the nearest distance is the smallest distance of a shown slot whose
// position is a number.
TEST(Scenario, HostileBuiltinsServeTheTablesTheyDescribe) {
  struct Case {
    const char* name;
    int count, recordLength, rows;
    int airborneNearest;   // -1: not checked beyond the rows
  } cases[] = {
      {"empty", 40, 40, 40, 0xFFFF},   {"count0", 0, 40, 0, 0xFFFF},
      {"count255", 255, 40, 99, -1},   {"reclen0", 5, 0, 5, -1},
      {"reclen41", 99, 41, 99, -1},    {"reclen65535", 99, 65535, 99, -1},
      {"idnonul", 2, 40, 2, -1},       {"nan", 6, 40, 6, -1},
      {"antimeridian", 4, 40, 4, 7},  {"odd", 8, 40, 8, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const char* text = sim::BuiltinScenario(c.name);
    ASSERT_NE(nullptr, text);
    Parsed p(text);
    ASSERT_TRUE(p.ok) << p.error;
    Served s;
    Serve(*p.scene, simlink::ViewAirborne, &s);
    ASSERT_EQ(1, s.answer);
    EXPECT_EQ(c.count, simlink::SlotCount(s.v()));
    EXPECT_EQ(c.recordLength, simlink::SlotRecordLength(s.v()));
    EXPECT_EQ(c.rows, simlink::SlotRowCount(s.v()));
    int nearest = -1;
    for (int k = 0; k < simlink::SlotRowCount(s.v()); ++k) {
      Row r = SlotRow(s.v(), k);
      if (!simlink::SlotOccupied(s.v(), k)) continue;
      const uint8_t* slot = simlink::TrafficSlotAt(s.v(), k);
      if (!std::isfinite(simlink::SlotLatitude(slot)) || !std::isfinite(simlink::SlotLongitude(slot)))
        continue;
      int d = atoi(r.cell[2].c_str());
      if (nearest < 0 || d < nearest) nearest = d;
    }
    int got = simlink::NearestDistance(s.v(), simlink::ViewAirborne);
    EXPECT_EQ(nearest < 0 ? 0xFFFF : nearest, got);
    if (c.airborneNearest >= 0) {
      EXPECT_EQ(c.airborneNearest, got);
    }
  }
  // The rows of a few of them, as the client shows them.
  Served s;
  Parsed idnonul(sim::BuiltinScenario("idnonul"));
  Serve(*idnonul.scene, simlink::ViewAirborne, &s);
  EXPECT_EQ("ABCDEFGHIJKLMN", SlotRow(s.v(), 0).cell[1]);
  EXPECT_EQ("RJTT", SlotRow(s.v(), 0).cell[14]);
  Parsed antimeridian(sim::BuiltinScenario("antimeridian"));
  Serve(*antimeridian.scene, simlink::ViewAirborne, &s);
  EXPECT_EQ("10 nm", SlotRow(s.v(), 0).cell[2]);   // across the meridian, to the west
  EXPECT_EQ("7 nm", SlotRow(s.v(), 1).cell[2]);
  Serve(*antimeridian.scene, simlink::ViewGround, &s);
  EXPECT_EQ(0, simlink::NearestDistance(s.v(), simlink::ViewGround));
  EXPECT_EQ("7 nm", SlotRow(s.v(), 1).cell[2]);
  Parsed count255(sim::BuiltinScenario("count255"));
  Serve(*count255.scene, simlink::ViewGround, &s);
  EXPECT_EQ("LAST", SlotRow(s.v(), 98).cell[1]);
  Parsed reclen65535(sim::BuiltinScenario("reclen65535"));
  Serve(*reclen65535.scene, simlink::ViewGround, &s);
  EXPECT_EQ("ONLY", SlotRow(s.v(), 0).cell[1]);
  EXPECT_EQ(nullptr, simlink::TrafficSlotAt(s.v(), 1));
  Parsed odd(sim::BuiltinScenario("odd"));
  Serve(*odd.scene, simlink::ViewAirborne, &s);
  const char* states[] = {"", "", "", "19", "127"};
  for (int k = 0; k < 5; ++k) EXPECT_EQ(states[k], SlotRow(s.v(), k).cell[12]) << k;
  EXPECT_EQ("NWW", SlotRow(s.v(), 6).cell[16]);
  EXPECT_EQ("32768", SlotRow(s.v(), 0).cell[15]);
}
