// The read-record walk. A record is a 16-byte header (id, state-table offset, byte
// count, destination) followed by its data area; the next record follows the data
// area. Every bound is checked in 64 bits before a byte is touched, so no header a
// client writes can make the walk read or write outside the section or the table.
#include "sim/server.h"

#include <cstdio>
#include <cstring>

namespace sim {

namespace {

const size_t kHeaderBytes = 16;

uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  memcpy(&v, p, 4);   // the protocol is little-endian, like every host we build for
  return v;
}

// Appends one formatted line to the log, cut to its buffer and always NUL-terminated.
void LogLine(char* log, size_t logBytes, const char* format, uint32_t a, uint32_t b,
             uint32_t c) {
  if (!log || logBytes == 0) return;
  size_t len = strnlen(log, logBytes);
  if (len == logBytes) {   // a buffer without a NUL: make room for one
    len = logBytes - 1;
    log[len] = 0;
  }
  snprintf(log + len, logBytes - len, format, a, b, c);
}

// The walk of both: fills the data areas from table unless section is read-only
// (target null).
int Walk(uint8_t* target, const uint8_t* section, size_t sectionBytes, const uint8_t* table,
         size_t tableBytes, char* log, size_t logBytes) {
  uint64_t at = 0;
  for (;;) {
    if (at + 4 > sectionBytes) {
      LogLine(log, logBytes, "at=%u no terminator before the end of the section\n",
              uint32_t(at), 0, 0);
      return 0;
    }
    uint32_t id = Load32(section + at);
    if (id == 0) {
      LogLine(log, logBytes, "id=0\n", 0, 0, 0);
      return 1;
    }
    if (at + kHeaderBytes > sectionBytes) {
      LogLine(log, logBytes, "id=%u at=%u header past the section\n", id, uint32_t(at), 0);
      return 0;
    }
    uint32_t offset = Load32(section + at + 4);
    uint32_t count = Load32(section + at + 8);
    LogLine(log, logBytes, "id=%u offset=0x%04X bytes=%u", id, offset, count);
    if (id != 1) {
      LogLine(log, logBytes, " unknown id\n", 0, 0, 0);
      return 0;
    }
    uint64_t data = at + kHeaderBytes;
    if (data + count > sectionBytes) {
      LogLine(log, logBytes, " past the section\n", 0, 0, 0);
      return 0;
    }
    if (uint64_t(offset) + count > tableBytes) {
      LogLine(log, logBytes, " past the table\n", 0, 0, 0);
      return 0;
    }
    LogLine(log, logBytes, "\n", 0, 0, 0);
    if (target) memcpy(target + data, table + offset, count);
    at = data + count;
  }
}

}  // namespace

int ServeRequest(uint8_t* section, size_t sectionBytes, const uint8_t* table,
                 size_t tableBytes, char* log, size_t logBytes) {
  return Walk(section, section, sectionBytes, table, tableBytes, log, logBytes);
}

int CheckRequest(const uint8_t* section, size_t sectionBytes, size_t tableBytes, char* log,
                 size_t logBytes) {
  return Walk(nullptr, section, sectionBytes, nullptr, tableBytes, log, logBytes);
}

}  // namespace sim
