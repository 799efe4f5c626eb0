#include "table/title.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

const char kAirborne[] = "DU Z.E. Vavazaz Uzovozi - Airborne";
const char kGround[] = "DU Z.E. Vavazaz Uzovozi - Ground";
const char kAirborneEgll[] = "DU Z.E. Vavazaz Uzovozi - Airborne, for Airport=EGLL";
const char kGroundEgll[] = "DU Z.E. Vavazaz Uzovozi - Ground, for Airport=EGLL";

struct TitleCase {
  const char* viewTitle;
  uint16_t nearest;
  const char* expected;
};

TEST(FormatTitle, SuffixFromTheNearestDistance) {
  const TitleCase cases[] = {
    {kAirborne, 12, "DU Z.E. Vavazaz Uzovozi - Airborne (Nearest 12nm)"},
    {kGroundEgll, 0xFFFF, "DU Z.E. Vavazaz Uzovozi - Ground, for Airport=EGLL (No aircraft)"},
    {kGround, 0, "DU Z.E. Vavazaz Uzovozi - Ground (Nearest 0nm)"},
    {kAirborne, 65534, "DU Z.E. Vavazaz Uzovozi - Airborne (Nearest 65534nm)"},
    {kAirborne, 65535, "DU Z.E. Vavazaz Uzovozi - Airborne (No aircraft)"},
    {"", 7, " (Nearest 7nm)"},
  };
  for (const TitleCase& c : cases) {
    char out[table::kWindowTitleBytes];
    memset(out, 'x', sizeof out);
    table::FormatTitle(c.viewTitle, c.nearest, out, sizeof out);
    EXPECT_STREQ(c.expected, out) << "nearest " << c.nearest;
  }
}

TEST(FormatTitle, LongestTitleHasSeventyCharacters) {
  char out[table::kWindowTitleBytes];
  table::FormatTitle(kAirborneEgll, 65534, out, sizeof out);
  EXPECT_STREQ("DU Z.E. Vavazaz Uzovozi - Airborne, for Airport=EGLL (Nearest 65534nm)", out);
  EXPECT_EQ(70u, strlen(out));
}

TEST(FormatTitle, FullViewTitleFitsWithItsSuffix) {
  // A view title that fills its 192 bytes still gets its whole suffix.
  std::string title(191, 'T');
  char out[table::kWindowTitleBytes];
  table::FormatTitle(title.c_str(), 65534, out, sizeof out);
  EXPECT_EQ(title + " (Nearest 65534nm)", std::string(out));
}

TEST(FormatTitle, SmallBufferIsCutAndTerminated) {
  char out[12];
  memset(out, 'x', sizeof out);
  table::FormatTitle(kAirborne, 12, out, sizeof out);
  EXPECT_STREQ("DU Z.E. Vav", out);

  char one[1] = {'x'};
  table::FormatTitle(kAirborne, 12, one, sizeof one);
  EXPECT_EQ('\0', one[0]);
}

}  // namespace
