// Checks shared by the end-to-end tests of faults and settings: the window title, every
// cell of the list, and the row order after a sort, each against what the scene gives
// when it is carried through the request block, the server's walk, the row texts and
// the comparator here in the test.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "link/snapshot.h"
#include "sim/scene.h"
#include "sim/server.h"
#include "table/compare.h"
#include "table/rowvalues.h"
#include "tests/e2e/probe.h"
#include "tests/e2e/scene_fixture.h"

namespace e2e {

const char* const kColumnNames[17] = {"Slot", "ID", "Dist", "Brg(M)", "AltDiff", "Lat",
                                      "Long", "Alt", "Hdg(M)", "GS", "VS", "COM1",
                                      "State", "From", "To", "Ref", "Rwy"};

// The window title for a view title and the nearest distance shown.
inline std::string TitleFor(const std::string& base, uint16_t nearest) {
  char t[256];
  if (nearest == 0xFFFF) {
    snprintf(t, sizeof t, "%s (No aircraft)", base.c_str());
  } else {
    snprintf(t, sizeof t, "%s (Nearest %dnm)", base.c_str(), nearest);
  }
  return t;
}

// Item data of the rows in display order.
inline std::vector<long long> RowOrder(const probe::Target& t, HWND list) {
  std::vector<long long> order;
  for (int r = 0; r < probe::RowCount(list); ++r) {
    LPARAM k = -2;
    probe::ItemData(t, list, r, &k);
    order.push_back(k);
  }
  return order;
}

// Every row against the texts the scene gives, found by its item data.
inline void ExpectCells(const probe::Target& t, HWND list, const Expected& e) {
  ASSERT_EQ(probe::RowCount(list), e.slotRows + 1);
  auto rows = probe::ReadTable(t, list);
  auto order = RowOrder(t, list);
  ASSERT_EQ(order.size(), rows.size());
  for (size_t r = 0; r < rows.size(); ++r) {
    ASSERT_GE(order[r], -1);
    ASSERT_LT(order[r], e.slotRows);
    auto want = e.Row(order[r]);
    for (int c = 0; c < 17; ++c) {
      EXPECT_EQ(rows[r][size_t(c)], want[size_t(c)])
          << "row " << r << " (slot " << order[r] << ") column " << kColumnNames[c];
    }
  }
}

// The snapshot of a scene as Velmora receives it, with the sort cache filled as a
// refresh fills it.
struct Served {
  std::vector<uint8_t> view;
  int rows;
  std::string filter;
};

inline void IgnoreCell(void*, int, const char*) {}

inline Served Serve(const sim::Scene& scene, int viewMode, const char* filter) {
  std::vector<uint8_t> table(sim::kStateTableBytes);
  Served s;
  s.view.assign(simlink::kViewBytes, 0);
  s.filter = filter;
  sim::EncodeScene(&scene, table.data());
  simlink::BuildRequestBlock(s.view.data(), viewMode);
  sim::ServeRequest(s.view.data(), s.view.size(), table.data(), table.size(), nullptr, 0);
  s.rows = simlink::SlotRowCount(s.view.data());
  for (int k = 0; k < s.rows; ++k)
    table::ComputeSlotRow(s.view.data(), k, filter, IgnoreCell, nullptr);
  return s;
}

// What a sort by column must give, where the comparator allows one answer: rows it
// answers alike both ways (equal keys under most columns) are tied, and when ties
// group the rows transitively and every other pair is answered consistently, in one
// order of the groups, the sort must show the groups in that order. Gives each row's
// group rank by item data + 1, or nothing when the comparator is no such order (not
// a number, differences under 0.01) and the sort may settle those rows its own way.
inline std::vector<int> GroupRanks(const Served& s, int column) {
  size_t n = size_t(s.rows) + 1;
  std::vector<std::vector<char>> before(n, std::vector<char>(n, 0));
  for (size_t i = 0; i < n; ++i)
    for (size_t j = 0; j < n; ++j)
      if (i != j)
        before[i][j] = table::CompareRows(s.view.data(), s.filter.c_str(), int32_t(i) - 1,
                                          int32_t(j) - 1, column) < 0;
  auto tied = [&](size_t i, size_t j) { return i == j || before[i][j] == before[j][i]; };
  for (size_t i = 0; i < n; ++i)
    for (size_t j = 0; j < n; ++j)
      for (size_t k = 0; k < n; ++k)
        if (tied(i, j) && tied(j, k) && !tied(i, k)) return {};
  std::vector<int> rank(n, 0);
  for (size_t i = 0; i < n; ++i)
    for (size_t j = 0; j < n; ++j) rank[i] += !tied(i, j) && before[j][i];
  for (size_t i = 0; i < n; ++i)
    for (size_t j = 0; j < n; ++j)
      if (!tied(i, j) && (rank[i] == rank[j] || (rank[i] < rank[j]) != bool(before[i][j])))
        return {};
  return rank;
}

// The list's order after a sort by column: the groups in their order where there is
// one; always the user's row first and every row there once.
inline void ExpectSorted(const probe::Target& t, HWND list, const Served& s, int column) {
  const char* name = column >= 0 && column < 17 ? kColumnNames[column] : "another column";
  std::vector<long long> shown = RowOrder(t, list);
  ASSERT_EQ(shown.size(), size_t(s.rows) + 1);
  EXPECT_EQ(shown[0], -1) << "sorted by " << name;
  std::multiset<long long> rows(shown.begin(), shown.end());
  for (long long k = -1; k < s.rows; ++k) ASSERT_EQ(rows.count(k), 1u) << "slot " << k;
  std::vector<int> rank = GroupRanks(s, column);
  if (rank.empty()) return;
  for (size_t r = 1; r < shown.size(); ++r) {
    EXPECT_LE(rank[size_t(shown[r - 1] + 1)], rank[size_t(shown[r] + 1)])
        << "sorted by " << name << ": slot " << shown[r - 1] << " before slot " << shown[r];
  }
}

}  // namespace e2e
