#include "meshio/formats.h"

#include "support/test_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace {

class MeshFormatsTest : public ScriptTest {
protected:
  void TearDown() override {
    std::filesystem::remove_all(dir);
    ScriptTest::TearDown();
  }
  std::string dir = make_temp_dir();
};

}  // namespace

TEST(MeshFormats, LookupByNameAndDefault) {
  EXPECT_STREQ(mesh_formats()[0].name, "dvk");
  EXPECT_EQ(mesh_format_names(), "dvk, vbf, vtu, msh, stl, obj");
  const std::pair<const char*, const char*> by_path[] = {
      {"a/model.vtu", "vtu"}, {"model.MSH", "msh"}, {"m.tar.stl", "stl"}, {"model", "dvk"},
      {"model.txt", "dvk"},   {"dir.obj/model", "dvk"}, {".vbf", "vbf"}};
  for (const auto& [path, name] : by_path) EXPECT_STREQ(mesh_format_for_path(path).name, name) << path;
  for (const Mesh_Format& f : mesh_formats()) {
    EXPECT_EQ(find_mesh_format(f.name), &f);
    EXPECT_EQ(std::string("*.") + f.name, f.pattern);
  }
  EXPECT_EQ(find_mesh_format("VBF"), nullptr);
  EXPECT_EQ(find_mesh_format(""), nullptr);
}

// Every writer: a target that cannot be written, or a write that fails part way (a full
// disk), returns false and leaves the old file whole and no temporary beside it.
TEST_F(MeshFormatsTest, EveryFormatReplacesItsTargetWholeOrNotAtAll) {
  ASSERT_TRUE(build("set element_type quads\nplate p 20 20  0 0 0  1 0 0  1 1 0  0 1 0\n"));
  const std::string path = dir + "/mesh.out";
  for (const Mesh_Format& f : mesh_formats()) {
    SCOPED_TRACE(f.name);
    write_file(path, "old contents\n");
    chmod(path.c_str(), 0640);
    EXPECT_FALSE(f.write((dir + "/missing/out").c_str(), true));
    EXPECT_FALSE(f.write(dir.c_str(), true));
    EXPECT_FALSE(f.write("/dev/full", true));
    for (size_t limit : {0, 1000, 2024, 2100}) {
      SCOPED_TRACE(limit);
      EXPECT_FALSE(with_file_size_limit(limit, [&] { return f.write(path.c_str(), true); }));
      EXPECT_EQ(read_file(path), "old contents\n");
      EXPECT_EQ(dir_entries(dir), std::vector<std::string>{"mesh.out"});
    }

    // Written: the mode is kept, links are followed, devices written in place.
    ASSERT_TRUE(f.write(path.c_str(), true));
    EXPECT_GT(read_file(path).size(), 441u * 24);
    EXPECT_EQ(dir_entries(dir), std::vector<std::string>{"mesh.out"});
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    const std::string link = dir + "/link";
    write_file(path, "old\n");
    ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
    ASSERT_TRUE(f.write(link.c_str(), true));
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_GT(read_file(path).size(), 441u * 24);
    std::filesystem::remove(link);
    EXPECT_TRUE(f.write("/dev/null", true));
    ASSERT_EQ(stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
  }
}
