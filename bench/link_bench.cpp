// The request block, written into the shared view once per refresh.
#include <benchmark/benchmark.h>

#include <memory>

#include "link/snapshot.h"

namespace {

void BM_BuildRequestBlock(benchmark::State& state) {
  std::unique_ptr<uint8_t[]> view(new uint8_t[simlink::kViewBytes]());
  int mode = static_cast<int>(state.range(0));
  for (auto _ : state) {
    simlink::BuildRequestBlock(view.get(), mode);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_BuildRequestBlock)->Arg(simlink::ViewAirborne)->Arg(simlink::ViewGround);

}  // namespace
