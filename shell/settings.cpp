#include "shell/settings.h"

#include <cstdio>
#include <cstring>

#include "table/columns.h"

namespace shell {

static const char kAirborneTitle[] = "DU Z.E. Vavazaz Uzovozi - Airborne";
static const char kGroundTitle[] = "DU Z.E. Vavazaz Uzovozi - Ground";
static const char kWindowSection[] = "Window";

int ViewMode = 0;
char AirportFilter[5] = "";
int SortColumn = 2;
char ViewTitle[2][kTitleBytes] = {"DU Z.E. Vavazaz Uzovozi - Airborne",
                                  "DU Z.E. Vavazaz Uzovozi - Ground"};
char SettingsFile[kPathBytes] = "";

void ResetSettings() {
  ViewMode = 0;
  AirportFilter[0] = '\0';
  SortColumn = 2;
  snprintf(ViewTitle[0], kTitleBytes, "%s", kAirborneTitle);
  snprintf(ViewTitle[1], kTitleBytes, "%s", kGroundTitle);
  SettingsFile[0] = '\0';
  table::ResetColumnModel();
}

static bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int32_t ParseNumber(const char* text) {
  const char* p = text;
  while (IsBlank(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');
  // Accumulate in 64 bits and stop growing once past the 32-bit range, so that a long
  // run of digits saturates instead of overflowing.
  int64_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    if (value <= INT64_C(2147483648)) value = value * 10 + (*p - '0');
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return (int32_t)value;
}

void SettingsPathFor(const char* modulePath, char out[kPathBytes]) {
  // The module path comes from a buffer of 260 bytes, NUL included.
  size_t length = strnlen(modulePath, kPathBytes - 2);
  size_t keep = 0;
  for (size_t i = 0; i < length; ++i)
    if (modulePath[i] == '.') keep = i + 1;
  snprintf(out, kPathBytes, "%.*s%s", (int)keep, modulePath, "ini");
}

static bool SameFirstThree(const char* text, const char* upper) {
  for (int i = 0; i < 3; ++i) {
    char c = text[i];
    if (c >= 'a' && c <= 'z') c = (char)(c - 'a' + 'A');
    if (c != upper[i]) return false;
  }
  return true;
}

void ApplyMode(const char* value) {
  if (SameFirstThree(value, "AIR"))
    ViewMode = 0;
  else if (SameFirstThree(value, "GRO"))
    ViewMode = 1;
}

static void Append(char* title, const char* text) {
  size_t used = strnlen(title, kTitleBytes - 1);
  snprintf(title + used, kTitleBytes - used, "%s", text);
}

void ApplyAirport(const char* value) {
  snprintf(AirportFilter, sizeof AirportFilter, "%s", value);
  if (AirportFilter[0] == '\0') return;
  Append(ViewTitle[0], ", for Airport=");
  Append(ViewTitle[1], ", for Airport=");
  Append(ViewTitle[0], AirportFilter);
  Append(ViewTitle[1], AirportFilter);
}

void ApplySort(const char* value) {
  int32_t sort = ParseNumber(value);
  SortColumn = sort > 17 ? 2 : sort;
}

void ApplyColumnValue(int viewMode, int column, const char* value) {
  if (column < 0 || column >= table::kColumns) return;
  table::ColumnLayout& layout = table::Layouts[viewMode == 1 ? 1 : 0];
  int32_t entry = ParseNumber(value);
  if ((uint32_t)entry <= 16) layout.order[column] = entry;
  const char* comma = strchr(value, ',');
  if (comma) {
    int32_t width = ParseNumber(comma + 1);
    if (width != 0) layout.widths[column] = width;
  }
}

void FormatColumnValue(int viewMode, int column, char out[kValueBytes]) {
  out[0] = '\0';
  if (column < 0 || column >= table::kColumns) return;
  const table::ColumnLayout& layout = table::Layouts[viewMode == 1 ? 1 : 0];
  snprintf(out, kValueBytes, "%d,%d", (int)layout.order[column], (int)layout.widths[column]);
}

// Reads one value, always NUL-terminated whatever the reader did; returns its length.
static int Read(ReadValue read, void* context, const char* section, const char* key,
                char* buf, int size) {
  buf[0] = '\0';
  int n = read(context, section, key, buf, size);
  buf[size - 1] = '\0';
  return n > 0 ? n : 0;
}

void LoadSettings(ReadValue read, void* context) {
  char value[kValueBytes];

  if (Read(read, context, kWindowSection, "Mode", value, sizeof value)) ApplyMode(value);

  // Five bytes, so that at most four characters of the code are taken.
  char airport[sizeof AirportFilter];
  Read(read, context, kWindowSection, "Airport", airport, sizeof airport);
  ApplyAirport(airport);

  if (Read(read, context, kWindowSection, "Sort", value, sizeof value)) ApplySort(value);

  bool present[2] = {false, false};
  for (int mode = 0; mode < 2; ++mode) {
    const char* section = table::ViewModeName(mode);
    for (int j = 0; j < table::kColumns; ++j) {
      if (!Read(read, context, section, table::NameTable[j], value, sizeof value)) continue;
      present[mode] = true;
      ApplyColumnValue(mode, j, value);
    }
  }

  table::SeparateLayouts = present[0] && present[1];
  if (present[0] != present[1]) {
    int from = present[0] ? 0 : 1;
    table::Layouts[1 - from] = table::Layouts[from];
  }
}

static void WriteSection(WriteValue write, void* context, int mode) {
  char value[kValueBytes];
  for (int j = 0; j < table::kColumns; ++j) {
    FormatColumnValue(mode, j, value);
    write(context, table::ViewModeName(mode), table::NameTable[j], value);
  }
}

void SaveSettings(WriteValue write, void* context) {
  char value[kValueBytes];
  write(context, kWindowSection, "Mode", table::ViewModeName(ViewMode));
  snprintf(value, sizeof value, "%d", SortColumn);
  write(context, kWindowSection, "Sort", value);
  if (table::SeparateLayouts) {
    WriteSection(write, context, 0);
    WriteSection(write, context, 1);
  } else {
    WriteSection(write, context, ViewMode == 1 ? 1 : 0);
  }
}

Placement ParsePlacement(const char* text, int n, int screenWidth, int screenHeight) {
  // Work on a bounded, NUL-terminated copy of the n characters that were read.
  char buf[kValueBytes];
  if (n < 0) n = 0;
  if (n > kValueBytes - 1) n = kValueBytes - 1;
  n = (int)strnlen(text, (size_t)n);
  memcpy(buf, text, (size_t)n);
  buf[n] = '\0';

  const char* open = strchr(buf, '[');
  if (!open || open - buf == n - 1) return kDefaultPlacement;

  int32_t values[4];
  int taken = 0;
  const char* p = open + 1;
  while (taken < 4 && *p) {
    values[taken++] = ParseNumber(p);
    const char* comma = strchr(p, ',');
    if (!comma) break;
    p = comma + 1;
  }
  if (taken < 4) return kDefaultPlacement;

  Placement placement = {values[0], values[1], values[2], values[3]};
  // The sums are formed in 64 bits: a huge stored width must not wrap round into a
  // placement that passes the screen test.
  int64_t right = (int64_t)placement.left + placement.width;
  int64_t bottom = (int64_t)placement.top + placement.height;
  if (placement.left > screenWidth || right > screenWidth || placement.top > screenHeight ||
      bottom > screenHeight)
    return kDefaultPlacement;
  return placement;
}

static int32_t Saturate(int64_t value) {
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return (int32_t)value;
}

void FormatPlacement(int32_t left, int32_t top, int32_t right, int32_t bottom,
                     char out[kValueBytes]) {
  snprintf(out, kValueBytes, "[%d,%d,%d,%d]", (int)left, (int)top,
           (int)Saturate((int64_t)right - left), (int)Saturate((int64_t)bottom - top));
}

}  // namespace shell
