// The print job for real: a list control made here as the traffic list, Wine's own
// print dialog answered from a helper thread, the CUPS-PDF queue as the printer, and
// the PDF read back.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "print/print.h"
#include "shell/app.h"
#include "shell/settings.h"
#include "table/columns.h"
#include "table/list.h"
#include "tests/win32/boxwatch.h"
#include "tests/win32/printout.h"

namespace {

using printout::PageLines;
using printout::Words;
typedef std::vector<std::string> Texts;

// A row as the list holds it: the seventeen cell texts by column identifier.
typedef std::vector<std::string> Row;

// The user's row and five occupied slots of twenty, each with an identification.
Row UserRow() {
  return {"", "User", "", "", "", "N47 27.50", "E008 33.10", "2500", "275", "140", "-500",
          "118.10", "", "", "", "", ""};
}

Row Occupied(int slot, const char* id, const char* dist, const char* from) {
  char s[8];
  snprintf(s, sizeof s, "%02d", slot);
  return {s, id, dist, "123", "+15", "N47 30.00", "E008 40.00", "3000", "090", "210",
          "+800", "120.20", "Climb", from, "EGLL", "7", "16L"};
}

Row Blank(int slot) {
  char s[8];
  snprintf(s, sizeof s, "%02d", slot);
  Row r(table::kColumns);
  r[0] = s;
  return r;
}

// The five occupied slots by slot index.
std::vector<Row> OccupiedRows() {
  return {Occupied(2, "SWR12", "3.1", "LSZH"), Occupied(5, "DLH4", "1.2", "EDDF"),
          Occupied(9, "AFR77", "9.8", "LFPG"), Occupied(13, "BAW9", "0.7", "EGKK"),
          Occupied(17, "KLM301", "5.5", "EHAM")};
}

// The list sorted by distance: user first, occupied rows by distance, blank rows last.
std::vector<Row> SortedByDistance() {
  std::vector<Row> occupied = OccupiedRows();
  std::vector<Row> rows = {UserRow(), occupied[3], occupied[1], occupied[0], occupied[4],
                           occupied[2]};
  for (int k = 0; k < 20; ++k)
    if (k != 2 && k != 5 && k != 9 && k != 13 && k != 17) rows.push_back(Blank(k));
  return rows;
}

// The list sorted by slot: user first, then every slot in order.
std::vector<Row> SortedBySlot() {
  std::vector<Row> occupied = OccupiedRows();
  std::vector<Row> rows = {UserRow()};
  size_t next = 0;
  for (int k = 0; k < 20; ++k) {
    if (next < occupied.size() && occupied[next][0] == Blank(k)[0])
      rows.push_back(occupied[next++]);
    else
      rows.push_back(Blank(k));
  }
  return rows;
}

// What the test's main window and list saw while a job ran.
struct JobLog {
  std::vector<int> enables;       // WM_ENABLE of the main window, 1 or 0
  int eventAtRow = -1;            // row whose ID read posts rowEvent, -1 for none
  UINT rowEvent = 0;              // kPressCancel, kPrintAgain or kQuit
  bool cancelAtStart = false;     // the job's disabling of the main window posts it
  bool cancelled = false;         // Cancel was pressed in the progress dialog
  bool enabledAtCancel = false;   // the main window was enabled right after
  bool dialogGoneAtCancel = false;
  int progressDialogs = 0;        // progress dialogs created
  bool nestedReturned = false;    // a Print command during the job came back
  bool nestedDialog = false;      // ... after opening a print dialog
};
JobLog Log;
WNDPROC ListProc;

const UINT kPressCancel = WM_APP + 1;   // Cancel in the progress dialog
const UINT kPrintAgain = WM_APP + 2;    // Print while the job runs
const UINT kQuit = WM_APP + 3;          // the program is told to end

// Presses a button of Wine's print dialog once it is up.
struct Press {
  int button;
  DWORD timeoutMs;
  bool found;
};
DWORD WINAPI PressInPrintDialog(void* arg) {
  Press* press = (Press*)arg;
  HWND dialog = printout::FindPrintDialog(GetCurrentProcessId(), press->timeoutMs);
  press->found = dialog != nullptr;
  if (dialog) SendMessageA(GetDlgItem(dialog, press->button), BM_CLICK, 0, 0);
  return 0;
}

LRESULT CALLBACK TestMainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_ENABLE) {
    Log.enables.push_back(wParam ? 1 : 0);
    // Wine's print dialog disables the window too, but no job runs then: the cancel
    // posted for it finds no progress dialog and does nothing.
    if (!wParam && Log.cancelAtStart) PostMessageA(window, kPressCancel, 0, 0);
  }
  if (message == kPressCancel && print::PrintDialog) {
    HWND dialog = print::PrintDialog;
    SendMessageA(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
    Log.cancelled = true;
    Log.enabledAtCancel = IsWindowEnabled(window) != 0;
    Log.dialogGoneAtCancel = !IsWindow(dialog) && print::PrintDialog == nullptr;
    // Disabled again, as another box would: the job must not enable it a second time.
    EnableWindow(window, FALSE);
    return 0;
  }
  if (message == kPrintAgain) {
    // A second job must not start inside the first; should a print dialog open all
    // the same, it is cancelled so that the test goes on.
    Press press = {IDCANCEL, 3000, false};
    HANDLE presser = CreateThread(nullptr, 0, PressInPrintDialog, &press, 0, nullptr);
    print::PrintTable(false);
    WaitForSingleObject(presser, 10000);
    CloseHandle(presser);
    Log.nestedReturned = true;
    Log.nestedDialog = press.found;
    return 0;
  }
  if (message == kQuit) {
    PostQuitMessage(7);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

// Posts the row event when the job reads the ID cell of the chosen row; the job's
// abort procedure delivers it at the next page break.
LRESULT CALLBACK EventListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == LVM_GETITEMA) {
    const LVITEMA* item = (const LVITEMA*)lParam;
    if (item->iItem == Log.eventAtRow && item->iSubItem == table::ColId &&
        item->cchTextMax == 4)
      PostMessageA(shell::MainWindow, Log.rowEvent, 0, 0);
  }
  return CallWindowProcA(ListProc, list, message, wParam, lParam);
}

// Counts the progress dialogs by their "Cancel Printing" text as it is created.
HHOOK CreationHook;
LRESULT CALLBACK CountProgressDialogs(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    const CREATESTRUCTA* cs = ((const CBT_CREATEWNDA*)lParam)->lpcs;
    if (!IS_INTRESOURCE(cs->lpszName) && cs->lpszName &&
        !strcmp(cs->lpszName, "Cancel Printing"))
      Log.progressDialogs++;
  }
  return CallNextHookEx(CreationHook, code, wParam, lParam);
}

class PrintJob : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitCommonControls();
    WNDCLASSA wc = {};
    wc.lpfnWndProc = TestMainProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VelmoraPrintTest";
    RegisterClassA(&wc);
  }

  void SetUp() override {
    Log = JobLog();
    shell::Instance = GetModuleHandleA(nullptr);
    shell::ViewMode = 0;
    shell::SortColumn = 2;
    table::ResetColumnModel();
    shell::MainWindow = CreateWindowA("VelmoraPrintTest", "Velmora print test",
                                      WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 900, 600,
                                      nullptr, nullptr, shell::Instance, nullptr);
    ASSERT_NE(shell::MainWindow, nullptr);
    table::TrafficList = CreateWindowExA(0, "SysListView32", "",
                                         WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0, 900, 600,
                                         shell::MainWindow, nullptr, shell::Instance, nullptr);
    ASSERT_NE(table::TrafficList, nullptr);
    for (int i = 0; i < table::kColumns; ++i) {
      LVCOLUMNA c = {};
      c.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
      c.cx = table::DefaultWidth[i];
      c.pszText = (char*)table::NameTable[i];
      c.iSubItem = i;
      SendMessageA(table::TrafficList, LVM_INSERTCOLUMNA, i, (LPARAM)&c);
    }
    ListProc = (WNDPROC)SetWindowLongPtrA(table::TrafficList, GWLP_WNDPROC,
                                          (LONG_PTR)EventListProc);
    CreationHook = SetWindowsHookExA(WH_CBT, CountProgressDialogs, nullptr,
                                     GetCurrentThreadId());
    boxes_.reset(new BoxWatch());
  }

  void TearDown() override {
    boxes_.reset();
    if (CreationHook) UnhookWindowsHookEx(CreationHook);
    CreationHook = nullptr;
    // Each test starts from the default printer again, as a new process would.
    print::PrintTable(true);
    DestroyWindow(shell::MainWindow);
    shell::MainWindow = nullptr;
    table::TrafficList = nullptr;
  }

  void Fill(const std::vector<Row>& rows) {
    for (size_t r = 0; r < rows.size(); ++r) {
      LVITEMA item = {};
      item.mask = LVIF_TEXT | LVIF_PARAM;
      item.iItem = (int)r;
      item.pszText = (char*)rows[r][0].c_str();
      item.lParam = (LPARAM)r - 1;
      SendMessageA(table::TrafficList, LVM_INSERTITEMA, 0, (LPARAM)&item);
      for (int c = 1; c < table::kColumns; ++c) {
        LVITEMA sub = {};
        sub.iSubItem = c;
        sub.pszText = (char*)rows[r][c].c_str();
        SendMessageA(table::TrafficList, LVM_SETITEMTEXTA, r, (LPARAM)&sub);
      }
    }
    ASSERT_EQ((LRESULT)rows.size(), SendMessageA(table::TrafficList, LVM_GETITEMCOUNT, 0, 0));
  }

  // One job, answering the print dialog with the button.
  void RunJob(int button) {
    Press press = {button, 30000, false};
    HANDLE presser = CreateThread(nullptr, 0, PressInPrintDialog, &press, 0, nullptr);
    print::PrintTable(false);
    WaitForSingleObject(presser, 40000);
    CloseHandle(presser);
    ASSERT_TRUE(press.found) << "Wine's print dialog did not appear";
    EXPECT_EQ(print::PrintDialog, nullptr);
  }

  // One job printed with OK; the printout that arrived.
  void PrintPressingOk(printout::Printout* out) {
    printout::Collector collector;
    ASSERT_TRUE(collector.Mark());
    ASSERT_NO_FATAL_FAILURE(RunJob(IDOK));
    ASSERT_TRUE(collector.Collect(out));
  }

  // The printout shows these rows under the current view's column order, and at least
  // Slot to State: they fit on any landscape page the queue offers.
  void ExpectPrintout(const printout::Printout& p, const char* viewName,
                      const std::vector<Row>& rows) {
    int32_t repaired[table::kColumns];
    table::RepairOrder(table::Layouts[shell::ViewMode].order, repaired);
    int order[table::kColumns];
    for (int i = 0; i < table::kColumns; ++i) order[i] = repaired[i];
    size_t heads = 0;
    EXPECT_TRUE(printout::ShowsRows(p, viewName, rows, order, table::NameTable, &heads))
        << p.text;
    EXPECT_GE(heads, 13u);
  }

  // The error boxes seen so far, by text.
  std::vector<std::string> Boxes() {
    std::vector<std::string> texts;
    for (const SeenBox& b : boxes_->Boxes()) texts.push_back(b.text);
    return texts;
  }

  std::unique_ptr<BoxWatch> boxes_;
};

TEST_F(PrintJob, SortedByDistanceEndsAtTheFirstBlankRow) {
  std::vector<Row> rows = SortedByDistance();
  Fill(rows);
  printout::Printout p;
  ASSERT_NO_FATAL_FAILURE(PrintPressingOk(&p));
  ASSERT_EQ(1, p.count);
  ASSERT_EQ(1u, p.pages.size());
  // The user's row and the five occupied slots, nothing of the fifteen blank ones.
  ExpectPrintout(p, "Airborne", std::vector<Row>(rows.begin(), rows.begin() + 6));

  // The document and the page: landscape, bold header over normal rows.
  EXPECT_NE(std::string::npos, p.info.find("Title:           FS2002 AI Aircraft Details"))
      << p.info;
  int pages = 0;
  EXPECT_TRUE(printout::AllPagesLandscape(p.info, &pages)) << p.info;
  EXPECT_EQ(1, pages);
  EXPECT_NE(std::string::npos, p.fonts.find("-Bold")) << p.fonts;
  EXPECT_NE(std::string::npos, p.fonts.find("LiberationSans ")) << p.fonts;

  EXPECT_EQ(std::vector<std::string>(), Boxes());
  EXPECT_EQ(1, Log.progressDialogs);
  EXPECT_TRUE(IsWindowEnabled(shell::MainWindow));
}

TEST_F(PrintJob, SortedBySlotPrintsEveryRowBlankOnesWithTheirSlotOnly) {
  shell::SortColumn = 0;
  std::vector<Row> rows = SortedBySlot();
  Fill(rows);
  printout::Printout p;
  ASSERT_NO_FATAL_FAILURE(PrintPressingOk(&p));
  ASSERT_EQ(1, p.count);
  ExpectPrintout(p, "Airborne", rows);
  std::vector<Texts> lines = PageLines(p.pages[0]);
  ASSERT_EQ(2u + 21u, lines.size());
  EXPECT_EQ(Texts{"00"}, lines[3]);   // after title, heads and the user's row
  EXPECT_EQ(Texts{"19"}, lines.back());
}

TEST_F(PrintJob, ALongListRunsOverPagesEachWithItsHeader) {
  // The user and 99 occupied slots, in the list's order (not the slot order).
  std::vector<Row> rows = {UserRow()};
  for (int k = 98; k >= 0; --k) {
    char id[16], dist[16];
    snprintf(id, sizeof id, "AI%03d", k);
    snprintf(dist, sizeof dist, "%d.0", 99 - k);
    rows.push_back(Occupied(k, id, dist, "KSFO"));
  }
  Fill(rows);
  printout::Printout p;
  ASSERT_NO_FATAL_FAILURE(PrintPressingOk(&p));
  ASSERT_EQ(1, p.count);
  ASSERT_GE(p.pages.size(), 2u);
  ExpectPrintout(p, "Airborne", rows);
  // Every page but the last is full: the same number of rows on each.
  size_t perPage = PageLines(p.pages[0]).size();
  for (size_t i = 1; i + 1 < p.pages.size(); ++i)
    EXPECT_EQ(perPage, PageLines(p.pages[i]).size());
  EXPECT_LE(PageLines(p.pages.back()).size(), perPage);
  int pages = 0;
  EXPECT_TRUE(printout::AllPagesLandscape(p.info, &pages));
  EXPECT_EQ((int)p.pages.size(), pages);
}

TEST_F(PrintJob, HeadsAndRowsFollowTheCurrentViewsColumnOrder) {
  struct Case {
    const char* what;
    std::vector<int32_t> order;   // of the Ground layout
    int32_t first;                // the column printed first
  } cases[] = {
    {"Rwy moved to the front", {16, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
     table::ColRwy},
    {"an order with repeats is repaired, the missing columns following",
     {13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13, 13}, table::ColFrom},
  };
  shell::ViewMode = 1;
  std::vector<Row> rows = SortedByDistance();
  Fill(rows);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (int p = 0; p < table::kColumns; ++p) table::Layouts[1].order[p] = c.order[p];
    printout::Printout p;
    ASSERT_NO_FATAL_FAILURE(PrintPressingOk(&p));
    ASSERT_EQ(1, p.count);
    ExpectPrintout(p, "Ground", std::vector<Row>(rows.begin(), rows.begin() + 6));
    std::vector<Texts> lines = PageLines(p.pages[0]);
    EXPECT_EQ(table::NameTable[c.first], lines[1][0]);
    EXPECT_EQ(Words(rows[1][c.first])[0], lines[3][0]);
  }
}

TEST_F(PrintJob, CancellingThePrintDialogPrintsNothingAndSaysNothing) {
  Fill(SortedByDistance());
  printout::Collector collector;
  ASSERT_TRUE(collector.Mark());
  ASSERT_NO_FATAL_FAILURE(RunJob(IDCANCEL));
  EXPECT_EQ(0, Log.progressDialogs);
  EXPECT_TRUE(IsWindowEnabled(shell::MainWindow));
  EXPECT_EQ(std::vector<std::string>(), Boxes());

  // A job that does print: its printout is the only one since the mark.
  ASSERT_NO_FATAL_FAILURE(RunJob(IDOK));
  printout::Printout p;
  ASSERT_TRUE(collector.Collect(&p));
  EXPECT_EQ(1, p.count);
  EXPECT_EQ(1, Log.progressDialogs);
}

TEST_F(PrintJob, CancelInTheProgressDialogStopsTheJob) {
  std::vector<Row> rows = {UserRow()};
  for (int k = 0; k < 300; ++k) {
    char id[16];
    snprintf(id, sizeof id, "C%03d", k);
    rows.push_back(Occupied(k % 100, id, "1.0", "KSFO"));
  }
  Fill(rows);
  struct Case {
    const char* what;
    bool atStart;
    int atRow;
  } cases[] = {
    // Wine asks the abort procedure as the document starts, so this cancel makes
    // StartDoc fail: a failure that is the user's cancel, not an error.
    {"as the document starts", true, -1},
    // Read on the second page; the job asks the abort procedure at the page's end.
    {"at a page break", false, 60},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Log = JobLog();
    boxes_.reset(new BoxWatch());
    printout::Collector collector;
    ASSERT_TRUE(collector.Mark());
    Log.cancelAtStart = c.atStart;
    Log.eventAtRow = c.atRow;
    Log.rowEvent = kPressCancel;
    ASSERT_NO_FATAL_FAILURE(RunJob(IDOK));
    Log.cancelAtStart = false;
    Log.eventAtRow = -1;

    ASSERT_TRUE(Log.cancelled) << "the job ended before the cancel";
    EXPECT_TRUE(Log.enabledAtCancel);
    EXPECT_TRUE(Log.dialogGoneAtCancel);
    // The test disabled it after the cancel; the end of the job left it so.
    EXPECT_FALSE(IsWindowEnabled(shell::MainWindow));
    EnableWindow(shell::MainWindow, TRUE);
    EXPECT_EQ(std::vector<std::string>(), Boxes());

    // The cancelled job never reached the printer: the next job's printout, the whole
    // list, is the only one since the mark.
    ASSERT_NO_FATAL_FAILURE(RunJob(IDOK));
    printout::Printout p;
    ASSERT_TRUE(collector.Collect(&p));
    EXPECT_EQ(1, p.count);
    ExpectPrintout(p, "Airborne", rows);
    EXPECT_EQ(2, Log.progressDialogs);
  }
}

// Messages that the job's abort procedure passes on while it prints: a Print command
// starts no second job, and the program's quit is kept for its message loop. In both
// cases the job itself prints to the end.
TEST_F(PrintJob, APrintCommandDuringTheJobStartsNoSecondJob) {
  std::vector<Row> rows = {UserRow()};
  for (int k = 0; k < 99; ++k) rows.push_back(Occupied(k, "AB12", "1.0", "KSFO"));
  Fill(rows);
  Log.eventAtRow = 20;
  Log.rowEvent = kPrintAgain;
  printout::Printout p;
  ASSERT_NO_FATAL_FAILURE(PrintPressingOk(&p));
  EXPECT_TRUE(Log.nestedReturned);
  EXPECT_FALSE(Log.nestedDialog);
  EXPECT_EQ(1, Log.progressDialogs);
  EXPECT_EQ(1, p.count);
  ExpectPrintout(p, "Airborne", rows);
}

TEST_F(PrintJob, AQuitDuringTheJobIsLeftForTheMessageLoop) {
  std::vector<Row> rows = {UserRow()};
  for (int k = 0; k < 99; ++k) rows.push_back(Occupied(k, "AB12", "1.0", "KSFO"));
  Fill(rows);
  Log.eventAtRow = 20;
  Log.rowEvent = kQuit;
  printout::Printout p;
  ASSERT_NO_FATAL_FAILURE(PrintPressingOk(&p));
  MSG msg = {};
  ASSERT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(7, (int)msg.wParam);
  EXPECT_EQ(1, p.count);
  ExpectPrintout(p, "Airborne", rows);
}

}  // namespace
