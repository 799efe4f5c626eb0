#include "sim/server.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// A state table whose every byte tells where it lies: byte i holds (i * 7 + i / 256) & 0xFF.
std::vector<uint8_t> PatternTable() {
  std::vector<uint8_t> t(sim::kStateTableBytes);
  for (size_t i = 0; i < t.size(); ++i) t[i] = uint8_t(i * 7 + i / 256);
  return t;
}

void Put32(std::vector<uint8_t>& s, size_t at, uint32_t v) { memcpy(&s[at], &v, 4); }

// Writes a record header at `at` with the data area pre-filled with 0xAB and the
// destination field with 0xDDDDDDDD; returns the offset of the next record.
size_t PutRecord(std::vector<uint8_t>& s, size_t at, uint32_t id, uint32_t offset,
                 uint32_t count) {
  Put32(s, at, id);
  Put32(s, at + 4, offset);
  Put32(s, at + 8, count);
  Put32(s, at + 12, 0xDDDDDDDDu);
  for (size_t i = 0; i < count && at + 16 + i < s.size(); ++i) s[at + 16 + i] = 0xAB;
  return at + 16 + count;
}

bool Filled(const std::vector<uint8_t>& s, size_t data, const std::vector<uint8_t>& table,
            uint32_t offset, uint32_t count) {
  return memcmp(&s[data], &table[offset], count) == 0;
}

bool Untouched(const std::vector<uint8_t>& s, size_t data, size_t count) {
  for (size_t i = 0; i < count; ++i)
    if (s[data + i] != 0xAB) return false;
  return true;
}

}  // namespace

TEST(ServeRequest, FillsEveryRecordUpToTheTerminatorAndAnswersOne) {
  std::vector<uint8_t> table = PatternTable();
  std::vector<uint8_t> s(10000, 0xEE);
  size_t a = 0;
  size_t b = PutRecord(s, a, 1, 0x02A0, 2);
  size_t c = PutRecord(s, b, 1, 0x0560, 24);
  size_t d = PutRecord(s, c, 1, 0, 0);                 // an empty read is fine
  size_t e = PutRecord(s, d, 1, 0xFFF8, 8);            // the last bytes of the table
  Put32(s, e, 0);
  ASSERT_EQ(1, sim::ServeRequest(s.data(), s.size(), table.data(), table.size(), nullptr, 0));
  EXPECT_TRUE(Filled(s, a + 16, table, 0x02A0, 2));
  EXPECT_TRUE(Filled(s, b + 16, table, 0x0560, 24));
  EXPECT_TRUE(Filled(s, d + 16, table, 0xFFF8, 8));
  // Headers and destination fields are left as the client wrote them, and so is
  // everything after the terminator.
  uint32_t dest;
  memcpy(&dest, &s[b + 12], 4);
  EXPECT_EQ(0xDDDDDDDDu, dest);
  memcpy(&dest, &s[b + 4], 4);
  EXPECT_EQ(0x0560u, dest);
  EXPECT_EQ(0xEE, s[e + 4]);
  EXPECT_EQ(0xEE, s.back());
}

// A record that reaches past the section or the table, or one with an unknown id,
// ends the walk with 0: the record before it is filled, it and the one after are not.
TEST(ServeRequest, BadRecordStopsTheWalkWithZero) {
  struct Case {
    const char* name;
    uint32_t id, offset, count;
    size_t sectionBytes;
    const char* logTail;
  } cases[] = {
      {"data past the table", 1, 0xFFF0, 17, 200, "id=1 offset=0xFFF0 bytes=17 past the table\n"},
      {"offset past the table", 1, 0x10000, 1, 200, "id=1 offset=0x10000 bytes=1 past the table\n"},
      {"offset wraps 32 bits", 1, 0xFFFFFFFFu, 2, 200,
       "id=1 offset=0xFFFFFFFF bytes=2 past the table\n"},
      {"count wraps 32 bits", 1, 0x10, 0xFFFFFFFFu, 200,
       "id=1 offset=0x0010 bytes=4294967295 past the section\n"},
      {"data one byte past the section", 1, 0, 151, 200,
       "id=1 offset=0x0000 bytes=151 past the section\n"},
      {"unknown id", 2, 0, 4, 200, "id=2 offset=0x0000 bytes=4 unknown id\n"},
      {"header past the section", 1, 0, 4, 40, "id=1 at=34 header past the section\n"},
  };
  std::vector<uint8_t> table = PatternTable();
  for (const Case& k : cases) {
    std::vector<uint8_t> s(200, 0xAB);
    size_t second = PutRecord(s, 0, 1, 0x0100, 18);   // 34
    PutRecord(s, second, k.id, k.offset, 0);
    Put32(s, second + 8, k.count);
    // A good record and the terminator where the data area would end, when they fit.
    size_t third = second + 16 + 4;
    if (k.count == 4) {
      PutRecord(s, third, 1, 0x0200, 4);
      Put32(s, third + 20, 0);
    }
    char log[512] = "";
    EXPECT_EQ(0, sim::ServeRequest(s.data(), k.sectionBytes, table.data(), table.size(), log,
                                   sizeof log))
        << k.name;
    EXPECT_TRUE(Filled(s, 16, table, 0x0100, 18)) << k.name;
    EXPECT_TRUE(Untouched(s, second + 16, 4)) << k.name;
    if (k.count == 4) {
      EXPECT_TRUE(Untouched(s, third + 16, 4)) << k.name;
    }
    std::string want = std::string("id=1 offset=0x0100 bytes=18\n") + k.logTail;
    EXPECT_EQ(want, log) << k.name;
  }
}

TEST(ServeRequest, SectionWithoutTerminatorAnswersZero) {
  std::vector<uint8_t> table = PatternTable();
  std::vector<uint8_t> s(36, 0);
  size_t end = PutRecord(s, 0, 1, 0x0010, 20);   // fills the section exactly
  ASSERT_EQ(36u, end);
  char log[256] = "";
  EXPECT_EQ(0, sim::ServeRequest(s.data(), s.size(), table.data(), table.size(), log, sizeof log));
  EXPECT_TRUE(Filled(s, 16, table, 0x0010, 20));
  EXPECT_STREQ("id=1 offset=0x0010 bytes=20\nat=36 no terminator before the end of the section\n",
               log);
  // And an empty section at all.
  EXPECT_EQ(0, sim::ServeRequest(s.data(), 0, table.data(), table.size(), nullptr, 0));
}

TEST(ServeRequest, LogAppendsOneLinePerHeaderAndStaysInsideItsBuffer) {
  std::vector<uint8_t> table = PatternTable();
  std::vector<uint8_t> s(200, 0);
  size_t at = PutRecord(s, 0, 1, 0x02A0, 2);
  at = PutRecord(s, at, 1, 0xF000, 4);
  Put32(s, at, 0);

  char log[256] = "before\n";
  ASSERT_EQ(1, sim::ServeRequest(s.data(), s.size(), table.data(), table.size(), log, sizeof log));
  EXPECT_STREQ("before\nid=1 offset=0x02A0 bytes=2\nid=1 offset=0xF000 bytes=4\nid=0\n", log);

  // A small buffer is cut, never overrun, and always ends in a NUL; the answer does
  // not depend on the log.
  char small[20 + 4];
  memset(small, 'Z', sizeof small);
  small[0] = 0;
  ASSERT_EQ(1, sim::ServeRequest(s.data(), s.size(), table.data(), table.size(), small, 20));
  EXPECT_STREQ("id=1 offset=0x02A0 ", small);
  EXPECT_EQ('Z', small[20]);

  // A buffer that holds no NUL at all is treated as full.
  char full[8];
  memset(full, 'Q', sizeof full);
  ASSERT_EQ(1, sim::ServeRequest(s.data(), s.size(), table.data(), table.size(), full, sizeof full));
  EXPECT_EQ(0, full[7]);
  EXPECT_EQ(std::string(7, 'Q'), full);
}

// A refusing server checks and logs the same walk without touching the section.
TEST(CheckRequest, SameAnswerAndLogAsServeRequestWithoutWriting) {
  std::vector<uint8_t> table = PatternTable();
  for (uint32_t offset : {0x0100u, 0xFFF0u}) {   // the second reaches past the table
    std::vector<uint8_t> s(200, 0xAB);
    size_t at = PutRecord(s, 0, 1, 0x02A0, 2);
    at = PutRecord(s, at, 1, offset, 24);
    Put32(s, at, 0);
    std::vector<uint8_t> before = s;
    char checked[256] = "", served[256] = "";
    int check = sim::CheckRequest(s.data(), s.size(), table.size(), checked, sizeof checked);
    EXPECT_EQ(before, s);
    int serve = sim::ServeRequest(s.data(), s.size(), table.data(), table.size(), served,
                                  sizeof served);
    EXPECT_EQ(serve, check);
    EXPECT_STREQ(served, checked);
    EXPECT_EQ(offset == 0x0100u ? 1 : 0, check);
  }
}
