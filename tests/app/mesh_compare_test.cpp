#include "app/mesh_reports.h"

#include "grid/Grid.h"
#include "interp/interp.h"
#include "support/test_support.h"

#include <string>

using MeshCompareTest = ScriptTest;

// A reference that cannot be read leaves the model's parts as they were (its messages: batch_test).
TEST_F(MeshCompareTest, UnreadableReferenceKeepsTheModel) {
  std::string model = "plate floor 2 1  0 0 0  2 0 0  2 1 0  0 1 0\nline rail 2  0 1 0  2 1 0\n";
  start_script(model, "model.vmf");
  const std::vector<Grid*> parts = Grid::gGrids;
  ASSERT_EQ(parts.size(), 2u);
  const std::string dir = make_temp_dir();
  write_file(dir + "/bad.dvk", "no title\n3 1 1\n1 0 0 0\n");
  FlatMesh ref;
  std::string error;
  EXPECT_FALSE(load_reference_mesh(dir + "/bad.dvk", ref, error));
  EXPECT_EQ(error.rfind("cannot read reference mesh '" + dir + "/bad.dvk'", 0), 0u) << error;
  EXPECT_EQ(Grid::gGrids, parts);
}
