// The sides --image looks from: which model directions end up right, up and towards the eye.
#include "ui/offscreen_image.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(ImageView, SidesAndWords) {
  const double a = 1 / std::sqrt(2.0), b = 1 / std::sqrt(6.0), c = 1 / std::sqrt(3.0);
  struct Row { const char* word; Gl_Vec3 right, up, toward; } rows[] = {  // model directions
      {"z", {1, 0, 0}, {0, 1, 0}, {0, 0, 1}},    {"-z", {-1, 0, 0}, {0, 1, 0}, {0, 0, -1}},
      {"x", {0, 1, 0}, {0, 0, 1}, {1, 0, 0}},    {"-x", {0, -1, 0}, {0, 0, 1}, {-1, 0, 0}},
      {"y", {-1, 0, 0}, {0, 0, 1}, {0, 1, 0}},   {"-y", {1, 0, 0}, {0, 0, 1}, {0, -1, 0}},
      {"iso", {-a, a, 0}, {-b, -b, 2 * b}, {c, c, c}},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.word);
    ImageView v;
    ASSERT_TRUE(parse_image_view(r.word, v));
    const Gl_Quat q = image_view_orientation(v);
    const Gl_Vec3 screen[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const Gl_Vec3* model[3] = {&r.right, &r.up, &r.toward};
    for (int k = 0; k < 3; ++k) {
      const Gl_Vec3 s = quat_rotate(q, *model[k]);
      for (int i = 0; i < 3; ++i) EXPECT_NEAR(s[i], screen[k][i], 1e-9) << "axis " << k;
    }
  }
  ImageView v;
  for (const char* word : {"", "X", "+x", "iso ", "xy"}) EXPECT_FALSE(parse_image_view(word, v)) << word;
}
