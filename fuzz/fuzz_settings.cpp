// Fuzz target: the settings file and every value parser of the settings.
//
// Input: an 11-byte head, then the text of a settings file.
//   byte 0      flags: bit 0 a careless reader (fills the whole buffer without a NUL and
//               answers the value's full length), bit 1 one that answers -1 besides
//   bytes 1-2   n for the placement parser (signed 16-bit, little-endian)
//   bytes 3-6   screen width, bytes 7-10 screen height (signed 32-bit, little-endian)
//
// The text is read as an INI file the way the private-profile functions read one and
// handed to LoadSettings; what it sets is checked, saved and read back, and its column
// orders (and orders of any numbers) are repaired into permutations. Then every
// value of the file (and the whole text as one value) goes through each parser on its
// own: the view mode, the airport filter with the window titles, the sort column, the
// column values of every column and view mode, the placement with several lengths (also
// from a buffer of exactly that many bytes, without a NUL), the number conversion, the
// placement's formatting, and the settings path. Every text lies on the heap in exactly
// its own size, so that AddressSanitizer reports a read past it.
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "shell/settings.h"
#include "table/columns.h"

namespace {

const size_t kHeadBytes = 11;

void Fail(const char* what, long long a, long long b) {
  fprintf(stderr, "fuzz_settings: %s (%lld, %lld)\n", what, a, b);
  abort();
}

#define CHECK(cond, a, b) \
  do {                    \
    if (!(cond)) Fail(#cond, (long long)(a), (long long)(b)); \
  } while (0)

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return s;
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
  return s.substr(b, e - b);
}

// An INI file as the private-profile functions read it: sections and keys without
// regard to case, values trimmed, the first key of a name in the first section of a
// name found.
struct Ini {
  std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> sections;
  std::vector<std::string> values;   // every value in file order
  int flags = 0;

  void Parse(const std::string& text) {
    size_t at = 0;
    while (at <= text.size()) {
      size_t end = text.find('\n', at);
      if (end == std::string::npos) end = text.size();
      std::string line = Trim(text.substr(at, end - at));
      at = end + 1;
      if (!line.empty() && line[0] == '[') {
        size_t close = line.find(']');
        std::string name = Trim(line.substr(1, close == std::string::npos ? std::string::npos
                                                                          : close - 1));
        sections.push_back({Lower(name), {}});
        continue;
      }
      size_t eq = line.find('=');
      if (eq == std::string::npos || sections.empty()) continue;
      std::string value = Trim(line.substr(eq + 1));
      sections.back().second.push_back({Lower(Trim(line.substr(0, eq))), value});
      values.push_back(value);
    }
  }

  const std::string* Find(const char* section, const char* key) const {
    std::string s = Lower(section), k = Lower(key);
    for (const auto& sec : sections) {
      if (sec.first != s) continue;
      for (const auto& kv : sec.second)
        if (kv.first == k) return &kv.second;
      return nullptr;
    }
    return nullptr;
  }
};

int ReadIni(void* context, const char* section, const char* key, char* buf, int size) {
  const Ini* ini = static_cast<const Ini*>(context);
  const std::string* value = ini->Find(section, key);
  if (ini->flags & 1) {
    // Careless: every byte of the buffer written, no NUL, the whole length answered.
    const std::string v = value && !value->empty() ? *value : std::string("x");
    for (int i = 0; i < size; ++i) buf[i] = v[size_t(i) % v.size()];
    if (ini->flags & 2) return -1;
    return value ? int(value->size()) : 0;
  }
  if (!value || size <= 0) {
    if (size > 0) buf[0] = '\0';
    return 0;
  }
  size_t n = value->size() < size_t(size - 1) ? value->size() : size_t(size - 1);
  memcpy(buf, value->data(), n);
  buf[n] = '\0';
  return int(n);
}

typedef std::map<std::pair<std::string, std::string>, std::string> Written;

void WriteMap(void* context, const char* section, const char* key, const char* value) {
  CHECK(strnlen(value, shell::kValueBytes) < size_t(shell::kValueBytes), 0, 0);
  (*static_cast<Written*>(context))[{section, key}] = value;
}

int ReadMap(void* context, const char* section, const char* key, char* buf, int size) {
  const Written* w = static_cast<const Written*>(context);
  auto it = w->find({section, key});
  if (it == w->end()) {
    buf[0] = '\0';
    return 0;
  }
  snprintf(buf, size_t(size), "%s", it->second.c_str());
  return int(strlen(buf));
}

// A text on the heap in exactly its own bytes.
struct HeapText {
  std::vector<char> bytes;
  explicit HeapText(const std::string& s) : bytes(s.size() + 1) {
    memcpy(bytes.data(), s.c_str(), s.size() + 1);
  }
  const char* c_str() const { return bytes.data(); }
};

int32_t ReferenceNumber(const char* text) {
  long long v = strtoll(text, nullptr, 10);
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return int32_t(v);
}

// What every parser must leave true, whatever it was given.
void CheckState() {
  CHECK(shell::ViewMode == 0 || shell::ViewMode == 1, shell::ViewMode, 0);
  CHECK(memchr(shell::AirportFilter, '\0', 5) != nullptr, 0, 0);
  CHECK(shell::SortColumn <= 17, shell::SortColumn, 0);
  static const char* const kBase[2] = {"DU Z.E. Vavazaz Uzovozi - Airborne",
                                       "DU Z.E. Vavazaz Uzovozi - Ground"};
  for (int m = 0; m < 2; ++m) {
    CHECK(memchr(shell::ViewTitle[m], '\0', shell::kTitleBytes) != nullptr, m, 0);
    CHECK(strncmp(shell::ViewTitle[m], kBase[m], strlen(kBase[m])) == 0, m, 0);
    for (int j = 0; j < table::kColumns; ++j) {
      CHECK(table::Layouts[m].order[j] >= 0 && table::Layouts[m].order[j] <= 16, m, j);
      CHECK(table::Layouts[m].widths[j] != 0, m, j);
    }
  }
}

bool SameLayouts(const table::ColumnLayout& a, const table::ColumnLayout& b) {
  return memcmp(&a, &b, sizeof a) == 0;
}

// LoadSettings over the file, its checks, then a save and a fresh load of what was
// saved, which must give the same view mode, sort column and layouts.
void CheckLoad(Ini* ini) {
  shell::ResetSettings();
  shell::LoadSettings(ReadIni, ini);
  CheckState();
  if (!table::SeparateLayouts)
    CHECK(SameLayouts(table::Layouts[0], table::Layouts[1]), 0, 0);
  if (shell::AirportFilter[0] != '\0') {
    std::string suffix = std::string(", for Airport=") + shell::AirportFilter;
    for (int m = 0; m < 2; ++m) {
      const char* title = shell::ViewTitle[m];
      CHECK(strlen(title) >= suffix.size(), m, 0);
      CHECK(strcmp(title + strlen(title) - suffix.size(), suffix.c_str()) == 0, m, 0);
    }
  }

  int mode = shell::ViewMode, sort = shell::SortColumn;
  bool separate = table::SeparateLayouts;
  table::ColumnLayout layouts[2] = {table::Layouts[0], table::Layouts[1]};
  Written written;
  shell::SaveSettings(WriteMap, &written);
  shell::ResetSettings();
  shell::LoadSettings(ReadMap, &written);
  CHECK(shell::ViewMode == mode, shell::ViewMode, mode);
  CHECK(shell::SortColumn == sort, shell::SortColumn, sort);
  CHECK(table::SeparateLayouts == separate, table::SeparateLayouts, separate);
  CHECK(SameLayouts(table::Layouts[0], layouts[0]), 0, 0);
  CHECK(SameLayouts(table::Layouts[1], layouts[1]), 1, 0);
}

void CheckPlacement(const char* text, int n, int width, int height) {
  shell::Placement p = shell::ParsePlacement(text, n, width, height);
  const shell::Placement& d = shell::kDefaultPlacement;
  bool isDefault = p.left == d.left && p.top == d.top && p.width == d.width &&
                   p.height == d.height;
  if (!isDefault) {
    CHECK(n > 0, n, 0);
    CHECK(p.left <= width && int64_t(p.left) + p.width <= width, p.left, p.width);
    CHECK(p.top <= height && int64_t(p.top) + p.height <= height, p.top, p.height);
  }
}

void CheckValue(const std::string& value, int n, int width, int height) {
  HeapText text(value);
  const char* v = text.c_str();
  size_t length = strlen(v);

  CHECK(shell::ParseNumber(v) == ReferenceNumber(v), shell::ParseNumber(v), ReferenceNumber(v));

  int before = shell::ViewMode;
  shell::ApplyMode(v);
  std::string first3 = Lower(std::string(v, length < 3 ? length : 3));
  int expected = first3 == "air" ? 0 : first3 == "gro" ? 1 : before;
  CHECK(shell::ViewMode == expected, shell::ViewMode, expected);

  shell::ApplyAirport(v);
  CHECK(strncmp(shell::AirportFilter, v, 4) == 0, 0, 0);
  CHECK(strlen(shell::AirportFilter) == (length < 4 ? length : 4), length, 0);

  shell::ApplySort(v);
  int32_t sort = shell::ParseNumber(v);
  CHECK(shell::SortColumn == (sort > 17 ? 2 : sort), shell::SortColumn, sort);

  for (int mode : {0, 1, -1, 2}) {
    for (int column = -1; column <= table::kColumns; ++column) {
      shell::ApplyColumnValue(mode, column, v);
      char out[shell::kValueBytes];
      memset(out, 'x', sizeof out);
      shell::FormatColumnValue(mode, column, out);
      CHECK(memchr(out, '\0', sizeof out) != nullptr, mode, column);
    }
  }
  CheckState();

  // The placement: over the value as read, over lengths around it, and from a buffer of
  // exactly n bytes with no NUL after them.
  const int lengths[] = {int(length), n, 0, -1, 1, 79, 80, 1000, INT_MAX, INT_MIN};
  for (int len : lengths) CheckPlacement(v, len, width, height);
  for (int len : {int(length), n}) {
    if (len <= 0 || size_t(len) > length) continue;
    std::vector<char> exact(v, v + len);
    CheckPlacement(exact.data(), len, width, height);
  }

  // A placement of four numbers from the input, against screens large and small: it is
  // taken exactly when it lies on the screen, with the sums formed without wrapping.
  const int32_t four[4] = {width, height, shell::ParseNumber(v), n};
  char placed[shell::kValueBytes];
  snprintf(placed, sizeof placed, "[%d,%d,%d,%d]", (int)four[0], (int)four[1], (int)four[2],
           (int)four[3]);
  const int32_t screens[][2] = {{INT_MAX, INT_MAX}, {1920, 1080}, {height, width}, {0, 0}};
  for (const auto& screen : screens) {
    shell::Placement got = shell::ParsePlacement(placed, int(strlen(placed)), screen[0],
                                                 screen[1]);
    bool fits = four[0] <= screen[0] && int64_t(four[0]) + four[2] <= screen[0] &&
                four[1] <= screen[1] && int64_t(four[1]) + four[3] <= screen[1];
    const shell::Placement& d = shell::kDefaultPlacement;
    const int32_t placementDefault[4] = {d.left, d.top, d.width, d.height};
    const int32_t* want = fits ? four : placementDefault;
    CHECK(got.left == want[0] && got.top == want[1], got.left, got.top);
    CHECK(got.width == want[2] && got.height == want[3], got.width, got.height);
  }

  // Formatting a placement and reading it back on a screen large enough for it.
  int32_t l = int32_t(width), t = int32_t(height), r = n, b = shell::ParseNumber(v);
  char formatted[shell::kValueBytes];
  shell::FormatPlacement(l, t, r, b, formatted);
  CHECK(memchr(formatted, '\0', sizeof formatted) != nullptr, 0, 0);
  shell::Placement back = shell::ParsePlacement(formatted, int(strlen(formatted)), INT_MAX,
                                                INT_MAX);
  int64_t w = int64_t(r) - l, h = int64_t(b) - t;
  if (w > INT_MAX) w = INT_MAX;
  if (w < INT_MIN) w = INT_MIN;
  if (h > INT_MAX) h = INT_MAX;
  if (h < INT_MIN) h = INT_MIN;
  if (int64_t(l) + w <= INT_MAX && int64_t(t) + h <= INT_MAX) {
    CHECK(back.left == l && back.top == t, back.left, back.top);
    CHECK(back.width == w && back.height == h, back.width, back.height);
  }
}

// The display order as the list control gets it: a permutation of 0..16 that keeps the
// first occurrence of each valid entry in its order and adds the missing ones in
// ascending order.
void CheckRepair(const int32_t in[table::kColumns]) {
  int32_t out[table::kColumns];
  table::RepairOrder(in, out);
  std::vector<int32_t> want;
  bool seen[table::kColumns] = {};
  for (int p = 0; p < table::kColumns; ++p)
    if (in[p] >= 0 && in[p] < table::kColumns && !seen[in[p]]) {
      seen[in[p]] = true;
      want.push_back(in[p]);
    }
  for (int id = 0; id < table::kColumns; ++id)
    if (!seen[id]) want.push_back(id);
  for (int p = 0; p < table::kColumns; ++p) CHECK(out[p] == want[size_t(p)], p, out[p]);
}

// The settings path: bounded, the folder and name up to the last "." kept, "ini" after.
void CheckPath(const char* modulePath) {
  char out[shell::kPathBytes];
  memset(out, 'x', sizeof out);
  shell::SettingsPathFor(modulePath, out);
  size_t n = strnlen(out, sizeof out);
  CHECK(n < sizeof out, n, 0);
  size_t length = strnlen(modulePath, shell::kPathBytes - 2);
  const char* dot = nullptr;
  for (size_t i = 0; i < length; ++i)
    if (modulePath[i] == '.') dot = modulePath + i;
  size_t keep = dot ? size_t(dot - modulePath) + 1 : 0;
  CHECK(n >= keep && memcmp(out, modulePath, keep) == 0, n, keep);
  if (keep + 3 < sizeof out) CHECK(n == keep + 3 && strcmp(out + keep, "ini") == 0, n, keep);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t head[kHeadBytes] = {};
  memcpy(head, data, size < kHeadBytes ? size : kHeadBytes);
  int16_t n16;
  int32_t width, height;
  memcpy(&n16, head + 1, 2);
  memcpy(&width, head + 3, 4);
  memcpy(&height, head + 7, 4);
  std::string text;
  if (size > kHeadBytes) text.assign(reinterpret_cast<const char*>(data + kHeadBytes),
                                     size - kHeadBytes);

  Ini ini;
  ini.flags = head[0] & 3;
  ini.Parse(text);
  CheckLoad(&ini);

  CheckRepair(table::Layouts[0].order);
  CheckRepair(table::Layouts[1].order);
  // Orders of any numbers: small ones from the bytes of the text, and whole 32-bit ones.
  int32_t small[table::kColumns], whole[table::kColumns];
  for (int p = 0; p < table::kColumns; ++p) {
    small[p] = size_t(p) < text.size() ? int32_t(uint8_t(text[size_t(p)]) % 20) - 2 : p;
    whole[p] = 0;
    if (text.size() >= size_t(4 * table::kColumns)) memcpy(&whole[p], text.data() + 4 * p, 4);
  }
  CheckRepair(small);
  CheckRepair(whole);

  shell::ResetSettings();
  std::vector<std::string> values = ini.values;
  values.push_back(text.c_str());   // the whole text, up to its first NUL
  for (const std::string& v : values) CheckValue(v, n16, width, height);

  // The module path as the platform gives it: in a buffer of 260 bytes, NUL-ended or not.
  std::vector<char> path(260, '\0');
  memcpy(path.data(), text.data(), text.size() < path.size() ? text.size() : path.size());
  CheckPath(path.data());
  CheckPath(HeapText(text.c_str()).c_str());
  return 0;
}
