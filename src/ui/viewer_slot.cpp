#include "ui/viewer_slot.h"

#include "grid/Grid.h"

#include <FL/Fl_Gl_Window.H>
#include <FL/gl.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A plain wire view of the parts: a fixed oblique view fitted to their bounding box,
// one line loop per element in the part's colour.
class Wire_View : public Fl_Gl_Window {
public:
  Wire_View(int x, int y, int w, int h) : Fl_Gl_Window(x, y, w, h, "GL") {
    mode(FL_RGB | FL_DOUBLE | FL_DEPTH);
    box(FL_DOWN_BOX);
    align(FL_ALIGN_INSIDE);
    labeltype(FL_NO_LABEL);
  }
  void rebuild();
  bool show_merging = false;

private:
  void draw() override;
  struct Loop {
    float color[3];
    std::vector<float> xy;  // projected corner pairs
  };
  std::vector<Loop> mLoops;
  std::vector<float> mMerged;  // projected points that were merged into another
  float mMin[2] = {0, 0}, mMax[2] = {1, 1};
};

Wire_View* view = nullptr;

void project(const GridPt& p, float& u, float& v) {
  // Rotate 35 degrees about z, then tilt 25 degrees towards the viewer.
  const double cz = std::cos(0.61), sz = std::sin(0.61), ct = std::cos(0.44), st = std::sin(0.44);
  double x = cz * p.x - sz * p.y, y = sz * p.x + cz * p.y;
  u = (float)x;
  v = (float)(ct * p.z + st * y);
}

void Wire_View::rebuild() {
  mLoops.clear();
  mMerged.clear();
  bool any = false;
  auto grow = [&](float u, float v) {
    if (!any) mMin[0] = mMax[0] = u, mMin[1] = mMax[1] = v, any = true;
    mMin[0] = std::min(mMin[0], u), mMax[0] = std::max(mMax[0], u);
    mMin[1] = std::min(mMin[1], v), mMax[1] = std::max(mMax[1], v);
  };
  GridPt pts[64];
  for (auto it = Grid::all_begin(); it != Grid::all_end(); ++it) {
    const Grid& g = **it;
    for (int i = 0; i < g.num_elements(); ++i) {
      int n = g.element(i, pts);
      if (n < 2) continue;
      Loop loop{{g.color()[0], g.color()[1], g.color()[2]}, {}};
      for (int k = 0; k < n && k < 64; ++k) {
        float u, v;
        project(pts[k], u, v);
        grow(u, v);
        loop.xy.push_back(u), loop.xy.push_back(v);
      }
      mLoops.push_back(std::move(loop));
    }
    for (int i = 0; i < g.num_grid_points(); ++i)
      if (g.point(i).mapped_to) {
        float u, v;
        project(g.point(i), u, v);
        mMerged.push_back(u), mMerged.push_back(v);
      }
  }
  redraw();
}

void Wire_View::draw() {
  glViewport(0, 0, pixel_w(), pixel_h());
  glClearColor(0.12f, 0.14f, 0.18f, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  float cx = (mMin[0] + mMax[0]) / 2, cy = (mMin[1] + mMax[1]) / 2;
  float half = std::max(mMax[0] - mMin[0], mMax[1] - mMin[1]) * 0.6f + 1e-6f;
  float aspect = (float)w() / std::max(1, h());
  glOrtho(cx - half * std::max(aspect, 1.f), cx + half * std::max(aspect, 1.f), cy - half / std::min(aspect, 1.f),
          cy + half / std::min(aspect, 1.f), -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  for (const Loop& loop : mLoops) {
    glColor3fv(loop.color);
    glBegin(loop.xy.size() == 4 ? GL_LINES : GL_LINE_LOOP);
    for (size_t k = 0; k + 1 < loop.xy.size(); k += 2) glVertex2f(loop.xy[k], loop.xy[k + 1]);
    glEnd();
  }
  if (show_merging && !mMerged.empty()) {
    glPointSize(4);
    glColor3f(1, 0.2f, 0.2f);
    glBegin(GL_POINTS);
    for (size_t k = 0; k + 1 < mMerged.size(); k += 2) glVertex2f(mMerged[k], mMerged[k + 1]);
    glEnd();
  }
}

}  // namespace

Fl_Widget* make_viewer(int x, int y, int w, int h) {
  view = new Wire_View(x, y, w, h);
  return view;
}

void show_grids_in_viewer() {
  if (view) view->rebuild();
}

void set_show_merging(bool on) {
  if (!view) return;
  view->show_merging = on;
  view->rebuild();
}
