// The list's cells of columns 1 to 16 are callback cells: the list asks its parent
// window for their texts, which come from the texts the last successful refresh
// computed, whatever window the parent is. Read back the way the printout and the
// end-to-end probe read them (LVM_GETITEMTEXTA), they are the row texts of the snapshot,
// the longest ones whole, cut only to the reader's buffer as a text the list held would
// be; and a refresh still repaints the list once. The snapshot comes from simhost.exe in
// a process of its own, serving a frozen scene. (What a failed request leaves is in
// table_test.cpp.)
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/channel.h"
#include "link/snapshot.h"
#include "shell/app.h"
#include "shell/settings.h"
#include "table/columns.h"
#include "table/list.h"
#include "table/refresh.h"
#include "table/rowvalues.h"

namespace {

std::string SimhostPath() {
  const char* bin = getenv("VELMORA_BIN");
  std::string dir = bin ? bin : ".";
  if (!dir.empty() && dir[0] == '/') dir = "Z:" + dir;   // a Unix path, seen through Wine's Z:
  return dir + "\\simhost.exe";
}

std::string TempFile(const char* name) {
  char dir[MAX_PATH];
  GetTempPathA(sizeof dir, dir);
  char path[MAX_PATH];
  snprintf(path, sizeof path, "%slist_cells_%lu_%s", dir, GetCurrentProcessId(), name);
  return path;
}

HWND WindowOf(DWORD pid, const char* cls) {
  HWND w = nullptr;
  while ((w = FindWindowExA(nullptr, w, cls, nullptr)) != nullptr) {
    DWORD owner = 0;
    GetWindowThreadProcessId(w, &owner);
    if (owner == pid) return w;
  }
  return nullptr;
}

// Four airborne slots: an aircraft at a position that is no number (the longest texts
// a cell can get), an empty slot, two ordinary aircraft. Three on the ground.
const char kScenario[] =
    "user lat=37.6158 lon=-122.3863 alt=13 magvar=13 heading=297.9 gs=0 vs=0 com1=118.85\n"
    "airborne count=4\n"
    "ground count=3\n"
    "slot airborne 0 ref=0x8000 id=\"ABCDEFGHIJKLMN\" lat=-3e38 lon=-3e38 alt=-3e38"
    " heading=359 gs=65535 vs=-32768 state=0xFF com1=118.85 from=KSFO to=KLAX rwy=NWW\n"
    "slot airborne 1 ref=0 id=\"GONE1\" lat=37.7 lon=-122.3\n"
    "slot airborne 2 ref=702 id=\"UAL1532\" lat=37.9 lon=-122.1 alt=14000 heading=45"
    " gs=310 vs=1800 state=Depart com1=135.10 from=KSFO to=KORD rwy=01R\n"
    "slot airborne 3 ref=650 id=\"N384TS\" lat=37.2 lon=-122.9 alt=4500 heading=300"
    " gs=140 vs=-500 state=Pattern com1=135.65 from=KSBA to=KSFO rwy=28L\n"
    "slot ground 0 ref=11 id=\"DAL455\" lat=37.61 lon=-122.38 alt=13 state=TaxiOut\n";

// The texts of one row, computed from the view the way a refresh computes them.
struct Row {
  std::string cell[17];
};
void Collect(void* context, int column, const char* text) {
  if (column >= 0 && column < 17) static_cast<Row*>(context)->cell[column] = text;
}
Row Computed(const uint8_t* view, int32_t itemData) {
  Row row;
  if (itemData < 0)
    table::ComputeUserRow(view, Collect, &row);
  else
    table::ComputeSlotRow(view, itemData, shell::AirportFilter, Collect, &row);
  return row;
}

std::string CellText(HWND list, int row, int column, int bufferBytes = 260) {
  std::vector<char> text(size_t(bufferBytes) + 1, '\x7F');
  LVITEMA item = {};
  item.iSubItem = column;
  item.pszText = text.data();
  item.cchTextMax = bufferBytes;
  SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
  return item.pszText;
}

int32_t ItemData(HWND list, int row) {
  LVITEMA item = {};
  item.mask = LVIF_PARAM;
  item.iItem = row;
  if (!SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return -99;
  return int32_t(item.lParam);
}

void Pump() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
}

// The list's paints, counted on their way to the control.
WNDPROC ListProc;
int Paints;
LRESULT CALLBACK CountingListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) Paints++;
  return CallWindowProcA(ListProc, list, message, wParam, lParam);
}

class ListCells : public ::testing::Test {
 protected:
  void SetUp() override {
    InitCommonControls();
    // A window that knows nothing of the list: the list answers for its own cells in
    // whatever window it is made.
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "VelmoraListCellsTest";
    RegisterClassA(&wc);   // fails harmlessly for the second test
    shell::Instance = GetModuleHandleA(nullptr);
    shell::ResetSettings();
    simlink::CloseChannel();

    scenario_ = TempFile("scene.txt");
    HANDLE f = CreateFileA(scenario_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, kScenario, DWORD(sizeof kScenario - 1), &written, nullptr);
    CloseHandle(f);
    std::string cmd = "\"" + SimhostPath() + "\" --scenario \"" + scenario_ + "\"";
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back(0);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    ASSERT_TRUE(CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                               &si, &simhost_));
    for (int i = 0; i < 600 && !(server_ && status_); ++i) {
      server_ = WindowOf(simhost_.dwProcessId, "FS98MAIN01");
      status_ = WindowOf(simhost_.dwProcessId, "SimhostStatus");
      if (WaitForSingleObject(simhost_.hProcess, 50) == WAIT_OBJECT_0) break;
    }
    ASSERT_NE(nullptr, server_) << SimhostPath();
    ASSERT_TRUE(simlink::OpenChannel(server_));

    shell::MainWindow = CreateWindowA("VelmoraListCellsTest", "Velmora list cells test",
                                      WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 900, 500, nullptr,
                                      nullptr, shell::Instance, nullptr);
    ASSERT_NE(nullptr, shell::MainWindow);
    Pump();
  }

  void TearDown() override {
    table::DestroyTrafficList();
    if (shell::MainWindow) DestroyWindow(shell::MainWindow);
    shell::MainWindow = nullptr;
    simlink::CloseChannel();
    shell::ResetSettings();
    if (simhost_.hProcess) {
      if (status_) PostMessageA(status_, WM_CLOSE, 0, 0);
      if (WaitForSingleObject(simhost_.hProcess, 10000) != WAIT_OBJECT_0)
        TerminateProcess(simhost_.hProcess, 99);
      CloseHandle(simhost_.hProcess);
      CloseHandle(simhost_.hThread);
    }
    DeleteFileA(scenario_.c_str());
  }

  std::string scenario_;
  PROCESS_INFORMATION simhost_ = {};
  HWND server_ = nullptr;
  HWND status_ = nullptr;
};

TEST_F(ListCells, CellsReadBackAreTheRowTextsOfTheSnapshot) {
  ASSERT_EQ(1, table::RefreshTable());
  HWND list = table::TrafficList;
  ASSERT_NE(nullptr, list);
  const uint8_t* view = simlink::ChannelView();
  ASSERT_EQ(5, SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  for (int r = 0; r < 5; ++r) {
    int32_t k = ItemData(list, r);
    SCOPED_TRACE(testing::Message() << "row " << r << ", slot " << k);
    Row want = Computed(view, k);
    for (int c = 1; c < table::kColumns; ++c) EXPECT_EQ(want.cell[c], CellText(list, r, c)) << c;
    char slot[8] = "";
    if (k >= 0) snprintf(slot, sizeof slot, "%02d", int(k));
    EXPECT_EQ(slot, CellText(list, r, 0));
  }
  // The longest texts pass whole; a reader's smaller buffer gets them cut, NUL-ended.
  int hostile = -1;
  for (int r = 0; r < 5; ++r)
    if (ItemData(list, r) == 0) hostile = r;
  ASSERT_GE(hostile, 0);
  EXPECT_EQ("S2147483647  00.0000", CellText(list, hostile, table::ColLat));
  EXPECT_EQ("W2147483647  00.0000", CellText(list, hostile, table::ColLong));
  EXPECT_EQ("ABCDEFGHIJKLMN", CellText(list, hostile, table::ColId));
  EXPECT_EQ("ABC", CellText(list, hostile, table::ColId, 4));
  EXPECT_EQ("", CellText(list, hostile, table::ColId, 1));
}

TEST_F(ListCells, ARefreshRepaintsTheListOnce) {
  ASSERT_EQ(1, table::RefreshTable());
  HWND list = table::TrafficList;
  ASSERT_NE(nullptr, list);
  ListProc = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrA(list, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingListProc)));
  UpdateWindow(list);
  Pump();
  for (int refresh = 0; refresh < 3; ++refresh) {
    Paints = 0;
    ASSERT_EQ(1, table::RefreshTable());
    EXPECT_EQ(0, Paints) << "painted inside the refresh";
    Pump();
    EXPECT_EQ(1, Paints) << "refresh " << refresh;
  }
}

}  // namespace
