// Little-endian writers for the fields of a block that a test (or the seed generator)
// builds byte by byte: the request block, simhost's state table, a fuzz seed. `at` is
// the byte offset of the field in `block`.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace blockwriter {

inline void Put16(uint8_t* block, size_t at, uint16_t v) {
  for (int i = 0; i < 2; ++i) block[at + i] = uint8_t(v >> (8 * i));
}

inline void Put32(uint8_t* block, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) block[at + i] = uint8_t(v >> (8 * i));
}

inline void PutFloat(uint8_t* block, size_t at, float f) {
  uint32_t v;
  memcpy(&v, &f, 4);
  Put32(block, at, v);
}

// A text field of `field` bytes: the text cut to the field, the rest NULs (no NUL at
// all when the text fills the field). A null text leaves the field all NULs.
inline void PutText(uint8_t* block, size_t at, const char* text, size_t field) {
  memset(block + at, 0, field);
  if (text) memcpy(block + at, text, strnlen(text, field));
}

}  // namespace blockwriter
