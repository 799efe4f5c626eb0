#include "table/rowtexts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "sim/scenario.h"
#include "sim/traffic.h"
#include "sim_fixture.h"
#include "table/rowvalues.h"

using namespace simtest;

namespace {

// Fills the kept texts of every row of a snapshot (the user's row, slots 0 to 98) and
// holds each against the texts the row computation hands to a writer.
void ExpectKeptAsComputed(const uint8_t* view, const char* filter) {
  table::FillUserRowTexts(view);
  for (int k = 0; k < 99; ++k) table::FillSlotRowTexts(view, k, filter);
  for (int k = -1; k < 99; ++k) {
    Row want;
    if (k < 0) table::ComputeUserRow(view, Collect, &want);
    else table::ComputeSlotRow(view, k, filter, Collect, &want);
    for (int c = 1; c < 17; ++c)
      ASSERT_EQ(want.cell[c], table::RowText(k, c)) << "slot " << k << ", column " << c;
  }
}

}  // namespace

// The kept texts are the row texts, whole: for the built-in scenes (hostile ones with
// the longest texts, IDs and codes without a NUL, odd codes, records past the reads),
// with and without an airport filter, and for an hour of busy live traffic.
TEST(RowTexts, KeptTextsAreTheRowTextsOfEveryScene) {
  for (int i = 0; sim::BuiltinScenarioName(i); ++i) {
    const char* name = sim::BuiltinScenarioName(i);
    const char* text = sim::BuiltinScenario(name);
    std::unique_ptr<sim::Scene> scene(new sim::Scene);
    char error[sim::kScenarioErrorBytes];
    ASSERT_EQ(1, sim::ParseScenario(text, strlen(text), scene.get(), error, sizeof error)) << name;
    for (int mode = 0; mode < 2; ++mode)
      for (const char* filter : {"", "KSFO", "egll"}) {
        SCOPED_TRACE(testing::Message() << name << ", mode " << mode << ", filter " << filter);
        Served s;
        Serve(*scene, mode, &s);
        ExpectKeptAsComputed(s.v(), filter);
      }
  }

  std::unique_ptr<sim::Traffic> traffic(new sim::Traffic);
  std::unique_ptr<sim::Scene> scene(new sim::Scene);
  sim::StartTraffic(traffic.get(), 9, 99);
  sim::AddOverflights(traffic.get());
  for (int minute = 0; minute < 60; ++minute) {
    for (int step = 0; step < 240; ++step) sim::StepTraffic(traffic.get(), 0.25);
    sim::TrafficScene(traffic.get(), scene.get());
    Served s;
    Serve(*scene, minute % 2, &s);
    ExpectKeptAsComputed(s.v(), "");
  }
}

// A new list's rows are empty; rows outside the user's and slots 0 to 98, and columns
// outside 1 to 16, have no text; a slot that empties shows empty texts from then on.
TEST(RowTexts, ClearedRowsAndRowsThatHaveNone) {
  sim::Scene scene;
  sim::ClearScene(&scene);
  scene.lists[0].slotCount = 3;
  scene.lists[0].slots[1] = MakeSlot(7, "SWR18", 47.6f, 8.7f);
  Served s;
  Serve(scene, 0, &s);
  table::FillUserRowTexts(s.v());
  table::FillSlotRowTexts(s.v(), 1, "");
  EXPECT_STREQ("User", table::RowText(-1, 1));
  EXPECT_STREQ("SWR18", table::RowText(1, 1));

  table::ClearRowTexts();
  for (int k = -1; k < 99; ++k)
    for (int c = 1; c < 17; ++c) ASSERT_STREQ("", table::RowText(k, c)) << k << " " << c;

  table::FillSlotRowTexts(s.v(), 1, "");
  table::FillSlotRowTexts(s.v(), 99, "");    // no such row: nothing written anywhere
  table::FillSlotRowTexts(s.v(), -1, "");    // the user's row is filled on its own
  for (int32_t k : {-2, 99, 100, 1 << 20}) EXPECT_STREQ("", table::RowText(k, 1)) << k;
  for (int c : {-1, 0, 17}) EXPECT_STREQ("", table::RowText(1, c)) << c;
  EXPECT_STREQ("", table::RowText(-1, 1));

  scene.lists[0].slots[1].refId = 0;
  Serve(scene, 0, &s);
  table::FillSlotRowTexts(s.v(), 1, "");
  for (int c = 1; c < 17; ++c) EXPECT_STREQ("", table::RowText(1, c)) << c;
}
