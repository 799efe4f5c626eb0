// The refresh's pure work: the texts of every row, and the sort of 100 rows by the
// comparator the way the list control runs it.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench/snapshots.h"
#include "table/compare.h"
#include "table/rowtexts.h"

namespace {

// The texts of every row of the list, into the cells the list draws from, as a refresh
// computes them.
void BM_TextsOfUserRowAnd99SlotRows(benchmark::State& state) {
  const bench::Snapshots& sky = bench::BusySky();
  int i = 0;
  for (auto _ : state) {
    const uint8_t* view = sky.views[i++ % bench::kSnapshots].get();
    table::FillUserRowTexts(view);
    for (int k = 0; k < 99; ++k) table::FillSlotRowTexts(view, k, "");
    benchmark::ClobberMemory();
  }
  state.counters["occupied"] = bench::OccupiedSlots(sky.views[0].get());
}
BENCHMARK(BM_TextsOfUserRowAnd99SlotRows);

// A top-down merge sort driven by the comparator, as the list control sorts: it ends
// and stays within the rows whatever the comparator answers.
void MergeSort(int32_t* rows, int32_t* scratch, int n, const uint8_t* view, int32_t column) {
  if (n < 2) return;
  int half = n / 2;
  MergeSort(rows, scratch, half, view, column);
  MergeSort(rows + half, scratch, n - half, view, column);
  int a = 0, b = half, out = 0;
  while (a < half && b < n)
    scratch[out++] = table::CompareRows(view, "", rows[a], rows[b], column) <= 0 ? rows[a++]
                                                                                 : rows[b++];
  while (a < half) scratch[out++] = rows[a++];
  while (b < n) scratch[out++] = rows[b++];
  memcpy(rows, scratch, sizeof(int32_t) * n);
}

// 100 rows (the user's row and 99 slots) from slot order, with the sort cache of the
// snapshot they are sorted by, by column: 1 ID, 2 Dist (the default), 5 Lat, 15 Ref.
void BM_CompareRowsSort100(benchmark::State& state) {
  const bench::Snapshots& sky = bench::BusySky();
  const uint8_t* view = sky.views[0].get();
  for (int k = 0; k < 99; ++k) table::FillSlotRowTexts(view, k, "");
  int32_t column = static_cast<int32_t>(state.range(0));
  int32_t rows[100], scratch[100];
  for (auto _ : state) {
    for (int r = 0; r < 100; ++r) rows[r] = r - 1;
    MergeSort(rows, scratch, 100, view, column);
    benchmark::DoNotOptimize(rows);
  }
}
BENCHMARK(BM_CompareRowsSort100)->Arg(2)->Arg(1)->Arg(5)->Arg(15);

}  // namespace
