#include "ui/Gl_Triad.h"
#include "ui/Gl_State.h"

#include <FL/gl.h>

#include <algorithm>

namespace {
constexpr int kMargin = 4;          // pixels between the triad and the view's corner
constexpr double kAxis = 0.68;      // axis length in the triad's [-1, 1] square
constexpr double kLetter = 0.085;   // half-size of an axis letter

// Axis letters as strokes (pairs of points in [-1, 1]), so no font is needed.
const float X_STROKES[] = {-1, -1, 1, 1, -1, 1, 1, -1};
const float Y_STROKES[] = {-1, 1, 0, 0, 1, 1, 0, 0, 0, 0, 0, -1};
const float Z_STROKES[] = {-1, 1, 1, 1, 1, 1, -1, -1, -1, -1, 1, -1};
const struct {
  const float* xy;
  int points;
} LETTERS[3] = {{X_STROKES, 4}, {Y_STROKES, 6}, {Z_STROKES, 6}};
}  // namespace

int axis_triad_size(int w, int h) { return std::clamp(std::min(w, h) / 5, 48, 96); }

std::array<float, 3> axis_triad_color(int k) {
  static const std::array<float, 3> colors[3] = {{1, 0, 0}, {0, 0.8f, 0}, {0.2f, 0.45f, 1}};
  return colors[std::clamp(k, 0, 2)];
}

void draw_axis_triad(const Gl_Quat& orientation, int w, int h) {
  const int s = axis_triad_size(w, h);
  glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LINE_BIT | GL_VIEWPORT_BIT | GL_TRANSFORM_BIT);
  for (int i = 0; i < 6; ++i) glDisable(GL_CLIP_PLANE0 + i);
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_LINE_SMOOTH);
  glDisable(GL_TEXTURE_2D);
  glViewport(kMargin, kMargin, s, s);
  gl_push_overlay_matrices();
  glLineWidth(2);
  // The axes' tips as the view sees them; without depth testing the farthest goes first.
  Gl_Vec3 tip[3];
  int order[3] = {0, 1, 2};
  for (int k = 0; k < 3; ++k) {
    Gl_Vec3 a{0, 0, 0};
    a[k] = 1;
    tip[k] = quat_rotate(orientation, a);
  }
  std::sort(order, order + 3, [&](int a, int b) { return tip[a][2] < tip[b][2]; });
  glBegin(GL_LINES);
  for (int k : order) {
    const auto c = axis_triad_color(k);
    glColor3f(c[0], c[1], c[2]);
    glVertex2d(0, 0);
    glVertex2d(kAxis * tip[k][0], kAxis * tip[k][1]);
    // The letter just beyond the tip, upright on the screen.
    const double lx = (kAxis + 0.17) * tip[k][0], ly = (kAxis + 0.17) * tip[k][1];
    for (int j = 0; j < LETTERS[k].points; ++j)
      glVertex2d(lx + kLetter * LETTERS[k].xy[2 * j], ly + kLetter * LETTERS[k].xy[2 * j + 1]);
  }
  glEnd();
  gl_pop_overlay_matrices();
  glPopAttrib();  // restores the matrix mode, viewport and line width too
}
