// Fuzz target: simhost's scenario files, which a tester writes by hand.
//
// Input: the text of a scenario (not NUL-terminated, on the heap in exactly its size).
// The checks: the parser answers 0 or 1; on 0 its message is NUL-terminated in its
// buffer and begins with "line "; on 1 the scene encodes into a state table without
// touching a byte past it, and the scenario that FormatScenario writes for the scene
// parses again into a scene that encodes into the same table, byte for byte. A buffer
// too small for the written scenario gets an empty text and the answer 0.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "sim/scenario.h"
#include "sim/scene.h"
#include "sim/server.h"

namespace {

void Fail(const char* what, long long a) {
  fprintf(stderr, "fuzz_scenario: %s (%lld)\n", what, a);
  abort();
}

#define CHECK(cond, a) \
  do {                 \
    if (!(cond)) Fail(#cond, (long long)(a)); \
  } while (0)

sim::Scene First, Second;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<char> text(data, data + size);
  std::vector<char> error(sim::kScenarioErrorBytes, 'z');
  int parsed = sim::ParseScenario(text.data(), size, &First, error.data(), error.size());
  CHECK(parsed == 0 || parsed == 1, parsed);
  CHECK(memchr(error.data(), '\0', error.size()) != nullptr, 0);
  if (!parsed) {
    CHECK(strncmp(error.data(), "line ", 5) == 0, 0);
    return 0;
  }
  CHECK(error[0] == '\0', 0);

  std::vector<uint8_t> table(sim::kStateTableBytes);
  sim::EncodeScene(&First, table.data());

  static char written[1 << 17];
  size_t n = sim::FormatScenario(&First, written, sizeof written);
  CHECK(n > 0 && n < sizeof written && written[n] == '\0', n);
  int again = sim::ParseScenario(written, n, &Second, error.data(), error.size());
  if (!again) fprintf(stderr, "%s\n--- written:\n%s\n", error.data(), written);
  CHECK(again == 1, again);
  std::vector<uint8_t> table2(sim::kStateTableBytes);
  sim::EncodeScene(&Second, table2.data());
  for (size_t i = 0; i < table.size(); ++i) CHECK(table[i] == table2[i], i);

  // Too small a buffer: nothing half written.
  std::vector<char> small(n / 2 + 1, 'z');
  size_t m = sim::FormatScenario(&First, small.data(), small.size());
  CHECK(m == 0 && small[0] == '\0', m);
  return 0;
}
