// Window placement per view mode and the capture of column widths, with a real
// top-level window, a real list control and the real settings file.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "shell/app.h"
#include "shell/settings.h"
#include "table/columns.h"
#include "table/list.h"
#include "tests/win32/settings_folder.h"

using namespace shell;
using table::Layouts;

namespace {

const char kClass[] = "VelmoraPlacementTest";

class PlacementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kClass;
    RegisterClassA(&wc);   // fails harmlessly when an earlier test registered it

    ASSERT_TRUE(MakeSettingsFolder("placement", &folder, &path)) << folder;

    window = CreateWindowExA(0, kClass, "Velmora placement", WS_OVERLAPPEDWINDOW,
                             CW_USEDEFAULT, CW_USEDEFAULT, 1200, 800, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, window);
  }
  void TearDown() override {
    if (table::TrafficList) DestroyWindow(table::TrafficList);
    table::TrafficList = nullptr;
    if (window) DestroyWindow(window);
    RemoveSettingsFolder(folder, path);
    ResetSettings();
  }

  void Store(const char* key, const char* value) {
    WritePrivateProfileStringA("Window", key, value, path.c_str());
  }
  std::string Stored(const char* key) {
    char buf[kValueBytes];
    DWORD n = GetPrivateProfileStringA("Window", key, "<absent>", buf, sizeof buf,
                                       path.c_str());
    return std::string(buf, n);
  }
  std::string Rect() {
    RECT r;
    GetWindowRect(window, &r);
    char text[kValueBytes];
    snprintf(text, sizeof text, "%ld,%ld,%ld,%ld", r.left, r.top, r.right, r.bottom);
    return text;
  }
  // A list control with the given widths standing in the list's place.
  void MakeList(const int widths[table::kColumns]) {
    table::TrafficList = CreateWindowExA(0, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT,
                                         0, 0, 600, 400, window, nullptr,
                                         GetModuleHandleA(nullptr), nullptr);
    ASSERT_NE(nullptr, table::TrafficList);
    for (int i = 0; i < table::kColumns; ++i) {
      LVCOLUMNA column = {};
      column.mask = LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
      column.cx = widths[i];
      column.pszText = const_cast<char*>(table::NameTable[i]);
      column.iSubItem = i;
      SendMessageA(table::TrafficList, LVM_INSERTCOLUMNA, (WPARAM)i, (LPARAM)&column);
    }
    for (int i = 0; i < table::kColumns; ++i)
      ASSERT_EQ(widths[i], (int)SendMessageA(table::TrafficList, LVM_GETCOLUMNWIDTH, i, 0));
  }

  std::string folder, path;
  HWND window = nullptr;
};

}  // namespace

TEST_F(PlacementTest, RestoreUsesTheStoredPlacementOfTheViewModeOrTheDefault) {
  int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
  char offScreen[kValueBytes];
  snprintf(offScreen, sizeof offScreen, "[%d,20,300,400]", cx - 100);
  struct Case {
    int viewMode;
    const char* airborne;   // nullptr: key absent
    const char* ground;
    const char* want;
  } cases[] = {
      {0, nullptr, nullptr, "220,80,920,880"},
      {0, "[10,20,300,400]", "[30,40,500,600]", "10,20,310,420"},
      {1, "[10,20,300,400]", "[30,40,500,600]", "30,40,530,640"},
      {1, "[10,20,300,400]", nullptr, "220,80,920,880"},
      {0, "[10,20,300]", nullptr, "220,80,920,880"},
      {0, offScreen, nullptr, "220,80,920,880"},
      {0, "[-50,20,300,400", nullptr, "-50,20,250,420"},
  };
  ASSERT_GE(cy, 880);
  // The window was made hidden; the first restore shows it. (Hiding it again for every
  // case would cost Wine seconds each without a window manager.)
  ASSERT_FALSE(IsWindowVisible(window));
  for (const auto& c : cases) {
    Store("Airborne", c.airborne);
    Store("Ground", c.ground);
    ViewMode = c.viewMode;
    SetWindowPos(window, nullptr, 5, 5, 111, 111, SWP_NOZORDER | SWP_NOACTIVATE);
    RestorePlacement(window);
    EXPECT_EQ(c.want, Rect()) << c.viewMode << " " << (c.airborne ? c.airborne : "-") << " "
                              << (c.ground ? c.ground : "-");
    EXPECT_TRUE(IsWindowVisible(window));
  }
}

TEST_F(PlacementTest, SaveWritesTheRectangleOfTheViewMode) {
  ViewMode = 1;
  SetWindowPos(window, HWND_TOP, 30, 40, 500, 600, SWP_SHOWWINDOW);
  SavePlacement(window);
  EXPECT_EQ("[30,40,500,600]", Stored("Ground"));
  EXPECT_EQ("<absent>", Stored("Airborne"));

  // And what was saved comes back.
  SetWindowPos(window, HWND_TOP, 0, 0, 100, 100, 0);
  RestorePlacement(window);
  EXPECT_EQ("30,40,530,640", Rect());
}

TEST_F(PlacementTest, MinimizedWindowWritesNoRectangleButRestoredOneDoes) {
  SetWindowPos(window, HWND_TOP, 60, 70, 640, 480, SWP_SHOWWINDOW);
  ShowWindow(window, SW_MINIMIZE);
  ASSERT_TRUE(IsIconic(window));
  const int widths[table::kColumns] = {41, 161, 71, 71, 71, 121, 121, 71, 56,
                                       41, 51, 51, 51, 51, 51, 51, 51};
  MakeList(widths);
  SavePlacement(window);
  EXPECT_EQ("<absent>", Stored("Airborne"));
  EXPECT_EQ(161, Layouts[0].widths[1]);   // widths are still captured

  ShowWindow(window, SW_RESTORE);
  ASSERT_FALSE(IsIconic(window));
  SavePlacement(window);
  EXPECT_EQ("[60,70,640,480]", Stored("Airborne"));
}

TEST_F(PlacementTest, ColumnWidthsGoToTheCurrentLayoutAndWhileSharedToTheOther) {
  int widths[table::kColumns];
  for (int i = 0; i < table::kColumns; ++i) widths[i] = 20 + 5 * i;
  widths[4] = 0;   // a zero answer keeps the layout's width
  MakeList(widths);

  struct Case {
    bool separate;
    int viewMode;
  } cases[] = {{false, 0}, {false, 1}, {true, 0}, {true, 1}};
  for (const auto& c : cases) {
    table::ResetColumnModel();
    table::SeparateLayouts = c.separate;
    ViewMode = c.viewMode;
    Layouts[c.viewMode].widths[4] = 77;
    SavePlacement(window);
    for (int i = 0; i < table::kColumns; ++i) {
      int want = i == 4 ? 77 : widths[i];
      EXPECT_EQ(want, Layouts[c.viewMode].widths[i]) << i;
      int other = c.separate ? table::DefaultWidth[i] : want;
      EXPECT_EQ(other, Layouts[1 - c.viewMode].widths[i]) << i << " separate " << c.separate;
    }
  }
}

TEST_F(PlacementTest, WithoutAListWidthsStayButAreStillShared) {
  ASSERT_EQ(nullptr, table::TrafficList);
  ViewMode = 1;
  Layouts[1].widths[2] = 95;
  SavePlacement(window);
  EXPECT_EQ(95, Layouts[1].widths[2]);
  EXPECT_EQ(95, Layouts[0].widths[2]);
  EXPECT_EQ(table::DefaultWidth[3], Layouts[0].widths[3]);
}
