#include "shell/settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "table/columns.h"

using namespace shell;
using table::Layouts;
using table::SeparateLayouts;

namespace {

// A settings file in memory: section and key to value, with the reading semantics of
// the private-profile functions (at most size - 1 characters and a NUL; the count read,
// 0 for an absent or empty key). Every read is logged.
struct Ini {
  std::map<std::pair<std::string, std::string>, std::string> values;
  std::vector<std::string> reads;    // "section/key/size"
  std::vector<std::string> writes;   // "section/key"

  void Set(const char* section, const char* key, const char* value) {
    values[{section, key}] = value;
  }
  std::string Get(const char* section, const char* key) const {
    auto it = values.find({section, key});
    return it == values.end() ? "<absent>" : it->second;
  }
  int SectionSize(const char* section) const {
    int n = 0;
    for (const auto& kv : values) n += kv.first.first == section;
    return n;
  }

  static int Read(void* context, const char* section, const char* key, char* buf, int size) {
    Ini* ini = static_cast<Ini*>(context);
    ini->reads.push_back(std::string(section) + "/" + key + "/" + std::to_string(size));
    std::string value;
    auto it = ini->values.find({section, key});
    if (it != ini->values.end()) value = it->second;
    int n = (int)value.size() < size - 1 ? (int)value.size() : size - 1;
    memcpy(buf, value.data(), (size_t)n);
    buf[n] = '\0';
    return n;
  }
  static void Write(void* context, const char* section, const char* key, const char* value) {
    Ini* ini = static_cast<Ini*>(context);
    ini->writes.push_back(std::string(section) + "/" + key);
    ini->Set(section, key, value);
  }
};

std::vector<int32_t> Order(int mode) {
  return std::vector<int32_t>(Layouts[mode].order, Layouts[mode].order + table::kColumns);
}
std::vector<int32_t> Widths(int mode) {
  return std::vector<int32_t>(Layouts[mode].widths, Layouts[mode].widths + table::kColumns);
}
std::vector<int32_t> Identity() {
  std::vector<int32_t> v;
  for (int i = 0; i < table::kColumns; ++i) v.push_back(i);
  return v;
}
std::vector<int32_t> DefaultWidths() {
  return std::vector<int32_t>(table::DefaultWidth, table::DefaultWidth + table::kColumns);
}

class Settings : public ::testing::Test {
 protected:
  void SetUp() override { ResetSettings(); }
  void TearDown() override { ResetSettings(); }
  void Load() { LoadSettings(Ini::Read, &ini); }
  void Save() { SaveSettings(Ini::Write, &out); }
  Ini ini;   // what start-up reads
  Ini out;   // what shutdown writes
};

const char kAirborneTitle[] = "DU Z.E. Vavazaz Uzovozi - Airborne";
const char kGroundTitle[] = "DU Z.E. Vavazaz Uzovozi - Ground";

}  // namespace

TEST(SettingsPath, EverythingAfterTheLastDotBecomesIni) {
  struct Case {
    const char* module;
    const char* want;
  } cases[] = {
      {"C:\\Program Files\\Velmora\\velmora.exe", "C:\\Program Files\\Velmora\\velmora.ini"},
      {"C:\\Tools\\velmora.v2.exe", "C:\\Tools\\velmora.v2.ini"},
      {"velmora", "ini"},
      {"", "ini"},
      // A dot only in a folder name: everything after it goes.
      {"C:\\Flight.Tools\\velmora", "C:\\Flight.ini"},
      {"C:\\Tools\\velmora.", "C:\\Tools\\velmora.ini"},
  };
  for (const auto& c : cases) {
    char out[kPathBytes];
    memset(out, 'x', sizeof out);
    SettingsPathFor(c.module, out);
    EXPECT_STREQ(c.want, out) << c.module;
  }
}

TEST(SettingsPath, LongestModulePathIsCutToTheBuffer) {
  // 259 characters ending in ".": "ini" fits only partly into 261 bytes.
  std::string module(258, 'a');
  module += ".";
  char out[kPathBytes];
  SettingsPathFor(module.c_str(), out);
  EXPECT_EQ((size_t)kPathBytes - 1, strlen(out));
  EXPECT_EQ(module + "i", std::string(out));
}

TEST(SettingsNumber, DecimalWithBlanksSignAndSaturation) {
  struct Case {
    const char* text;
    int32_t want;
  } cases[] = {
      {"42", 42},        {"  -7x", -7},   {"+5", 5},     {"\t 12,80", 12},
      {"abc", 0},        {"", 0},         {"-", 0},      {"- 5", 0},
      {"0017", 17},      {"3.9", 3},      {"2147483647", INT32_MAX},
      {"-2147483648", INT32_MIN},         {"2147483648", INT32_MAX},
      {"99999999999999999999999", INT32_MAX},
      {"-99999999999999999999999", INT32_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(c.want, ParseNumber(c.text)) << '"' << c.text << '"';
}

TEST_F(Settings, ModeByItsFirstThreeLettersInAnyCase) {
  struct Case {
    int before;
    const char* value;   // nullptr: key absent
    int want;
  } cases[] = {
      {0, "ground", 1}, {0, "GROUND", 1}, {0, "gRoX", 1},  {0, "Gr", 0},
      {0, "Taxi", 0},   {1, "airborne", 0}, {1, "AIR", 0}, {1, "Taxi", 1},
      {1, nullptr, 1},  {1, "", 1},
  };
  for (const auto& c : cases) {
    ResetSettings();
    ini.values.clear();
    ViewMode = c.before;
    if (c.value) ini.Set("Window", "Mode", c.value);
    Load();
    EXPECT_EQ(c.want, ViewMode) << (c.value ? c.value : "<absent>") << " from " << c.before;
  }
}

TEST_F(Settings, AirportTakesFourCharactersIntoBothTitles) {
  ini.Set("Window", "Airport", "EGLLXY");
  ini.Set("Window", "Mode", "Ground");
  Load();
  EXPECT_STREQ("EGLL", AirportFilter);
  EXPECT_STREQ("DU Z.E. Vavazaz Uzovozi - Airborne, for Airport=EGLL", ViewTitle[0]);
  EXPECT_STREQ("DU Z.E. Vavazaz Uzovozi - Ground, for Airport=EGLL", ViewTitle[1]);
}

TEST_F(Settings, AirportKeepsItsCaseAndEmptyLeavesTitlesAlone) {
  ini.Set("Window", "Airport", "kJfk");
  Load();
  EXPECT_STREQ("kJfk", AirportFilter);
  EXPECT_STREQ("DU Z.E. Vavazaz Uzovozi - Ground, for Airport=kJfk", ViewTitle[1]);

  ResetSettings();
  ini.Set("Window", "Airport", "");
  Load();
  EXPECT_STREQ("", AirportFilter);
  EXPECT_STREQ(kAirborneTitle, ViewTitle[0]);
  EXPECT_STREQ(kGroundTitle, ViewTitle[1]);
}

TEST_F(Settings, TitlesStayWithinTheirBuffers) {
  for (int i = 0; i < 20; ++i) ApplyAirport("ABCD");
  EXPECT_EQ((size_t)kTitleBytes - 1, strlen(ViewTitle[0]));
  EXPECT_EQ((size_t)kTitleBytes - 1, strlen(ViewTitle[1]));
}

TEST_F(Settings, SortAbove17BecomesTwoEverythingElseStands) {
  struct Case {
    const char* value;   // nullptr: key absent
    int want;
  } cases[] = {
      {"17", 17}, {"18", 2},  {"-3", -3},  {"Dist", 0},  {nullptr, 2}, {"", 2},
      {"0", 0},   {" 16", 16}, {"99999999999", 2}, {"-99999999999", INT32_MIN},
  };
  for (const auto& c : cases) {
    ResetSettings();
    ini.values.clear();
    if (c.value) ini.Set("Window", "Sort", c.value);
    Load();
    EXPECT_EQ(c.want, SortColumn) << (c.value ? c.value : "<absent>");
  }
}

TEST_F(Settings, StartUpReadsEachKeyOnceInItsOrder) {
  Load();
  std::vector<std::string> want = {"Window/Mode/80", "Window/Airport/5", "Window/Sort/80"};
  for (const char* section : {"Airborne", "Ground"})
    for (int j = 0; j < table::kColumns; ++j)
      want.push_back(std::string(section) + "/" + table::NameTable[j] + "/80");
  EXPECT_EQ(want, ini.reads);
}

TEST_F(Settings, EachColumnValueForm) {
  // Column 7 ("Alt") whose defaults are order entry 7 and width 70.
  struct Case {
    const char* value;
    int32_t order, width;
  } cases[] = {
      {"5", 5, 70},       {"17,80", 7, 80},  {"-1,80", 7, 80}, {"3,0", 3, 70},
      {",120", 0, 120},   {"16,-30", 16, -30}, {" 2 , 95", 2, 95}, {"x", 0, 70},
      {"4,wide", 4, 70},  {"4294967298,80", 7, 80},
  };
  for (const auto& c : cases) {
    ResetSettings();
    ini.values.clear();
    ini.Set("Airborne", "Alt", c.value);
    Load();
    EXPECT_EQ(c.order, Layouts[0].order[7]) << c.value;
    EXPECT_EQ(c.width, Layouts[0].widths[7]) << c.value;
  }
}

TEST_F(Settings, RepeatedOrderEntriesAreKeptAndWrittenBack) {
  for (int j = 0; j < table::kColumns; ++j) ini.Set("Airborne", table::NameTable[j], "5,60");
  Load();
  EXPECT_EQ(std::vector<int32_t>(table::kColumns, 5), Order(0));
  Save();
  for (int j = 0; j < table::kColumns; ++j)
    EXPECT_EQ("5,60", out.Get("Airborne", table::NameTable[j])) << table::NameTable[j];
}

TEST_F(Settings, LoneGroundSectionIsSharedAndOnlyTheCurrentSectionIsWritten) {
  ini.Set("Ground", "Lat", "9,200");
  Load();
  std::vector<int32_t> order = Identity(), widths = DefaultWidths();
  order[5] = 9;
  widths[5] = 200;
  EXPECT_EQ(order, Order(1));
  EXPECT_EQ(widths, Widths(1));
  EXPECT_EQ(order, Order(0));
  EXPECT_EQ(widths, Widths(0));
  EXPECT_FALSE(SeparateLayouts);

  // ViewMode stayed Airborne: only that section is written, with the copied layout.
  Save();
  EXPECT_EQ("Airborne", out.Get("Window", "Mode"));
  EXPECT_EQ("2", out.Get("Window", "Sort"));
  EXPECT_EQ(17, out.SectionSize("Airborne"));
  EXPECT_EQ(0, out.SectionSize("Ground"));
  EXPECT_EQ("9,200", out.Get("Airborne", "Lat"));
  EXPECT_EQ("0,40", out.Get("Airborne", "Slot"));
  EXPECT_EQ("16,50", out.Get("Airborne", "Rwy"));
}

TEST_F(Settings, EmptyValueDoesNotMarkItsSection) {
  ini.Set("Airborne", "Dist", "");
  ini.Set("Ground", "ID", "1,99");
  Load();
  EXPECT_FALSE(SeparateLayouts);
  // Airborne counted as absent, so it received Ground's layout.
  EXPECT_EQ(1, Layouts[0].order[1]);
  EXPECT_EQ(99, Layouts[0].widths[1]);
  EXPECT_EQ(2, Layouts[0].order[2]);
}

TEST_F(Settings, NoColumnSectionsKeepTheDefaults) {
  ini.Set("Window", "Mode", "Ground");
  Load();
  EXPECT_FALSE(SeparateLayouts);
  for (int m = 0; m < 2; ++m) {
    EXPECT_EQ(Identity(), Order(m));
    EXPECT_EQ(DefaultWidths(), Widths(m));
  }
  Save();
  EXPECT_EQ("Ground", out.Get("Window", "Mode"));
  EXPECT_EQ(0, out.SectionSize("Airborne"));
  EXPECT_EQ("2,70", out.Get("Ground", "Dist"));
}

TEST_F(Settings, BothSectionsKeepSeparateLayoutsAcrossARoundTrip) {
  ini.Set("Window", "Mode", "Ground");
  ini.Set("Window", "Sort", "-3");
  ini.Set("Airborne", "Slot", "1,45");
  ini.Set("Airborne", "ID", "0,150");
  ini.Set("Ground", "COM1", "12,66");
  ini.Set("Ground", "State", "11,77");
  Load();
  EXPECT_TRUE(SeparateLayouts);
  EXPECT_EQ(1, Layouts[0].order[0]);
  EXPECT_EQ(0, Layouts[1].order[0]);
  EXPECT_EQ(77, Layouts[1].widths[12]);
  EXPECT_EQ(50, Layouts[0].widths[12]);

  Save();
  EXPECT_EQ(out.writes.size(), 2u + 2 * table::kColumns);
  EXPECT_EQ("Window/Mode", out.writes[0]);
  EXPECT_EQ("Window/Sort", out.writes[1]);
  EXPECT_EQ("Airborne/Slot", out.writes[2]);
  EXPECT_EQ("Ground/Rwy", out.writes.back());
  EXPECT_EQ("-3", out.Get("Window", "Sort"));
  EXPECT_EQ("1,45", out.Get("Airborne", "Slot"));
  EXPECT_EQ("0,150", out.Get("Airborne", "ID"));
  EXPECT_EQ("1,160", out.Get("Ground", "ID"));
  EXPECT_EQ("11,77", out.Get("Ground", "State"));

  // What was written reads back to the same state.
  std::vector<int32_t> order0 = Order(0), order1 = Order(1), widths0 = Widths(0),
                       widths1 = Widths(1);
  ResetSettings();
  LoadSettings(Ini::Read, &out);
  EXPECT_TRUE(SeparateLayouts);
  EXPECT_EQ(1, ViewMode);
  EXPECT_EQ(-3, SortColumn);
  EXPECT_EQ(order0, Order(0));
  EXPECT_EQ(order1, Order(1));
  EXPECT_EQ(widths0, Widths(0));
  EXPECT_EQ(widths1, Widths(1));
}

TEST_F(Settings, ColumnValueFormatIsOrderEntryThenWidth) {
  Layouts[1].order[2] = 14;
  Layouts[1].widths[2] = -8;
  char value[kValueBytes];
  FormatColumnValue(1, 2, value);
  EXPECT_STREQ("14,-8", value);
  FormatColumnValue(0, 2, value);
  EXPECT_STREQ("2,70", value);
}

TEST(SettingsPlacement, ParseAndScreenTestOn1920By1080) {
  const Placement D = kDefaultPlacement;
  struct Case {
    const char* text;
    Placement want;
  } cases[] = {
      {"[10,20,300,400]", {10, 20, 300, 400}},
      {"[1800,20,300,400]", D},          // right edge 2100 > 1920
      {"[1620,20,300,400]", {1620, 20, 300, 400}},   // right edge exactly 1920
      {"[10,681,300,400]", D},           // bottom edge 1081 > 1080
      {"[-50,20,300,400]", {-50, 20, 300, 400}},
      {"[10,-20,300,400]", {10, -20, 300, 400}},
      {"[10,20,300,400", {10, 20, 300, 400}},        // no closing bracket
      {"[10,20,300]", D},                // three values
      {"[10,20,300,", D},
      {"10,20,300,400]", D},             // no opening bracket
      {"pos=[10,20,300,400]", {10, 20, 300, 400}},   // text before "[" skipped
      {"[10,20,300,400,500]", {10, 20, 300, 400}},   // extra values ignored
      {"[ 10, 20, 300, 400 ]", {10, 20, 300, 400}},
      {"[0,0,0,0]", {0, 0, 0, 0}},
      {"[1921,0,0,0]", D},
      {"[", D},
      {"", D},
      // A width that would wrap round in 32 bits must still fail the screen test.
      {"[100,0,2147483647,100]", D},
      {"[0,100,100,2147483647]", D},
      {"[99999999999,0,10,10]", D},
  };
  for (const auto& c : cases) {
    Placement p = ParsePlacement(c.text, (int)strlen(c.text), 1920, 1080);
    EXPECT_EQ(c.want.left, p.left) << c.text;
    EXPECT_EQ(c.want.top, p.top) << c.text;
    EXPECT_EQ(c.want.width, p.width) << c.text;
    EXPECT_EQ(c.want.height, p.height) << c.text;
  }
}

TEST(SettingsPlacement, OnlyTheCharactersReadCount) {
  const char text[] = "[10,20,300,400]";
  // "[10,20,300" : three values.
  EXPECT_EQ(kDefaultPlacement.left, ParsePlacement(text, 10, 1920, 1080).left);
  // "[10,20,300,4" : four values.
  Placement p = ParsePlacement(text, 12, 1920, 1080);
  EXPECT_EQ(4, p.height);
  // "[" as the last character read.
  EXPECT_EQ(kDefaultPlacement.width, ParsePlacement("x[10,20,300,400]", 2, 1920, 1080).width);
}

TEST(SettingsPlacement, FormatRoundTrip) {
  struct Case {
    int32_t left, top, right, bottom;
    const char* text;
  } cases[] = {
      {10, 20, 310, 420, "[10,20,300,400]"},
      {-50, 80, 650, 880, "[-50,80,700,800]"},
      {0, 0, 0, 0, "[0,0,0,0]"},
  };
  for (const auto& c : cases) {
    char text[kValueBytes];
    FormatPlacement(c.left, c.top, c.right, c.bottom, text);
    EXPECT_STREQ(c.text, text);
    Placement p = ParsePlacement(text, (int)strlen(text), 1920, 1080);
    EXPECT_EQ(c.left, p.left);
    EXPECT_EQ(c.top, p.top);
    EXPECT_EQ(c.right - c.left, p.width);
    EXPECT_EQ(c.bottom - c.top, p.height);
  }
}
