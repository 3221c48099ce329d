#include "app/mesh_reports.h"

#include "grid/Grid.h"
#include "interp/interp.h"
#include "meshio/dvk.h"
#include "support/test_support.h"

#include <string>

namespace {

using MeshCompareTest = ScriptTest;

const std::string MODEL =
    "set element_type quads\n"
    "plate floor 2 1  0 0 0  2 0 0  2 1 0  0 1 0\n"
    "set element_type tri0\n"
    "plate wall 1 1  0 0 0  0 0 1  2 0 1  2 0 0\n"
    "line rail 2  0 1 0  2 1 0\n";

FlatMesh model_of(std::string text) {
  start_script(text, "model.vmf");
  FlatMesh m;
  EXPECT_TRUE(flatten_grids(m));
  return m;
}

// The golden mesh: MODEL written as a .dvk file and read back.
FlatMesh golden() {
  model_of(MODEL);
  const std::string path = make_temp_dir() + "/golden.dvk";
  EXPECT_TRUE(export_dvk_mesh(path.c_str(), true));
  FlatMesh ref;
  std::string error;
  EXPECT_TRUE(load_reference_mesh(path, ref, error)) << error;
  return ref;
}

struct Case {
  const char* what;
  std::string script;
  long differences;
  const char* first;  // the first difference told, or "" for none
};

TEST_F(MeshCompareTest, ModelsAgainstTheGoldenMesh) {
  const FlatMesh ref = golden();
  ASSERT_EQ(ref.points(), 8);
  const Case cases[] = {
      {"identical", MODEL, 0, ""},
      {"parts made in another order (renumbered)",
       "set element_type tri0\nplate wall 1 1  0 0 0  0 0 1  2 0 1  2 0 0\nline rail 2  0 1 0  2 1 0\n"
       "set element_type quads\nplate floor 2 1  0 0 0  2 0 0  2 1 0  0 1 0\n",
       0, ""},
      {"a part renamed (regrouped)",
       "set element_type quads\nplate floor 2 1  0 0 0  2 0 0  2 1 0  0 1 0\n"
       "set element_type tri0\nplate side 1 1  0 0 0  0 0 1  2 0 1  2 0 0\nline rail 2  0 1 0  2 1 0\n",
       4, "group 'side' is not in the reference"},
      {"a part turned over",
       "set element_type quads\nplate floor 2 1  2 0 0  0 0 0  0 1 0  2 1 0\n"
       "set element_type tri0\nplate wall 1 1  0 0 0  0 0 1  2 0 1  2 0 0\nline rail 2  0 1 0  2 1 0\n",
       2, "element 1 of part 'floor' (quadrilateral 1 2 5 4) faces the other way in the reference (its element 2)"},
      {"shifted by more than the tolerance", "move 0 0 0.001\n" + MODEL, 28,
       "point 1 of part 'floor' at 0 0 0.001 has no reference point within 2e-12; the nearest, reference point 1, "
       "is 0.001 away"},
  };
  for (const Case& c : cases) {
    const MeshComparison r = compare_meshes(model_of(c.script), ref, default_compare_tolerance(ref));
    EXPECT_EQ(r.differences, c.differences) << c.what;
    if (*c.first) {
      ASSERT_FALSE(r.first.empty()) << c.what;
      EXPECT_EQ(r.first[0], c.first) << c.what;
    }
  }
  // Within a looser tolerance the shifted model matches.
  EXPECT_EQ(compare_meshes(model_of("move 0 0 0.001\n" + MODEL), ref, 0.002).differences, 0);
}

TEST_F(MeshCompareTest, UnreadableReferenceSaysWhyAndKeepsTheModel) {
  model_of(MODEL);
  const size_t parts = Grid::gGrids.size();
  const std::string dir = make_temp_dir();
  write_file(dir + "/bad.dvk", "no title\n3 1 1\n1 0 0 0\n");
  FlatMesh ref;
  std::string error;
  EXPECT_FALSE(load_reference_mesh(dir + "/missing.dvk", ref, error));
  EXPECT_EQ(error, "cannot open reference mesh '" + dir + "/missing.dvk': No such file or directory");
  EXPECT_FALSE(load_reference_mesh(dir + "/bad.dvk", ref, error));
  EXPECT_EQ(error.rfind("cannot read reference mesh '" + dir + "/bad.dvk'", 0), 0u) << error;
  EXPECT_EQ(Grid::gGrids.size(), parts);
}

TEST(MeshReportsBatch, CheckAndCompareThroughTheBinary) {
  const std::string dir = make_temp_dir(), box = PELGROVE_SOURCE_DIR "/examples/box.vmf";
  ASSERT_EQ(run_pelgrove({"--run", box, dir + "/golden.dvk"}, dir).status, 0);
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* out;  // the standard output holds this
    const char* err;  // the standard error holds this
  } cases[] = {
      {{"--check=json", "--run", box, "out.dvk"}, 0, "{\"points\":386,", ""},
      {{"--check", "--run", box, "out.dvk"}, 0, "points: 386\n", ""},
      {{"--compare", "golden.dvk", "--run", box, "out.dvk"}, 0,
       "compare with golden.dvk (points within 1e-06): the meshes match (386 points, 384 elements, 6 groups)", ""},
      {{"--compare", "golden.dvk", "--run", PELGROVE_SOURCE_DIR "/examples/transition.vmf", "out.dvk"}, 1,
       "compare with golden.dvk (points within 1e-06): ", ""},
      {{"--compare", "none.dvk", "--run", box, "out.dvk"}, 1, "",
       "pelgrove: cannot open reference mesh 'none.dvk': No such file or directory"},
  };
  for (const Case& c : cases) {
    const ProcessResult r = run_pelgrove(c.args, dir);
    EXPECT_EQ(r.status, c.status) << c.args[0] << " " << r.err;
    EXPECT_NE(r.out.find(c.out), std::string::npos) << c.args[0] << ": " << r.out;
    if (c.args[0] == "--check=json") {
      EXPECT_EQ(r.out.substr(0, 1), "{") << "only the object on standard output";
    }
    EXPECT_NE(r.err.find(c.err), std::string::npos) << c.args[0] << ": " << r.err;
  }
}

}  // namespace
