#include "meshio/text_blocks.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

// Every change of length, and the powers of two the digit estimate starts from.
TEST(TextBlocks, DecimalsAreThoseOfPrintf) {
  char buf[32];
  auto check = [&](uint64_t v) { EXPECT_EQ(std::string(buf, put_decimal(buf, v)), std::to_string(v)); };
  for (uint64_t v : std::initializer_list<uint64_t>{0, 1, 101, 4095, 1020304, 12345678, 90000001, UINT64_MAX}) check(v);
  for (uint64_t p = 10;; p *= 10) {
    check(p - 1), check(p);
    if (p > UINT64_MAX / 10) break;
  }
  for (int b = 1; b < 64; ++b) check((uint64_t(1) << b) - 1), check(uint64_t(1) << b);
}
