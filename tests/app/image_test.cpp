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

// The lower-left corner holds the axis triad; the model is looked for elsewhere.
constexpr int kCorner = 96;
struct Colour {
  int r, g, b;
  bool corner;  // counted in the triad's corner only, else everywhere but there
  double min, max = 1;
};

struct Picture {
  int width = 0, height = 0;
  std::vector<unsigned char> rgb;  // rows from the top
  // Share of the pixels of the region within 60 of the colour on every channel.
  double share(const Colour& c) const {
    size_t n = 0, all = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        if ((x < kCorner && y >= height - kCorner) != c.corner) continue;
        const unsigned char* p = &rgb[3 * (size_t(y) * width + x)];
        ++all;
        n += std::abs(p[0] - c.r) < 60 && std::abs(p[1] - c.g) < 60 && std::abs(p[2] - c.b) < 60;
      }
    return all ? double(n) / all : 0;
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
// each side), the triad, dark outlines, the free edges in red when --check is given;
// nothing when the run fails.
TEST(Image, DrawsTheModelWithoutADisplay) {
  unsetenv("DISPLAY");
  const Colour blue_some{0, 0, 255, false, 0.05, 0.5}, blue_most{0, 0, 255, false, 0.3, 0.7},
      blue_little{0, 0, 255, false, 0, 0.02}, no_red{255, 0, 0, false, 0, 0}, red{255, 0, 0, false, 1e-3},
      triad_x{255, 0, 0, true, 1e-3}, triad_y{0, 204, 0, true, 1e-3}, triad_z{51, 115, 255, true, 1e-3};
  const std::vector<std::string> z200 = {"--view", "z", "--size", "200x200"};
  struct Row {
    const char* id;
    std::vector<std::string> args;
    std::string script;
    int status, width, height;  // width 0: no picture is left
    std::vector<Colour> colours;
    std::string err = "";
  } rows[] = {
      {"800x600 from the iso corner, the triad", IMAGE, BLUE_PLATE, 0, 800, 600,
       {blue_some, no_red, triad_x, triad_y, triad_z}},
      {"from z the plate fills the view", with(IMAGE, z200), BLUE_PLATE, 0, 200, 200, {blue_most, no_red}},
      {"from x it is edge-on", with(IMAGE, {"--view", "x", "--size", "200x200"}), BLUE_PLATE, 0, 200, 200,
       {blue_little}},
      {"--check draws the free rim red", with(with(IMAGE, z200), {"--check"}), BLUE_PLATE, 0, 200, 200,
       {blue_most, red}},
      {"--dark-edges outlines a yellow part in dark yellow", with(with(IMAGE, z200), {"--dark-edges"}),
       "set rgb 1 1 0\n" + BLUE_PLATE.substr(BLUE_PLATE.find('\n') + 1), 0, 200, 200,
       {{255, 255, 0, false, 0.3}, {85, 85, 0, false, 1e-3}}},
      {"no picture of a failed run", IMAGE, BLUE_PLATE + "nosuchword\n", 1, 0, 0, {},
       "did not find a builder called 'nosuchword'"},
      {"no picture in a missing folder", {"--run", "s.vmf", "out.dvk", "--image", "no/out.png"}, BLUE_PLATE, 1, 0, 0,
       {}, "no/out.png: cannot write the picture: No such file or directory\n"},
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
    for (const Colour& c : r.colours) {
      const double share = p.share(c);
      EXPECT_TRUE(share >= c.min && share <= c.max) << c.r << " " << c.g << " " << c.b << ": " << share;
    }
  }
}

// Values that are no picture end the run before anything is written, with status 2.
TEST(Image, RefusesBadValues) {
  const Files plate = script(BLUE_PLATE);
  check({
      {"a size without x", with(IMAGE, {"--size", "800"}), plate, 2,
       "\t--size <value>\n\tthe size '800' is not WxH with whole numbers from 1 to 8192\n", "", ""},
      {"too large a side", with(IMAGE, {"--size", "800x9000"}), plate, 2, "the size '800x9000' is not WxH", "", ""},
      {"an unknown view", with(IMAGE, {"--view", "top"}), plate, 2,
       "\t--view <value>\n\tunknown view 'top'; the views are iso, x, y, z, -x, -y, -z\n", "", ""},
      {"--image without --run", {"--image", "out.png"}, {}, 2,
       "--image: pictures are drawn after a batch run: give --run\n", "", ""},
      {"--view without --image", with(RUN, {"--view", "x"}), plate, 2,
       "--view: it sets the picture of --image, which is not given\n", "", ""},
      {"--dark-edges without --image", with(RUN, {"--dark-edges"}), plate, 2,
       "--dark-edges: it sets the picture of --image, which is not given\n", "", ""},
      {"the picture over the script", {"--run", "s.vmf", "out.dvk", "--image", "s.vmf"}, plate, 2,
       "--image: the picture 's.vmf' is the script ('s.vmf'); it is not written over it\n", "", ""},
  }, false);
}
