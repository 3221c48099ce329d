#include "meshio/dvk.h"

#include "grid/Grid.h"
#include "support/test_support.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <random>
#include <sstream>
#include <string>

namespace {

std::string printf_string(const char* fmt, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, fmt, v);
  return buf;
}

std::string formatted_e(double v) {
  char buf[64];
  return std::string(buf, DVK::put_e(buf, v));
}

class DvkExportTest : public ScriptTest {
protected:
  void TearDown() override {
    std::filesystem::remove_all(dir);
    ScriptTest::TearDown();
  }
  // Builds the script's mesh as a script run does, and exports it.
  std::string exported(const std::string& script) {
    EXPECT_TRUE(build(script)) << script;
    EXPECT_TRUE(export_dvk_mesh((dir + "/out.dvk").c_str(), true));
    return read_file(dir + "/out.dvk");
  }
  std::string dir = make_temp_dir();
};

}  // namespace

TEST(DvkFormat, CoordinatesMatchPrintf) {
  const double inf = std::numeric_limits<double>::infinity();
  const double fixed[] = {0.0, -0.0, 1.0, -1.0, 9.99999999999995e+02, 9.999999999999949e+02, 9.99999999999995e-300,
                          0.5, 1e-320, -4.9e-324, 1.7976931348623157e308, -2.2250738585072014e-308,
                          123456789012345.6, 0.1, 2.5e-5, 1e-12, 9.99999999999995e-13, 1e-13, 1e-14,
                          1.00000000000005e-12, 1e40, 9.999999999999999e39, -1e39, inf, -inf, NAN, -NAN};
  for (double v : fixed) EXPECT_EQ(formatted_e(v), printf_string("%21.13e", v)) << printf_string("%.17g", v);
  std::mt19937_64 rng(2024);
  std::uniform_real_distribution<double> mantissa(-10, 10), decade(-15, 41);
  std::uniform_int_distribution<int> exponent(-320, 308);
  for (int k = 0; k < 400000; ++k) {
    double v = std::bit_cast<double>(rng());  // any bits
    if (k % 5 == 1) v = mantissa(rng) * std::pow(10.0, exponent(rng));
    if (k % 5 == 2)  // fourteen significant digits and a 5 after them: rounding at the last printed digit
      v = (std::floor(mantissa(rng) * 1e13) + 0.5) / 1e13 * std::pow(10.0, exponent(rng) / 10);
    if (k % 5 == 3) v = std::copysign(std::pow(10.0, decade(rng)), mantissa(rng));
    if (k % 5 == 4) v = (double)(rng() % 4001) / (double)(1 + rng() % 2000) - 1;  // lattice coordinates
    if (formatted_e(v) != printf_string("%21.13e", v)) {
      ADD_FAILURE() << printf_string("%.17g", v) << ": " << formatted_e(v) << " vs " << printf_string("%21.13e", v);
      break;
    }
  }
}

TEST(DvkFormat, IntegersMatchPrintfAndPointNumbersStaySeparated) {
  const long values[] = {0, 1, -1, 7, 99, 123, 999999, 1000000, 9999999, 10000000, 123456789, -1234567,
                         -12345678, std::numeric_limits<long>::max(), std::numeric_limits<long>::min()};
  for (long v : values) {
    SCOPED_TRACE(v);
    char buf[64], want[64];
    for (int width : {1, 3, 6, 8}) {
      std::snprintf(want, sizeof want, "%*ld", width, v);
      EXPECT_EQ(std::string(buf, DVK::put_long(buf, v, width)), want);
    }
    // Below eight digits the "%8ld" bytes; from eight on a blank keeps numbers apart.
    std::snprintf(want, sizeof want, std::to_string(v).size() >= 8 ? " %ld" : "%8ld", v);
    EXPECT_EQ(std::string(buf, DVK::put_point_number(buf, v)), want);
    EXPECT_EQ(buf[0], ' ');
  }
}

// The line's first point joins the plate's corner and takes its number.
TEST_F(DvkExportTest, SharedPointsTakeTheRepresentativesNumbers) {
  const std::string o = "   0.0000000000000e+00", i = "   1.0000000000000e+00", ii = "   2.0000000000000e+00";
  EXPECT_EQ(exported("set element_type tri0\nplate a 1 1  0 0 0  1 0 0  1 1 0  0 1 0\nline b 1  1 0 0  2 0 0\n"),
            "no title\n5 3 2\n       1" + o + o + o + "\n       2" + i + o + o + "\n       3" + o + i + o +
                "\n       4" + i + i + o + "\n       5" + ii + o + o +
                "\ntriangle           1 3   1\n       1       2       4\n"
                "triangle           2 3   1\n       1       4       3\n"
                "bar                3 2   2\n       5       2\n  1 a\n  2 b\n");
}

// Group numbers follow the first part with elements; the lines shown are the file's
// header, element declarations and groups.
TEST_F(DvkExportTest, GroupNumbersFollowTheFirstPartWithElements) {
  const std::string unit = " 1 1  0 0 0  1 0 0  1 1 0  0 1 0\n", up = " 1 1  0 0 1  1 0 1  1 1 1  0 1 1\n";
  const struct {
    const char* id;
    std::string script, lines;
  } rows[] = {
      {"only b has elements", "plate a 1 1  5 5 5  5 5 5  5 5 5  5 5 5\nplate b" + unit,
       "no title\n5 1 2\nquadrilateral      1 4   1\n  2 a\n  1 b\n"},
      {"two parts of one name form one group", "plate x" + unit + "plate w" + up + "plate x" + up,
       "no title\n8 3 2\nquadrilateral      1 4   1\nquadrilateral      2 4   2\nquadrilateral      3 4   1\n"
       "  2 w\n  1 x\n"},
      {"a deleted part keeps its points and gives its number back", "plate d" + unit + "plate e" + up + "delete d\n",
       "no title\n8 1 2\nquadrilateral      1 4   1\n  2 d\n  1 e\n"},
      {"a part whose elements all collapsed", "plate c 1 1  0 0 0  0 0 0  0 0 0  0 0 0\nplate b" + up,
       "no title\n5 1 2\nquadrilateral      1 4   1\n  1 b\n  2 c\n"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.id);
    std::istringstream text(exported("set element_type quads\n" + r.script));
    std::string lines;
    for (std::string line; std::getline(text, line);)
      if (line.compare(0, 4, "    ") != 0) lines += line + "\n";
    EXPECT_EQ(lines, r.lines);
  }
}
