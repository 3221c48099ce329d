#include "util/progress.h"

#include <gtest/gtest.h>

TEST(Progress, LineText) {
  const struct {
    const char* what;
    const char* unit;
    long count, total;
    double seconds;
    const char* line;
  } cases[] = {
      {"running a.vmf", "commands", 1234, 0, 1.04, "pelgrove: running a.vmf: 1.0 s, 1234 commands"},
      {"merging", "points", 2400000, 4000000, 3.06, "pelgrove: merging: 3.1 s, 2400000 of 4000000 points"},
      {"merging", "points", 0, 4000000, 1.5, "pelgrove: merging: 1.5 s"},  // nothing counted yet
      {"writing out.dvk", "", 0, 0, 12.25, "pelgrove: writing out.dvk: 12.2 s"},
  };
  for (const auto& c : cases) EXPECT_EQ(progress_line(c.what, c.unit, c.count, c.total, c.seconds), c.line);
}
