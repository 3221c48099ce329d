#include "meshio/dvk.h"

#include "grid/Grid.h"
#include "interp/interp.h"
#include "merge/PtMerger.h"
#include "support/test_support.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <limits>
#include <random>
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
  void SetUp() override {
    ScriptTest::SetUp();
    dir = make_temp_dir();
  }
  void TearDown() override {
    std::system(("rm -rf '" + dir + "'").c_str());
    ScriptTest::TearDown();
  }
  // Runs the script, then merges and numbers as a script run does.
  void build(const std::string& script) {
    ASSERT_TRUE(run(script)) << script;
    merge_grid_pts();
    renumber_grid_pts();
  }
  std::string exported() {
    const std::string path = dir + "/out.dvk";
    EXPECT_TRUE(export_dvk_mesh(path.c_str(), true));
    return read_file(path);
  }
  std::vector<std::string> files() const {
    std::vector<std::string> names;
    if (DIR* d = opendir(dir.c_str())) {
      while (dirent* e = readdir(d))
        if (e->d_name[0] != '.') names.push_back(e->d_name);
      closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string dir;
};

}  // namespace

TEST(DvkFormat, CoordinatesMatchPrintf) {
  const double fixed[] = {0.0, -0.0, 1.0, -1.0, 9.99999999999995e+02, 9.999999999999949e+02,
                          9.99999999999995e-300, 0.5, 1e-320, -4.9e-324, 1.7976931348623157e308,
                          -2.2250738585072014e-308, 123456789012345.6, 0.1, 2.5e-5, 1e-12, 9.99999999999995e-13,
                          1e-13, 1e-14, 1.00000000000005e-12, 1e40, 9.999999999999999e39, -1e39,
                          std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
                          std::nan(""), -std::nan("")};
  for (double v : fixed) {
    SCOPED_TRACE(printf_string("%.17g", v));
    EXPECT_EQ(formatted_e(v), printf_string("%21.13e", v));
  }
  std::mt19937_64 rng(2024);
  std::uniform_real_distribution<double> mantissa(-10, 10);
  std::uniform_int_distribution<int> exponent(-320, 308);
  std::uniform_real_distribution<double> decade(-15, 41);
  for (int k = 0; k < 400000; ++k) {
    double v;
    switch (k % 5) {
    case 0: {
      uint64_t bits = rng();
      std::memcpy(&v, &bits, sizeof v);
      break;
    }
    case 1: v = mantissa(rng) * std::pow(10.0, exponent(rng)); break;
    case 2:
      // Fourteen significant digits and a 5 after them: rounding at the last printed digit.
      v = (std::floor(mantissa(rng) * 1e13) + 0.5) / 1e13 * std::pow(10.0, exponent(rng) / 10);
      break;
    case 3: v = std::copysign(std::pow(10.0, decade(rng)), mantissa(rng)); break;
    default: v = (double)(rng() % 4001) / (double)(1 + rng() % 2000) - 1; break;  // lattice coordinates
    }
    const std::string want = printf_string("%21.13e", v);
    if (formatted_e(v) != want) {
      ADD_FAILURE() << "value " << printf_string("%.17g", v) << ": " << formatted_e(v) << " vs " << want;
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
    const std::string number = std::string(buf, DVK::put_point_number(buf, v));
    std::snprintf(want, sizeof want, std::strlen(std::to_string(v).c_str()) >= 8 ? " %ld" : "%8ld", v);
    EXPECT_EQ(number, want);
    EXPECT_EQ(number[0], ' ');
  }
}

TEST_F(DvkExportTest, SinglePlateFile) {
  build("set element_type quads\nplate p 1 1  0 0 0  1 0 0  1 1 0  0 1 0\n");
  EXPECT_EQ(exported(),
            "no title\n"
            "4 1 1\n"
            "       1   0.0000000000000e+00   0.0000000000000e+00   0.0000000000000e+00\n"
            "       2   1.0000000000000e+00   0.0000000000000e+00   0.0000000000000e+00\n"
            "       3   0.0000000000000e+00   1.0000000000000e+00   0.0000000000000e+00\n"
            "       4   1.0000000000000e+00   1.0000000000000e+00   0.0000000000000e+00\n"
            "quadrilateral      1 4   1\n"
            "       1       2       4       3\n"
            "  1 p\n");
}

TEST_F(DvkExportTest, EmptyModelHasOnlyTheHeader) {
  build("");
  EXPECT_EQ(exported(), "no title\n0 0 0\n");
}

TEST_F(DvkExportTest, SharedPointsTakeTheRepresentativesNumbers) {
  build("set element_type tri0\n"
        "plate a 1 1  0 0 0  1 0 0  1 1 0  0 1 0\n"
        "line b 1  1 0 0  2 0 0\n");
  EXPECT_EQ(exported(),
            "no title\n"
            "5 3 2\n"
            "       1   0.0000000000000e+00   0.0000000000000e+00   0.0000000000000e+00\n"
            "       2   1.0000000000000e+00   0.0000000000000e+00   0.0000000000000e+00\n"
            "       3   0.0000000000000e+00   1.0000000000000e+00   0.0000000000000e+00\n"
            "       4   1.0000000000000e+00   1.0000000000000e+00   0.0000000000000e+00\n"
            "       5   2.0000000000000e+00   0.0000000000000e+00   0.0000000000000e+00\n"
            "triangle           1 3   1\n"
            "       1       2       4\n"
            "triangle           2 3   1\n"
            "       1       4       3\n"
            "bar                3 2   2\n"
            "       5       2\n"
            "  1 a\n"
            "  2 b\n");
}

TEST_F(DvkExportTest, GroupNumbersFollowTheFirstPartWithElements) {
  struct Row {
    const char* id;
    const char* script;
    const char* declarations;  // group number of each element, in file order
    const char* groups;
  } rows[] = {
      {"only b has elements", "plate a 1 1  5 5 5  5 5 5  5 5 5  5 5 5\nplate b 1 1  0 0 0  1 0 0  1 1 0  0 1 0\n", "1",
       "  2 a\n  1 b\n"},
      {"two parts of one name form one group",
       "plate x 1 1  0 0 0  1 0 0  1 1 0  0 1 0\nplate w 1 1  0 0 1  1 0 1  1 1 1  0 1 1\n"
       "plate x 1 1  0 0 2  1 0 2  1 1 2  0 1 2\n",
       "121", "  2 w\n  1 x\n"},
      {"a deleted part keeps its points and gives its number back",
       "plate d 1 1  0 0 0  1 0 0  1 1 0  0 1 0\nplate e 1 1  0 0 1  1 0 1  1 1 1  0 1 1\ndelete d\n", "1",
       "  2 d\n  1 e\n"},
      {"a part whose elements all collapsed", "plate c 1 1  0 0 0  0 0 0  0 0 0  0 0 0\n"
                                              "plate b 1 1  0 0 1  1 0 1  1 1 1  0 1 1\n",
       "1", "  1 b\n  2 c\n"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.id);
    reset_script_state();
    build(std::string("set element_type quads\n") + r.script);
    const std::string text = exported();
    std::string groups_seen;
    size_t pos = 0;
    while ((pos = text.find("quadrilateral ", pos)) != std::string::npos) {
      const size_t eol = text.find('\n', pos);
      groups_seen += text.substr(eol - 1, 1);
      pos = eol;
    }
    EXPECT_EQ(groups_seen, r.declarations);
    const size_t tail = text.size() - std::strlen(r.groups);
    EXPECT_EQ(text.substr(tail), r.groups);
  }
}

TEST_F(DvkExportTest, CountsAreThoseOfTheMergedMesh) {
  build("set tolerance 1e-6\nset element_type quads\n"
        "plate a 2 2  0 0 0  1 0 0  1 1 0  0 1 0\n"
        "plate b 2 2  1 0 0  2 0 0  2 1 0  1 1 0\n");
  const std::string text = exported();
  EXPECT_EQ(text.substr(0, text.find('\n', 9) + 1), "no title\n15 8 2\n");
}

TEST_F(DvkExportTest, ReplacesAFileWholeOrNotAtAll) {
  build("set element_type quads\nplate p 20 20  0 0 0  1 0 0  1 1 0  0 1 0\n");
  const std::string path = dir + "/mesh.dvk";
  write_file(path, "old contents\n");
  chmod(path.c_str(), 0640);
  // A file size limit makes every write past 1000 bytes fail with EFBIG.
  rlimit saved;
  getrlimit(RLIMIT_FSIZE, &saved);
  void (*old_handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 1000;
  setrlimit(RLIMIT_FSIZE, &small);
  const bool written = export_dvk_mesh(path.c_str(), true);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, old_handler);
  EXPECT_FALSE(written);
  EXPECT_EQ(read_file(path), "old contents\n");
  EXPECT_EQ(files(), std::vector<std::string>{"mesh.dvk"});

  ASSERT_TRUE(export_dvk_mesh(path.c_str(), true));
  EXPECT_EQ(read_file(path).substr(0, 17), "no title\n441 400 ");
  EXPECT_EQ(files(), std::vector<std::string>{"mesh.dvk"});
  struct stat st;
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(DvkExportTest, TargetsThatCannotBeWrittenFail) {
  build("plate p 1 1  0 0 0  1 0 0  1 1 0  0 1 0\n");
  EXPECT_FALSE(export_dvk_mesh((dir + "/missing/out.dvk").c_str(), true));
  EXPECT_FALSE(export_dvk_mesh(dir.c_str(), true));
  EXPECT_FALSE(export_dvk_mesh("/dev/full", true));
  EXPECT_EQ(files(), std::vector<std::string>{});
}

TEST_F(DvkExportTest, DevicesAreWrittenInPlaceAndLinksFollowed) {
  build("plate p 1 1  0 0 0  1 0 0  1 1 0  0 1 0\n");
  ASSERT_TRUE(export_dvk_mesh("/dev/null", true));
  struct stat st;
  ASSERT_EQ(stat("/dev/null", &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));

  const std::string real = dir + "/real.dvk", link = dir + "/link.dvk";
  write_file(real, "old\n");
  ASSERT_EQ(symlink(real.c_str(), link.c_str()), 0);
  ASSERT_TRUE(export_dvk_mesh(link.c_str(), true));
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(read_file(real).substr(0, 9), "no title\n");
}
