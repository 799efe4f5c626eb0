// Fuzz target: a request block as the server may have filled it, read the way the
// traffic table reads it.
//
// Input: byte 0 chooses the view mode (bit 0) and where the airport filter comes from
// (bits 1-2: none; bytes 1 to 4 of the input; the From code of slot 0's route; its To
// code). Bytes 5 on are laid over a freshly built request block, which lies on the heap
// in exactly 6260 bytes, so that AddressSanitizer reports any read past its end.
//
// Every reader runs; FormatTitle with either nearest distance; ComputeUserRow, and ComputeSlotRow for each row the block allows
// and for indexes outside them; CompareRows over every pair of item data under every
// sort column -1 to 18, with and without the filter (for blocks of more than 16 rows,
// every pair of a selection of them: see CompareItems). The checks: every cell written
// once, in column order, NUL-terminated inside the cell buffer; records inside their
// data areas; empty rows empty and the sort cache untouched by them; distances within
// half the circumference and bearings within a circle; CompareRows never 0, the user's
// row first, the filter and the empty slots respected, and for the columns whose order
// is consistent the opposite answer both ways round and a transitive order.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "link/snapshot.h"
#include "table/compare.h"
#include "table/rowvalues.h"
#include "table/title.h"

using namespace simlink;

namespace {

const size_t kHeadBytes = 5;
const size_t kCellBytes = 512;   // the one text buffer of a row

void Fail(const char* what, double a, double b) {
  fprintf(stderr, "fuzz_snapshot: %s (%g, %g)\n", what, a, b);
  abort();
}

#define CHECK(cond, a, b) \
  do {                    \
    if (!(cond)) Fail(#cond, (a), (b)); \
  } while (0)

volatile uint64_t Sink;   // keeps the readers' results alive

struct Row {
  int next;                 // the column expected next
  char cell[17][kCellBytes];
};

void Collect(void* context, int column, const char* text) {
  Row* row = static_cast<Row*>(context);
  CHECK(column == row->next, column, row->next);
  CHECK(column >= 1 && column <= 16, column, 0);
  size_t n = strnlen(text, kCellBytes);
  CHECK(n < kCellBytes, column, int(n));
  memcpy(row->cell[column], text, n + 1);
  row->next = column + 1;
}

void Keep(uint64_t v) { Sink = Sink + v; }

void ReadUser(const uint8_t* view) {
  Keep(uint64_t(UserMagneticVariation(view)));
  Keep(uint64_t(UserLatitudeWhole(view)));
  Keep(UserLatitudeFraction(view));
  Keep(UserLongitudeLow(view));
  Keep(UserLongitudeHigh(view));
  Keep(uint64_t(UserAltitudeWhole(view)));
  Keep(UserAltitudeFraction(view));
  Keep(UserGroundSpeed(view));
  Keep(uint64_t(UserVerticalSpeed(view)));
  Keep(UserCom1(view));
  Keep(UserHeading(view));
  Keep(NearestDistance(view, ViewAirborne));
  Keep(NearestDistance(view, ViewGround));
  double lat = UserLatitudeDegrees(view);
  CHECK(std::isfinite(lat), 0, 0);
  double lon = UserLongitudeDegrees(view);
  CHECK(lon > -180 && lon <= 180, lon, 0);
}

// Slot k's records: inside their data areas and present exactly when they fit.
void ReadSlot(const uint8_t* view, int k) {
  const uint8_t* slot = TrafficSlotAt(view, k);
  const uint8_t* route = SlotRouteAt(view, k);
  uint64_t stride = SlotRecordLength(view);
  bool inRange = k >= 0 && k < kMaxSlots;
  bool slotFits = inRange && kSlotHeadBytes + stride * uint64_t(k) + kTrafficSlotBytes <=
                                 kSlotTableBytes;
  bool routeFits = inRange && stride * uint64_t(k) / 2 + kSlotRouteBytes <= kRouteTableBytes;
  CHECK((slot != nullptr) == slotFits, k, slot != nullptr);
  CHECK((route != nullptr) == routeFits, k, route != nullptr);
  if (slot) {
    CHECK(slot >= view + kSlotTableAt + kSlotHeadBytes, k, 0);
    CHECK(slot + kTrafficSlotBytes <= view + kSlotTableAt + kSlotTableBytes, k, 0);
    Keep(SlotRefId(slot));
    Keep(SlotHeading(slot));
    Keep(SlotGroundSpeed(slot));
    Keep(uint64_t(SlotVerticalSpeed(slot)));
    Keep(SlotState(slot));
    Keep(SlotCom1(slot));
    Keep(SlotLatitude(slot) == SlotLongitude(slot) || SlotAltitude(slot) > 0);
    Keep(uint8_t(SlotIdField(slot)[kIdFieldBytes - 1]));
  }
  if (route) {
    CHECK(route >= view + kRouteTableAt, k, 0);
    CHECK(route + kSlotRouteBytes <= view + kRouteTableAt + kRouteTableBytes, k, 0);
    Keep(uint8_t(RouteFrom(route)[3]));
    Keep(uint8_t(RouteTo(route)[3]));
    Keep(RouteRunwayNumber(route));
    Keep(RouteRunwayDesignator(route));
  }
  bool occupied = slot && route && SlotRefId(slot) != 0;
  CHECK(SlotOccupied(view, k) == occupied, k, occupied);
}

// The window title from the nearest distance of either view mode, after the longest
// view title the settings allow (191 characters): never cut in a buffer of the title's
// size, and bounded and NUL-terminated in smaller ones.
void CheckTitle(const uint8_t* view) {
  std::string title(191, 'T');
  for (int mode : {ViewAirborne, ViewGround}) {
    uint16_t nearest = NearestDistance(view, mode);
    char suffix[32];
    if (nearest == 0xFFFF)
      snprintf(suffix, sizeof suffix, " (No aircraft)");
    else
      snprintf(suffix, sizeof suffix, " (Nearest %dnm)", int(nearest));
    std::vector<char> out(table::kWindowTitleBytes);
    table::FormatTitle(title.c_str(), nearest, out.data(), out.size());
    CHECK(title + suffix == out.data(), mode, nearest);
    for (size_t size : {size_t(1), size_t(2), size_t(50), size_t(200)}) {
      std::vector<char> small(size);
      table::FormatTitle(title.c_str(), nearest, small.data(), small.size());
      CHECK(strlen(small.data()) == size - 1, mode, double(size));
    }
  }
}

void CheckUserRow(const uint8_t* view) {
  Row row;
  row.next = 1;
  table::ComputeUserRow(view, Collect, &row);
  CHECK(row.next == 17, row.next, 0);
  CHECK(strcmp(row.cell[1], "User") == 0, 1, 0);
  const int empty[] = {2, 3, 4, 12, 13, 14, 15, 16};
  for (int c : empty) CHECK(row.cell[c][0] == '\0', c, 0);
  CHECK(row.cell[5][0] == 'N' || row.cell[5][0] == 'S', 5, row.cell[5][0]);
  CHECK(row.cell[6][0] == 'E' || row.cell[6][0] == 'W', 6, row.cell[6][0]);
  int heading = atoi(row.cell[8]);
  CHECK(heading >= 0 && heading <= 359, heading, 0);
}

void CheckSlotRow(const uint8_t* view, int k, const char* filter) {
  table::SlotSortCache before = table::SortCache;
  Row row;
  row.next = 1;
  table::ComputeSlotRow(view, k, filter, Collect, &row);
  CHECK(row.next == 17, k, row.next);

  bool shown = SlotOccupied(view, k) && table::PassesAirportFilter(SlotRouteAt(view, k), filter);
  bool cacheSame = memcmp(&before, &table::SortCache, sizeof before) == 0;
  if (!shown) {
    for (int c = 1; c <= 16; ++c) CHECK(row.cell[c][0] == '\0', k, c);
    CHECK(cacheSame, k, 0);
    return;
  }
  CHECK(strlen(row.cell[1]) <= kIdMaxChars, k, int(strlen(row.cell[1])));
  CHECK(strlen(row.cell[13]) <= 4 && strlen(row.cell[14]) <= 4, k, 0);
  int distance = atoi(row.cell[2]);
  CHECK(distance >= 0 && distance <= 10800, k, distance);
  size_t n = strlen(row.cell[2]);
  CHECK(n > 3 && strcmp(row.cell[2] + n - 3, " nm") == 0, k, 2);
  int bearing = atoi(row.cell[3]);
  CHECK(bearing >= 0 && bearing <= 360, k, bearing);
  CHECK(row.cell[4][0] == '+' || row.cell[4][0] == '-', k, 4);
  int heading = atoi(row.cell[8]);
  CHECK(heading >= 0 && heading <= 360, k, heading);

  // Half the circumference of a sphere of radius 3437.75 nm is 10800.0101 nm.
  double d = table::SortCache.distance[k];
  double b = table::SortCache.bearing[k];
  CHECK(!(d < 0) && !(d > 10800.02), k, d);
  CHECK(!(b < 0) && !(b > 360), k, b);
  // Any two positions that are numbers have a distance and a bearing, also when they
  // are farther apart than the flat formula allows.
  const uint8_t* slot = TrafficSlotAt(view, k);
  if (std::isfinite(SlotLatitude(slot)) && std::isfinite(SlotLongitude(slot)))
    CHECK(std::isfinite(d) && std::isfinite(b), k, d);
}

int Sign(int32_t v) { return v > 0 ? 1 : -1; }

// Columns whose keys give a consistent order: the answer for (b, a) is the opposite
// of the answer for (a, b). Lat to COM1 and Ref answer the same both ways on ties.
bool ConsistentColumn(int c) {
  return c < 5 || c > 16 || c == 12 || c == 13 || c == 14 || c == 16;
}

// Of those, the columns whose order is also transitive. Dist, Brg(M) and AltDiff count
// values less than 0.01 apart (and a not-a-number against anything) as equal, which
// falls back to slot order, so three rows need not sort transitively there.
bool TransitiveColumn(int c) {
  return ConsistentColumn(c) && (c < 2 || c > 4);
}

// Rows that pass a set filter: the slot has both records and From or To matches.
bool PassesFilter(const uint8_t* view, int32_t k, const char* filter) {
  if (filter[0] == '\0') return true;
  return k >= 0 && TrafficSlotAt(view, k) != nullptr &&
         table::PassesAirportFilter(SlotRouteAt(view, k), filter);
}

// Every pair under every column, the answers kept in a matrix so that each pair is
// also checked against its reverse.
void CheckCompare(const uint8_t* view, const char* filter, const std::vector<int32_t>& items) {
  bool filtered = filter[0] != '\0';
  size_t n = items.size();
  std::vector<char> pass(n), empty(n);
  for (size_t i = 0; i < n; ++i) {
    pass[i] = PassesFilter(view, items[i], filter);
    empty[i] = items[i] < 0 || !SlotOccupied(view, items[i]);
  }
  std::vector<int32_t> r(n * n);
  for (int c = -1; c <= 18; ++c) {
    for (size_t i = 0; i < n; ++i)
      for (size_t j = 0; j < n; ++j) r[i * n + j] = table::CompareRows(view, filter, items[i], items[j], c);
    for (size_t i = 0; i < n; ++i) {
      int32_t a = items[i];
      for (size_t j = 0; j < n; ++j) {
        int32_t b = items[j];
        int32_t got = r[i * n + j];
        CHECK(got != 0, a, b);
        if (a < 0) {
          CHECK(got < 0, a, c);
          continue;
        }
        if (b < 0) {
          CHECK(got > 0, b, c);
          continue;
        }
        if (filtered && !pass[i]) {
          CHECK(got > 0, a, b);
          continue;
        }
        if (filtered && !pass[j]) {
          CHECK(got < 0, a, b);
          continue;
        }
        if (empty[i] != empty[j] && c != 0) {
          CHECK(Sign(got) == (empty[i] ? 1 : -1), a, b);
          continue;
        }
        if (c == 0 || empty[i]) CHECK(Sign(got) == (a > b ? 1 : -1), a, b);
        if (a != b && ConsistentColumn(c)) CHECK(Sign(got) == -Sign(r[j * n + i]), a, b);
      }
    }
    // Where the keys are exact the order is also transitive: a row before a second one
    // that comes before a third comes before the third. Rows failing the filter come
    // before none of each other, so they form no chain.
    if (!TransitiveColumn(c)) continue;
    for (size_t i = 0; i < n; ++i)
      for (size_t j = 0; j < n; ++j) {
        if (i == j || r[i * n + j] > 0) continue;
        for (size_t k = 0; k < n; ++k)
          if (k != i && k != j && r[j * n + k] < 0) CHECK(r[i * n + k] < 0, items[i], items[k]);
      }
  }
}

// The item data that CompareRows is given: the user's row and every slot row of a
// block of up to 16 rows. A block with more rows gives its first 16 and last 4 rows and
// the rows where a record first falls outside its data area: every pair of all 99 under
// 20 columns would cost over ten times as much per input, for no new kind of row.
std::vector<int32_t> CompareItems(const uint8_t* view, int rows) {
  const int kAllPairsRows = 16;
  std::vector<int32_t> items;
  items.push_back(-1);
  for (int k = 0; k < rows && k < kAllPairsRows; ++k) items.push_back(k);
  if (rows > kAllPairsRows) {
    int firstSlotOut = -1, firstRouteOut = -1;
    for (int k = kAllPairsRows; k < rows; ++k) {
      if (firstSlotOut < 0 && TrafficSlotAt(view, k) == nullptr) firstSlotOut = k;
      if (firstRouteOut < 0 && SlotRouteAt(view, k) == nullptr) firstRouteOut = k;
    }
    for (int k : {firstSlotOut - 1, firstSlotOut, firstRouteOut - 1, firstRouteOut})
      if (k >= kAllPairsRows && k < rows - 4) items.push_back(k);
    for (int k = rows - 4 > kAllPairsRows ? rows - 4 : kAllPairsRows; k < rows; ++k)
      items.push_back(k);
  }
  for (int32_t k : {99, 100, 2147483647}) items.push_back(k);
  std::sort(items.begin(), items.end());
  items.erase(std::unique(items.begin(), items.end()), items.end());
  return items;
}

// The filter that byte 0 asks for: none, four bytes of the input, or a code taken from
// the block so that some rows pass it.
void ChooseFilter(const uint8_t* head, const uint8_t* view, char filter[5]) {
  memset(filter, 0, 5);
  const uint8_t* route = SlotRouteAt(view, 0);
  switch ((head[0] >> 1) & 3) {
    case 1: memcpy(filter, head + 1, 4); break;
    case 2: if (route) memcpy(filter, RouteFrom(route), 4); break;
    case 3: if (route) memcpy(filter, RouteTo(route), 4); break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t head[kHeadBytes] = {};
  memcpy(head, data, size < kHeadBytes ? size : kHeadBytes);
  int mode = head[0] & 1;

  std::vector<uint8_t> block(kRequestBlockBytes);   // exactly 6260 bytes on the heap
  uint8_t* view = block.data();
  BuildRequestBlock(view, mode);
  if (size > kHeadBytes) {
    size_t n = size - kHeadBytes;
    memcpy(view, data + kHeadBytes, n < kRequestBlockBytes ? n : kRequestBlockBytes);
  }
  char filter[5];
  ChooseFilter(head, view, filter);
  table::ResetSortCache();

  ReadUser(view);
  int rows = SlotRowCount(view);
  CHECK(rows == (SlotCount(view) < kMaxSlots ? SlotCount(view) : kMaxSlots), rows, 0);
  const int outside[] = {-1, -2, 99, 100, 101, 255, 65535, 2147483647, -2147483647 - 1};
  for (int k = 0; k < rows; ++k) ReadSlot(view, k);
  for (int k : outside) ReadSlot(view, k);

  CheckTitle(view);
  CheckUserRow(view);
  for (int k = 0; k < rows; ++k) CheckSlotRow(view, k, "");
  for (int k : outside) CheckSlotRow(view, k, "");
  if (filter[0] != '\0') {
    for (int k = 0; k < rows; ++k) CheckSlotRow(view, k, filter);
  }

  std::vector<int32_t> items = CompareItems(view, rows);
  CheckCompare(view, "", items);
  if (filter[0] != '\0') CheckCompare(view, filter, items);
  return 0;
}
