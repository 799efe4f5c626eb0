#include "print/pagelayout.h"

#include <cmath>
#include <cstdint>

#include "table/rowvalues.h"

namespace print {

// Device metrics are small in practice; the sums are made in 64 bits and clamped so
// that no value a driver reports can overflow them.
static int32_t Clamp32(int64_t v) {
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return (int32_t)v;
}

// A float or double to a whole number, fraction dropped toward zero, saturating at the
// 32-bit bounds; not-a-number gives 0.
static int32_t Truncate(double v) { return table::SaturateToInt(v); }

PageLayout MakePageLayout(int32_t logPixelsX, int32_t logPixelsY, int32_t horzRes,
                          int32_t vertRes, int32_t lineHeight, int32_t charWidth) {
  PageLayout page = {};
  page.lineHeight = lineHeight;
  page.charWidth = charWidth;
  page.topMargin = logPixelsY / 2;
  page.bottomLimit = Clamp32((int64_t)vertRes - page.topMargin - lineHeight);
  page.leftMargin = logPixelsX / 2;
  page.rightLimit = Clamp32((int64_t)horzRes - page.leftMargin);
  return page;
}

HeaderLines HeaderGeometry(const PageLayout& page) {
  HeaderLines h;
  h.title = page.topMargin;
  h.rule = Clamp32(h.title + (3 * (int64_t)page.lineHeight) / 2);
  h.heads = Clamp32((int64_t)h.rule + page.lineHeight);
  h.firstRow = Clamp32(h.heads + 2 * (int64_t)page.lineHeight);
  return h;
}

bool PageFull(const PageLayout& page) {
  return page.y >= (int64_t)page.bottomLimit - 2 * (int64_t)page.lineHeight;
}

int FitColumns(const PageLayout& page, const int32_t order[table::kColumns],
               int32_t left[table::kColumns]) {
  int64_t x = page.leftMargin;
  int n = 0;
  for (int p = 0; p < table::kColumns; ++p) {
    int32_t column = order[p];
    if (column < 0 || column >= table::kColumns) break;
    int64_t width = (int64_t)table::PrintWidth[column] * page.charWidth;
    if (x + width > page.rightLimit) break;
    left[n++] = (int32_t)x;
    x += width;
  }
  return n;
}

FontPoint NinePointSize(int32_t horzRes, int32_t horzSizeMm, int32_t vertRes,
                        int32_t vertSizeMm) {
  // Dots per inch from the physical size, worked out in double and kept as float.
  float cxDpi = (float)(horzRes * 25.4 / horzSizeMm);
  float cyDpi = (float)(vertRes * 25.4 / vertSizeMm);
  // Nine points (90 tenths) at 72 points to the inch, in float arithmetic. The
  // volatile stores drop any extra precision an x87 build would otherwise keep.
  volatile float x = cxDpi * 90.0f;
  volatile float y = cyDpi * 90.0f;
  x = x / 72.0f;
  y = y / 72.0f;
  FontPoint pt;
  pt.x = Truncate(x);
  pt.y = Truncate(y);
  return pt;
}

int32_t PrintFontHeight(FontPoint pt) {
  return -Truncate(std::fabs((double)pt.y) / 10 + 0.5);
}

int32_t PrintFontWidth(FontPoint pt, int32_t aveCharWidth) {
  return Truncate(std::fabs((double)pt.x) * aveCharWidth / std::fabs((double)pt.y) + 0.5);
}

}  // namespace print
