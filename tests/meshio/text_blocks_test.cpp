#include "meshio/text_blocks.h"

#include "grid/Grid.h"
#include "meshio/standard_formats.h"
#include "support/test_support.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
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
  const uint64_t values[] = {0, 1, 9, 10, 99, 100, 101, 4095, 65536, 2147483647ull, 4294967295ull,
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

// Writers that format straight from the parts refuse points numbered out of order (a
// merge since the last renumbering) and leave no file.
TEST_F(ScriptTest, WritersRefuseStaleNumbering) {
  ASSERT_TRUE(build("set element_type quads\nplate p 3 3  0 0 0  1 0 0  1 1 0  0 1 0\n"));
  Grid::gGrids[0]->mPts[5].id = 4;
  const std::string dir = make_temp_dir();
  for (auto write : {export_msh_mesh, export_obj_mesh, export_vtu_mesh, export_stl_mesh}) {
    EXPECT_FALSE(write((dir + "/mesh").c_str(), true));
    EXPECT_TRUE(dir_entries(dir).empty());
  }
  std::filesystem::remove_all(dir);
}
