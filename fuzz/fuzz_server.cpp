// Fuzz target: simhost's walk over the request block that a client wrote into the
// shared section.
//
// Input: a 6-byte head, then the section's bytes.
//   bytes 0-1   section size, 0 to 65535 (little-endian)
//   bytes 2-3   state table size; 0 stands for the full 64 KiB
//   byte 4      log buffer size; 0: no log
//   byte 5      flags: bit 0 the log buffer starts without a NUL; bit 1 the section
//               starts as a request block (view mode bit 2) where it has room for one
// The rest of the input is laid over the section; what it does not reach is zero (or
// the request block). Section, table and log lie on the heap in exactly their sizes, so
// that AddressSanitizer reports any access past them. Besides the sizes the head asks
// for, the walk runs again with the section and table sizes one byte either side of
// where each record's header, data area and read end, where an off-by-one would show.
//
// The checks: ServeRequest answers 0 or 1, and exactly what a plain walk of the records
// answers; it changes no byte but the data areas of the records it served, each of
// which then holds its bytes of the table; its log ends with a NUL inside its buffer.
// CheckRequest gives the same answer and log and writes nothing.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "link/snapshot.h"
#include "sim/server.h"

namespace {

const size_t kHeadBytes = 6;

void Fail(const char* what, unsigned long long a, unsigned long long b) {
  fprintf(stderr, "fuzz_server: %s (%llu, %llu)\n", what, a, b);
  abort();
}

#define CHECK(cond, a, b) \
  do {                    \
    if (!(cond)) Fail(#cond, (unsigned long long)(a), (unsigned long long)(b)); \
  } while (0)

uint32_t Get32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The walk as the protocol defines it, over a copy: the answer, and the section as it
// must look afterwards.
int ExpectedWalk(std::vector<uint8_t>* section, const uint8_t* table, size_t tableBytes) {
  uint64_t at = 0;
  uint64_t size = section->size();
  for (;;) {
    if (at + 4 > size) return 0;
    uint32_t id = Get32(section->data() + at);
    if (id == 0) return 1;
    if (at + 16 > size) return 0;
    uint32_t offset = Get32(section->data() + at + 4);
    uint32_t count = Get32(section->data() + at + 8);
    if (id != 1) return 0;
    if (at + 16 + count > size) return 0;
    if (uint64_t(offset) + count > tableBytes) return 0;
    if (count) memcpy(section->data() + at + 16, table + offset, count);
    at += 16 + uint64_t(count);
  }
}

// A log buffer of exactly its size (none when size is 0).
struct Log {
  std::vector<char> bytes;
  Log(size_t size, bool noNul) : bytes(size, noNul ? 'z' : '\0') {}
  char* get() { return bytes.empty() ? nullptr : bytes.data(); }
  void Check() const {
    if (!bytes.empty()) CHECK(memchr(bytes.data(), '\0', bytes.size()) != nullptr, bytes.size(), 0);
  }
};

// One walk over a section of sectionBytes holding content (cut or padded with zeros),
// with a table of tableBytes and a log of logBytes; every check above.
void RunOnce(const std::vector<uint8_t>& content, size_t sectionBytes, size_t tableBytes,
             size_t logBytes, bool logWithoutNul) {
  // Table and section are malloc'd in their exact sizes, also when that is 0: no byte
  // of them may be touched then.
  static std::vector<uint8_t> pattern;
  if (pattern.empty()) {
    pattern.resize(sim::kStateTableBytes);
    for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = uint8_t(i * 131 + (i >> 8));
  }
  uint8_t* table = static_cast<uint8_t*>(malloc(tableBytes));
  if (tableBytes) memcpy(table, pattern.data(), tableBytes);
  uint8_t* section = static_cast<uint8_t*>(malloc(sectionBytes));
  std::vector<uint8_t> original(sectionBytes, 0);
  if (sectionBytes) {
    memcpy(original.data(), content.data(), content.size() < sectionBytes ? content.size()
                                                                           : sectionBytes);
    memcpy(section, original.data(), sectionBytes);
  }
  std::vector<uint8_t> expected = original;
  int expectedAnswer = ExpectedWalk(&expected, pattern.data(), tableBytes);

  Log serveLog(logBytes, logWithoutNul);
  int answer = sim::ServeRequest(section, sectionBytes, table, tableBytes, serveLog.get(),
                                 logBytes);
  CHECK(answer == 0 || answer == 1, answer, 0);
  CHECK(answer == expectedAnswer, answer, expectedAnswer);
  CHECK(sectionBytes == 0 || memcmp(section, expected.data(), sectionBytes) == 0, sectionBytes, 0);
  CHECK(tableBytes == 0 || memcmp(table, pattern.data(), tableBytes) == 0, tableBytes, 0);
  serveLog.Check();

  // The refusing walk over the section as the client wrote it.
  if (sectionBytes) memcpy(section, original.data(), sectionBytes);
  Log checkLog(logBytes, logWithoutNul);
  int checked = sim::CheckRequest(section, sectionBytes, tableBytes, checkLog.get(), logBytes);
  CHECK(checked == answer, checked, answer);
  CHECK(sectionBytes == 0 || memcmp(section, original.data(), sectionBytes) == 0, sectionBytes, 0);
  checkLog.Check();
  CHECK(checkLog.bytes == serveLog.bytes, logBytes, 0);

  free(section);
  free(table);
}

// The section and table sizes at which the records of content begin or stop fitting:
// one byte either side of where each header and each data area ends, and of where each
// record's read ends in the table.
void Boundaries(const std::vector<uint8_t>& content, std::vector<size_t>* sections,
                std::vector<size_t>* tables) {
  uint64_t at = 0;
  for (int records = 0; records < 32 && at + 16 <= content.size(); ++records) {
    const uint8_t* h = content.data() + at;
    if (Get32(h) == 0) break;
    uint64_t offset = Get32(h + 4), count = Get32(h + 8);
    for (uint64_t end : {at + 4, at + 16, at + 16 + count, at + 16 + count + 4})
      for (uint64_t size : {end - 1, end, end + 1})
        if (size <= 0xFFFF) sections->push_back(size_t(size));
    for (uint64_t size : {offset + count - 1, offset + count})
      if (offset + count >= 1 && size <= sim::kStateTableBytes) tables->push_back(size_t(size));
    at += 16 + count;
  }
  for (std::vector<size_t>* v : {sections, tables}) {
    std::sort(v->begin(), v->end());
    v->erase(std::unique(v->begin(), v->end()), v->end());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t head[kHeadBytes] = {};
  memcpy(head, data, size < kHeadBytes ? size : kHeadBytes);
  size_t sectionBytes = size_t(head[0]) | size_t(head[1]) << 8;
  size_t tableBytes = size_t(head[2]) | size_t(head[3]) << 8;
  if (tableBytes == 0) tableBytes = sim::kStateTableBytes;
  size_t logBytes = head[4];
  int flags = head[5];

  // The section's bytes: zeros or a request block, with the rest of the input over them.
  std::vector<uint8_t> content(sectionBytes, 0);
  if ((flags & 2) && sectionBytes >= simlink::kRequestBlockBytes)
    simlink::BuildRequestBlock(content.data(), (flags >> 2) & 1);
  if (size > kHeadBytes) {
    size_t n = size - kHeadBytes;
    if (content.size() < n) content.resize(n);
    memcpy(content.data(), data + kHeadBytes, n);
  }

  RunOnce(content, sectionBytes, tableBytes, logBytes, flags & 1);
  std::vector<size_t> sections, tables;
  Boundaries(content, &sections, &tables);
  for (size_t s : sections) RunOnce(content, s, tableBytes, logBytes, flags & 1);
  for (size_t t : tables) RunOnce(content, sectionBytes, t, logBytes, flags & 1);
  return 0;
}
