// simhost's side of one request: the walk over the client's nine records, each data
// area filled from the state table, with the record log that simhost keeps.
#include <benchmark/benchmark.h>

#include <memory>

#include "bench/snapshots.h"
#include "link/snapshot.h"
#include "sim/server.h"

namespace {

void BM_ServeRequest(benchmark::State& state) {
  const bench::Snapshots& sky = bench::BusySky();
  std::unique_ptr<uint8_t[]> view(new uint8_t[simlink::kViewBytes]());
  static char log[8192];
  bool withLog = state.range(0) != 0;
  int answer = 0;
  for (auto _ : state) {
    simlink::BuildRequestBlock(view.get(), simlink::ViewAirborne);
    log[0] = '\0';
    answer = sim::ServeRequest(view.get(), simlink::kViewBytes, sky.table.get(),
                               sim::kStateTableBytes, withLog ? log : nullptr, sizeof log);
    benchmark::ClobberMemory();
  }
  if (answer != 1) state.SkipWithError("the request was not served");
}
// 0: the walk alone; 1: with the record log, as simhost serves every request.
BENCHMARK(BM_ServeRequest)->Arg(0)->Arg(1);

}  // namespace
