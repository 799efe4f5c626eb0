// Printing from the running program beside simhost: the Print command, Wine's own print
// dialog answered from here, the CUPS-PDF queue as the printer, and the PDF read back
// and held against the list as Velmora shows it.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sim/scene.h"
#include "tests/e2e/e2e_support.h"
#include "tests/e2e/scene_fixture.h"
#include "tests/win32/printout.h"

namespace {

const int kCmdPrint = 104;
const char* const kNames[17] = {"Slot", "ID", "Dist", "Brg(M)", "AltDiff", "Lat", "Long",
                                "Alt", "Hdg(M)", "GS", "VS", "COM1", "State", "From",
                                "To", "Ref", "Rwy"};

// Airborne traffic around the user near San Francisco: slotCount slots, of which the
// ones listed are occupied; the higher the slot index the farther out, or with
// reversed the nearer.
sim::Scene Traffic(int slotCount, const std::vector<int>& occupied, bool reversed) {
  sim::Scene scene;
  sim::ClearScene(&scene);
  scene.user = {37.6000, -122.3000, 5000.0, 13.0, 300.0, 250.0, 0.0, 0x1885};
  sim::SceneList& air = scene.lists[sim::kListAirborne];
  air.slotCount = slotCount;
  air.recordLength = sim::kRecordLength;
  air.nearest = -1;
  for (int k : occupied) {
    sim::SceneSlot& s = air.slots[k];
    int step = reversed ? 99 - k : k;
    s.defined = 1;
    s.refId = 100 + k;
    snprintf(s.idText, sizeof s.idText, "UAL%d", 100 + k);
    s.latitude = float(37.6 + 0.02 * (step + 1));
    s.longitude = float(-122.3 + 0.01 * (k % 7));
    s.altitude = float(3000 + 100 * k);
    s.heading = 10.0 * (k % 36);
    s.groundSpeed = 180 + k;
    s.verticalSpeed = k % 2 ? 700 : -700;
    s.state = sim::StateEnroute;
    s.com1 = 0x2010;
    memcpy(s.from, "KSFO", 4);
    memcpy(s.to, k % 2 ? "KLAX" : "KSEA", 4);
    s.runwayNumber = uint8_t(1 + k % 36);
    s.runwayDesignator = uint8_t(k % 3);
  }
  return scene;
}

std::vector<int> Range(int n) {
  std::vector<int> v;
  for (int k = 0; k < n; ++k) v.push_back(k);
  return v;
}

// Converts a DOS path of this Wine session into its Unix path.
std::string UnixPath(const std::string& dosPath) {
  typedef char*(CDECL * ToUnix)(const WCHAR*);
  ToUnix toUnix = (ToUnix)(void*)GetProcAddress(GetModuleHandleA("kernel32.dll"),
                                                 "wine_get_unix_file_name");
  if (!toUnix) return std::string();
  WCHAR wide[MAX_PATH];
  MultiByteToWideChar(CP_ACP, 0, dosPath.c_str(), -1, wide, MAX_PATH);
  char* unixPath = toUnix(wide);
  if (!unixPath) return std::string();
  std::string out = unixPath;
  HeapFree(GetProcessHeap(), 0, unixPath);
  return out;
}

class Printing : public ::testing::Test {
 protected:
  // simhost with the scene, then Velmora with the settings file, until its list shows.
  void Start(const sim::Scene& scene, const std::string& ini = std::string()) {
    if (!ini.empty()) e2e::WriteFile(s.folder.File("velmora.ini"), ini);
    ASSERT_TRUE(s.StartSimhost(e2e::ScenarioText(scene)));
    ASSERT_TRUE(s.StartVelmora());
    WaitForList();
  }

  // As Start, but Velmora runs with CUPS_SERVER pointing at a port where nothing
  // listens. Wine's printing reads it from the Unix environment of the process, which
  // a Wine program cannot set for its children, so Velmora is started through the
  // shell with the Wine loader.
  void StartWithoutPrinter(const sim::Scene& scene) {
    ASSERT_TRUE(s.StartSimhost(e2e::ScenarioText(scene)));
    std::string exe = s.folder.File("velmora.exe");
    ASSERT_TRUE(CopyFileA((e2e::BinDir() + "\\velmora.exe").c_str(), exe.c_str(), FALSE));
    std::string folder = UnixPath(s.folder.path);
    ASSERT_FALSE(folder.empty());
    std::string command =
        "/bin/sh -c \"cd '" + folder + "' && export CUPS_SERVER=127.0.0.1:9 && "
        "exec $(command -v /usr/lib/wine/wine64 || command -v wine64 || command -v wine) "
        "velmora.exe >/dev/null 2>&1\"";
    ASSERT_TRUE(printout::RunUnix(command));
    HWND window = probe::FindMainWindow(0, 30000);
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(probe::Attach(window, &s.target));
    ASSERT_TRUE(probe::WaitFor([&] { return IsWindowVisible(window) != 0; }, 15000));
    shellStarted_ = true;
    WaitForList();
  }

  void WaitForList() {
    list_ = s.WaitList(20000);
    ASSERT_NE(list_, nullptr);
    // The first refresh has written the cells: the user's row reads "User".
    ASSERT_TRUE(probe::WaitFor([&] { return probe::CellText(s.target, list_, 0, 1) == "User"; },
                               10000));
  }

  void TearDown() override {
    if (shellStarted_ && s.target.process) {
      probe::PostCommand(s.target, 101);
      if (probe::WaitExit(s.target.process, 15000) < 0) TerminateProcess(s.target.process, 99);
    }
  }

  DWORD Pid() const {
    DWORD pid = 0;
    GetWindowThreadProcessId(s.target.window, &pid);
    return pid;
  }

  // The progress dialog, if it is open.
  HWND ProgressDialog(DWORD timeoutMs = 0) { return probe::FindBox(Pid(), "Velmora", timeoutMs); }

  // Sends Print and answers Wine's print dialog with the button (it returns once the
  // dialog has taken the click).
  void Print(int button) {
    probe::PostCommand(s.target, kCmdPrint);
    HWND dialog = printout::FindPrintDialog(Pid(), 30000);
    ASSERT_NE(dialog, nullptr) << "Wine's print dialog did not appear";
    SendMessageA(GetDlgItem(dialog, button), BM_CLICK, 0, 0);
  }

  // The job is over: no progress dialog, the main window enabled again.
  bool WaitJobEnd() {
    return probe::WaitFor(
        [&] { return !ProgressDialog() && IsWindowEnabled(s.target.window); }, 60000);
  }

  // The list as shown: rows in display order, cells by column; and the column order.
  void ReadList(std::vector<std::vector<std::string>>* rows, int order[17]) {
    *rows = probe::ReadTable(s.target, list_);
    ASSERT_TRUE(probe::ColumnOrder(s.target, list_, order));
  }

  // One whole job with OK, and its printout.
  void PrintOk(printout::Printout* p) {
    printout::Collector collector;
    ASSERT_TRUE(collector.Mark());
    ASSERT_NO_FATAL_FAILURE(Print(IDOK));
    ASSERT_TRUE(WaitJobEnd());
    ASSERT_TRUE(collector.Collect(p));
  }

  e2e::Session s;
  HWND list_ = nullptr;
  bool shellStarted_ = false;
};

// The rows up to the first with an empty ID cell, as a sort by anything but Slot
// prints them.
std::vector<std::vector<std::string>> UpToFirstBlank(
    const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::vector<std::string>> out;
  for (const auto& r : rows) {
    if (r[1].empty()) break;
    out.push_back(r);
  }
  return out;
}

TEST_F(Printing, FiveOfTwentySlotsSortedByDistancePrintTheUserAndTheFive) {
  ASSERT_NO_FATAL_FAILURE(Start(Traffic(20, {1, 4, 8, 12, 17}, true)));
  std::vector<std::vector<std::string>> rows;
  int order[17];
  ASSERT_NO_FATAL_FAILURE(ReadList(&rows, order));
  ASSERT_EQ(21u, rows.size());

  printout::Printout p;
  ASSERT_NO_FATAL_FAILURE(PrintOk(&p));
  EXPECT_EQ(1, p.count);
  ASSERT_EQ(1u, p.pages.size());
  std::vector<std::vector<std::string>> printed = UpToFirstBlank(rows);
  ASSERT_EQ(6u, printed.size());
  EXPECT_EQ("User", printed[0][1]);
  size_t heads = 0;
  EXPECT_TRUE(printout::ShowsRows(p, "Airborne", printed, order, kNames, &heads)) << p.text;
  // Slot to State on the landscape page, as on the letter page: From would not fit.
  EXPECT_EQ(13u, heads);

  int pages = 0;
  EXPECT_TRUE(printout::AllPagesLandscape(p.info, &pages)) << p.info;
  EXPECT_EQ(1, pages);
  EXPECT_NE(std::string::npos, p.info.find("Title:           FS2002 AI Aircraft Details"));
  EXPECT_NE(std::string::npos, p.fonts.find("LiberationSans-Bold")) << p.fonts;
  EXPECT_EQ(nullptr, probe::FindBox(Pid(), "Velmora Error", 0));
}

TEST_F(Printing, SortedBySlotEveryRowPrintsTheEmptyOnesWithTheirSlotOnly) {
  ASSERT_NO_FATAL_FAILURE(
      Start(Traffic(20, {1, 4, 8, 12, 17}, true), "[Window]\r\nSort=0\r\n"));
  std::vector<std::vector<std::string>> rows;
  int order[17];
  ASSERT_NO_FATAL_FAILURE(ReadList(&rows, order));
  ASSERT_EQ(21u, rows.size());
  EXPECT_EQ("00", rows[1][0]);
  EXPECT_EQ("19", rows[20][0]);

  printout::Printout p;
  ASSERT_NO_FATAL_FAILURE(PrintOk(&p));
  EXPECT_EQ(1, p.count);
  EXPECT_TRUE(printout::ShowsRows(p, "Airborne", rows, order, kNames)) << p.text;
  std::vector<std::vector<std::string>> lines = printout::PageLines(p.pages.at(0));
  ASSERT_EQ(2u + 21u, lines.size());
  EXPECT_EQ(std::vector<std::string>{"00"}, lines[3]);   // slot 0 is empty
  EXPECT_EQ(std::vector<std::string>{"19"}, lines[22]);
}

TEST_F(Printing, NinetyNineSlotsRunOverPagesInTheListsOrder) {
  // Nearest first is the reverse of the slot order.
  ASSERT_NO_FATAL_FAILURE(Start(Traffic(99, Range(99), true)));
  std::vector<std::vector<std::string>> rows;
  int order[17];
  ASSERT_NO_FATAL_FAILURE(ReadList(&rows, order));
  ASSERT_EQ(100u, rows.size());
  EXPECT_EQ("98", rows[1][0]);
  EXPECT_EQ("00", rows[99][0]);

  printout::Printout p;
  ASSERT_NO_FATAL_FAILURE(PrintOk(&p));
  EXPECT_EQ(1, p.count);
  EXPECT_GE(p.pages.size(), 2u);
  EXPECT_TRUE(printout::ShowsRows(p, "Airborne", rows, order, kNames)) << p.text;
  int pages = 0;
  EXPECT_TRUE(printout::AllPagesLandscape(p.info, &pages));
  EXPECT_EQ((int)p.pages.size(), pages);
}

TEST_F(Printing, AColumnMovedToTheFrontPrintsFirst) {
  // Rwy at display position 0, the others after it in their order.
  std::string ini = "[Airborne]\r\n";
  for (int p = 0; p < 17; ++p) {
    char line[64];
    snprintf(line, sizeof line, "%s=%d,60\r\n", kNames[p], p == 0 ? 16 : p - 1);
    ini += line;
  }
  ASSERT_NO_FATAL_FAILURE(Start(Traffic(20, {1, 4, 8, 12, 17}, false), ini));
  std::vector<std::vector<std::string>> rows;
  int order[17];
  ASSERT_NO_FATAL_FAILURE(ReadList(&rows, order));
  ASSERT_EQ(16, order[0]);

  printout::Printout p;
  ASSERT_NO_FATAL_FAILURE(PrintOk(&p));
  std::vector<std::vector<std::string>> printed = UpToFirstBlank(rows);
  EXPECT_TRUE(printout::ShowsRows(p, "Airborne", printed, order, kNames)) << p.text;
  std::vector<std::vector<std::string>> lines = printout::PageLines(p.pages.at(0));
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ("Rwy", lines[1][0]);
  EXPECT_EQ(printout::Words(printed[1][16]).at(0), lines[3][0]);   // first slot's runway
}

TEST_F(Printing, WithoutAPrinterThePrintDialogFailureIsReported) {
  ASSERT_NO_FATAL_FAILURE(StartWithoutPrinter(Traffic(20, {1, 4, 8, 12, 17}, true)));
  probe::PostCommand(s.target, kCmdPrint);
  HWND box = probe::FindBox(Pid(), "Velmora Error", 30000);
  ASSERT_NE(box, nullptr);
  // PDERR_NODEFAULTPRN: Wine finds no default printer.
  EXPECT_EQ("Error 4104 reported: calling Print dialogue", probe::BoxText(box));
  EXPECT_EQ(nullptr, ProgressDialog());
  EXPECT_EQ(nullptr, printout::FindPrintDialog(Pid(), 0));
  probe::PressOk(box);
  EXPECT_TRUE(probe::WaitFor([&] { return !IsWindow(box); }, 10000));
  EXPECT_TRUE(IsWindowEnabled(s.target.window));
  EXPECT_EQ(nullptr, ProgressDialog());
}

TEST_F(Printing, CancellingThePrintDialogPrintsNothingAndSaysNothing) {
  ASSERT_NO_FATAL_FAILURE(Start(Traffic(20, {1, 4, 8, 12, 17}, true)));
  printout::Collector collector;
  ASSERT_TRUE(collector.Mark());
  ASSERT_NO_FATAL_FAILURE(Print(IDCANCEL));
  EXPECT_EQ(nullptr, probe::FindBox(Pid(), "Velmora Error", 3000));
  EXPECT_EQ(nullptr, ProgressDialog());
  EXPECT_TRUE(IsWindowEnabled(s.target.window));

  // The next job's printout is the only one since the mark.
  ASSERT_NO_FATAL_FAILURE(Print(IDOK));
  ASSERT_TRUE(WaitJobEnd());
  printout::Printout p;
  ASSERT_TRUE(collector.Collect(&p));
  EXPECT_EQ(1, p.count);
}

TEST_F(Printing, CancelInTheProgressDialogStopsTheJob) {
  ASSERT_NO_FATAL_FAILURE(Start(Traffic(99, Range(99), true)));
  std::vector<std::vector<std::string>> rows;
  int order[17];
  ASSERT_NO_FATAL_FAILURE(ReadList(&rows, order));
  printout::Collector collector;
  ASSERT_TRUE(collector.Mark());

  // Cancel as soon as the progress dialog shows. The job takes the click when it next
  // asks its abort procedure: as the document starts or at a page break.
  ASSERT_NO_FATAL_FAILURE(Print(IDOK));
  HWND progress = nullptr;
  for (DWORD start = GetTickCount(); !progress && GetTickCount() - start < 20000;) {
    progress = FindWindowA("#32770", "Velmora");
    if (!progress || !IsWindowVisible(progress)) {
      progress = nullptr;
      Sleep(1);
    }
  }
  ASSERT_NE(progress, nullptr) << "no progress dialog";
  PostMessageA(GetDlgItem(progress, IDCANCEL), BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitJobEnd());
  // Under Xvfb without a window manager Wine takes a while to let a hidden window go.
  EXPECT_TRUE(probe::WaitFor([&] { return !IsWindow(progress); }, 10000));
  EXPECT_EQ(nullptr, probe::FindBox(Pid(), "Velmora Error", 1000));

  // Nothing of the cancelled job reached the printer: the next job's printout, the
  // whole list, is the only one since the mark.
  ASSERT_NO_FATAL_FAILURE(Print(IDOK));
  ASSERT_TRUE(WaitJobEnd());
  printout::Printout p;
  ASSERT_TRUE(collector.Collect(&p));
  EXPECT_EQ(1, p.count);
  EXPECT_TRUE(printout::ShowsRows(p, "Airborne", rows, order, kNames)) << p.text;
}

}  // namespace
