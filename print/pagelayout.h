// The geometry of a printed page and the size arithmetic of the print fonts, in the
// printer's device pixels.
//
// Pure code: no platform headers.
#pragma once
#include <cstdint>

#include "table/columns.h"

namespace print {

struct PageLayout {
  int32_t lineHeight;    // tmHeight + tmExternalLeading of the normal font
  int32_t charWidth;     // tmAveCharWidth of the normal font
  int32_t topMargin;     // half an inch
  int32_t bottomLimit;
  int32_t leftMargin;    // half an inch
  int32_t rightLimit;
  int32_t y;             // top of the current line
  int32_t pageNumber;    // of the page being printed; 0 before the first
};

// A layout from the device's resolution and printable size and the normal font's
// metrics; y and pageNumber start at 0.
PageLayout MakePageLayout(int32_t logPixelsX, int32_t logPixelsY, int32_t horzRes,
                          int32_t vertRes, int32_t lineHeight, int32_t charWidth);

// Where each part of a page header stands, from topMargin down.
struct HeaderLines {
  int32_t title;      // title and page number
  int32_t rule;       // first of the rule's four pixel lines
  int32_t heads;      // column heads
  int32_t firstRow;   // first row below the header
};
HeaderLines HeaderGeometry(const PageLayout& page);

// True when the next row, at page.y, has to go on a new page.
bool PageFull(const PageLayout& page);

// The columns a line prints, from leftMargin in the display order of order (a
// permutation of the column identifiers): left[p] is the left edge at display position
// p. The first column whose right edge would pass rightLimit ends the line. Returns
// the number of display positions printed.
int FitColumns(const PageLayout& page, const int32_t order[table::kColumns],
               int32_t left[table::kColumns]);

// Nine points in tenths of a point, in device pixels across (x) and down (y), from the
// device's resolution in pixels and its physical size in millimetres.
struct FontPoint {
  int32_t x, y;
};
FontPoint NinePointSize(int32_t horzRes, int32_t horzSizeMm, int32_t vertRes,
                        int32_t vertSizeMm);

// lfHeight of the print fonts: minus |y| / 10, rounded.
int32_t PrintFontHeight(FontPoint pt);

// lfWidth of the print fonts: the average character width of the font made with
// PrintFontHeight, scaled by |x| / |y|, rounded.
int32_t PrintFontWidth(FontPoint pt, int32_t aveCharWidth);

}  // namespace print
