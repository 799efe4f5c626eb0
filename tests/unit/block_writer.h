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

// One aircraft's fields as its traffic slot record (40 bytes) and its route record
// (20 bytes) hold them.
struct TrafficFields {
  uint32_t refId;
  const char* id;   // up to 15 bytes
  float latitude, longitude, altitude;
  uint16_t heading, groundSpeed;
  int16_t verticalSpeed;
  uint8_t state;
  uint16_t com1;
  const char* from;   // up to 4 bytes each
  const char* to;
  uint8_t runway, designator;
};

inline void PutTraffic(uint8_t* slot, uint8_t* route, const TrafficFields& t) {
  Put32(slot, 0, t.refId);
  PutFloat(slot, 4, t.latitude);
  PutFloat(slot, 8, t.longitude);
  PutFloat(slot, 12, t.altitude);
  Put16(slot, 16, t.heading);
  Put16(slot, 18, t.groundSpeed);
  Put16(slot, 20, uint16_t(t.verticalSpeed));
  PutText(slot, 22, t.id, 15);
  slot[37] = t.state;
  Put16(slot, 38, t.com1);
  PutText(route, 8, t.from, 4);
  PutText(route, 12, t.to, 4);
  route[16] = t.runway;
  route[17] = t.designator;
}

}  // namespace blockwriter
