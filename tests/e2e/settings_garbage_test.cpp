// Velmora started with a settings file that a user (or a disk) has mangled: garbage in
// every key, values far longer than any buffer, binary bytes, and a file it may not
// write. It must start with the documented fallbacks, run, and end with exit code 0,
// touch no other file in its folder, and leave a read-only file exactly as it was.
//
// What Velmora makes of each file is worked out here through the same reading rules
// (the platform's profile reader feeding the settings parser), and held against the
// window, the list and what is written back at exit.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "shell/settings.h"
#include "table/columns.h"
#include "tests/e2e/checks.h"
#include "tests/e2e/drive.h"
#include "tests/e2e/e2e_support.h"
#include "tests/e2e/scene_fixture.h"

namespace {

const int kCmdRefresh = 102;
const int kCmdAutoRefresh = 105;
const int kCmdGround = 106;
const int kCmdAirborne = 107;

// --- The files ------------------------------------------------------------------------

// Every key present, none of them sensible.
std::string GarbageFile() {
  const char* values[17] = {"x,y",   ",,,,",   "abc,def", "--5,--7", "5 5",  "0x10,0x20",
                            "+,-",   "[1,2]",  "=,=",     " , ",     "99,",  "1e9,1e9",
                            ",",     "-0,-0",  "17,-1",   "16,0",    "\t"};
  std::string text =
      "[Window]\r\nMode=Zeppelin\r\nAirport=?*#|!\r\nSort=abc\r\n"
      "Airborne=[left,top,width,height]\r\nGround=]10,20,30,40[\r\n";
  for (const char* section : {"Airborne", "Ground"}) {
    text += std::string("[") + section + "]\r\n";
    for (int j = 0; j < 17; ++j)
      text += std::string(table::NameTable[j]) + "=" + values[j] + "\r\n";
  }
  text += "junk without an equals sign\r\n=value without a key\r\n[]\r\n[Window\r\n";
  return text;
}

// Values of thousands of characters: only the first characters that fit a buffer may
// count, and numbers of thousands of digits must saturate, not wrap.
std::string LongFile() {
  std::string many9(5000, '9'), many0(5000, '0'), blanks(3000, ' ');
  std::string text = "[Window]\r\n";
  text += "Mode=gRO" + std::string(6000, 'x') + "\r\n";
  text += "Airport=egll" + std::string(6000, 'Z') + "\r\n";
  text += "Sort=-" + many9 + "\r\n";
  text += "Airborne=[" + many9 + "," + many9 + "]\r\n";
  text += "Ground=[10,20,900,600]" + blanks + "tail\r\n";
  text += "[Ground]\r\n";
  text += "Slot=" + many0 + "5,90\r\n";
  text += "ID=1," + many0 + "120\r\n";
  text += "Dist=2," + many9 + "\r\n";
  text += "Brg(M)=3,-" + many9 + "\r\n";
  text += "AltDiff=" + many9 + ",80\r\n";
  text += "Lat=-" + many9 + ",90\r\n";
  text += "Long=4," + blanks + "75\r\n";
  text += std::string(20000, 'K') + "=" + std::string(20000, 'V') + "\r\n";
  text += "[" + std::string(20000, 'S') + "]\r\nMode=Airborne\r\n";
  return text;
}

// Bytes of every value, NUL, CR, LF and end-of-file marks among them, in and around
// lines that look like the file's own.
std::string BinaryFile() {
  std::string text = "[Window]\r\nMode=";
  uint32_t x = 2463534242u;   // xorshift: the same bytes on every run
  auto next = [&] {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return char(x & 0xFF);
  };
  for (int i = 0; i < 300; ++i) text += next();
  text += "\r\nSort=";
  text += std::string("\x00\x01\x1A", 3);
  text += "3\r\nAirport=\xFF\xFE\x80\x81\r\n[Airborne]\r\nDist=";
  text += std::string("\x00", 1) + "7,90\r\nID=\x9C\x9D,\xE9\r\n";
  for (int i = 0; i < 4000; ++i) text += next();
  text += "\r\n[Ground]\r\nLat=1,\x01\x02\r\n";
  for (int i = 0; i < 2000; ++i) text += next();
  return text;
}

// A sensible file that Velmora may read but not write.
std::string ReadOnlyFile() {
  return "[Window]\r\nMode=Ground\r\nSort=7\r\nGround=[40,30,1000,600]\r\n"
         "[Ground]\r\nID=5,140\r\nLat=1,110\r\n";
}

struct SettingsCase {
  const char* name;
  std::string (*text)();
  bool readOnly;
};

// --- What Velmora must make of a file ---------------------------------------------------

std::string IniPath;

int ReadByPlatform(void*, const char* section, const char* key, char* buf, int size) {
  return int(GetPrivateProfileStringA(section, key, "", buf, DWORD(size), IniPath.c_str()));
}

struct Settings {
  RECT rect[2];   // the window's placement in each view
  int viewMode;
  std::string filter;
  int sortColumn;
  std::string title[2];
  table::ColumnLayout layout[2];
};

RECT ExpectedRect(const std::string& ini, int viewMode);

// Read before Velmora runs: it writes the placements while it runs.
Settings ExpectedSettings(const std::string& ini) {
  IniPath = ini;
  shell::ResetSettings();
  shell::LoadSettings(ReadByPlatform, nullptr);
  Settings s;
  s.viewMode = shell::ViewMode;
  s.filter = shell::AirportFilter;
  s.sortColumn = shell::SortColumn;
  s.title[0] = shell::ViewTitle[0];
  s.title[1] = shell::ViewTitle[1];
  s.layout[0] = table::Layouts[0];
  s.layout[1] = table::Layouts[1];
  s.rect[0] = ExpectedRect(ini, 0);
  s.rect[1] = ExpectedRect(ini, 1);
  return s;
}

RECT ExpectedRect(const std::string& ini, int viewMode) {
  char value[shell::kValueBytes] = "";
  int n = int(GetPrivateProfileStringA("Window", table::ViewModeName(viewMode), "", value,
                                       sizeof value, ini.c_str()));
  shell::Placement p = shell::ParsePlacement(value, n, GetSystemMetrics(SM_CXSCREEN),
                                             GetSystemMetrics(SM_CYSCREEN));
  RECT r = {LONG(p.left), LONG(p.top), LONG(p.left + p.width), LONG(p.top + p.height)};
  return r;
}

std::string Text(const RECT& r) {
  char s[80];
  snprintf(s, sizeof s, "[%ld,%ld,%ld,%ld]", r.left, r.top, r.right, r.bottom);
  return s;
}

// The files of a folder with their contents and attributes, to see that nothing else
// was touched.
std::map<std::string, std::string> FolderState(const std::string& folder) {
  std::map<std::string, std::string> files;
  WIN32_FIND_DATAA fd;
  HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
  if (h == INVALID_HANDLE_VALUE) return files;
  do {
    std::string name = fd.cFileName;
    if (name == "." || name == "..") continue;
    char attributes[80];
    snprintf(attributes, sizeof attributes, "attributes %lx, written %lx:%lx|",
             fd.dwFileAttributes, fd.ftLastWriteTime.dwHighDateTime,
             fd.ftLastWriteTime.dwLowDateTime);
    files[name] = attributes + e2e::ReadFile(folder + "\\" + name);
  } while (FindNextFileA(h, &fd));
  FindClose(h);
  return files;
}

// What one view shows: placement, title, every cell, the column order and widths, the
// sort.
// The window where the placement puts it. A size below the smallest one the system
// allows a window with a title and a menu is made that smallest size.
void ExpectPlacement(HWND window, const RECT& want) {
  RECT shown = {};
  GetWindowRect(window, &shown);
  const LONG smallest = 200;
  if (want.right - want.left >= smallest && want.bottom - want.top >= smallest) {
    EXPECT_EQ(Text(shown), Text(want));
    return;
  }
  EXPECT_EQ(shown.left, want.left);
  EXPECT_EQ(shown.top, want.top);
  EXPECT_LE(shown.right - shown.left, smallest) << Text(shown);
  EXPECT_LE(shown.bottom - shown.top, smallest) << Text(shown);
}

void ExpectView(const e2e::Session& s, const sim::Scene& scene, const Settings& want,
                int view) {
  SCOPED_TRACE(table::ViewModeName(view));
  ExpectPlacement(s.target.window, want.rect[view]);
  e2e::Expected e = e2e::ExpectedView(scene, view, want.filter.c_str());
  EXPECT_EQ(probe::WindowText(s.target.window), e2e::TitleFor(want.title[view], e.nearest));
  HWND list = s.List();
  ASSERT_NE(list, nullptr);
  ASSERT_NO_FATAL_FAILURE(e2e::ExpectCells(s.target, list, e));

  int32_t repaired[17];
  table::RepairOrder(want.layout[view].order, repaired);
  int order[17];
  ASSERT_TRUE(probe::ColumnOrder(s.target, list, order));
  for (int p = 0; p < 17; ++p) EXPECT_EQ(order[p], repaired[p]) << "display position " << p;
  for (int c = 0; c < 17; ++c) {
    EXPECT_EQ(probe::ColumnWidth(list, c), want.layout[view].widths[c])
        << e2e::kColumnNames[c];
  }
  e2e::ExpectSorted(s.target, list, e2e::Serve(scene, view, want.filter.c_str()),
                    want.sortColumn);
}

class MangledSettings : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(MangledSettings, StartsWithTheFallbacksRunsAndEndsCleanly) {
  const SettingsCase& c = GetParam();
  e2e::Session s;
  sim::Scene scene = e2e::FrozenScene();
  const std::string ini = s.folder.File("velmora.ini");
  const std::string original = c.text();
  e2e::WriteFile(ini, original);
  ASSERT_EQ(e2e::ReadFile(ini), original);
  if (c.readOnly) {
    ASSERT_TRUE(SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_READONLY));
  }
  const Settings want = ExpectedSettings(ini);

  ASSERT_TRUE(s.StartSimhost(e2e::ScenarioText(scene)));
  std::map<std::string, std::string> before = FolderState(s.folder.path);
  ASSERT_TRUE(s.StartVelmora());
  before["velmora.exe"] = FolderState(s.folder.path)["velmora.exe"];   // copied in by the start
  HWND window = s.target.window;
  ASSERT_TRUE(drive::Command(window, kCmdAutoRefresh, 10000));
  ASSERT_TRUE(drive::Command(window, kCmdRefresh, 30000));
  ASSERT_NO_FATAL_FAILURE(ExpectView(s, scene, want, want.viewMode));

  // To the other view and back: its placement and layout from the same file.
  int other = 1 - want.viewMode;
  ASSERT_TRUE(drive::Command(window, other == 1 ? kCmdGround : kCmdAirborne, 30000));
  ExpectPlacement(window, want.rect[other]);
  e2e::Expected e = e2e::ExpectedView(scene, other, want.filter.c_str());
  EXPECT_EQ(probe::WindowText(window), e2e::TitleFor(want.title[other], e.nearest));
  ASSERT_TRUE(drive::Command(window, other == 1 ? kCmdAirborne : kCmdGround, 30000));
  ASSERT_TRUE(drive::Answers(window, 5000));
  EXPECT_EQ(probe::FindBox(s.target.pid, "Velmora Error", 0), nullptr);
  EXPECT_EQ(s.Exit(), 0);

  // Nothing but the settings file may have changed in the folder.
  std::map<std::string, std::string> after = FolderState(s.folder.path);
  if (c.readOnly) {
    EXPECT_EQ(e2e::ReadFile(ini), original) << "the read-only file was written";
    EXPECT_NE(GetFileAttributesA(ini.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_NORMAL);   // so the folder can go
  } else {
    before.erase("velmora.ini");
    after.erase("velmora.ini");
    // Written back: the view it ended in, the sort, both column sections (a switch
    // parts the layouts), each a display order and a width.
    EXPECT_EQ(e2e::IniValue(ini, "Window", "Mode"), table::ViewModeName(want.viewMode));
    EXPECT_EQ(e2e::IniValue(ini, "Window", "Sort"), std::to_string(want.sortColumn));
    for (int view = 0; view < 2; ++view) {
      std::vector<int> seen(17, 0);
      for (int j = 0; j < 17; ++j) {
        std::string v = e2e::IniValue(ini, table::ViewModeName(view), table::NameTable[j]);
        int entry = -1, width = 0;
        char tail = 0;
        ASSERT_EQ(sscanf(v.c_str(), "%d,%d%c", &entry, &width, &tail), 2) << v;
        ASSERT_GE(entry, 0);
        ASSERT_LE(entry, 16);
        ++seen[size_t(entry)];
        EXPECT_NE(width, 0);
      }
      EXPECT_EQ(seen, std::vector<int>(17, 1)) << "not a display order";
    }
  }
  EXPECT_EQ(after, before);
}

INSTANTIATE_TEST_SUITE_P(
    File, MangledSettings,
    ::testing::Values(SettingsCase{"Garbage", GarbageFile, false},
                      SettingsCase{"Long", LongFile, false},
                      SettingsCase{"Binary", BinaryFile, false},
                      SettingsCase{"ReadOnly", ReadOnlyFile, true}),
    [](const ::testing::TestParamInfo<SettingsCase>& info) { return info.param.name; });

// What the garbage file reads as, spelled out: Airborne; the first four characters of
// the airport as typed; a sort column of 0 from a text without digits; a placement of
// four texts without digits is four zeros (the window at the top left, as small as the
// system lets it be), one without its "[" the default; the default layout where no
// number was given.
TEST(MangledSettingsFallbacks, GarbageReadsAsDocumented) {
  e2e::TempFolder folder;
  const std::string ini = folder.File("velmora.ini");
  e2e::WriteFile(ini, GarbageFile());
  Settings s = ExpectedSettings(ini);
  EXPECT_EQ(s.viewMode, 0);
  EXPECT_EQ(s.filter, "?*#|");
  EXPECT_EQ(s.title[0], "DU Z.E. Vavazaz Uzovozi - Airborne, for Airport=?*#|");
  EXPECT_EQ(s.sortColumn, 0);
  EXPECT_EQ(Text(s.rect[0]), "[0,0,0,0]");
  EXPECT_EQ(Text(s.rect[1]), "[220,80,920,880]");
  EXPECT_EQ(s.layout[0].widths[2], 70);
  EXPECT_EQ(s.layout[0].widths[10], 50);   // "99," leaves the width
}

}  // namespace
