// Table rows for the builders: the script that makes a part, the lattice size it must get,
// and points (by index; point (i, j) is stored at j*(M+1)+i) with where they must lie; and
// the message a builder fails with.
#pragma once

#include "builders/builders.h"
#include "grid/pelgrove_MxN.h"
#include "script/scriptstream.h"
#include "support/test_support.h"

#include <string>
#include <vector>

struct Xyz {
  double x, y, z;
};

struct LatticeRow {
  const char* script;
  int M, N;
  std::vector<int> at;
  std::vector<Xyz> want;
};

class LatticeTest : public ScriptTest {
protected:
  // Each row's script, run from a clean state, makes exactly one part: the row's lattice.
  void expect_lattices(const std::vector<LatticeRow>& rows) {
    for (const LatticeRow& r : rows) {
      SCOPED_TRACE(r.script);
      reset_script_state();
      EXPECT_TRUE(run(r.script));
      ASSERT_EQ(Grid::gGrids.size(), 1u);
      const auto* g = dynamic_cast<const Grid_MxN*>(Grid::gGrids[0]);
      ASSERT_TRUE(g);
      EXPECT_EQ(g->M, r.M);
      EXPECT_EQ(g->N, r.N);
      for (size_t k = 0; k < r.at.size(); ++k) {
        const GridPt& p = g->mPts.at(r.at[k]);
        EXPECT_NEAR(p.x, r.want[k].x, 1e-12) << "point " << r.at[k];
        EXPECT_NEAR(p.y, r.want[k].y, 1e-12) << "point " << r.at[k];
        EXPECT_NEAR(p.z, r.want[k].z, 1e-12) << "point " << r.at[k];
      }
    }
  }

  // The builder, reading `args`, fails with `message` and makes no part.
  static void expect_failure(BuilderFunc func, const std::string& args, const std::string& message) {
    SCOPED_TRACE(args);
    scriptstream_priv in(args + "\n");
    std::string got = "stale";
    EXPECT_FALSE(func("part", in, got));
    EXPECT_EQ(got, message);
    EXPECT_TRUE(Grid::gGrids.empty());
  }
};
