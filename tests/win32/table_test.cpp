// The traffic list with the real list control: its creation, the refresh cycle against
// a server window in this process, the sort, the captured column order and the title.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "link/channel.h"
#include "link/snapshot.h"
#include "shell/app.h"
#include "shell/settings.h"
#include "sim/server.h"
#include "table/columns.h"
#include "table/list.h"
#include "table/refresh.h"
#include "table/rowvalues.h"
#include "tests/win32/boxwatch.h"

namespace {

// --- A server window in this process -------------------------------------------------

uint8_t StateTable[sim::kStateTableBytes];

enum ServerMode {
  ServeAndAnswer1,   // a working server
  Answer0,           // answers 0 and writes nothing
  ServeAndAnswer2,   // writes every record, then answers 2
};
ServerMode Mode = ServeAndAnswer1;
UINT IpcMessage = 0;

LRESULT Serve(ATOM atom) {
  if (Mode == Answer0) return 0;
  char name[MAX_PATH];
  if (!GlobalGetAtomNameA(atom, name, sizeof name)) return 0;
  HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, name);
  if (!mapping) return 0;
  LRESULT result = 0;
  uint8_t* section = static_cast<uint8_t*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
  if (section) {
    result = sim::ServeRequest(section, simlink::kViewBytes, StateTable, sizeof StateTable,
                               nullptr, 0);
    UnmapViewOfFile(section);
  }
  CloseHandle(mapping);
  if (Mode == ServeAndAnswer2) return 2;
  return result;
}

LRESULT CALLBACK ServerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (IpcMessage != 0 && message == IpcMessage) return Serve(static_cast<ATOM>(wParam));
  return DefWindowProcA(window, message, wParam, lParam);
}

// --- The state table ------------------------------------------------------------------

void Put16(uint32_t at, uint16_t v) {
  StateTable[at] = static_cast<uint8_t>(v);
  StateTable[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint32_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) StateTable[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
void PutFloat(uint32_t at, float f) {
  uint32_t v;
  memcpy(&v, &f, 4);
  Put32(at, v);
}

// The user's aircraft: exactly 50 N, 0 E, 1000 m, 100 kt, 197 ft/min, 123.45, heading 090.
void PutUser(int16_t magneticVariation) {
  Put16(simlink::kStateMagVar, static_cast<uint16_t>(magneticVariation));
  Put32(simlink::kStatePosition + 0, 3340530117u);   // with the whole part, 50.0 exactly
  Put32(simlink::kStatePosition + 4, 5556527);
  Put32(simlink::kStatePosition + 8, 0);
  Put32(simlink::kStatePosition + 12, 0);
  Put32(simlink::kStatePosition + 16, 0);
  Put32(simlink::kStatePosition + 20, 1000);
  Put32(simlink::kStateGroundSpeed, 3371463);
  Put32(simlink::kStateVerticalSpeed, 256);
  Put16(simlink::kStateCom1, 0x2345);
  Put32(simlink::kStateHeading, 1u << 30);
}

void PutNearest(uint16_t ground, uint16_t airborne) {
  Put16(simlink::kStateNearest, ground);
  Put16(simlink::kStateNearest + 2, airborne);
}

struct Traffic {
  uint32_t refId;
  const char* id;
  float latitude, longitude, altitude;
  uint16_t heading, groundSpeed;
  int16_t verticalSpeed;
  uint8_t state;
  uint16_t com1;
  const char* from;
  const char* to;
  uint8_t runway, designator;
};

uint32_t SlotsAt(int viewMode) {
  return viewMode == 1 ? simlink::kStateGroundSlots : simlink::kStateAirborneSlots;
}
uint32_t RoutesAt(int viewMode) {
  return viewMode == 1 ? simlink::kStateGroundRoutes : simlink::kStateAirborneRoutes;
}

void PutSlotHead(int viewMode, uint16_t slotCount) {
  Put16(SlotsAt(viewMode), 40);
  Put16(SlotsAt(viewMode) + 2, slotCount);
}

void PutSlot(int viewMode, int k, const Traffic& t) {
  uint32_t s = SlotsAt(viewMode) + 128 + 40 * k;
  Put32(s, t.refId);
  PutFloat(s + 4, t.latitude);
  PutFloat(s + 8, t.longitude);
  PutFloat(s + 12, t.altitude);
  Put16(s + 16, t.heading);
  Put16(s + 18, t.groundSpeed);
  Put16(s + 20, static_cast<uint16_t>(t.verticalSpeed));
  memset(StateTable + s + 22, 0, 15);
  memcpy(StateTable + s + 22, t.id, strnlen(t.id, 15));
  StateTable[s + 37] = t.state;
  Put16(s + 38, t.com1);
  uint32_t r = RoutesAt(viewMode) + 20 * k;
  memset(StateTable + r + 8, 0, 8);
  memcpy(StateTable + r + 8, t.from, strnlen(t.from, 4));
  memcpy(StateTable + r + 12, t.to, strnlen(t.to, 4));
  StateTable[r + 16] = t.runway;
  StateTable[r + 17] = t.designator;
}

// --- The worked scene: seven slots seen from 50 N, 0 E --------------------------------

const Traffic kScene[7] = {
  {0xFFFE, "BAW123", 51, 0, 5000, 65535, 250, -500, 0x8C, 0, "EGLL", "KSEA", 9, 1},
  {0, "GHOST", 10, 10, 100, 1, 2, 3, 0x80, 0x2345, "KSEA", "KSEA", 1, 1},   // empty
  {5, "DLH4", 50, 1, -11.3f, 0, 0, 0, 0x81, 0x1800, "ksea", "", 37, 0},
  {0x8000, "ABCDEFGHIJKLMNO", 49, 0, 11.5f, 0x4000, 480, 1500, 0x93, 0x2700, "EGL", "EGLL", 0, 1},
  {1234, "ufo", 50, -1, 3280.84f, 0x8000, 0, -2000, 0x92, 0x2345, "LFPG", "EDDF", 27, 3},
  {7, "NE5", 51, 1, 0, 0x2000, 20, 0, 0x80, 0, "KJFK", "KBOS", 44, 4},
  {1, "SELF", 50, 0, 3280, 0, 5, -1, 0, 0, "", "", 36, 5},
};

typedef std::vector<std::string> Cells;   // the 17 texts of a row

const Cells kUserCells = {"", "User", "", "", "", "N50  00.0000", "E000  00.0000", "3280",
                          "090", "100", "197", "123.45", "", "", "", "", ""};

Cells EmptySlotCells(int k) {
  char slot[8];
  snprintf(slot, sizeof slot, "%02d", k);
  Cells cells(17);
  cells[0] = slot;
  return cells;
}

// By slot index.
const Cells kSceneCells[7] = {
  {"00", "BAW123", "60 nm", "000", "+17", "N51  00.0000", "E000  00.0000", "5000", "359",
   "250", "-500", "", "Enroute", "EGLL", "KSEA", "2", "09L"},
  EmptySlotCells(1),
  {"02", "DLH4", "39 nm", "090", "-33", "N50  00.0000", "E001  00.0000", "-10", "000",
   "0", "0", "118.00", "", "ksea", "", "-5", "N"},
  {"03", "ABCDEFGHIJKLMN", "60 nm", "180", "-33", "N49  00.0000", "E000  00.0000", "12",
   "090", "480", "1500", "127.00", "19", "EGL", "EGLL", "32768", ""},
  {"04", "ufo", "39 nm", "270", "+0", "N50  00.0000", "W001  00.0000", "3281", "180",
   "0", "-2000", "123.45", "ShutDn", "LFPG", "EDDF", "-1234", "27C"},
  {"05", "NE5", "71 nm", "032", "-33", "N51  00.0000", "E001  00.0000", "0", "045",
   "20", "0", "", "Init", "KJFK", "KBOS", "-7", "NWW"},
  {"06", "SELF", "0 nm", "270", "+0", "N50  00.0000", "E000  00.0000", "3280", "000",
   "5", "-1", "", "", "", "", "-1", "36"},
};

// Nearest first; 0 and 3, and 2 and 4, lie at the same distance; the empty slot last.
const std::vector<int32_t> kSceneByDistance = {-1, 6, 2, 4, 0, 3, 5, 1};

void PutScene(int viewMode) {
  PutUser(0);
  PutSlotHead(viewMode, 7);
  for (int k = 0; k < 7; ++k) PutSlot(viewMode, k, kScene[k]);
  PutNearest(7, 12);
}

// --- Reading the list back ----------------------------------------------------------

int RowCount(HWND list) {
  return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

int32_t ItemData(HWND list, int row) {
  LVITEMA item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  EXPECT_TRUE(SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  return static_cast<int32_t>(item.lParam);
}

std::vector<int32_t> RowOrder(HWND list) {
  std::vector<int32_t> order;
  for (int row = 0; row < RowCount(list); ++row) order.push_back(ItemData(list, row));
  return order;
}

std::string CellText(HWND list, int row, int column) {
  char text[512] = "";
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = text;
  item.cchTextMax = sizeof text;
  SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
  return text;
}

Cells RowCells(HWND list, int row) {
  Cells cells;
  for (int column = 0; column < table::kColumns; ++column)
    cells.push_back(CellText(list, row, column));
  return cells;
}

std::vector<int> ControlOrder(HWND list) {
  std::vector<int> order(table::kColumns, -1);
  SendMessageA(list, LVM_GETCOLUMNORDERARRAY, table::kColumns,
               reinterpret_cast<LPARAM>(order.data()));
  return order;
}

void SetControlOrder(HWND list, std::vector<int> order) {
  ASSERT_TRUE(SendMessageA(list, LVM_SETCOLUMNORDERARRAY, table::kColumns,
                           reinterpret_cast<LPARAM>(order.data())));
}

std::vector<int> LayoutOrder(int viewMode) {
  return std::vector<int>(table::Layouts[viewMode].order,
                          table::Layouts[viewMode].order + table::kColumns);
}

std::vector<int> Identity() {
  std::vector<int> order;
  for (int i = 0; i < table::kColumns; ++i) order.push_back(i);
  return order;
}

// Drags a header item with the mouse, as a user would, to x in header coordinates.
void DragHeader(HWND list, int column, int toX) {
  HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  RECT item;
  ASSERT_TRUE(SendMessageA(header, HDM_GETITEMRECT, column, reinterpret_cast<LPARAM>(&item)));
  int y = (item.top + item.bottom) / 2;
  int x = (item.left + item.right) / 2;
  SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  for (int step = 1; step <= 10; ++step) {
    int at = x + (toX - x) * step / 10;
    SendMessageA(header, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(at, y));
  }
  SendMessageA(header, WM_LBUTTONUP, 0, MAKELPARAM(toX, y));
}

int ListsIn(HWND parent) {
  int n = 0;
  for (HWND child = FindWindowExA(parent, nullptr, WC_LISTVIEWA, nullptr); child;
       child = FindWindowExA(parent, child, WC_LISTVIEWA, nullptr))
    ++n;
  return n;
}

std::string WindowText(HWND window) {
  char text[512] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

// --- The fixture: a server window, a main window, an open channel --------------------

const char kServerClass[] = "FS98MAIN01";
const char kMainClass[] = "VelmoraTableTest";

class TrafficListTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    InitCommonControls();
    IpcMessage = RegisterWindowMessageA("FsasmLib:IPC");
    WNDCLASSA wc = {};
    wc.lpfnWndProc = ServerProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kServerClass;
    serverClassOurs = RegisterClassA(&wc) != 0;
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = kMainClass;
    RegisterClassA(&wc);
  }

  // Other tests in this program register the server's class too: whoever comes first
  // owns it, so the class goes again when this suite is done.
  static void TearDownTestSuite() {
    if (serverClassOurs) UnregisterClassA(kServerClass, GetModuleHandleA(nullptr));
    UnregisterClassA(kMainClass, GetModuleHandleA(nullptr));
  }

  void SetUp() override {
    shell::ResetSettings();
    table::ResetSortCache();
    memset(StateTable, 0, sizeof StateTable);
    Mode = ServeAndAnswer1;
    shell::Instance = GetModuleHandleA(nullptr);
    server = CreateWindowExA(0, kServerClass, "", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                             nullptr, nullptr, shell::Instance, nullptr);
    main = CreateWindowExA(0, kMainClass, "", WS_OVERLAPPEDWINDOW, 0, 0, 900,
                           700, nullptr, nullptr, shell::Instance, nullptr);
    ASSERT_TRUE(server && main);
    // The class may be another test's: this window answers with this file's server.
    SetWindowLongPtrA(server, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ServerProc));
    shell::MainWindow = main;
    ASSERT_TRUE(simlink::OpenChannel(server));
  }

  void TearDown() override {
    table::DestroyTrafficList();
    simlink::CloseChannel();
    DestroyWindow(main);
    DestroyWindow(server);
    shell::MainWindow = nullptr;
    shell::ResetSettings();
  }

  // Every row's 17 texts as the scene gives them.
  void ExpectSceneCells(HWND list) {
    ASSERT_EQ(8, RowCount(list));
    for (int row = 0; row < 8; ++row) {
      int32_t k = ItemData(list, row);
      const Cells& expected = k < 0 ? kUserCells : kSceneCells[k];
      EXPECT_EQ(expected, RowCells(list, row)) << "row " << row << ", slot " << k;
    }
  }

  static bool serverClassOurs;
  HWND server = nullptr;
  HWND main = nullptr;
};

bool TrafficListTest::serverClassOurs = false;

// --- Creation ------------------------------------------------------------------------

TEST_F(TrafficListTest, CreatesTheUserRowAndOneRowPerSlot) {
  PutSlotHead(0, 3);
  ASSERT_TRUE(simlink::RequestSnapshot());
  BoxWatch boxes;
  ASSERT_EQ(1, table::CreateTrafficList(main));
  HWND list = table::TrafficList;
  ASSERT_NE(nullptr, list);
  EXPECT_FALSE(table::ListPending);
  EXPECT_EQ(main, GetParent(list));

  EXPECT_EQ((std::vector<int32_t>{-1, 0, 1, 2}), RowOrder(list));
  const char* slotTexts[4] = {"", "00", "01", "02"};
  for (int row = 0; row < 4; ++row) {
    Cells expected(17);
    expected[0] = slotTexts[row];
    EXPECT_EQ(expected, RowCells(list, row)) << "row " << row;
  }

  LONG style = GetWindowLongA(list, GWL_STYLE);
  const LONG wanted = WS_CHILD | WS_VISIBLE | WS_THICKFRAME | LVS_REPORT | LVS_SINGLESEL |
                      LVS_SORTASCENDING;
  EXPECT_EQ(wanted, style & (wanted | LVS_TYPEMASK | LVS_TYPESTYLEMASK | WS_POPUP));
  // No extended style of our own; the system adds the edges of a thick frame.
  EXPECT_EQ(0, GetWindowLongA(list, GWL_EXSTYLE) & ~(WS_EX_WINDOWEDGE | WS_EX_CLIENTEDGE));
  EXPECT_EQ(LVS_EX_HEADERDRAGDROP, SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));

  RECT client, rect;
  GetClientRect(main, &client);
  GetWindowRect(list, &rect);
  MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&rect), 2);
  EXPECT_EQ(0, rect.left);
  EXPECT_EQ(0, rect.top);
  EXPECT_EQ(client.right, rect.right - rect.left);
  EXPECT_EQ(client.bottom, rect.bottom - rect.top);
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(TrafficListTest, DefaultLayoutAsTheControlReportsIt) {
  PutSlotHead(0, 1);
  ASSERT_TRUE(simlink::RequestSnapshot());
  ASSERT_EQ(1, table::CreateTrafficList(main));
  HWND list = table::TrafficList;
  HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  EXPECT_EQ(17, SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
  EXPECT_EQ(Identity(), ControlOrder(list));
  for (int i = 0; i < table::kColumns; ++i) {
    char text[32] = "";
    LVCOLUMNA column = {};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
    column.pszText = text;
    column.cchTextMax = sizeof text;
    ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&column)));
    EXPECT_STREQ(table::NameTable[i], text);
    EXPECT_EQ(i, column.iSubItem);
    EXPECT_EQ(LVCFMT_LEFT, column.fmt & LVCFMT_JUSTIFYMASK);
    EXPECT_EQ(table::DefaultWidth[i], SendMessageA(list, LVM_GETCOLUMNWIDTH, i, 0)) << i;
  }
}

TEST_F(TrafficListTest, LayoutOfTheCurrentViewModeReachesTheControl) {
  struct {
    int viewMode;
    std::vector<int> layoutOrder;
    std::vector<int> shown;
  } cases[] = {
    {0, {1, 0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
        {1, 0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
    {1, {16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0},
        {16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0}},
    // From a settings file that repeats entries: repaired, never handed on as it is.
    {0, {5, 5, 5, 0, 0, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16},
        {5, 0, 16, 1, 2, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
  };
  for (auto& c : cases) {
    shell::ResetSettings();
    shell::ViewMode = c.viewMode;
    PutSlotHead(c.viewMode, 2);
    for (int i = 0; i < table::kColumns; ++i) {
      table::Layouts[c.viewMode].order[i] = c.layoutOrder[i];
      table::Layouts[c.viewMode].widths[i] = 30 + 5 * i;
    }
    ASSERT_TRUE(simlink::RequestSnapshot());
    ASSERT_EQ(1, table::CreateTrafficList(main));
    HWND list = table::TrafficList;
    EXPECT_EQ(c.shown, ControlOrder(list)) << "view mode " << c.viewMode;
    for (int i = 0; i < table::kColumns; ++i)
      EXPECT_EQ(30 + 5 * i, SendMessageA(list, LVM_GETCOLUMNWIDTH, i, 0)) << i;
    // The subitems keep their identifiers: Slot is still subitem 0 wherever it shows.
    EXPECT_EQ("01", CellText(list, 2, 0));
    table::DestroyTrafficList();
  }
}

TEST_F(TrafficListTest, SlotCountZeroCreatesNothingAndSaysNothing) {
  PutSlotHead(0, 0);
  ASSERT_TRUE(simlink::RequestSnapshot());
  BoxWatch boxes;
  EXPECT_EQ(0, table::CreateTrafficList(main));
  EXPECT_EQ(nullptr, table::TrafficList);
  EXPECT_TRUE(table::ListPending);
  EXPECT_EQ(0, ListsIn(main));
  EXPECT_TRUE(boxes.Boxes().empty());
}

// Refuses the creation of every list control in this thread, leaving a chosen error.
DWORD RefusalError = 0;
LRESULT CALLBACK RefuseLists(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    char name[64] = "";
    GetClassNameA(reinterpret_cast<HWND>(wParam), name, sizeof name);
    if (lstrcmpiA(name, WC_LISTVIEWA) == 0) {
      SetLastError(RefusalError);
      return 1;
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(TrafficListTest, FailedCreationShowsItsBoxOnlyWithAnErrorCode) {
  PutScene(0);
  HHOOK hook = SetWindowsHookExA(WH_CBT, RefuseLists, nullptr, GetCurrentThreadId());
  ASSERT_NE(nullptr, hook);
  for (DWORD error : {DWORD(ERROR_NOT_ENOUGH_MEMORY), DWORD(0)}) {
    RefusalError = error;
    ASSERT_TRUE(simlink::RequestSnapshot());
    BoxWatch boxes;
    EXPECT_EQ(0, table::CreateTrafficList(main));
    EXPECT_EQ(nullptr, table::TrafficList);
    EXPECT_TRUE(table::ListPending);
    std::vector<SeenBox> seen = boxes.Boxes();
    if (error != 0) {
      ASSERT_EQ(1u, seen.size());
      EXPECT_EQ("Error 8 reported: creating details window", seen[0].text);
      EXPECT_EQ(main, seen[0].owner);
    } else {
      EXPECT_TRUE(seen.empty());
    }
  }
  UnhookWindowsHookEx(hook);
}

// Refreshes on every timer tick, as the main window does.
int TimerRefreshes = 0;
void CALLBACK RefreshOnTick(HWND, UINT, UINT_PTR, DWORD) {
  ++TimerRefreshes;
  table::RefreshTable();
}

TEST_F(TrafficListTest, RefreshesInsideTheCreationBoxOpenNoFurtherBox) {
  PutScene(0);
  HHOOK hook = SetWindowsHookExA(WH_CBT, RefuseLists, nullptr, GetCurrentThreadId());
  ASSERT_NE(nullptr, hook);
  RefusalError = ERROR_NOT_ENOUGH_MEMORY;
  TimerRefreshes = 0;
  BoxWatch boxes(1500);
  UINT_PTR timer = SetTimer(main, 1010, 100, RefreshOnTick);
  EXPECT_EQ(0, table::RefreshTable());
  KillTimer(main, timer);
  UnhookWindowsHookEx(hook);
  EXPECT_GE(TimerRefreshes, 5);
  EXPECT_EQ(1u, boxes.Boxes().size());
  EXPECT_EQ(1, boxes.MostOpenAtOnce());
  EXPECT_TRUE(table::ListPending);
  // The creation works again once nothing refuses it.
  EXPECT_EQ(1, table::RefreshTable());
  EXPECT_NE(nullptr, table::TrafficList);
}

// --- Refresh ------------------------------------------------------------------------

TEST_F(TrafficListTest, FirstSuccessfulRefreshCreatesAndFillsTheList) {
  PutScene(0);
  ASSERT_EQ(1, table::RefreshTable());
  HWND list = table::TrafficList;
  ASSERT_NE(nullptr, list);
  EXPECT_FALSE(table::ListPending);
  ExpectSceneCells(list);
  EXPECT_EQ(kSceneByDistance, RowOrder(list));

  // A later refresh writes into the same list.
  PutSlot(0, 1, kScene[5]);
  ASSERT_EQ(1, table::RefreshTable());
  EXPECT_EQ(list, table::TrafficList);
  EXPECT_EQ(1, ListsIn(main));
  // Slots 1 and 5 now both lie 71 nm away: slot order between them.
  EXPECT_EQ((std::vector<int32_t>{-1, 6, 2, 4, 0, 3, 1, 5}), RowOrder(list));
  EXPECT_EQ("NE5", CellText(list, 6, 1));
}

TEST_F(TrafficListTest, FirstSnapshotWithoutSlotsLeavesTheListPending) {
  PutUser(0);
  PutSlotHead(0, 0);
  BoxWatch boxes;
  EXPECT_EQ(0, table::RefreshTable());
  EXPECT_TRUE(table::ListPending);
  EXPECT_EQ(nullptr, table::TrafficList);
  EXPECT_EQ(0, ListsIn(main));
  EXPECT_TRUE(boxes.Boxes().empty());

  PutScene(0);
  ASSERT_EQ(1, table::RefreshTable());
  EXPECT_FALSE(table::ListPending);
  ExpectSceneCells(table::TrafficList);
}

TEST_F(TrafficListTest, RowsStayAsCreatedWhateverTheLaterSlotCount) {
  PutScene(0);
  ASSERT_EQ(1, table::RefreshTable());
  HWND list = table::TrafficList;
  // Fewer slots counted now: the rows stay and still show what lies at their index.
  PutSlotHead(0, 2);
  ASSERT_EQ(1, table::RefreshTable());
  ExpectSceneCells(list);
  // More slots counted: no row is added.
  PutSlotHead(0, 60);
  ASSERT_EQ(1, table::RefreshTable());
  EXPECT_EQ(8, RowCount(list));
}

TEST_F(TrafficListTest, NinetyNineSlots) {
  // Slot k lies 3m nm due north, m = (37k mod 99) + 1: distances 3 to 297 nm, all apart.
  for (uint16_t counted : {uint16_t(99), uint16_t(150)}) {
    SCOPED_TRACE(counted);
    shell::ResetSettings();
    memset(StateTable, 0, sizeof StateTable);
    PutUser(0);
    PutSlotHead(0, counted);
    for (int k = 0; k < 99; ++k) {
      char id[16];
      snprintf(id, sizeof id, "AI%02d", k);
      int m = (37 * k) % 99 + 1;
      Traffic t = {static_cast<uint32_t>(0x10000 - (k + 1)), id, 50.0f + 0.05f * m, 0,
                   1000, 0, static_cast<uint16_t>(k), 0, 0x8C, 0, "EGLL", "KSEA", 9, 1};
      PutSlot(0, k, t);
    }
    ASSERT_EQ(1, table::RefreshTable());
    HWND list = table::TrafficList;
    ASSERT_EQ(100, RowCount(list));
    int lastM = 0;
    for (int row = 1; row < 100; ++row) {
      int32_t k = ItemData(list, row);
      ASSERT_GE(k, 0);
      ASSERT_LT(k, 99);
      int m = (37 * k) % 99 + 1;
      EXPECT_GT(m, lastM) << "row " << row;   // nearest first
      lastM = m;
      char text[16];
      Cells cells = RowCells(list, row);
      snprintf(text, sizeof text, "%02d", k);
      EXPECT_EQ(text, cells[0]);
      snprintf(text, sizeof text, "AI%02d", k);
      EXPECT_EQ(text, cells[1]);
      snprintf(text, sizeof text, "%d nm", 3 * m);
      EXPECT_EQ(text, cells[2]);
      EXPECT_EQ("000", cells[3]);
      snprintf(text, sizeof text, "%d", k);
      EXPECT_EQ(text, cells[9]);
      snprintf(text, sizeof text, "%d", k + 1);
      EXPECT_EQ(text, cells[15]);
      EXPECT_EQ("09L", cells[16]);
    }
    table::DestroyTrafficList();
  }
}

TEST_F(TrafficListTest, EmptiedOrFilteredOutSlotsShowEmptyCells) {
  PutScene(0);
  ASSERT_EQ(1, table::RefreshTable());
  HWND list = table::TrafficList;

  // Slot 0 leaves, and the filter KSEA is set.
  Put32(simlink::kStateAirborneSlots + 128, 0);
  snprintf(shell::AirportFilter, sizeof shell::AirportFilter, "%s", "KSEA");
  ASSERT_EQ(1, table::RefreshTable());
  // Passing: 2 (from ksea). Failing: 3, 4, 5, 6. Empty: 0 and 1, which pass the filter.
  std::vector<int32_t> order = RowOrder(list);
  ASSERT_EQ(8u, order.size());
  EXPECT_EQ(-1, order[0]);
  EXPECT_EQ(2, order[1]);
  EXPECT_EQ(0, order[2]);
  EXPECT_EQ(1, order[3]);
  for (int row = 0; row < 8; ++row) {
    int32_t k = order[row];
    if (k == -1) {
      EXPECT_EQ(kUserCells, RowCells(list, row));
    } else if (k == 2) {
      EXPECT_EQ(kSceneCells[2], RowCells(list, row));
    } else {
      EXPECT_EQ(EmptySlotCells(k), RowCells(list, row)) << "slot " << k;
    }
  }

  // Without the filter they show again, and the distances come back.
  shell::AirportFilter[0] = '\0';
  Put32(simlink::kStateAirborneSlots + 128, 0xFFFE);
  ASSERT_EQ(1, table::RefreshTable());
  ExpectSceneCells(list);
  EXPECT_EQ(kSceneByDistance, RowOrder(list));
}

TEST_F(TrafficListTest, FailedRequestLeavesTheTableAsItWas) {
  PutScene(0);
  ASSERT_EQ(1, table::RefreshTable());
  HWND list = table::TrafficList;
  std::vector<int> layout0 = LayoutOrder(0), layout1 = LayoutOrder(1);
  // A header moved since: a failed refresh must not capture it.
  std::vector<int> moved = {3, 0, 1, 2, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  SetControlOrder(list, moved);
  // What the server would now say: everything moved away.
  for (int k = 0; k < 7; ++k) PutSlot(0, k, kScene[6 - k]);
  PutNearest(1, 2);

  bool boxExpected = simlink::ChannelSendFailed() == 0;
  Mode = Answer0;
  {
    BoxWatch boxes;
    EXPECT_EQ(0, table::RefreshTable());
    table::UpdateTitle(main, 0);
    std::vector<SeenBox> seen = boxes.Boxes();
    if (boxExpected) {
      ASSERT_EQ(1u, seen.size());
      EXPECT_EQ("Error: IPC message failure: not correct Ostrel installation?", seen[0].text);
    } else {
      EXPECT_TRUE(seen.empty());
    }
  }
  ExpectSceneCells(list);
  EXPECT_EQ(kSceneByDistance, RowOrder(list));
  EXPECT_EQ(layout0, LayoutOrder(0));
  EXPECT_EQ(layout1, LayoutOrder(1));
  EXPECT_EQ(moved, ControlOrder(list));
  EXPECT_EQ("DU Z.E. Vavazaz Uzovozi - Airborne (No aircraft)", WindowText(main));

  // A server that writes everything but answers 2 fails the request too: the list stays,
  // and the title shows the distance the server wrote.
  Mode = ServeAndAnswer2;
  {
    BoxWatch boxes;
    EXPECT_EQ(0, table::RefreshTable());
    table::UpdateTitle(main, 0);
  }
  ExpectSceneCells(list);
  EXPECT_EQ(kSceneByDistance, RowOrder(list));
  EXPECT_EQ(layout0, LayoutOrder(0));
  EXPECT_EQ("DU Z.E. Vavazaz Uzovozi - Airborne (Nearest 2nm)", WindowText(main));

  // A sort by a header click after the failure finds every slot empty: slot order.
  Mode = Answer0;
  {
    BoxWatch boxes;
    EXPECT_EQ(0, table::RefreshTable());
  }
  SendMessageA(list, LVM_SORTITEMS, 2, reinterpret_cast<LPARAM>(table::CompareRowsCallback));
  EXPECT_EQ((std::vector<int32_t>{-1, 0, 1, 2, 3, 4, 5, 6}), RowOrder(list));
}

TEST_F(TrafficListTest, DraggedHeadersAreCapturedIntoTheLayouts) {
  PutScene(0);
  ASSERT_EQ(1, table::RefreshTable());
  HWND list = table::TrafficList;
  EXPECT_EQ(Identity(), LayoutOrder(0));

  // "Lat" dragged to the far left: the control's order changes at once, the layouts at
  // the next refresh, both of them while the view modes share one layout.
  std::vector<int> latFirst = {5, 0, 1, 2, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  DragHeader(list, table::ColLat, 2);
  EXPECT_EQ(latFirst, ControlOrder(list));
  EXPECT_EQ(Identity(), LayoutOrder(0));
  ASSERT_EQ(1, table::RefreshTable());
  EXPECT_EQ(latFirst, LayoutOrder(0));
  EXPECT_EQ(latFirst, LayoutOrder(1));

  // Once each view mode keeps its own layout, only the current one follows.
  table::SeparateLayouts = true;
  std::vector<int> altFirst = {7, 5, 0, 1, 2, 3, 4, 6, 8, 9, 10, 11, 12, 13, 14, 15, 16};
  DragHeader(list, table::ColAlt, 2);
  ASSERT_EQ(altFirst, ControlOrder(list));
  ASSERT_EQ(1, table::RefreshTable());
  EXPECT_EQ(altFirst, LayoutOrder(0));
  EXPECT_EQ(latFirst, LayoutOrder(1));

  // The same through the column order message, in the Ground view mode.
  shell::ViewMode = 1;
  PutScene(1);
  std::vector<int> reversed = {16, 15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
  SetControlOrder(list, reversed);
  ASSERT_EQ(1, table::RefreshTable());
  EXPECT_EQ(altFirst, LayoutOrder(0));
  EXPECT_EQ(reversed, LayoutOrder(1));

  // The cells stay under their headers whatever the display order.
  ExpectSceneCells(list);
}

TEST_F(TrafficListTest, SortsBySortColumnAfterEveryRefresh) {
  PutScene(0);
  // RefIds 65534, -, 5, 32768, 1234, 7, 1; state codes 0x8C, -, 0x81, 0x93, 0x92, 0x80,
  // 0x00; runways 09L, -, N, none, 27C, NWW, 36. Slot 1 is empty.
  struct {
    int sortColumn;
    std::vector<int32_t> order;
  } cases[] = {
    {2, kSceneByDistance},
    {0, {-1, 0, 1, 2, 3, 4, 5, 6}},
    {15, {-1, 0, 3, 4, 5, 2, 6, 1}},
    {16, {-1, 0, 4, 6, 2, 5, 3, 1}},
    {12, {-1, 6, 5, 0, 4, 3, 2, 1}},
    {17, {-1, 0, 2, 3, 4, 5, 6, 1}},
    {-1, {-1, 0, 2, 3, 4, 5, 6, 1}},
  };
  for (auto& c : cases) {
    shell::SortColumn = c.sortColumn;
    ASSERT_EQ(1, table::RefreshTable());
    EXPECT_EQ(c.order, RowOrder(table::TrafficList)) << "sort column " << c.sortColumn;
  }
}

// --- Titles ---------------------------------------------------------------------------

TEST_F(TrafficListTest, TitleShowsTheNearestDistanceOfTheViewMode) {
  struct {
    int viewMode;
    uint16_t ground, airborne;
    const char* title;
  } cases[] = {
    {0, 7, 12, "DU Z.E. Vavazaz Uzovozi - Airborne (Nearest 12nm)"},
    {0, 7, 0, "DU Z.E. Vavazaz Uzovozi - Airborne (Nearest 0nm)"},
    {0, 7, 65534, "DU Z.E. Vavazaz Uzovozi - Airborne (Nearest 65534nm)"},
    {0, 7, 65535, "DU Z.E. Vavazaz Uzovozi - Airborne (No aircraft)"},
    {1, 7, 12, "DU Z.E. Vavazaz Uzovozi - Ground (Nearest 7nm)"},
    {1, 65535, 12, "DU Z.E. Vavazaz Uzovozi - Ground (No aircraft)"},
  };
  for (auto& c : cases) {
    shell::ViewMode = c.viewMode;
    PutScene(c.viewMode);
    PutNearest(c.ground, c.airborne);
    table::RefreshTable();
    table::UpdateTitle(main, c.viewMode);
    EXPECT_EQ(c.title, WindowText(main));
  }
  // With the filter in the titles.
  shell::ApplyAirport("EGLL");
  PutNearest(65535, 12);
  table::UpdateTitle(main, 1);
  EXPECT_EQ("DU Z.E. Vavazaz Uzovozi - Ground, for Airport=EGLL (No aircraft)", WindowText(main));
  table::UpdateTitle(main, 0);
  EXPECT_EQ("DU Z.E. Vavazaz Uzovozi - Airborne, for Airport=EGLL (Nearest 12nm)",
            WindowText(main));
}

TEST_F(TrafficListTest, GroundViewReadsTheGroundTables) {
  shell::ViewMode = 1;
  PutScene(1);
  PutSlotHead(0, 3);   // the airborne list holds something else
  ASSERT_EQ(1, table::RefreshTable());
  ExpectSceneCells(table::TrafficList);
  EXPECT_EQ(kSceneByDistance, RowOrder(table::TrafficList));
}

// --- After the channel is closed or the list destroyed -------------------------------

TEST_F(TrafficListTest, NothingReadsAClosedChannelOrADestroyedList) {
  PutScene(0);
  ASSERT_EQ(1, table::RefreshTable());
  HWND list = table::TrafficList;

  simlink::CloseChannel();
  BoxWatch boxes;
  EXPECT_EQ(0, table::RefreshTable());
  ExpectSceneCells(list);
  // A header click sorts with no view: every slot reads as empty.
  SendMessageA(list, LVM_SORTITEMS, 2, reinterpret_cast<LPARAM>(table::CompareRowsCallback));
  EXPECT_EQ((std::vector<int32_t>{-1, 0, 1, 2, 3, 4, 5, 6}), RowOrder(list));
  table::UpdateTitle(main, 0);
  EXPECT_EQ("DU Z.E. Vavazaz Uzovozi - Airborne (No aircraft)", WindowText(main));
  EXPECT_EQ(0, table::CreateTrafficList(main));

  // The list destroyed once the first one was made: no refresh creates another.
  ASSERT_TRUE(simlink::OpenChannel(server));
  table::DestroyTrafficList();
  EXPECT_EQ(nullptr, table::TrafficList);
  EXPECT_FALSE(IsWindow(list));
  EXPECT_EQ(0, table::RefreshTable());
  EXPECT_EQ(nullptr, table::TrafficList);
  EXPECT_EQ(0, ListsIn(main));
  EXPECT_TRUE(boxes.Boxes().empty());
}

}  // namespace


// --- Against simhost.exe in a process of its own ---------------------------------------

namespace {

std::string SimhostPath() {
  const char* bin = getenv("VELMORA_BIN");
  std::string dir = bin ? bin : ".";
  if (!dir.empty() && dir[0] == '/') dir = "Z:" + dir;   // a Unix path, through Wine's Z:
  return dir + "\\simhost.exe";
}

// A top-level window of the class that belongs to the process, or null.
HWND WindowOf(DWORD pid, const char* className) {
  HWND window = nullptr;
  while ((window = FindWindowExA(nullptr, window, className, nullptr)) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == pid) return window;
  }
  return nullptr;
}

// simhost started with the given arguments, ended when this goes out of scope.
struct Simhost {
  PROCESS_INFORMATION process = {};
  HWND server = nullptr;   // the simulator's window
  HWND status = nullptr;   // simhost's own window, with the Faults commands

  bool Start(const std::string& arguments) {
    std::string command = "\"" + SimhostPath() + "\" " + arguments;
    std::vector<char> line(command.begin(), command.end());
    line.push_back(0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
      return false;
    for (int i = 0; i < 600 && !(server && status); ++i) {
      server = WindowOf(process.dwProcessId, "FS98MAIN01");
      status = WindowOf(process.dwProcessId, "SimhostStatus");
      if (WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0) return false;
    }
    return server && status;
  }

  // A Faults command of simhost's window: 201 normal, 202 answer 0.
  void Faults(WPARAM command) { SendMessageA(status, WM_COMMAND, command, 0); }

  ~Simhost() {
    if (!process.hProcess) return;
    if (WaitForSingleObject(process.hProcess, 0) != WAIT_OBJECT_0) {
      if (status) PostMessageA(status, WM_CLOSE, 0, 0);
      if (WaitForSingleObject(process.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 99);
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
};

std::string TempFile(const char* name) {
  char dir[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  char path[MAX_PATH];
  snprintf(path, sizeof path, "%stable_test_%lu_%s", dir, GetCurrentProcessId(), name);
  return path;
}

bool WriteTextFile(const std::string& path, const std::string& text) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
  return written == text.size();
}

// The worked scene as a simhost scenario, byte for byte what the in-process tests serve.
std::string SceneScenario() {
  std::string text =
      "user lat=50 lon=0 magvar=0 heading=90 com1=123.45\n"
      "raw 0x0570 00 00 00 00 E8 03 00 00\n"   // altitude: 1000 m exactly
      "raw 0x02B4 C7 71 33 00\n"               // ground speed 3371463
      "raw 0x02C8 00 01 00 00\n"               // vertical speed 256
      "airborne count=7 recordlength=40 nearest=12\n"
      "ground count=0 nearest=7\n";
  for (int k = 0; k < 7; ++k) {
    const Traffic& t = kScene[k];
    char line[512];
    snprintf(line, sizeof line,
             "slot airborne %d ref=%u id=\"%s\" lat=%.9g lon=%.9g alt=%.9g heading=%.9g gs=%u"
             " vs=%d state=%u com1=0x%04X runway=%u designator=%u",
             k, t.refId, t.id, t.latitude, t.longitude, t.altitude, t.heading * 360.0 / 65536,
             t.groundSpeed, t.verticalSpeed, t.state, t.com1, t.runway, t.designator);
    text += line;
    if (t.from[0]) text += std::string(" from=") + t.from;
    if (t.to[0]) text += std::string(" to=") + t.to;
    text += "\n";
  }
  // Slot 0's heading, 65535, lies between two values a heading in degrees can spell.
  char raw[64];
  snprintf(raw, sizeof raw, "raw 0x%04X FF FF\n", simlink::kStateAirborneSlots + 128 + 16);
  text += raw;
  return text;
}

class SimhostListTest : public TrafficListTest {
 protected:
  void SetUp() override {
    TrafficListTest::SetUp();
    simlink::CloseChannel();   // the channel goes to simhost instead
  }
};

TEST_F(SimhostListTest, WorkedSceneFromSimhost) {
  std::string scenario = TempFile("scene.txt");
  ASSERT_TRUE(WriteTextFile(scenario, SceneScenario()));
  Simhost simhost;
  ASSERT_TRUE(simhost.Start("--scenario \"" + scenario + "\"")) << SimhostPath();
  ASSERT_TRUE(simlink::OpenChannel(simhost.server));

  ASSERT_EQ(1, table::RefreshTable());
  HWND list = table::TrafficList;
  ASSERT_NE(nullptr, list);
  ExpectSceneCells(list);
  EXPECT_EQ(kSceneByDistance, RowOrder(list));
  table::UpdateTitle(main, 0);
  EXPECT_EQ("DU Z.E. Vavazaz Uzovozi - Airborne (Nearest 12nm)", WindowText(main));

  // simhost answers 0 from now on: the table stays as it is, the title has no aircraft.
  simhost.Faults(202);
  bool boxExpected = simlink::ChannelSendFailed() == 0;
  {
    BoxWatch boxes;
    EXPECT_EQ(0, table::RefreshTable());
    table::UpdateTitle(main, 0);
    EXPECT_EQ(boxExpected ? 1u : 0u, boxes.Boxes().size());
  }
  ExpectSceneCells(list);
  EXPECT_EQ(kSceneByDistance, RowOrder(list));
  EXPECT_EQ("DU Z.E. Vavazaz Uzovozi - Airborne (No aircraft)", WindowText(main));

  // And back.
  simhost.Faults(201);
  ASSERT_EQ(1, table::RefreshTable());
  EXPECT_EQ(list, table::TrafficList);
  ExpectSceneCells(list);
  DeleteFileA(scenario.c_str());
}

// Live traffic with every slot counted, frozen after its warm-up: the nearest aircraft
// simhost reports is the first row of the list sorted by distance.
TEST_F(SimhostListTest, LiveTrafficInBothViewModes) {
  Simhost simhost;
  ASSERT_TRUE(simhost.Start("--slots 99 --rate 0 --seed 5")) << SimhostPath();
  ASSERT_TRUE(simlink::OpenChannel(simhost.server));
  for (int viewMode : {0, 1}) {
    SCOPED_TRACE(viewMode);
    table::DestroyTrafficList();
    shell::ResetSettings();
    shell::ViewMode = viewMode;
    ASSERT_EQ(1, table::RefreshTable());
    HWND list = table::TrafficList;
    ASSERT_EQ(100, RowCount(list));
    EXPECT_EQ(-1, ItemData(list, 0));

    int lastDistance = -1;
    bool emptySeen = false;
    int occupied = 0;
    for (int row = 1; row < 100; ++row) {
      Cells cells = RowCells(list, row);
      char slot[8];
      snprintf(slot, sizeof slot, "%02d", ItemData(list, row));
      EXPECT_EQ(slot, cells[0]);
      if (cells[1].empty()) {
        emptySeen = true;
        EXPECT_EQ(EmptySlotCells(ItemData(list, row)), cells);
        continue;
      }
      EXPECT_FALSE(emptySeen) << "row " << row << ": an aircraft below an empty slot";
      ++occupied;
      int distance = atoi(cells[2].c_str());
      EXPECT_GE(distance, lastDistance) << "row " << row;
      lastDistance = distance;
    }
    ASSERT_GT(occupied, 0);

    table::UpdateTitle(main, viewMode);
    std::string nearest = CellText(list, 1, 2);   // "N nm"
    std::string expected = std::string(shell::ViewTitle[viewMode]) + " (Nearest " +
                           nearest.substr(0, nearest.size() - 3) + "nm)";
    EXPECT_EQ(expected, WindowText(main));
  }
}

int RowOfSlot(HWND list, int32_t slot) {
  for (int row = 0; row < RowCount(list); ++row)
    if (ItemData(list, row) == slot) return row;
  return -1;
}

// simhost's built-in tables that no well-behaved server writes: the list gets one row
// per slot up to 99, and a slot whose records lie outside the reads shows empty cells.
TEST_F(SimhostListTest, HostileTablesFromSimhost) {
  struct Cell {
    int32_t slot;
    int column;
    const char* text;
  };
  struct {
    const char* scene;
    int viewMode;
    int rows;   // 0: no list is made
    std::vector<Cell> cells;
  } cases[] = {
    {"count0", 0, 0, {}},
    {"count255", 0, 100, {{0, 1, "FIRST"}, {98, 1, "LAST"}, {50, 1, ""}}},
    {"count255", 1, 100, {{98, 1, "LAST"}}},
    {"reclen0", 0, 6, {{0, 1, "SAME"}, {4, 1, "SAME"}}},
    {"reclen41", 0, 100, {{0, 1, "FIRST"}, {95, 1, "INSIDE"}, {96, 1, ""}, {98, 1, ""}}},
    {"reclen65535", 1, 100, {{0, 1, "ONLY"}, {1, 1, ""}, {98, 1, ""}}},
    {"idnonul", 0, 3, {{0, 1, "ABCDEFGHIJKLMN"}, {0, 14, "RJTT"}, {1, 1, "FIFTEEN-CHARS!"}}},
    {"nan", 0, 7, {{0, 1, "NANLAT"}, {4, 1, "NANALL"}, {5, 1, "NORMAL"}}},
    {"nan", 1, 4, {{0, 1, "NEGINFLAT"}, {2, 1, "NORMAL"}}},
    // 10 nm away across the 180-degree meridian, not thousands.
    {"antimeridian", 0, 5, {{0, 1, "FJI25"}, {0, 2, "10 nm"}}},
    {"odd", 0, 9, {{1, 15, "1"}, {2, 12, ""}, {3, 12, "19"}, {4, 16, "45"}, {7, 1, ""}}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(std::string(c.scene) + (c.viewMode ? " ground" : " airborne"));
    table::DestroyTrafficList();
    shell::ResetSettings();
    shell::ViewMode = c.viewMode;
    Simhost simhost;
    ASSERT_TRUE(simhost.Start(std::string("--scene ") + c.scene)) << SimhostPath();
    ASSERT_TRUE(simlink::OpenChannel(simhost.server));
    EXPECT_EQ(c.rows ? 1 : 0, table::RefreshTable());
    if (c.rows == 0) {
      EXPECT_EQ(nullptr, table::TrafficList);
      EXPECT_TRUE(table::ListPending);
    } else {
      HWND list = table::TrafficList;
      ASSERT_NE(nullptr, list);
      EXPECT_EQ(c.rows, RowCount(list));
      EXPECT_EQ(-1, ItemData(list, 0));
      for (const Cell& cell : c.cells) {
        int row = RowOfSlot(list, cell.slot);
        ASSERT_GT(row, 0) << "slot " << cell.slot;
        EXPECT_EQ(cell.text, CellText(list, row, cell.column))
            << "slot " << cell.slot << ", column " << cell.column;
      }
      // Every sort column runs over the rows without harm.
      for (int column = -1; column <= 17; ++column) {
        SendMessageA(list, LVM_SORTITEMS, column,
                     reinterpret_cast<LPARAM>(table::CompareRowsCallback));
        EXPECT_EQ(-1, ItemData(list, 0)) << "sort column " << column;
      }
    }
    simlink::CloseChannel();
  }
}

}  // namespace
