// A server that refuses every request: the error box of the refresh, and the window
// closed while that box is open, which the interrupted refresh must survive.
#include <gtest/gtest.h>

#include "tests/e2e/e2e_support.h"
#include "tests/e2e/scene_fixture.h"

namespace {

const char kRefused[] = "Error: IPC message failure: not correct Ostrel installation?";

TEST(ErrorBox, WindowClosedWhileARefreshReportsAFailure) {
  e2e::Session s;
  ASSERT_TRUE(s.StartSimhost(e2e::ScenarioText(e2e::FrozenScene()), "--answer 0"));
  ASSERT_TRUE(s.StartVelmora());
  HWND box = probe::FindBox(s.target.pid, "Velmora Error", 20000);
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(probe::BoxText(box), kRefused);
  // Nothing was fetched: no list, and the title has no distance.
  EXPECT_EQ(s.List(), nullptr);

  // The box has no owner, so the main window can still be closed under it. The
  // refresh that opened the box then resumes with the channel closed.
  PostMessageA(s.target.window, WM_CLOSE, 0, 0);
  ASSERT_TRUE(probe::WaitFor([&] { return !IsWindow(s.target.window); }, 10000));
  if (IsWindow(box)) probe::PressOk(box);
  EXPECT_EQ(s.velmora.Wait(15000), 0);
  EXPECT_EQ(e2e::IniValue(s.folder.File("velmora.ini"), "Window", "Mode"), "Airborne");
}

TEST(ErrorBox, RefreshGoesOnAfterTheBoxIsClosed) {
  e2e::Session s;
  ASSERT_TRUE(s.StartSimhost(e2e::ScenarioText(e2e::FrozenScene()), "--answer 0"));
  ASSERT_TRUE(s.StartVelmora());
  HWND box = probe::FindBox(s.target.pid, "Velmora Error", 20000);
  ASSERT_NE(box, nullptr);
  probe::PressOk(box);
  ASSERT_TRUE(probe::WaitFor([&] { return !IsWindow(box); }, 5000));
  // The title is set after a failed refresh as after a good one: the server wrote no
  // distance, so it shows none.
  EXPECT_TRUE(probe::WaitFor([&] {
    return probe::WindowText(s.target.window) ==
           "DU Z.E. Vavazaz Uzovozi - Airborne (No aircraft)";
  }, 10000)) << probe::WindowText(s.target.window);
  EXPECT_EQ(s.Exit(), 0);
}

}  // namespace
