#include "ui/quality_view.h"

#include "grid/Grid.h"
#include "ui/Fl_Gl_Viewer.h"
#include "ui/Grid_Scene.h"
#include "ui/main_window.h"

#include <FL/Fl_Menu_Bar.H>
#include <FL/gl.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace {

// The measurement shown (measure COUNT: none) and where the stepping stands in its worst list.
ElementQuality shown;
QualityMeasure shown_measure = QualityMeasure::COUNT;
std::vector<long> worst;
int step_at = -1;

Fl_Gl_Viewer* main_viewer() { return dynamic_cast<Fl_Gl_Viewer*>(Pelgrove_UserInterface::GridViewer); }

void legend_overlay(Fl_Gl_Viewer& v, void*) {
  if (shown_measure != QualityMeasure::COUNT) draw_quality_legend(shown, v.w(), v.h(), v.white_background());
}

uint8_t byte(double c) { return uint8_t(std::lround(std::clamp(c, 0.0, 1.0) * 255)); }

// The part's own colour.
void fill_part_colour(const Grid_Scene& s, std::vector<uint8_t>& rgba) {
  const uint8_t c[4] = {byte(s.color[0]), byte(s.color[1]), byte(s.color[2]), byte(s.color[3])};
  for (size_t i = 0; i < rgba.size(); i += 4) std::copy(c, c + 4, &rgba[i]);
}

// Walks the part's elements as add_faces filled `s.mesh.tris`: each face of 3 corners has one
// triangle, of 4 corners two, its provoking corner third in the first.
void colour_part(const Grid& g, long number, const ElementQuality& q, Grid_Scene& s) {
  s.vertex_rgba.clear();
  if (s.display != Grid_Display::FULL || s.mesh.tris.empty()) return;
  s.vertex_rgba.resize(s.mesh.verts.size() / 6 * 4);
  fill_part_colour(s, s.vertex_rgba);
  const std::vector<uint32_t>& tris = s.mesh.tris;
  size_t t = 0;
  for (int k = 0, ne = g.num_elements(); k < ne; ++k) {
    long idx[4];
    const int n = g.element(k, idx);
    if (n >= 2) ++number;
    if (n != 3 && n != 4) continue;
    if (t + 2 >= tris.size()) break;
    const uint32_t corner = tris[t + 2];
    t += n == 3 ? 3 : 6;
    if (number > q.elements()) continue;
    const double bad = quality_badness(q, q.value_of(number));
    if (std::isnan(bad)) continue;
    uint8_t* c = &s.vertex_rgba[4 * size_t(corner)];
    quality_colour(bad, c);
    c[3] = 255;
  }
}

std::string value_text(const ElementQuality& q, double v) {
  if (std::isinf(v)) return "no area";
  char buf[32];
  std::snprintf(buf, sizeof buf, quality_is_count(q.measure) ? "%.0f" : "%.4g", v);
  return buf;
}

// "element 3 (element 1 of part 'b' made at untitled:2)"
std::string element_text(const MeshCheck::Where& w) {
  const Grid* g = Grid::gGrids[w.part];
  std::string s = "element " + std::to_string(w.number) + " (element " + std::to_string(w.element + 1) +
                  " of part '" + g->name() + "'";
  if (!g->place().empty()) s += " made at " + g->place();
  return s + ")";
}

// Centre on the element and scale to three times its size, so its neighbours show around it.
void frame_element(const MeshCheck::Where& w) {
  Fl_Gl_Viewer* v = main_viewer();
  const Grid* g = Grid::gGrids[w.part];
  long idx[4];
  const int n = std::min(g->element(int(w.element), idx), 4);
  if (!v || n < 1) return;
  Gl_Vec3 lo, hi;
  for (int j = 0; j < n; ++j) {
    const GridPt& p = effective(g->mPts[idx[j]]);
    const Gl_Vec3 c{p.x, p.y, p.z};
    for (int a = 0; a < 3; ++a) {
      lo[a] = j ? std::min(lo[a], c[a]) : c[a];
      hi[a] = j ? std::max(hi[a], c[a]) : c[a];
    }
  }
  double d2 = 0;
  Gl_Vec3 centre;
  for (int a = 0; a < 3; ++a) {
    centre[a] = 0.5 * (lo[a] + hi[a]);
    d2 += (hi[a] - lo[a]) * (hi[a] - lo[a]);
  }
  if (!std::isfinite(d2)) return;
  v->center_on(centre);
  v->scale_to(d2 > 0 ? 3 * std::sqrt(d2) : 1);
}

void measure_and_colour() {
  shown = measure_elements(shown_measure);
  colour_scenes(*Pelgrove_UserInterface::gScenes, shown);
  worst = worst_elements(shown, QUALITY_STEPS);
  step_at = -1;
}

// Word by word, a letter's width apart: some GL fonts draw a space as nothing, and their
// widths may fall short of the glyphs drawn.
void draw_text(const std::string& text, double x, double y) {
  const double space = std::max(gl_width(" "), gl_width("n"));
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    const std::string word = text.substr(at, end - at);
    gl_draw(word.c_str(), float(x), float(y));
    x += gl_width(word.c_str()) + space;
    at = end + 1;
  }
}

void measure_cb(Fl_Widget*, void* data) { show_quality_colours(QualityMeasure(long(data))); }
void next_cb(Fl_Widget*, void*) { step_worst_element(+1); }
void previous_cb(Fl_Widget*, void*) { step_worst_element(-1); }

}  // namespace

// -- colour map

void quality_colour(double t, uint8_t rgb[3]) {
  // Blue, cyan, green, yellow, red at t = 0, 1/4, 1/2, 3/4, 1; linear between.
  static const double stops[5][3] = {{0, 0, 1}, {0, 1, 1}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}};
  t = std::clamp(std::isnan(t) ? 0.0 : t, 0.0, 1.0) * 4;
  const int i = std::min(int(t), 3);
  const double f = t - i;
  for (int c = 0; c < 3; ++c) rgb[c] = byte(stops[i][c] + f * (stops[i + 1][c] - stops[i][c]));
}

void colour_scenes(Gl_Scene_Composite& scenes, const ElementQuality& q) {
  const std::vector<Grid*>& grids = Grid::gGrids;
  for (size_t k = 0; k < scenes.size() && k < grids.size() && k < q.first.size(); ++k)
    if (RC<Grid_Scene> s = scenes[k].cast<Grid_Scene>()) colour_part(*grids[k], q.first[k], q, *s);
}

void uncolour_scenes(Gl_Scene_Composite& scenes) {
  for (auto& member : scenes)
    if (RC<Grid_Scene> s = member.cast<Grid_Scene>()) s->vertex_rgba = {};
}

// -- the main window's viewer

void show_quality_colours(QualityMeasure m) {
  shown_measure = m;
  Fl_Gl_Viewer* v = main_viewer();
  if (m == QualityMeasure::COUNT) {
    shown = {};
    worst.clear();
    step_at = -1;
    uncolour_scenes(*Pelgrove_UserInterface::gScenes);
    if (v) v->overlay_callback(nullptr, nullptr);
  } else {
    measure_and_colour();
    if (v) v->overlay_callback(legend_overlay, nullptr);
    Pelgrove_UserInterface::set_status(
        std::string(quality_measure_name(m)) + ": " + std::to_string(shown.measured) + " elements from " +
        value_text(shown, shown.lo) + " to " + value_text(shown, shown.hi) +
        (shown.unbounded ? ", " + std::to_string(shown.unbounded) + " without area" : "") +
        "; n steps to the worst");
  }
  if (v) v->redraw();
}

QualityMeasure quality_colours_shown() { return shown_measure; }

void reapply_quality_colours() {
  if (shown_measure != QualityMeasure::COUNT) measure_and_colour();
}

bool step_worst_element(int step) {
  if (shown_measure == QualityMeasure::COUNT || worst.empty()) {
    Pelgrove_UserInterface::set_status(shown_measure == QualityMeasure::COUNT
                                           ? "no quality colours shown (Info > Quality Colours)"
                                           : "no element to step to");
    return false;
  }
  // Elements of hidden parts (Info > Parts) are passed over.
  const Gl_Scene_Composite& scenes = *Pelgrove_UserInterface::gScenes;
  auto shown_part = [&](int part) { return part >= (int)scenes.size() || scenes[part]->is_active(); };
  const int n = int(worst.size());
  long number = 0;
  MeshCheck::Where w;
  for (int tries = 0; tries < n && !(w.found() && shown_part(w.part)); ++tries) {
    step_at = step_at < 0 ? (step > 0 ? 0 : n - 1) : ((step_at + step) % n + n) % n;
    number = worst[step_at];
    w = locate_element(shown, number);
  }
  if (!w.found() || !shown_part(w.part)) {
    Pelgrove_UserInterface::set_status("no element to step to among the parts shown");
    return false;
  }
  frame_element(w);
  Pelgrove_UserInterface::set_status("worst " + std::to_string(step_at + 1) + " of " + std::to_string(n) +
                                     " by " + quality_measure_name(shown_measure) + ": " + element_text(w) +
                                     ", " + value_text(shown, shown.value_of(number)));
  return true;
}

// -- legend

void quality_legend_bar(int w, int h, int& x, int& y, int& bw, int& bh) {
  (void)w;
  x = 10, y = 24, bw = 14;
  bh = std::clamp(h / 3, 40, 160);
}

// A bar from good (bottom) to bad (top) with the range beside it and the measure above.
void draw_quality_legend(const ElementQuality& q, int w, int h, bool white_background) {
  int x, y, bw, bh;
  quality_legend_bar(w, h, x, y, bw, bh);
  const int top = h - y, bottom = top - bh;  // OpenGL rows count from the bottom
  glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LIGHTING_BIT | GL_POLYGON_BIT | GL_LINE_BIT);
  for (int i = 0; i < 6; ++i) glDisable(GL_CLIP_PLANE0 + i);
  glDisable(GL_LIGHTING);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_BLEND);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glShadeModel(GL_SMOOTH);
  glLineWidth(1);
  gl_push_overlay_matrices(w, h);
  glBegin(GL_QUAD_STRIP);
  for (int i = 0; i <= 4; ++i) {
    uint8_t c[3];
    quality_colour(i / 4.0, c);
    glColor3ub(c[0], c[1], c[2]);
    glVertex2i(x, bottom + bh * i / 4);
    glVertex2i(x + bw, bottom + bh * i / 4);
  }
  glEnd();
  const float ink = white_background ? 0.0f : 1.0f;
  glColor3f(ink, ink, ink);
  glBegin(GL_LINE_LOOP);
  glVertex2f(x - 0.5f, bottom - 0.5f);
  glVertex2f(x + bw + 0.5f, bottom - 0.5f);
  glVertex2f(x + bw + 0.5f, top + 0.5f);
  glVertex2f(x - 0.5f, top + 0.5f);
  glEnd();
  const bool high_bad = quality_high_is_bad(q.measure);
  const double good = quality_is_count(q.measure) ? 0 : high_bad ? q.lo : q.hi, bad = high_bad ? q.hi : q.lo;
  gl_font(FL_HELVETICA, 12);
  // Loading the X font into GL can flag an error (Mesa does, once the window's widgets have
  // used the font) though the glyphs draw; it is not the picture's.
  while (glGetError() != GL_NO_ERROR) {
  }
  draw_text(quality_measure_name(q.measure), x, top + 6);
  draw_text(value_text(q, bad) + " (bad)", x + bw + 5, top - 10);
  draw_text(value_text(q, good) + " (good)", x + bw + 5, bottom);
  if (q.unbounded) draw_text(std::to_string(q.unbounded) + " without area (bad)", x, bottom - 16);
  gl_pop_overlay_matrices();
  glPopAttrib();
}

// -- menus

void add_quality_menu(Fl_Menu_Bar* bar) {
  const std::string menu = "Info/Quality Colours/";
  bar->add((menu + "None").c_str(), 0, measure_cb, (void*)long(QualityMeasure::COUNT), FL_MENU_RADIO);
  for (int m = 0; m < int(QualityMeasure::COUNT); ++m) {
    std::string label = quality_measure_name(QualityMeasure(m));
    label[0] = char(std::toupper(label[0]));
    const int flags = FL_MENU_RADIO | (m + 1 == int(QualityMeasure::COUNT) ? FL_MENU_DIVIDER : 0);
    bar->add((menu + label).c_str(), 0, measure_cb, (void*)long(m), flags);
  }
  bar->add((menu + "Next Worst Element").c_str(), 'n', next_cb);
  bar->add((menu + "Previous Worst Element").c_str(), FL_SHIFT + 'n', previous_cb);
  // The radio item of the measure shown: None, then the measures in order.
  const Fl_Menu_Item* none = bar->find_item(measure_cb);
  const int index = shown_measure == QualityMeasure::COUNT ? 0 : int(shown_measure) + 1;
  if (none) const_cast<Fl_Menu_Item*>(none + index)->setonly();
}
