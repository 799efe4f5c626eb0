// The settings file through the real private-profile functions, in a folder of its own
// under the temporary folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "shell/profile.h"
#include "shell/settings.h"
#include "table/columns.h"
#include "tests/win32/settings_folder.h"

using namespace shell;
using table::Layouts;

namespace {

// A fresh folder per test, so that no test sees another's file.
class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettings();
    ASSERT_TRUE(MakeSettingsFolder("settings", &folder, &path)) << folder;
  }
  void TearDown() override {
    RemoveSettingsFolder(folder, path);
    ResetSettings();
  }

  void WriteFileText(const char* text) {
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, f);
    fputs(text, f);
    fclose(f);
  }
  // The file's lines as they are on disk, blank lines left out.
  std::vector<std::string> FileLines() {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, path.c_str());   // flush
    std::vector<std::string> lines;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return lines;
    std::string line;
    int c;
    while ((c = fgetc(f)) != EOF) {
      if (c == '\n') {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
        line.clear();
      } else {
        line += (char)c;
      }
    }
    if (!line.empty()) lines.push_back(line);
    fclose(f);
    return lines;
  }
  std::string Value(const char* section, const char* key) {
    char buf[kValueBytes];
    DWORD n = GetPrivateProfileStringA(section, key, "<absent>", buf, sizeof buf,
                                       path.c_str());
    return std::string(buf, n);
  }
  std::vector<std::string> SectionNames() {
    char buf[1024];
    DWORD n = GetPrivateProfileSectionNamesA(buf, sizeof buf, path.c_str());
    std::vector<std::string> names;
    for (const char* p = buf; p < buf + n && *p; p += strlen(p) + 1) names.push_back(p);
    return names;
  }

  std::string folder, path;
};

std::vector<std::string> ColumnLines(int mode) {
  std::vector<std::string> lines;
  for (int j = 0; j < table::kColumns; ++j) {
    char value[kValueBytes];
    FormatColumnValue(mode, j, value);
    lines.push_back(std::string(table::NameTable[j]) + "=" + value);
  }
  return lines;
}

}  // namespace

TEST_F(SettingsFileTest, ShutdownWritesSectionsAndKeysInTheFileFormat) {
  ViewMode = 1;
  SortColumn = 4;
  Layouts[1].order[0] = 1;
  Layouts[1].order[1] = 0;
  Layouts[1].widths[16] = 65;
  SaveSettingsFile();

  std::vector<std::string> want = {"[Window]", "Mode=Ground", "Sort=4", "[Ground]",
                                   "Slot=1,40", "ID=0,160",  "Dist=2,70",  "Brg(M)=3,70",
                                   "AltDiff=4,70", "Lat=5,120", "Long=6,120", "Alt=7,70",
                                   "Hdg(M)=8,55", "GS=9,40",  "VS=10,50",   "COM1=11,50",
                                   "State=12,50", "From=13,50", "To=14,50",  "Ref=15,50",
                                   "Rwy=16,65"};
  EXPECT_EQ(want, FileLines());
}

TEST_F(SettingsFileTest, HandWrittenFileIsReadKeyByKey) {
  WriteFileText(
      "[Window]\r\n"
      "Mode=ground\r\n"
      "Airport=EGLLX\r\n"
      "Sort=18\r\n"
      "Ground=[10,20,300,400]\r\n"
      "\r\n"
      "[Ground]\r\n"
      "Dist=3,90\r\n"
      "ID=\r\n"
      "Rwy=-1,80\r\n");
  LoadSettings(ReadProfileValue, nullptr);
  EXPECT_EQ(1, ViewMode);
  EXPECT_STREQ("EGLL", AirportFilter);
  EXPECT_STREQ("DU Z.E. Vavazaz Uzovozi - Airborne, for Airport=EGLL", ViewTitle[0]);
  EXPECT_STREQ("DU Z.E. Vavazaz Uzovozi - Ground, for Airport=EGLL", ViewTitle[1]);
  EXPECT_EQ(2, SortColumn);
  EXPECT_FALSE(table::SeparateLayouts);
  for (int m = 0; m < 2; ++m) {
    EXPECT_EQ(3, Layouts[m].order[2]);
    EXPECT_EQ(90, Layouts[m].widths[2]);
    EXPECT_EQ(1, Layouts[m].order[1]);
    EXPECT_EQ(160, Layouts[m].widths[1]);
    EXPECT_EQ(16, Layouts[m].order[16]);
    EXPECT_EQ(80, Layouts[m].widths[16]);
  }
}

TEST_F(SettingsFileTest, LoneSectionReadThenOnlyTheCurrentSectionWritten) {
  WriteFileText(
      "[Window]\r\n"
      "Mode=Ground\r\n"
      "Airport=KJFK\r\n"
      "[Ground]\r\n"
      "Lat=9,200\r\n");
  LoadSettings(ReadProfileValue, nullptr);
  ASSERT_FALSE(table::SeparateLayouts);
  EXPECT_EQ(9, Layouts[0].order[5]);
  EXPECT_EQ(200, Layouts[0].widths[5]);

  SaveSettingsFile();
  EXPECT_EQ((std::vector<std::string>{"Window", "Ground"}), SectionNames());
  EXPECT_EQ("Ground", Value("Window", "Mode"));
  EXPECT_EQ("KJFK", Value("Window", "Airport"));   // never written, left as the user typed it
  EXPECT_EQ("2", Value("Window", "Sort"));
  for (int j = 0; j < table::kColumns; ++j) {
    char want[kValueBytes];
    FormatColumnValue(1, j, want);
    EXPECT_EQ(want, Value("Ground", table::NameTable[j])) << table::NameTable[j];
  }
  EXPECT_EQ("9,200", Value("Ground", "Lat"));
}

TEST_F(SettingsFileTest, SeparateLayoutsRoundTrip) {
  ViewMode = 0;
  SortColumn = -3;
  table::SeparateLayouts = true;
  for (int j = 0; j < table::kColumns; ++j) {
    Layouts[0].order[j] = table::kColumns - 1 - j;
    Layouts[0].widths[j] = 30 + j;
    Layouts[1].order[j] = j == 3 ? 7 : j;   // a repeated entry stays as it is
    Layouts[1].widths[j] = -j;
  }
  Layouts[1].widths[0] = 44;
  table::ColumnLayout saved[2] = {Layouts[0], Layouts[1]};
  std::vector<std::string> airborne = ColumnLines(0), ground = ColumnLines(1);
  SaveSettingsFile();

  std::vector<std::string> lines = FileLines();
  std::vector<std::string> want = {"[Window]", "Mode=Airborne", "Sort=-3", "[Airborne]"};
  want.insert(want.end(), airborne.begin(), airborne.end());
  want.push_back("[Ground]");
  want.insert(want.end(), ground.begin(), ground.end());
  EXPECT_EQ(want, lines);

  ResetSettings();
  snprintf(SettingsFile, sizeof SettingsFile, "%s", path.c_str());
  ViewMode = 1;
  LoadSettings(ReadProfileValue, nullptr);
  EXPECT_EQ(0, ViewMode);
  EXPECT_EQ(-3, SortColumn);
  EXPECT_TRUE(table::SeparateLayouts);
  for (int m = 0; m < 2; ++m)
    for (int j = 0; j < table::kColumns; ++j) {
      EXPECT_EQ(saved[m].order[j], Layouts[m].order[j]) << m << " " << j;
      // A width of 0 reads as "keep the default".
      int32_t width = saved[m].widths[j] ? saved[m].widths[j] : table::DefaultWidth[j];
      EXPECT_EQ(width, Layouts[m].widths[j]) << m << " " << j;
    }
}

TEST_F(SettingsFileTest, MissingFileLeavesEveryDefault) {
  LoadSettings(ReadProfileValue, nullptr);
  EXPECT_EQ(0, ViewMode);
  EXPECT_EQ(2, SortColumn);
  EXPECT_STREQ("", AirportFilter);
  EXPECT_STREQ("DU Z.E. Vavazaz Uzovozi - Airborne", ViewTitle[0]);
  EXPECT_FALSE(table::SeparateLayouts);
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path.c_str()));   // reading made nothing
}

TEST(SettingsFileBesideProgram, FoundAndReadBesideTheExecutable) {
  ResetSettings();
  char module[MAX_PATH];
  ASSERT_NE(0u, GetModuleFileNameA(nullptr, module, MAX_PATH));
  std::string want = module;
  want = want.substr(0, want.rfind('.') + 1) + "ini";
  ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(want.c_str()))
      << want << " is in the way";
  WritePrivateProfileStringA("Window", "Sort", "7", want.c_str());
  WritePrivateProfileStringA(nullptr, nullptr, nullptr, want.c_str());

  LoadSettingsFile(GetModuleHandleA(nullptr));
  std::string found = SettingsFile;
  DeleteFileA(want.c_str());
  EXPECT_EQ(want, found);
  EXPECT_EQ(7, SortColumn);
  ResetSettings();
}
