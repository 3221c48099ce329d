#include "meshio/text_blocks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

std::string decimal(uint64_t v) {
  char buf[32];
  return std::string(buf, put_decimal(buf, v));
}

std::string printed(uint64_t v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%llu", (unsigned long long)v);
  return buf;
}

}  // namespace

TEST(TextBlocks, DecimalsAreThoseOfPrintf) {
  const uint64_t values[] = {0, 1, 9, 10, 99, 100, 101, 4095, 65536, 1020304, 12345678, 90000001, 100000000, 2147483647ull, 4294967295ull,
                             4294967296ull, 9223372036854775807ull, 18446744073709551615ull};
  for (uint64_t v : values) EXPECT_EQ(decimal(v), printed(v));
  // Every change of length, and the powers of two the digit estimate starts from.
  for (uint64_t p = 10;; p *= 10) {
    EXPECT_EQ(decimal(p - 1), printed(p - 1));
    EXPECT_EQ(decimal(p), printed(p));
    if (p > UINT64_MAX / 10) break;
  }
  for (int b = 1; b < 64; ++b) {
    const uint64_t p = uint64_t(1) << b;
    EXPECT_EQ(decimal(p - 1), printed(p - 1));
    EXPECT_EQ(decimal(p), printed(p));
  }
}
