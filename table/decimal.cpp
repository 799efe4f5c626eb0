#include "table/decimal.h"

#include <cstring>

namespace table {

namespace {

// Hands a finished text on to the caller's buffer, cut to it.
size_t Deliver(char* out, size_t bytes, const char* text, size_t length) {
  if (bytes > 0) {
    size_t n = length < bytes - 1 ? length : bytes - 1;
    memcpy(out, text, n);
    out[n] = '\0';
  }
  return length;
}

}  // namespace

size_t FormatDecimal(char* out, size_t bytes, int32_t value, int width) {
  // The digits from the last one back, two at a time; the magnitude in unsigned
  // arithmetic, since -2147483648 has no positive int32_t.
  static const char kPairs[] =
      "0001020304050607080910111213141516171819202122232425262728293031323334353637383940"
      "4142434445464748495051525354555657585960616263646566676869707172737475767778798081"
      "8283848586878889909192939495969798" "99";
  uint32_t magnitude = value < 0 ? 0u - uint32_t(value) : uint32_t(value);
  char digits[12];
  char* first = digits + sizeof digits;
  while (magnitude >= 100) {
    uint32_t pair = magnitude % 100;
    magnitude /= 100;
    *--first = kPairs[2 * pair + 1];
    *--first = kPairs[2 * pair];
  }
  if (magnitude >= 10) {
    *--first = kPairs[2 * magnitude + 1];
    *--first = kPairs[2 * magnitude];
  } else {
    *--first = char('0' + magnitude);
  }
  size_t count = size_t(digits + sizeof digits - first);
  size_t sign = value < 0 ? 1 : 0;
  if (width > 32) width = 32;
  size_t pad = size_t(width) > sign + count ? size_t(width) - sign - count : 0;
  size_t length = sign + pad + count;

  char text[48];   // at most 32 characters
  char* at = length < bytes ? out : text;
  if (sign) at[0] = '-';
  for (size_t i = 0; i < pad; ++i) at[sign + i] = '0';
  memcpy(at + sign + pad, first, count);
  if (at == out) {
    out[length] = '\0';
    return length;
  }
  return Deliver(out, bytes, text, length);
}

size_t FormatMinutes(char* out, size_t bytes, double minutes) {
  // minutes = mantissa * 2^(exponent - 53) exactly, so minutes * 10000 is
  // mantissa * 625 * 2^(exponent - 49), with mantissa * 625 below 2^63: whole
  // ten-thousandths and the bits below them, in integers, without a rounding step.
  if (!(minutes >= 0 && minutes <= 60)) minutes = 0;   // outside the promise: 00.0000
  // A double is mantissa * 2^exponent exactly, so minutes * 10000 is
  // mantissa * 625 * 2^(exponent + 4), with mantissa * 625 below 2^63: whole
  // ten-thousandths and the bits below them, in integers, without a rounding step.
  uint64_t bits;
  memcpy(&bits, &minutes, sizeof bits);
  int biased = int(bits >> 52) & 0x7FF;
  uint64_t units = 0;
  if (biased != 0) {   // zero, or so small that it shows as 00.0000
    uint64_t scaled = ((bits & ((uint64_t(1) << 52) - 1)) | (uint64_t(1) << 52)) * 625u;
    int shift = 1075 - biased - 4;   // bits of scaled below the units: 43 and more up to 60
    if (shift < 64) {
      units = scaled >> shift;
      uint64_t rest = scaled & ((uint64_t(1) << shift) - 1);
      uint64_t half = uint64_t(1) << (shift - 1);
      if (rest > half || (rest == half && (units & 1))) ++units;
    }   // from 64 bits on the value lies below half a ten-thousandth: 0
  }

  // Up to 600000 ten-thousandths: always two whole digits, the point, four decimals.
  uint32_t whole = uint32_t(units / 10000), decimals = uint32_t(units % 10000);
  char text[8];
  char* at = bytes > 7 ? out : text;
  at[0] = char('0' + whole / 10);
  at[1] = char('0' + whole % 10);
  at[2] = '.';
  at[3] = char('0' + decimals / 1000);
  at[4] = char('0' + decimals / 100 % 10);
  at[5] = char('0' + decimals / 10 % 10);
  at[6] = char('0' + decimals % 10);
  if (at == out) {
    out[7] = '\0';
    return 7;
  }
  return Deliver(out, bytes, text, 7);
}

}  // namespace table
