#include "table/columns.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace table;

TEST(ColumnModel, PrintWidthsAddUpTo169AndDefaultsAreIdentity) {
  int sum = 0;
  for (int w : PrintWidth) sum += w;
  EXPECT_EQ(169, sum);
  ResetColumnModel();
  for (int m = 0; m < 2; ++m)
    for (int i = 0; i < kColumns; ++i) {
      EXPECT_EQ(i, Layouts[m].order[i]);
      EXPECT_EQ(DefaultWidth[i], Layouts[m].widths[i]);
    }
  EXPECT_FALSE(SeparateLayouts);
  EXPECT_TRUE(ListPending);
  EXPECT_STREQ(NameTable[25], NameTable[30]);   // "W" twice: compass point and letter
  EXPECT_STREQ("Ground", ViewModeName(1));
  EXPECT_STREQ("Airborne", ViewModeName(0));
}

TEST(ColumnModel, RepairOrderKeepsFirstOccurrencesThenAddsTheMissingAscending) {
  struct Case {
    std::vector<int32_t> in, want;
  } cases[] = {
    {{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
     {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
    {{1, 0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
     {1, 0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16}},
    // 5 repeated twice, so 1 and 2 are missing and follow at the end
    {{5, 0, 5, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
     {5, 0, 3, 4, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 1, 2}},
    // out-of-range entries are dropped like repeats
    {{16, -1, 99, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
     {16, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}},
  };
  for (const auto& c : cases) {
    int32_t out[kColumns];
    RepairOrder(c.in.data(), out);
    EXPECT_EQ(c.want, std::vector<int32_t>(out, out + kColumns));
  }
}
