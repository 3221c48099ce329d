// --image: pictures of the finished model drawn without a display, read back with libpng.
#include "support/batch_runner.h"
#include "support/test_support.h"

#include <png.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

using namespace batch_rows;

namespace {
// A blue 2 x 2 plate in the x-y plane; every edge of its rim is free.
const std::string BLUE_PLATE = "set rgb 0 0 1\nset element_type quads\nplate p 2 2  0 0 0  2 0 0  2 2 0  0 2 0\n";
const std::vector<std::string> IMAGE = {"--run", "s.vmf", "out.dvk", "--image", "out.png"};

std::vector<std::string> with(std::vector<std::string> args, const std::vector<std::string>& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

struct Picture {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;
  // Share of the pixels within 60 of the colour on every channel.
  double share(int r, int g, int b) const {
    size_t n = 0;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3)
      n += std::abs(rgb[i] - r) < 60 && std::abs(rgb[i + 1] - g) < 60 && std::abs(rgb[i + 2] - b) < 60;
    return rgb.empty() ? 0 : double(n) / (rgb.size() / 3);
  }
};

bool read_png(const std::string& path, Picture& p) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGB;
  p.rgb.resize(PNG_IMAGE_SIZE(image));
  p.width = int(image.width), p.height = int(image.height);
  return png_image_finish_read(&image, nullptr, p.rgb.data(), 0, nullptr) != 0;
}
}  // namespace

// What the picture shows: its size, the part's colour (how much of the view it fills from
// each side), the free edges in red when --check is given; nothing when the run fails.
TEST(Image, DrawsTheModelWithoutADisplay) {
  unsetenv("DISPLAY");
  struct Row {
    const char* id;
    std::vector<std::string> args;
    std::string script;
    int status, width, height;  // width 0: no picture is left
    double blue_min, blue_max;
    bool red;
    std::string err = "";
  } rows[] = {
      {"800x600 from the iso corner", IMAGE, BLUE_PLATE, 0, 800, 600, 0.05, 0.5, false},
      {"the size asked", with(IMAGE, {"--size", "320x200"}), BLUE_PLATE, 0, 320, 200, 0.05, 0.5, false},
      {"from z the plate fills the view", with(IMAGE, {"--view", "z", "--size", "200x200"}), BLUE_PLATE, 0, 200,
       200, 0.3, 0.7, false},
      {"from x it is edge-on", with(IMAGE, {"--view", "x", "--size", "200x200"}), BLUE_PLATE, 0, 200, 200, 0, 0.02,
       false},
      {"--check draws the free rim red", with(IMAGE, {"--check", "--view", "z", "--size", "200x200"}), BLUE_PLATE, 0,
       200, 200, 0.3, 0.7, true},
      {"no picture of a failed run", IMAGE, BLUE_PLATE + "nosuchword\n", 1, 0, 0, 0, 0, false,
       "did not find a builder called 'nosuchword'"},
      {"no picture in a missing folder", {"--run", "s.vmf", "out.dvk", "--image", "no/out.png"}, BLUE_PLATE, 1, 0, 0,
       0, 0, false, "no/out.png: cannot write the picture: No such file or directory\n"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.id);
    const std::string dir = make_temp_dir();
    write_file(dir + "/s.vmf", r.script);
    const ProcessResult run = run_pelgrove(r.args, dir);
    EXPECT_EQ(run.status, r.status) << run.err;
    EXPECT_TRUE(contains(run.err, r.err)) << run.err;
    Picture p;
    const bool drawn = read_png(dir + "/out.png", p);
    EXPECT_EQ(drawn, r.width > 0);
    EXPECT_FALSE(std::filesystem::exists(dir + "/no"));
    if (!drawn) continue;
    EXPECT_EQ(p.width, r.width);
    EXPECT_EQ(p.height, r.height);
    EXPECT_GE(p.share(0, 0, 255), r.blue_min);
    EXPECT_LE(p.share(0, 0, 255), r.blue_max);
    EXPECT_EQ(p.share(255, 0, 0) > 0, r.red);
  }
}

// Values that are no picture end the run before anything is written, with status 2.
TEST(Image, RefusesBadValues) {
  const Files plate = script(BLUE_PLATE);
  check({
      {"a size without x", with(IMAGE, {"--size", "800"}), plate, 2,
       "\t--size <value>\n\tthe size '800' is not WxH with whole numbers from 1 to 8192\n", "", ""},
      {"a zero side", with(IMAGE, {"--size", "0x600"}), plate, 2, "the size '0x600' is not WxH", "", ""},
      {"too large a side", with(IMAGE, {"--size", "800x9000"}), plate, 2, "the size '800x9000' is not WxH", "", ""},
      {"an unknown view", with(IMAGE, {"--view", "top"}), plate, 2,
       "\t--view <value>\n\tunknown view 'top'; the views are iso, x, y, z, -x, -y, -z\n", "", ""},
      {"--image without --run", {"--image", "out.png"}, {}, 2,
       "--image: pictures are drawn after a batch run: give --run\n", "", ""},
      {"--view without --image", with(RUN, {"--view", "x"}), plate, 2,
       "--view: it sets the picture of --image, which is not given\n", "", ""},
      {"the picture over the script", {"--run", "s.vmf", "out.dvk", "--image", "s.vmf"}, plate, 2,
       "--image: the picture 's.vmf' is the script ('s.vmf'); it is not written over it\n", "", ""},
      {"the picture over the mesh", {"--run", "s.vmf", "out.dvk", "--image", "./out.dvk"}, plate, 2,
       "--image: the picture './out.dvk' is the mesh output of --run ('out.dvk')", "", ""},
  }, false);
}
