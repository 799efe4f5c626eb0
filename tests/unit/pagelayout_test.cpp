#include "print/pagelayout.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

using namespace print;
using table::kColumns;

namespace {

const int32_t kIdentity[kColumns] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

// The landscape letter page at 72 dpi with a 10-pixel line and 5-pixel characters.
PageLayout LetterPage() { return MakePageLayout(72, 72, 792, 612, 10, 5); }

// Header texts of the columns a line prints, with their left edges.
std::vector<std::pair<std::string, int32_t>> Line(const PageLayout& page,
                                                  const int32_t order[kColumns]) {
  int32_t left[kColumns];
  int n = FitColumns(page, order, left);
  std::vector<std::pair<std::string, int32_t>> out;
  for (int p = 0; p < n; ++p) out.push_back({table::NameTable[order[p]], left[p]});
  return out;
}

// The tops of the rows on each page when n rows are printed the way the job does it:
// a header on the first page, then per row the fullness test, a new page with its
// header when it says so, the row, one line down.
std::vector<std::vector<int32_t>> Paginate(PageLayout page, int rows) {
  std::vector<std::vector<int32_t>> pages(1);
  page.y = HeaderGeometry(page).firstRow;
  for (int r = 0; r < rows; ++r) {
    if (PageFull(page)) {
      pages.emplace_back();
      page.y = HeaderGeometry(page).firstRow;
    }
    pages.back().push_back(page.y);
    page.y += page.lineHeight;
  }
  return pages;
}

}  // namespace

TEST(PageLayout, LetterPageMarginsHeaderAndRows) {
  PageLayout page = LetterPage();
  EXPECT_EQ(36, page.topMargin);
  EXPECT_EQ(36, page.leftMargin);
  EXPECT_EQ(756, page.rightLimit);
  EXPECT_EQ(566, page.bottomLimit);
  EXPECT_EQ(0, page.pageNumber);

  HeaderLines h = HeaderGeometry(page);
  EXPECT_EQ(36, h.title);
  EXPECT_EQ(51, h.rule);   // the rule covers 51 to 54
  EXPECT_EQ(61, h.heads);
  EXPECT_EQ(81, h.firstRow);

  std::vector<std::vector<int32_t>> pages = Paginate(page, 48);
  ASSERT_EQ(2u, pages.size());
  ASSERT_EQ(47u, pages[0].size());
  EXPECT_EQ(81, pages[0].front());
  EXPECT_EQ(91, pages[0][1]);
  EXPECT_EQ(541, pages[0].back());
  EXPECT_EQ(std::vector<int32_t>{81}, pages[1]);   // the 48th row starts page 2
  EXPECT_EQ(1u, Paginate(page, 47).size());
}

TEST(PageLayout, ColumnsFitInDisplayOrderUpToTheFirstThatWouldPassTheRightLimit) {
  PageLayout page = LetterPage();
  struct Case {
    const char* what;
    PageLayout page;
    std::vector<int32_t> order;
    std::vector<std::pair<std::string, int32_t>> want;
  } cases[] = {
    {"default order: Slot to State, From would end at 781",
     page,
     {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
     {{"Slot", 36}, {"ID", 71}, {"Dist", 181}, {"Brg(M)", 226}, {"AltDiff", 266},
      {"Lat", 311}, {"Long", 391}, {"Alt", 481}, {"Hdg(M)", 521}, {"GS", 566},
      {"VS", 596}, {"COM1", 636}, {"State", 686}}},
    {"Rwy moved to the front prints first",
     page,
     {16, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
     {{"Rwy", 36}, {"Slot", 76}, {"ID", 111}, {"Dist", 221}, {"Brg(M)", 266},
      {"AltDiff", 306}, {"Lat", 351}, {"Long", 431}, {"Alt", 521}, {"Hdg(M)", 561},
      {"GS", 606}, {"VS", 636}, {"COM1", 676}}},
    // From (45 px) would end at 781; Ref after it (15 px) would still fit at 751 but
    // the line has ended.
    {"a wide column ends the line although a narrower one after it would fit",
     page,
     {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 15, 14, 16},
     {{"Slot", 36}, {"ID", 71}, {"Dist", 181}, {"Brg(M)", 226}, {"AltDiff", 266},
      {"Lat", 311}, {"Long", 391}, {"Alt", 481}, {"Hdg(M)", 521}, {"GS", 566},
      {"VS", 596}, {"COM1", 636}, {"State", 686}}},
    {"a column ending exactly at the right limit still prints",
     MakePageLayout(72, 72, 36 + 36 + 35 + 110, 612, 10, 5),
     {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
     {{"Slot", 36}, {"ID", 71}}},
    {"a page narrower than the first column prints no column",
     MakePageLayout(72, 72, 100, 612, 10, 5),
     {1, 0, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
     {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(c.want, Line(c.page, c.order.data()));
  }
}

TEST(PageLayout, ThePrintedColumnsAddUpToTheWholeLineAtFullWidth) {
  // 169 average characters of 5 pixels: a page 845 pixels wide inside its margins
  // prints all seventeen columns, one pixel less leaves Rwy off.
  EXPECT_EQ(17u, Line(MakePageLayout(72, 72, 845 + 72, 612, 10, 5), kIdentity).size());
  EXPECT_EQ(16u, Line(MakePageLayout(72, 72, 844 + 72, 612, 10, 5), kIdentity).size());
}

TEST(PageLayout, APageTooShortForAnyRowStillPrintsOneRowAPage) {
  // 130 pixels down: bottomLimit 84, so the page is full from y 64 on, above the first
  // row at 81. The fullness test comes once per row, before the new header and not
  // after it: the first page keeps only its header, every later page one row.
  PageLayout page = MakePageLayout(72, 72, 792, 130, 10, 5);
  EXPECT_EQ(84, page.bottomLimit);
  std::vector<std::vector<int32_t>> want = {{}, {81}, {81}, {81}};
  EXPECT_EQ(want, Paginate(page, 3));
}

TEST(PageLayout, OtherResolutionsHalveTheInchForTheMargins) {
  // Landscape A4 at 300 dpi as Wine reports it for a CUPS-PDF queue.
  PageLayout page = MakePageLayout(300, 300, 3508, 2479, 37, 17);
  EXPECT_EQ(150, page.topMargin);
  EXPECT_EQ(150, page.leftMargin);
  EXPECT_EQ(3358, page.rightLimit);
  EXPECT_EQ(2479 - 150 - 37, page.bottomLimit);
  // Odd resolutions lose the half pixel.
  EXPECT_EQ(37, MakePageLayout(75, 75, 800, 600, 10, 5).topMargin);
}

TEST(PrintFont, WorkedExamples) {
  struct Case {
    const char* what;
    int32_t horzRes, horzSize, vertRes, vertSize;
    FontPoint pt;
    int32_t height;
    int32_t ave, width;
  } cases[] = {
    {"720 by 720 pixels on 254 by 254 mm", 720, 254, 720, 254, {90, 90}, -9, 11, 11},
    {"800 px on 100 mm across, 400 px on 100 mm down", 800, 100, 400, 100, {254, 127},
     -13, 11, 22},
    // Landscape A4 at 300 dpi as Wine reports it for a CUPS-PDF queue: 2479 px on
    // 209 mm is 301.27 dpi down, 376.59 tenths truncated; 37.6 rounds to 38.
    {"A4 landscape at 300 dpi", 3508, 297, 2479, 209, {375, 376}, -38, 22, 22},
    // 2479 px on 210 mm would be 299.84 dpi, 374.8 tenths: 37.4 rounds down to 37.
    {"the same on 210 mm", 3508, 297, 2479, 210, {375, 374}, -37, 17, 17},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FontPoint pt = NinePointSize(c.horzRes, c.horzSize, c.vertRes, c.vertSize);
    EXPECT_EQ(c.pt.x, pt.x);
    EXPECT_EQ(c.pt.y, pt.y);
    EXPECT_EQ(c.height, PrintFontHeight(pt));
    EXPECT_EQ(c.width, PrintFontWidth(pt, c.ave));
  }
}

TEST(PrintFont, SizesAreTruncatedInFloatAndRoundedInDouble) {
  // 600 px on 100 mm: 152.4 dpi, 190.5 tenths truncated to 190; height 19.5 rounds to
  // 20, not to the even 19.
  FontPoint pt = NinePointSize(600, 100, 600, 100);
  EXPECT_EQ(190, pt.x);
  EXPECT_EQ(-19, PrintFontHeight({190, 185}));
  EXPECT_EQ(-19, PrintFontHeight(pt));
  EXPECT_EQ(-20, PrintFontHeight({195, 195}));
  // Width: 190 * 10 / 100 = 19, +0.5 stays 19; 3 * 7 / 2 = 10.5 -> 11.
  EXPECT_EQ(19, PrintFontWidth({190, 100}, 10));
  EXPECT_EQ(11, PrintFontWidth({3, 2}, 7));
  // Negative device units (a flipped mapping) count by their size.
  EXPECT_EQ(-9, PrintFontHeight({-90, -90}));
  EXPECT_EQ(11, PrintFontWidth({-90, 90}, 11));
}

TEST(PrintFont, DegenerateDevicesGiveDefinedSizes) {
  // A device that reports no physical size: infinite resolution saturates.
  FontPoint pt = NinePointSize(800, 0, 600, 0);
  EXPECT_EQ(INT32_MAX, pt.x);
  EXPECT_EQ(INT32_MAX, pt.y);
  EXPECT_EQ(-214748365, PrintFontHeight(pt));
  // No pixels and no size: not a number, taken as 0.
  pt = NinePointSize(0, 0, 0, 0);
  EXPECT_EQ(0, pt.x);
  EXPECT_EQ(0, pt.y);
  EXPECT_EQ(0, PrintFontHeight(pt));
  EXPECT_EQ(0, PrintFontWidth(pt, 11));            // 0 / 0
  EXPECT_EQ(INT32_MAX, PrintFontWidth({90, 0}, 11));   // 990 / 0
}
