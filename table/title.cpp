#include "table/title.h"

#include <cstdio>

namespace table {

const uint16_t kNoAircraft = 0xFFFF;

void FormatTitle(const char* viewTitle, uint16_t nearest, char* out, size_t size) {
  if (out == nullptr || size == 0) return;
  char suffix[32];
  if (nearest == kNoAircraft)
    snprintf(suffix, sizeof suffix, "No aircraft");
  else
    snprintf(suffix, sizeof suffix, "Nearest %dnm", static_cast<int>(nearest));
  snprintf(out, size, "%s (%s)", viewTitle != nullptr ? viewTitle : "", suffix);
}

}  // namespace table
