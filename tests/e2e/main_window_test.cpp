// Velmora beside simhost's frozen scene: what the window shows and how its commands,
// its header and its close behave, read and driven from outside through the probe.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tests/e2e/e2e_support.h"
#include "tests/e2e/scene_fixture.h"

namespace {

const char kAirborneTitle[] = "DU Z.E. Vavazaz Uzovozi - Airborne";
const char kGroundTitle[] = "DU Z.E. Vavazaz Uzovozi - Ground";

std::string TitleFor(const char* base, uint16_t nearest) {
  char t[256];
  if (nearest == 0xFFFF) {
    snprintf(t, sizeof(t), "%s (No aircraft)", base);
  } else {
    snprintf(t, sizeof(t), "%s (Nearest %dnm)", base, nearest);
  }
  return t;
}

// Every row of the list against the texts the scene gives; the row is found by its
// item data, so this holds whatever the order.
void ExpectCells(const probe::Target& t, HWND list, const e2e::Expected& e) {
  ASSERT_EQ(probe::RowCount(list), e.slotRows + 1);
  auto rows = probe::ReadTable(t, list);
  for (size_t r = 0; r < rows.size(); ++r) {
    LPARAM k = 0;
    ASSERT_TRUE(probe::ItemData(t, list, int(r), &k));
    auto want = e.Row(k);
    for (int c = 0; c < 17; ++c) {
      EXPECT_EQ(rows[r][size_t(c)], want[size_t(c)]) << "row " << r << " (slot " << k
                                                      << ") column " << c;
    }
  }
}

// Item data of the rows in display order.
std::vector<long long> RowOrder(const probe::Target& t, HWND list) {
  std::vector<long long> order;
  for (int r = 0; r < probe::RowCount(list); ++r) {
    LPARAM k = -2;
    probe::ItemData(t, list, r, &k);
    order.push_back(k);
  }
  return order;
}

// The rows ordered by a numeric column: user first, then the occupied slots by that
// column's number, then the empty ones.
bool SortedByNumber(const probe::Target& t, HWND list, int column) {
  auto rows = probe::ReadTable(t, list);
  if (rows.empty() || rows[0][1] != "User") return false;
  double last = -1e300;
  bool blank = false;
  for (size_t r = 1; r < rows.size(); ++r) {
    if (rows[r][1].empty()) {
      blank = true;
      continue;
    }
    if (blank) return false;  // an occupied row after an empty one
    double v = atof(rows[r][size_t(column)].c_str());
    if (v < last) return false;
    last = v;
  }
  return true;
}

RECT WindowRect(HWND w) {
  RECT r = {};
  GetWindowRect(w, &r);
  return r;
}

std::string Placement(const RECT& r) {
  char s[80];
  snprintf(s, sizeof(s), "[%ld,%ld,%ld,%ld]", r.left, r.top, r.right - r.left,
           r.bottom - r.top);
  return s;
}

const char* const kColumnKeys[17] = {"Slot", "ID", "Dist", "Brg(M)", "AltDiff", "Lat",
                                     "Long", "Alt", "Hdg(M)", "GS", "VS", "COM1",
                                     "State", "From", "To", "Ref", "Rwy"};

// A column section as written at exit: every key "order,width".
void ExpectColumnSection(const std::string& ini, const char* section) {
  for (const char* key : kColumnKeys) {
    std::string v = e2e::IniValue(ini, section, key);
    int order = -1, width = -1;
    char tail = 0;
    EXPECT_EQ(sscanf(v.c_str(), "%d,%d%c", &order, &width, &tail), 2)
        << section << "." << key << " = " << v;
    EXPECT_GE(order, 0);
    EXPECT_LE(order, 16);
    EXPECT_GT(width, 0);
  }
}

class MainWindow : public ::testing::Test {
 protected:
  void Start(const std::string& ini = std::string()) {
    scene = e2e::FrozenScene();
    if (!ini.empty()) e2e::WriteFile(s.folder.File("velmora.ini"), ini);
    ASSERT_TRUE(s.StartSimhost(e2e::ScenarioText(scene)));
    ASSERT_TRUE(s.StartVelmora());
  }
  HWND WaitList() {
    HWND list = s.WaitList(15000);
    EXPECT_NE(list, nullptr);
    return list;
  }
  bool WaitTitle(const std::string& want) {
    return probe::WaitFor([&] { return probe::WindowText(s.target.window) == want; }, 10000);
  }
  std::string Ini() const { return s.folder.File("velmora.ini"); }

  e2e::Session s;
  sim::Scene scene;
};

TEST_F(MainWindow, FirstRefreshShowsEveryCellAndTheNearestDistance) {
  Start();
  DWORD shown = GetTickCount();
  // Nothing is fetched at creation: the first tick comes two seconds later.
  Sleep(1000);
  EXPECT_EQ(s.List(), nullptr);
  EXPECT_EQ(probe::WindowText(s.target.window), kAirborneTitle);
  HWND list = WaitList();
  ASSERT_NE(list, nullptr);
  DWORD first = GetTickCount() - shown;
  EXPECT_GE(first, 1500u);
  EXPECT_LE(first, 10000u);

  e2e::Expected e = e2e::ExpectedView(scene, 0, "");
  ASSERT_NE(e.nearest, 0xFFFF);
  EXPECT_TRUE(WaitTitle(TitleFor(kAirborneTitle, e.nearest)))
      << probe::WindowText(s.target.window);
  ExpectCells(s.target, list, e);
  // The default sort column is Dist.
  EXPECT_TRUE(SortedByNumber(s.target, list, 2));
  EXPECT_EQ(probe::MenuState(s.target, 105) & MF_CHECKED, MF_CHECKED);
}

TEST_F(MainWindow, SwitchToGroundAndBackKeepsPlacementsApart) {
  const RECT air = {100, 60, 100 + 900, 60 + 700};
  const RECT gnd = {300, 120, 300 + 800, 120 + 600};
  Start("[Window]\r\nAirborne=" + Placement(air) + "\r\nGround=" + Placement(gnd) + "\r\n");
  HWND list = WaitList();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(Placement(WindowRect(s.target.window)), Placement(air));

  // The two lists count different numbers of slots (9 and 6): each view gets a row
  // for each slot of its own list, and none is lost on the way back.
  e2e::Expected ground = e2e::ExpectedView(scene, 1, "");
  ASSERT_NE(ground.slotRows, e2e::ExpectedView(scene, 0, "").slotRows);
  probe::PostCommand(s.target, 106);
  ASSERT_TRUE(WaitTitle(TitleFor(kGroundTitle, ground.nearest)))
      << probe::WindowText(s.target.window);
  EXPECT_EQ(Placement(WindowRect(s.target.window)), Placement(gnd));
  list = s.List();
  ASSERT_NE(list, nullptr);
  ExpectCells(s.target, list, ground);

  // The view already shown: nothing happens.
  probe::PostCommand(s.target, 106);
  Sleep(500);
  EXPECT_EQ(probe::WindowText(s.target.window), TitleFor(kGroundTitle, ground.nearest));

  e2e::Expected airborne = e2e::ExpectedView(scene, 0, "");
  probe::PostCommand(s.target, 107);
  ASSERT_TRUE(WaitTitle(TitleFor(kAirborneTitle, airborne.nearest)));
  EXPECT_EQ(Placement(WindowRect(s.target.window)), Placement(air));
  list = s.List();
  ASSERT_NE(list, nullptr);
  ExpectCells(s.target, list, airborne);

  ASSERT_EQ(s.Exit(), 0);
  EXPECT_EQ(e2e::IniValue(Ini(), "Window", "Mode"), "Airborne");
  EXPECT_EQ(e2e::IniValue(Ini(), "Window", "Airborne"), Placement(air));
  EXPECT_EQ(e2e::IniValue(Ini(), "Window", "Ground"), Placement(gnd));
  // A switch makes the layouts separate: both sections are written.
  ExpectColumnSection(Ini(), "Airborne");
  ExpectColumnSection(Ini(), "Ground");
}

TEST_F(MainWindow, ColumnClickSortsAtOnceAndLaterRefreshesKeepIt) {
  Start();
  HWND list = WaitList();
  ASSERT_NE(list, nullptr);
  // Without the timer, only the click can reorder the rows.
  probe::PostCommand(s.target, 105);
  ASSERT_TRUE(probe::WaitFor([&] { return probe::MenuState(s.target, 105) == MF_UNCHECKED; },
                             5000));
  ASSERT_FALSE(SortedByNumber(s.target, list, 7)) << "the scene is sorted by Alt already";
  ASSERT_TRUE(probe::ClickHeader(s.target, list, 7));  // "Alt"
  EXPECT_TRUE(probe::WaitFor([&] { return SortedByNumber(s.target, list, 7); }, 3000));
  auto clicked = RowOrder(s.target, list);

  probe::PostCommand(s.target, 102);  // Refresh
  probe::PostCommand(s.target, 105);  // AutoRefresh on again
  Sleep(2600);
  EXPECT_EQ(RowOrder(s.target, list), clicked);
  EXPECT_TRUE(SortedByNumber(s.target, list, 7));

  ASSERT_EQ(s.Exit(), 0);
  EXPECT_EQ(e2e::IniValue(Ini(), "Window", "Sort"), "7");
}

TEST_F(MainWindow, SlotHeaderRefusesADragOthersMove) {
  Start();
  HWND list = WaitList();
  ASSERT_NE(list, nullptr);
  const int identity[17] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  int order[17];

  // The window's own answer, as the list forwards it from the header.
  EXPECT_EQ(probe::SendBeginDrag(s.target, 0), 1);
  EXPECT_EQ(probe::SendBeginDrag(s.target, 3), 0);

  // A real drag of "Slot" to the right leaves every column in place.
  ASSERT_TRUE(probe::DragHeader(s.target, list, 0, 250));
  Sleep(800);
  ASSERT_TRUE(probe::ColumnOrder(s.target, list, order));
  EXPECT_EQ(0, memcmp(order, identity, sizeof(order)));

  // "Brg(M)" dragged left of "Dist" moves.
  ASSERT_TRUE(probe::DragHeader(s.target, list, 3, -probe::ColumnWidth(list, 2)));
  EXPECT_TRUE(probe::WaitFor([&] {
    return probe::ColumnOrder(s.target, list, order) && order[2] == 3 && order[3] == 2;
  }, 3000)) << order[2] << " " << order[3];

  // A refresh captures the new order, and the exit writes it.
  probe::PostCommand(s.target, 102);
  Sleep(500);
  ASSERT_EQ(s.Exit(), 0);
  EXPECT_EQ(e2e::IniValue(Ini(), "Airborne", "Dist").substr(0, 2), "3,");
  EXPECT_EQ(e2e::IniValue(Ini(), "Airborne", "Brg(M)").substr(0, 2), "2,");
  EXPECT_EQ(e2e::IniValue(Ini(), "Airborne", "Slot").substr(0, 2), "0,");
}

// simhost logs one line per request it receives: the count of lines tells how many
// refreshes Velmora has made.
int Requests(const std::string& log) {
  std::string text = e2e::ReadFile(log);
  return int(std::count(text.begin(), text.end(), '\n'));
}

TEST_F(MainWindow, AutoRefreshTogglesItsCheckMarkAndTheTimer) {
  scene = e2e::FrozenScene();
  const std::string log = s.folder.File("requests.log");
  ASSERT_TRUE(s.StartSimhost(e2e::ScenarioText(scene), "--log \"" + log + "\""));
  ASSERT_TRUE(s.StartVelmora());
  // Off again at once, long before the first tick is due: the window turned it on with
  // the command it posted itself while it was created, and this one turns it off.
  probe::PostCommand(s.target, 105);
  ASSERT_TRUE(probe::WaitFor([&] { return probe::MenuState(s.target, 105) == MF_UNCHECKED; },
                             5000));
  // No ticks: nothing is requested, and the first refresh never comes.
  int before = Requests(log);
  Sleep(4500);
  EXPECT_EQ(Requests(log), before);
  EXPECT_EQ(s.List(), nullptr);

  // Refresh by hand runs one cycle.
  probe::PostCommand(s.target, 102);
  HWND list = WaitList();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(Requests(log), before + 1);
  e2e::Expected e = e2e::ExpectedView(scene, 0, "");
  EXPECT_EQ(probe::WindowText(s.target.window), TitleFor(kAirborneTitle, e.nearest));

  // On again: checked, and the ticks are back, one every two seconds.
  probe::PostCommand(s.target, 105);
  EXPECT_TRUE(probe::WaitFor([&] { return probe::MenuState(s.target, 105) == MF_CHECKED; },
                             5000));
  EXPECT_TRUE(probe::WaitFor([&] { return Requests(log) >= before + 3; }, 8000))
      << Requests(log) - before << " requests";
  EXPECT_EQ(s.Exit(), 0);
}

// Exit through the menu and through the close box end alike.
TEST_F(MainWindow, ExitAndCloseBoxEndWithCode0AndWriteTheSettings) {
  struct Case {
    const char* how;
    UINT message;
    WPARAM wParam;
  } cases[] = {{"File > Exit", WM_COMMAND, 101}, {"close box", WM_SYSCOMMAND, SC_CLOSE}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.how);
    e2e::Session one;
    sim::Scene frozen = e2e::FrozenScene();
    ASSERT_TRUE(one.StartSimhost(e2e::ScenarioText(frozen)));
    ASSERT_TRUE(one.StartVelmora());
    ASSERT_NE(one.WaitList(15000), nullptr);
    RECT r = WindowRect(one.target.window);
    PostMessageA(one.target.window, c.message, c.wParam, 0);
    EXPECT_EQ(one.velmora.Wait(15000), 0);

    std::string ini = one.folder.File("velmora.ini");
    EXPECT_EQ(e2e::IniValue(ini, "Window", "Mode"), "Airborne");
    EXPECT_EQ(e2e::IniValue(ini, "Window", "Sort"), "2");
    EXPECT_EQ(e2e::IniValue(ini, "Window", "Airborne"), Placement(r));
    EXPECT_EQ(e2e::IniValue(ini, "Window", "Ground"), "");
    ExpectColumnSection(ini, "Airborne");
    // One layout shared by both view modes: only the current one's section.
    EXPECT_EQ(e2e::IniValue(ini, "Ground", "Slot"), "");
  }
}

TEST_F(MainWindow, AirportFilterFromTheSettingsFile) {
  Start("[Window]\r\nAirport=EGLLX\r\n");
  HWND list = WaitList();
  ASSERT_NE(list, nullptr);
  e2e::Expected e = e2e::ExpectedView(scene, 0, "EGLL");
  EXPECT_TRUE(WaitTitle(TitleFor("DU Z.E. Vavazaz Uzovozi - Airborne, for Airport=EGLL",
                                 e.nearest)))
      << probe::WindowText(s.target.window);
  ExpectCells(s.target, list, e);

  // The rows of traffic from or to EGLL (any case) come first, the others are blank.
  auto rows = probe::ReadTable(s.target, list);
  std::vector<std::string> shown;
  for (size_t r = 1; r < rows.size(); ++r) {
    if (!rows[r][1].empty()) shown.push_back(rows[r][1]);
  }
  std::vector<std::string> want = {"N512KS", "VIR25", "BAW123", "DLH4AB"};
  std::sort(shown.begin(), shown.end());
  std::sort(want.begin(), want.end());
  EXPECT_EQ(shown, want);
  for (size_t r = 1; r + 1 < rows.size(); ++r) {
    EXPECT_FALSE(rows[r][1].empty() && !rows[r + 1][1].empty()) << "row " << r;
  }
}

TEST_F(MainWindow, AboutBoxClosesOnlyWithOkOrEnter) {
  Start();
  DWORD pid = s.target.pid;
  probe::PostCommand(s.target, 103);
  HWND about = probe::FindBox(pid, "Velmora", 10000);
  ASSERT_NE(about, nullptr);
  EXPECT_NE(probe::BoxText(about).find("Velmora: "), std::string::npos);
  HWND ok = GetDlgItem(about, IDOK);
  ASSERT_NE(ok, nullptr);

  PostMessageA(ok, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageA(ok, WM_KEYUP, VK_ESCAPE, 0);
  Sleep(700);
  EXPECT_TRUE(IsWindow(about)) << "Escape closed the About box";
  PostMessageA(about, WM_SYSCOMMAND, SC_CLOSE, 0);
  Sleep(700);
  EXPECT_TRUE(IsWindow(about)) << "the close box closed the About box";

  PostMessageA(ok, WM_KEYDOWN, VK_RETURN, 0);
  PostMessageA(ok, WM_KEYUP, VK_RETURN, 0);
  EXPECT_TRUE(probe::WaitFor([&] { return !IsWindow(about); }, 5000)) << "Enter";

  probe::PostCommand(s.target, 103);
  about = probe::FindBox(pid, "Velmora", 10000);
  ASSERT_NE(about, nullptr);
  probe::PressOk(about);
  EXPECT_TRUE(probe::WaitFor([&] { return !IsWindow(about); }, 5000)) << "OK";
  EXPECT_EQ(s.Exit(), 0);
}

}  // namespace
