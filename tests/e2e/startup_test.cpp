// Velmora started without a simulator: the reason in a box, exit code 2, and the
// settings file left untouched.
#include <gtest/gtest.h>

#include "tests/e2e/e2e_support.h"

namespace {

TEST(Startup, WithoutSimulatorSaysSoAndEndsWithCode2) {
  ASSERT_EQ(FindWindowA("FS98MAIN01", nullptr), nullptr) << "a simulator window is open";
  e2e::TempFolder folder;
  std::string exe = folder.File("velmora.exe");
  ASSERT_TRUE(CopyFileA((e2e::BinDir() + "\\velmora.exe").c_str(), exe.c_str(), FALSE));
  // A settings file that must come through unchanged.
  const std::string ini = "[Window]\r\nMode=Ground\r\nSort=5\r\n";
  e2e::WriteFile(folder.File("velmora.ini"), ini);

  e2e::Process velmora;
  ASSERT_TRUE(velmora.Start(exe, "", folder.path));
  HWND box = probe::FindBox(velmora.pi.dwProcessId, "Velmora Error", 15000);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(probe::BoxText(box), "Error: not able to find FS: please run it first");
  // No main window is shown while the box is open.
  HWND main = probe::FindMainWindow(velmora.pi.dwProcessId, 0);
  EXPECT_TRUE(main == nullptr || !IsWindowVisible(main));
  probe::PressOk(box);

  EXPECT_EQ(velmora.Wait(15000), 2);
  EXPECT_EQ(e2e::ReadFile(folder.File("velmora.ini")), ini);
}

TEST(Startup, WithoutSimulatorWritesNoSettingsFile) {
  e2e::TempFolder folder;
  std::string exe = folder.File("velmora.exe");
  ASSERT_TRUE(CopyFileA((e2e::BinDir() + "\\velmora.exe").c_str(), exe.c_str(), FALSE));
  e2e::Process velmora;
  ASSERT_TRUE(velmora.Start(exe, "", folder.path));
  HWND box = probe::FindBox(velmora.pi.dwProcessId, "Velmora Error", 15000);
  ASSERT_NE(box, nullptr);
  probe::PressOk(box);
  EXPECT_EQ(velmora.Wait(15000), 2);
  EXPECT_FALSE(e2e::FileExists(folder.File("velmora.ini")));
}

}  // namespace
