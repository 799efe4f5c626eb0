#include "link/errortext.h"

#include <cstdio>

namespace simlink {

const char* const kErrorCaption = "Velmora Error";

void FormatSectionName(uint32_t processId, char out[kSectionNameBytes]) {
  snprintf(out, kSectionNameBytes, "FsasmLib:IPC:%X:%X", (unsigned)processId, 1u);
}

void FormatErrorText(int32_t code, const char* text, char out[kErrorTextBytes]) {
  if (code != 0)
    snprintf(out, kErrorTextBytes, "Error %d reported: %s", (int)code, text);
  else
    snprintf(out, kErrorTextBytes, "Error: %s", text);
}

}  // namespace simlink
