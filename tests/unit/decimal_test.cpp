#include "table/decimal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>

using table::FormatDecimal;
using table::FormatMinutes;

namespace {

// What printf makes of the same value: the reference every case is held to.
std::string Printf(const char* format, int width, int32_t value) {
  char text[64];
  snprintf(text, sizeof text, format, width, value);
  return text;
}

std::string Decimal(int32_t value, int width) {
  char text[64];
  size_t n = FormatDecimal(text, sizeof text, value, width);
  EXPECT_EQ(strlen(text), n);
  return text;
}

std::string PrintfMinutes(double m) {
  char text[64];
  snprintf(text, sizeof text, "%07.4f", m);
  return text;
}

std::string Minutes(double m) {
  char text[64];
  size_t n = FormatMinutes(text, sizeof text, m);
  EXPECT_EQ(strlen(text), n);
  return text;
}

}  // namespace

TEST(Decimal, IntegersAsPrintfWritesThem) {
  const int32_t values[] = {0, 1, -1, 5, -5, 9, 10, -10, 99, 100, 359, 360, -179, 12345,
                            -32768, 32768, 65535, 2147483647, -2147483647 - 1};
  for (int32_t v : values)
    for (int width : {0, 1, 2, 3, 4, 12}) {
      SCOPED_TRACE(testing::Message() << v << " width " << width);
      EXPECT_EQ(Printf("%0*d", width, v), Decimal(v, width));
      if (width <= 1) {
        EXPECT_EQ(Printf("%*d", 0, v), Decimal(v, width));
      }
    }
  std::mt19937 random(7);
  for (int i = 0; i < 100000; ++i) {
    int32_t v = int32_t(random());
    int width = int(random() % 5);
    ASSERT_EQ(Printf("%0*d", width, v), Decimal(v, width)) << v << " width " << width;
  }
}

// The minutes of an angle are (degrees - whole degrees) * 60 of a float or a double;
// printf rounds their exact binary value, halfway cases to even. Values that are exact
// halves of the fourth decimal (multiples of 1/32 minute) show the rule.
TEST(Decimal, MinutesAsPrintfRoundsThem) {
  const double values[] = {0, 30, 15, 7.5, 59.99995, 59.999949999, 59.9999999, 60,
                           0.03125, 0.09375, 1.15625, 0.00005, 0.00015, 0.000049999,
                           12.34565, 45.67895, std::nextafter(60.0, 0.0), 1e-300, 5e-324};
  for (double m : values) EXPECT_EQ(PrintfMinutes(m), Minutes(m)) << m;
  for (int j = 0; j <= 60 * 32; ++j) ASSERT_EQ(PrintfMinutes(j / 32.0), Minutes(j / 32.0)) << j;

  // Minutes as the row texts make them, from float and double positions.
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> degrees(-180.0, 180.0);
  for (int i = 0; i < 200000; ++i) {
    double v = degrees(random);
    if (i % 2) v = double(float(v));
    double magnitude = std::fabs(v);
    double m = (magnitude - double(int32_t(magnitude))) * 60;
    ASSERT_EQ(PrintfMinutes(m), Minutes(m)) << v;
  }
  // Right at the rounding boundaries of the fourth decimal, either side.
  for (int k = 0; k < 600000; k += 7) {
    double boundary = (k + 0.5) / 10000;
    for (double m : {boundary, std::nextafter(boundary, 0.0), std::nextafter(boundary, 61.0)})
      ASSERT_EQ(PrintfMinutes(m), Minutes(m)) << k;
  }
}

TEST(Decimal, TextsAreCutToTheBufferLikeSnprintf) {
  char text[4] = "xyz";
  EXPECT_EQ(6u, FormatDecimal(text, sizeof text, -12345, 0));
  EXPECT_STREQ("-12", text);
  EXPECT_EQ(7u, FormatMinutes(text, sizeof text, 7.5));
  EXPECT_STREQ("07.", text);
  char untouched = 'q';
  EXPECT_EQ(3u, FormatDecimal(&untouched, 0, 100, 0));
  EXPECT_EQ('q', untouched);
}

TEST(Decimal, MinutesOutsideTheirRangeGiveZero) {
  for (double m : {-1.0, 60.5, 1e300, std::nan(""), -std::numeric_limits<double>::infinity()})
    EXPECT_EQ("00.0000", Minutes(m)) << m;
}
