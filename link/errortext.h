// Texts of the simulator link: the shared section's name and the error box's message.
// Pure code: no platform headers.
#pragma once
#include <cstdint>

namespace simlink {

const int kSectionNameBytes = 260;
const int kErrorTextBytes = 256;

// "FsasmLib:IPC:%X:%X" of the process id and 1.
void FormatSectionName(uint32_t processId, char out[kSectionNameBytes]);

// "Error %d reported: %s", or "Error: %s" when code is 0.
void FormatErrorText(int32_t code, const char* text, char out[kErrorTextBytes]);

extern const char* const kErrorCaption;   // "Velmora Error"

}  // namespace simlink
