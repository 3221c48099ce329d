// The mesh check as a gate: --fail-on on hand-made meshes with one fault each, --check=json
// holding standard output alone, and --compare at every magnitude a double holds.
#include "support/batch_runner.h"
#include "support/test_support.h"

#include <cstdlib>
#include <string>
#include <vector>

using namespace batch_rows;

namespace {

std::vector<std::string> with(std::vector<std::string> options) {
  options.insert(options.end(), RUN.begin(), RUN.end());
  return options;
}

const std::string QUADS = "set element_type quads\n";
const Files FOLD = script(QUADS +
                          "plate a 1 1  0 0 0  1 0 0  1 1 0  0 1 0\n"
                          "plate b 1 1  1 0 0  0.1 0 0.1  0.1 1 0.1  1 1 0\n");
const Files WARP = script(QUADS + "plate w 1 1  0 0 0  1 0 0  1 1 1  0 1 0\n");
const Files T_JOINT =
    script(QUADS + "plate skin 4 1  0 0 0  4 0 0  4 1 0  0 1 0\nline stiff 1  1.5 0 0  1.5 0 1\n");

}  // namespace

TEST(Check, FailOnGatesTheRun) {
  const std::string kinds = "free-edges, non-manifold, flips, folds, warps, t-joints, near-misses, collapsed, "
                            "zero-area, non-finite, any";
  check({
      {"a fold", with({"--fail-on", "folds"}), FOLD, 1,
       "pelgrove: --fail-on folds: the mesh check found 1\nfolded neighbours (normals turning by more than 150 "
       "degrees): 1\n  edge 2-4 of element 1 (element 1 of part 'a' made at s.vmf:2) and element 2 (element 1 of "
       "part 'b' made at s.vmf:3), 173.7 degrees\n", "", "no title\n"},
      {"a warp", with({"--fail-on", "folds,warps"}), WARP, 1,
       "pelgrove: --fail-on warps: the mesh check found 1\nwarped quadrilaterals (halves turning by more than 10 "
       "degrees): 1\n  element 1 (element 1 of part 'w' made at s.vmf:2), 54.74 degrees\n"},
      {"a T-joint", with({"--fail-on", "t-joints"}), T_JOINT, 1,
       "pelgrove: --fail-on t-joints: the mesh check found 1\nT-joints (points of one part on an element of "
       "another, not merged to it): 1\n  points of 'stiff' made at s.vmf:3 on part 'skin' made at s.vmf:2: 1\n"
       "    point 12 at 1.5 0 0 on element 2 (element 2 of part 'skin' made at s.vmf:2), 0 off\n"},
      {"the fold in JSON", with({"--check=json"}), FOLD, 0, "", "\"folds\":{\"count\":1,\"threshold_degrees\":150,"},
      {"the warp in JSON", with({"--check=json"}), WARP, 0, "", "\"warps\":{\"count\":1,\"threshold_degrees\":10,"},
      {"the T-joint in JSON", with({"--check=json"}), T_JOINT, 0, "",
       "\"t_joints\":{\"count\":1,\"pairs\":[{\"point_part\":{\"name\":\"stiff\",\"place\":\"s.vmf:3\"},"},
      {"other kinds pass", with({"--fail-on", "warps,t-joints,flips,non-finite"}), FOLD, 0, ""},
      {"--check alone keeps the status", with({"--check"}), FOLD, 0, "", "folded neighbours"},
      {"no script, still one JSON object", {"--check=json", "--run", "none.vmf", "out.dvk"}, {}, 1,
       "none.vmf: cannot read the script: No such file or directory",
       "^{\"error\":\"cannot read the script: No such file or directory\"}\n"},
      {"any: the free edges", with({"--fail-on", "any"}), PLATE, 1,
       "pelgrove: --fail-on free-edges: the mesh check found 4\nfree edges: 4\n"},
      {"an unknown kind", with({"--fail-on", "folds,bogus"}), PLATE, 2,
       "\tunknown finding kind 'bogus'; the kinds are " + kinds + "\n", "", ""},
      {"a mistyped kind", with({"--fail-on", "warp"}), PLATE, 2,
       "\tunknown finding kind 'warp'; the kinds are " + kinds + "\n\tdid you mean 'warps'?\n", "", ""},
      {"an empty kind", with({"--fail-on", "folds,"}), PLATE, 2, "unknown finding kind ''", "", ""},
  }, false);
}

// Whatever the script prints and its imports say go to standard error: standard output is
// one JSON object, as a JSON parser reads it.
TEST(Check, JsonHoldsStandardOutputAlone) {
  const std::string dir = make_temp_dir();
  write_file(dir + "/s.vmf", "set w 3\nprint w\nimport vet " PELGROVE_TEST_DATA "/square.vet\n");
  write_file(dir + "/golden.dvk", "no title\n0 0 0\n");
  const ProcessResult p = run_pelgrove({"--check=json", "--compare", "golden.dvk", "--run", "s.vmf", "out.dvk"}, dir);
  EXPECT_EQ(p.status, 1);  // the reference differs
  for (const char* said : {"preloading ", "w=3\n", "reading verts...", "compare with golden.dvk"})
    EXPECT_TRUE(contains(p.err, said)) << said << "\n" << p.err;
  write_file(dir + "/out.json", p.out);
  EXPECT_EQ(std::system(("/usr/bin/python3 -m json.tool " + dir + "/out.json > /dev/null").c_str()), 0) << p.out;
}

// A model compared with its own file matches, and a model moved by a hundredth of its size
// does not, from the smallest magnitudes to the largest.
TEST(Check, CompareHoldsAtEveryScale) {
  for (const char* s : {"1e-300", "1e-150", "1", "1e80", "1e160"}) {
    SCOPED_TRACE(s);
    const std::string dir = make_temp_dir(), x = s;
    const std::string model =
        "set element_type tri0\nplate p 2 2  0 0 0  " + x + " 0 0  " + x + " " + x + " 0  0 " + x + " 0\n";
    write_file(dir + "/s.vmf", model);
    write_file(dir + "/moved.vmf", "move [" + x + "/100] 0 0\n" + model);
    ASSERT_EQ(run_pelgrove({"--run", "s.vmf", "golden.dvk"}, dir).status, 0);
    const ProcessResult same = run_pelgrove({"--compare", "golden.dvk", "--run", "s.vmf", "out.dvk"}, dir);
    EXPECT_EQ(same.status, 0);
    EXPECT_TRUE(contains(same.out, "the meshes match (9 points, 8 elements, 1 groups)")) << same.out;
    const ProcessResult moved = run_pelgrove({"--compare", "golden.dvk", "--run", "moved.vmf", "out.dvk"}, dir);
    EXPECT_EQ(moved.status, 1);
    EXPECT_TRUE(contains(moved.out, ": 34 differences\n")) << moved.out;
    const ProcessResult checked = run_pelgrove({"--check", "--run", "s.vmf", "out.dvk"}, dir);
    EXPECT_TRUE(contains(checked.out, "zero-area elements: 0\nsmallest angle: 45 degrees")) << checked.out;
  }
}
