// Velmora beside a server that misbehaves: wrong answers, late answers, a simulator
// that quits (and one that comes back), hostile tables, and a second Velmora beside
// the first. What the user sees is read from outside through the probe; what simhost
// received, from its request log.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "sim/scenario.h"
#include "tests/e2e/checks.h"
#include "tests/e2e/drive.h"
#include "tests/e2e/e2e_support.h"
#include "tests/e2e/scene_fixture.h"
#include "tests/win32/printout.h"

namespace {

const int kCmdExit = 101;
const int kCmdRefresh = 102;
const int kCmdPrint = 104;
const int kCmdAutoRefresh = 105;
const int kCmdGround = 106;

// simhost's Faults menu, as commands to its own window.
const int kSimAnswerNormally = 201;
const int kSimAnswer0 = 202;
const int kSimHold3000 = 204;

const char kAirborneTitle[] = "DU Z.E. Vavazaz Uzovozi - Airborne";
const char kGroundTitle[] = "DU Z.E. Vavazaz Uzovozi - Ground";
const char kRefused[] = "Error: IPC message failure: not correct Ostrel installation?";
const char* const* const kNames = e2e::kColumnNames;

// simhost's request log: one line per request received, "N answer=A ...".
struct RequestLog {
  std::string path;
  std::vector<std::string> Lines() const { return printout::Lines(e2e::ReadFile(path)); }
  int Count() const {
    int n = 0;
    for (const std::string& l : Lines()) n += !l.empty();
    return n;
  }
  // Requests answered with this value.
  int Answered(int answer) const {
    char tag[32];
    snprintf(tag, sizeof tag, " answer=%d ", answer);
    int n = 0;
    for (const std::string& l : Lines()) n += l.find(tag) != std::string::npos;
    return n;
  }
  std::string Arg() const { return "--log \"" + path + "\""; }
};

// The "Velmora Error" boxes of a process seen while watching: how many different ones,
// and the most that were open at the same moment.
struct BoxTally {
  explicit BoxTally(DWORD processId) : pid(processId) {}
  DWORD pid;
  std::set<HWND> seen;
  int mostOpen = 0;

  static BOOL CALLBACK Match(HWND w, LPARAM param) {
    auto* open = reinterpret_cast<std::pair<DWORD, std::vector<HWND>*>*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(w, &pid);
    char cls[32] = "";
    if (pid == open->first && GetClassNameA(w, cls, sizeof cls) && !strcmp(cls, "#32770") &&
        probe::WindowText(w) == "Velmora Error")
      open->second->push_back(w);
    return TRUE;
  }
  std::vector<HWND> Open() {
    std::vector<HWND> boxes;
    std::pair<DWORD, std::vector<HWND>*> search(pid, &boxes);
    EnumWindows(Match, reinterpret_cast<LPARAM>(&search));
    return boxes;
  }
  // Takes note of the boxes open now.
  void Note(const std::vector<HWND>& open) {
    seen.insert(open.begin(), open.end());
    if (int(open.size()) > mostOpen) mostOpen = int(open.size());
  }
  // Samples every 25 ms for ms milliseconds.
  void Watch(DWORD ms) {
    DWORD start = GetTickCount();
    do {
      Note(Open());
      Sleep(25);
    } while (GetTickCount() - start < ms);
  }
  // Samples until a box not seen before shows (that box), or ms have passed (null).
  HWND WaitNew(DWORD ms) {
    DWORD start = GetTickCount();
    for (;;) {
      std::vector<HWND> open = Open();
      HWND fresh = nullptr;
      for (HWND w : open)
        if (!seen.count(w)) fresh = w;
      Note(open);
      if (fresh) return fresh;
      if (GetTickCount() - start >= ms) return nullptr;
      Sleep(25);
    }
  }
};

// Wide enough in both views for every column's header to be clicked.
const char kWide[] = "[Window]\r\nAirborne=[0,0,1400,700]\r\nGround=[0,0,1400,700]\r\n";

// Velmora beside simhost with AutoRefresh off, so that every refresh is one the test
// asks for. The window posted itself the AutoRefresh command while it was created;
// this one, whichever of the two is handled first, leaves AutoRefresh off.
void StartQuiet(e2e::Session* s, const std::string& scenario, const std::string& simArgs) {
  e2e::WriteFile(s->folder.File("velmora.ini"), kWide);
  ASSERT_TRUE(s->StartSimhost(scenario, simArgs));
  ASSERT_TRUE(s->StartVelmora());
  ASSERT_TRUE(drive::Command(s->target.window, kCmdAutoRefresh, 10000));
  ASSERT_TRUE(probe::WaitFor(
      [&] { return probe::MenuState(s->target, kCmdAutoRefresh) == MF_UNCHECKED; }, 5000));
}

HWND SimhostWindow() { return FindWindowA("SimhostStatus", nullptr); }

// --- Wrong answers ---------------------------------------------------------------

class WrongAnswer : public ::testing::TestWithParam<int> {};

// Left open, the box stays the only one while the timer's refreshes go on failing
// behind it; closed, the next failing request brings up one box again; and the
// program closes with a box open.
TEST_P(WrongAnswer, OneBoxAfterFiveTriesNeverTwoAtOnceAndACleanClose) {
  const int answer = GetParam();
  e2e::Session s;
  RequestLog log{s.folder.File("requests.log")};
  ASSERT_TRUE(s.StartSimhost(e2e::ScenarioText(e2e::FrozenScene()),
                             "--answer " + std::to_string(answer) + " " + log.Arg()));
  ASSERT_TRUE(s.StartVelmora());

  // What simhost received, for a failure's message.
  auto received = [&] {
    return std::to_string(log.Count()) + " requests, simhost " +
           (s.simhost.Wait(0) < 0 ? "running" : "ended") + ":\n" + e2e::ReadFile(log.path);
  };
  BoxTally boxes(s.target.pid);
  HWND first = boxes.WaitNew(15000);
  ASSERT_NE(first, nullptr) << received();
  EXPECT_EQ(probe::BoxText(first), kRefused);
  // The box comes after the fifth try of the first refresh, and no sooner.
  EXPECT_EQ(log.Count(), 5);
  EXPECT_EQ(log.Answered(answer), log.Count());

  // Four refresh periods with the box open: each tick's refresh fails five times more
  // and shows nothing.
  boxes.Watch(8500);
  EXPECT_EQ(boxes.seen.size(), 1u);
  EXPECT_EQ(boxes.mostOpen, 1);
  EXPECT_GE(log.Count(), 5 + 3 * 5) << "the refreshes stopped behind the box";
  EXPECT_EQ(log.Answered(answer), log.Count());
  EXPECT_EQ(s.List(), nullptr);

  // Closed, the next request that fails reports again: one new box.
  probe::PressOk(first);
  EXPECT_TRUE(probe::WaitFor([&] { return !IsWindow(first); }, 10000)) << "OK left it open";
  HWND second = boxes.WaitNew(10000);
  ASSERT_NE(second, nullptr) << received();
  EXPECT_EQ(probe::BoxText(second), kRefused);
  EXPECT_EQ(log.Count() % 5, 0) << "a box before the fifth try";
  boxes.Watch(2500);
  EXPECT_EQ(boxes.mostOpen, 1);

  // Exit while that box is open: the window closes, the settings are written, and the
  // refresh that waits under the box finds the channel closed when it resumes.
  probe::PostCommand(s.target, kCmdExit);
  EXPECT_TRUE(probe::WaitFor([&] { return !IsWindow(s.target.window); }, 10000));
  if (IsWindow(second)) probe::PressOk(second);
  EXPECT_EQ(s.velmora.Wait(15000), 0);
  EXPECT_EQ(e2e::IniValue(s.folder.File("velmora.ini"), "Window", "Mode"), "Airborne");
  EXPECT_EQ(boxes.mostOpen, 1);
}

INSTANTIATE_TEST_SUITE_P(Answer, WrongAnswer, ::testing::Values(0, 2));

// --- A server too slow for the time-out -----------------------------------------------

TEST(SlowServer, FiveTimeOutsBoundTheFreezeAndNoBoxEverAfter) {
  e2e::Session s;
  sim::Scene scene = e2e::FrozenScene();
  RequestLog log{s.folder.File("requests.log")};
  ASSERT_NO_FATAL_FAILURE(StartQuiet(&s, e2e::ScenarioText(scene), log.Arg()));
  HWND window = s.target.window;
  ASSERT_TRUE(drive::Command(window, kCmdRefresh, 10000));
  HWND list = s.List();
  ASSERT_NE(list, nullptr);
  e2e::Expected e = e2e::ExpectedView(scene, 0, "");
  ASSERT_NO_FATAL_FAILURE(e2e::ExpectCells(s.target, list, e));
  BoxTally boxes(s.target.pid);

  // Each request held 3000 ms: every try times out after 2000 ms. The refresh holds
  // Velmora for the five tries and the five pauses after them, and no longer.
  PostMessageA(SimhostWindow(), WM_COMMAND, kSimHold3000, 0);
  Sleep(300);
  DWORD frozen = 0;
  ASSERT_TRUE(drive::Command(window, kCmdRefresh, 60000, &frozen));
  EXPECT_GE(frozen, 5u * 2000u);
  EXPECT_LE(frozen, 5u * 2000u + 5u * 200u + 4000u);
  // Between refreshes it takes messages again at once.
  EXPECT_TRUE(drive::Answers(window, 1000));
  boxes.Watch(1500);
  EXPECT_TRUE(boxes.seen.empty()) << "a time-out brought up a box";
  ASSERT_NO_FATAL_FAILURE(e2e::ExpectCells(s.target, list, e));

  // After a time-out a server that answers 0 fails the requests without a box: five
  // immediate wrong answers and the five pauses.
  PostMessageA(SimhostWindow(), WM_COMMAND, kSimAnswer0, 0);
  Sleep(300);
  int before = log.Answered(0);
  DWORD refused = 0;
  ASSERT_TRUE(drive::Command(window, kCmdRefresh, 30000, &refused));
  EXPECT_LT(refused, 3000u);
  EXPECT_GE(log.Answered(0), before + 5);
  boxes.Watch(2500);
  EXPECT_TRUE(boxes.seen.empty()) << "a wrong answer after a time-out brought up a box";
  EXPECT_EQ(probe::WindowText(window), e2e::TitleFor(kAirborneTitle, 0xFFFF));
  ASSERT_NO_FATAL_FAILURE(e2e::ExpectCells(s.target, list, e));

  // And a server that answers again is read again.
  PostMessageA(SimhostWindow(), WM_COMMAND, kSimAnswerNormally, 0);
  Sleep(300);
  ASSERT_TRUE(drive::Command(window, kCmdRefresh, 30000));
  EXPECT_EQ(probe::WindowText(window), e2e::TitleFor(kAirborneTitle, e.nearest));
  ASSERT_NO_FATAL_FAILURE(e2e::ExpectCells(s.target, list, e));
  EXPECT_EQ(s.Exit(), 0);
}

// --- The simulator quits, and comes back ---------------------------------------------

TEST(SimulatorGone, RequestsFailFastSilentlyAndARestartedOneIsNeverAsked) {
  e2e::Session s;
  sim::Scene scene = e2e::FrozenScene();
  RequestLog log{s.folder.File("requests.log")};
  ASSERT_NO_FATAL_FAILURE(
      StartQuiet(&s, e2e::ScenarioText(scene), "--quit-after 2 " + log.Arg()));
  HWND window = s.target.window;
  ASSERT_TRUE(drive::Command(window, kCmdRefresh, 10000));
  ASSERT_TRUE(drive::Command(window, kCmdRefresh, 10000));
  ASSERT_EQ(s.simhost.Wait(10000), 0) << "simhost did not quit after its second answer";
  EXPECT_EQ(log.Answered(1), 2);
  HWND list = s.List();
  ASSERT_NE(list, nullptr);
  e2e::Expected e = e2e::ExpectedView(scene, 0, "");
  auto shown = probe::ReadTable(s.target, list);
  auto order = e2e::RowOrder(s.target, list);

  // Every request now fails at once on the vanished window: only the five pauses, no
  // try waits for a time-out, and nothing is said.
  BoxTally boxes(s.target.pid);
  for (int i = 0; i < 2; ++i) {
    DWORD took = 0;
    ASSERT_TRUE(drive::Command(window, kCmdRefresh, 30000, &took));
    EXPECT_GE(took, 5u * 200u - 50u);
    EXPECT_LT(took, 5u * 200u + 2000u) << "a try waited for its time-out";
  }
  boxes.Watch(1500);
  EXPECT_TRUE(boxes.seen.empty());
  // The list keeps the last texts and order; the title has lost the distance.
  EXPECT_EQ(probe::ReadTable(s.target, list), shown);
  EXPECT_EQ(e2e::RowOrder(s.target, list), order);
  ASSERT_NO_FATAL_FAILURE(e2e::ExpectCells(s.target, list, e));
  EXPECT_EQ(probe::WindowText(window), e2e::TitleFor(kAirborneTitle, 0xFFFF));

  // A new simulator with the same window class: Velmora keeps to the channel it opened
  // at start, which is gone for good, and asks the new one nothing, by hand or by timer.
  e2e::Process again;
  RequestLog againLog{s.folder.File("again.log")};
  ASSERT_TRUE(again.Start(e2e::BinDir() + "\\simhost.exe",
                          "--scenario \"" + s.folder.File("scene.txt") + "\" " + againLog.Arg(),
                          s.folder.path));
  ASSERT_TRUE(probe::WaitFor([] { return FindWindowA("FS98MAIN01", nullptr) != nullptr; },
                             15000));
  ASSERT_TRUE(drive::Command(window, kCmdRefresh, 30000));
  probe::PostCommand(s.target, kCmdAutoRefresh);
  boxes.Watch(5000);
  ASSERT_TRUE(drive::Command(window, kCmdRefresh, 30000));
  EXPECT_TRUE(e2e::FileExists(againLog.path));
  EXPECT_EQ(againLog.Count(), 0) << "Velmora reached the new simulator";
  EXPECT_TRUE(boxes.seen.empty());
  EXPECT_EQ(probe::ReadTable(s.target, list), shown);
  EXPECT_EQ(probe::WindowText(window), e2e::TitleFor(kAirborneTitle, 0xFFFF));

  EXPECT_EQ(s.Exit(), 0);
  PostMessageA(SimhostWindow(), WM_COMMAND, kCmdExit, 0);
  EXPECT_EQ(again.Wait(10000), 0);
}

// --- Hostile tables ----------------------------------------------------------------

struct HostileCase {
  const char* name;
  const char* scenario;   // a built-in scene's name, or the scenario text itself
};

// RunwayNumber 200, alone and with each designator, among runways that have a text.
const char kRunway200[] =
    "user lat=37.6158 lon=-122.3863 alt=13 magvar=13 heading=297.9 com1=118.85\n"
    "airborne count=6\n"
    "ground count=2\n"
    "slot airborne 0 ref=1 id=\"R200\" lat=37.70 lon=-122.3 alt=3000 state=Landing runway=200\n"
    "slot airborne 1 ref=2 id=\"R200L\" lat=37.71 lon=-122.3 alt=3000 state=Landing "
    "runway=200 designator=1\n"
    "slot airborne 2 ref=3 id=\"R200W\" lat=37.72 lon=-122.3 alt=3000 state=Landing "
    "runway=200 designator=4\n"
    "slot airborne 3 ref=4 id=\"R200X\" lat=37.73 lon=-122.3 alt=3000 state=Landing "
    "runway=200 designator=200\n"
    "slot airborne 4 ref=5 id=\"R28L\" lat=37.74 lon=-122.3 alt=3000 state=Landing rwy=28L\n"
    "slot airborne 5 ref=6 id=\"RNW\" lat=37.75 lon=-122.3 alt=3000 state=Landing rwy=NW\n"
    "slot ground 1 ref=7 id=\"G200\" lat=37.615 lon=-122.386 alt=13 state=TaxiOut "
    "runway=200 designator=2\n";

sim::Scene ParseCase(const HostileCase& c) {
  const char* text = sim::BuiltinScenario(c.scenario);
  if (!text) text = c.scenario;
  sim::Scene scene;
  char error[sim::kScenarioErrorBytes] = "";
  EXPECT_TRUE(sim::ParseScenario(text, strlen(text), &scene, error, sizeof error)) << error;
  return scene;
}

class HostileTable : public ::testing::TestWithParam<HostileCase> {};

// Velmora stays up, shows the defined texts in both views, and sorts by every column;
// a list that offers no slot makes no rows.
TEST_P(HostileTable, DefinedTextsAndEverySortInBothViews) {
  sim::Scene scene = ParseCase(GetParam());
  e2e::Session s;
  ASSERT_NO_FATAL_FAILURE(StartQuiet(&s, e2e::ScenarioText(scene), ""));
  HWND window = s.target.window;
  const int views[2] = {0, 1};
  for (int view : views) {
    SCOPED_TRACE(view == 0 ? "Airborne" : "Ground");
    ASSERT_TRUE(drive::Command(window, view == 0 ? kCmdRefresh : kCmdGround, 30000));
    ASSERT_TRUE(drive::Answers(window, 5000));
    e2e::Expected e = e2e::ExpectedView(scene, view, "");
    EXPECT_EQ(probe::WindowText(window), e2e::TitleFor(view == 0 ? kAirborneTitle : kGroundTitle,
                                                  e.nearest));
    HWND list = s.List();
    if (e.slotRows == 0) {
      EXPECT_EQ(list, nullptr);
      continue;
    }
    ASSERT_NE(list, nullptr);
    ASSERT_NO_FATAL_FAILURE(e2e::ExpectCells(s.target, list, e));
    e2e::Served served = e2e::Serve(scene, view, "");
    for (int column = 0; column < 17; ++column) {
      ASSERT_TRUE(drive::ClickHeader(s.target, list, column)) << kNames[column];
      e2e::ExpectSorted(s.target, list, served, column);
    }
    // The refresh keeps the last column clicked.
    ASSERT_TRUE(drive::Command(window, kCmdRefresh, 30000));
    e2e::ExpectSorted(s.target, list, served, 16);
    ASSERT_NO_FATAL_FAILURE(e2e::ExpectCells(s.target, list, e));
  }
  EXPECT_EQ(s.Exit(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Scene, HostileTable,
    ::testing::Values(HostileCase{"count0", "count0"}, HostileCase{"count255", "count255"},
                      HostileCase{"reclen0", "reclen0"}, HostileCase{"reclen41", "reclen41"},
                      HostileCase{"reclen65535", "reclen65535"},
                      HostileCase{"idnonul", "idnonul"}, HostileCase{"nan", "nan"},
                      HostileCase{"antimeridian", "antimeridian"}, HostileCase{"odd", "odd"},
                      HostileCase{"runway200", kRunway200}),
    [](const ::testing::TestParamInfo<HostileCase>& info) { return info.param.name; });

// Text without its blanks and line breaks.
std::string Squeezed(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != ' ' && c != '\n' && c != '\r' && c != '\f') out += c;
  return out;
}

// A hostile table on paper: the printout holds what the list shows, in its order. The
// huge numbers run past their columns (texts are not clipped), and the text read back
// from the PDF then breaks their lines and runs words together; without blanks and
// line breaks it still reads, character for character, as the list does.
TEST(HostileTablePrint, PrintsWhatTheListShows) {
  sim::Scene scene = ParseCase(HostileCase{"nan", "nan"});
  e2e::Session s;
  ASSERT_NO_FATAL_FAILURE(StartQuiet(&s, e2e::ScenarioText(scene), ""));
  ASSERT_TRUE(drive::Command(s.target.window, kCmdRefresh, 30000));
  HWND list = s.List();
  ASSERT_NE(list, nullptr);
  ASSERT_TRUE(drive::ClickHeader(s.target, list, 0));   // by Slot: every row prints
  auto rows = probe::ReadTable(s.target, list);
  int order[17];
  ASSERT_TRUE(probe::ColumnOrder(s.target, list, order));

  printout::Collector collector;
  ASSERT_TRUE(collector.Mark());
  probe::PostCommand(s.target, kCmdPrint);
  HWND dialog = printout::FindPrintDialog(s.target.pid, 30000);
  ASSERT_NE(dialog, nullptr) << "Wine's print dialog did not appear";
  SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
  ASSERT_TRUE(probe::WaitFor([&] {
    return !probe::FindBox(s.target.pid, "Velmora", 0) && IsWindowEnabled(s.target.window);
  }, 60000));
  printout::Printout p;
  ASSERT_TRUE(collector.Collect(&p));
  EXPECT_EQ(p.count, 1);
  ASSERT_EQ(p.pages.size(), 1u) << p.text;
  int pages = 0;
  EXPECT_TRUE(printout::AllPagesLandscape(p.info, &pages)) << p.info;

  // The heads say which columns fit; the rows show the same ones.
  std::vector<std::vector<std::string>> lines = printout::PageLines(p.pages[0]);
  ASSERT_GE(lines.size(), 2u);
  size_t columns = lines[1].size();
  ASSERT_GE(columns, 1u);
  ASSERT_LE(columns, 17u);
  std::string want = "FS A.I. Aircraft Details - Airborne Page 1";
  for (size_t i = 0; i < columns; ++i) want += kNames[order[i]];
  for (const auto& row : rows)
    for (size_t i = 0; i < columns; ++i) want += row[size_t(order[i])];
  EXPECT_EQ(Squeezed(p.pages[0]), Squeezed(want)) << p.text;
  EXPECT_EQ(probe::FindBox(s.target.pid, "Velmora Error", 0), nullptr);
  EXPECT_EQ(s.Exit(), 0);
}

// --- Two at once ----------------------------------------------------------------------

// Each Velmora names its own section after its process id, so two never share one:
// the second, showing the other view, works beside the first.
TEST(TwoVelmoras, EachHasItsOwnSectionAndBothWork) {
  e2e::Session s;
  sim::Scene scene = e2e::FrozenScene();
  RequestLog log{s.folder.File("requests.log")};
  ASSERT_NO_FATAL_FAILURE(StartQuiet(&s, e2e::ScenarioText(scene), log.Arg()));

  e2e::TempFolder other;
  e2e::WriteFile(other.File("velmora.ini"), "[Window]\r\nMode=Ground\r\n");
  std::string exe = other.File("velmora.exe");
  ASSERT_TRUE(CopyFileA((e2e::BinDir() + "\\velmora.exe").c_str(), exe.c_str(), FALSE));
  e2e::Process second;
  ASSERT_TRUE(second.Start(exe, "", other.path));
  probe::Target t2 = {};
  HWND w2 = probe::FindMainWindow(second.pi.dwProcessId, 15000);
  ASSERT_NE(w2, nullptr);
  ASSERT_TRUE(probe::Attach(w2, &t2));
  ASSERT_NE(t2.pid, s.target.pid);
  ASSERT_TRUE(probe::WaitFor([&] { return IsWindowVisible(w2) != 0; }, 15000));
  ASSERT_TRUE(drive::Command(w2, kCmdAutoRefresh, 10000));

  // Turn about, each twice: neither disturbs the other's section.
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(drive::Command(s.target.window, kCmdRefresh, 10000));
    ASSERT_TRUE(drive::Command(w2, kCmdRefresh, 10000));
  }
  e2e::Expected air = e2e::ExpectedView(scene, 0, "");
  e2e::Expected ground = e2e::ExpectedView(scene, 1, "");
  HWND list1 = s.List();
  HWND list2 = probe::FindList(w2);
  ASSERT_NE(list1, nullptr);
  ASSERT_NE(list2, nullptr);
  ASSERT_NO_FATAL_FAILURE(e2e::ExpectCells(s.target, list1, air));
  ASSERT_NO_FATAL_FAILURE(e2e::ExpectCells(t2, list2, ground));
  EXPECT_EQ(probe::WindowText(s.target.window), e2e::TitleFor(kAirborneTitle, air.nearest));
  EXPECT_EQ(probe::WindowText(w2), e2e::TitleFor(kGroundTitle, ground.nearest));

  // simhost saw each section by its name: FsasmLib:IPC:<process id in hex>:1.
  char name1[64], name2[64];
  snprintf(name1, sizeof name1, "section=FsasmLib:IPC:%lX:1 ", s.target.pid);
  snprintf(name2, sizeof name2, "section=FsasmLib:IPC:%lX:1 ", t2.pid);
  int seen1 = 0, seen2 = 0;
  for (const std::string& l : log.Lines()) {
    seen1 += l.find(name1) != std::string::npos;
    seen2 += l.find(name2) != std::string::npos;
  }
  EXPECT_EQ(seen1, 2) << name1;
  EXPECT_EQ(seen2, 2) << name2;
  EXPECT_EQ(log.Answered(1), 4);

  probe::PostCommand(t2, kCmdExit);
  EXPECT_EQ(second.Wait(15000), 0);
  probe::Close(&t2);
  // The first goes on alone.
  ASSERT_TRUE(drive::Command(s.target.window, kCmdRefresh, 10000));
  EXPECT_EQ(log.Answered(1), 5);
  EXPECT_EQ(s.Exit(), 0);
}

}  // namespace
