#include "link/errortext.h"

#include <gtest/gtest.h>

#include <string>

TEST(SectionName, ProcessIdInUppercaseHexWithoutLeadingZeros) {
  char name[simlink::kSectionNameBytes];
  struct { uint32_t pid; const char* want; } cases[] = {
    {700, "FsasmLib:IPC:2BC:1"},
    {1, "FsasmLib:IPC:1:1"},
    {0xFFFFFFFFu, "FsasmLib:IPC:FFFFFFFF:1"},
  };
  for (const auto& c : cases) {
    simlink::FormatSectionName(c.pid, name);
    EXPECT_STREQ(c.want, name) << c.pid;
  }
}

TEST(ErrorText, BothFormsAndTheSignOfTheCode) {
  char text[simlink::kErrorTextBytes];
  simlink::FormatErrorText(0, "not able to link to Ostrel", text);
  EXPECT_STREQ("Error: not able to link to Ostrel", text);
  simlink::FormatErrorText(183, "can't create file mapping", text);
  EXPECT_STREQ("Error 183 reported: can't create file mapping", text);
  simlink::FormatErrorText(-5, "in printing's StartDoc", text);
  EXPECT_STREQ("Error -5 reported: in printing's StartDoc", text);
}

TEST(ErrorText, LongTextIsCutToTheBuffer) {
  char text[simlink::kErrorTextBytes];
  std::string longText(400, 'x');
  simlink::FormatErrorText(7, longText.c_str(), text);
  EXPECT_EQ(size_t(simlink::kErrorTextBytes - 1), std::string(text).size());
  EXPECT_EQ(0, std::string(text).rfind("Error 7 reported: x", 0));
}
