#include "ui/Gl_Scene.h"

#define GL_GLEXT_PROTOTYPES
#include <FL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <vector>

void Gl_Scene::draw() {
  if (!is_active()) return;
  static const float colors[6][3] = {{0, 0, 0.8f}, {0.8f, 0.8f, 0}, {0, 0.8f, 0.8f},
                                     {0.8f, 0, 0}, {0.8f, 0, 0.8f}, {0, 0.8f, 0}};
  // Faces as (axis, side): -z, +z, -x, +x, -y, +y.
  static const int faces[6][2] = {{2, -1}, {2, 1}, {0, -1}, {0, 1}, {1, -1}, {1, 1}};
  glShadeModel(GL_FLAT);
  glBegin(GL_QUADS);
  for (int f = 0; f < 6; ++f) {
    const int a = faces[f][0], s = faces[f][1];
    const int u = (a + 1) % 3, v = (a + 2) % 3;
    float n[3] = {0, 0, 0};
    n[a] = float(s);
    glColor4f(colors[f][0], colors[f][1], colors[f][2], 0.5f);
    glNormal3fv(n);
    static const float corners[4][2] = {{-0.5f, -0.5f}, {0.5f, -0.5f}, {0.5f, 0.5f}, {-0.5f, 0.5f}};
    for (int k = 0; k < 4; ++k) {
      float p[3];
      p[a] = 0.5f * s;
      p[u] = corners[s > 0 ? k : 3 - k][0];
      p[v] = corners[s > 0 ? k : 3 - k][1];
      glVertex3fv(p);
    }
  }
  glEnd();
}

void Gl_Scene_Composite::draw() {
  if (!is_active()) return;
  glPushName(0);
  GLuint name = 0;
  for (auto& s : *this) {
    glLoadName(++name);
    if (s && s->is_active()) s->draw();
  }
  glPopName();
}

Gl_Vec3 Gl_Scene_Composite::center() const {
  Gl_Vec3 c{0, 0, 0};
  if (!is_active()) return c;
  int n = 0;
  for (auto& s : *this) {
    if (!s || !s->is_active()) continue;
    const Gl_Vec3 ci = s->center();
    for (int k = 0; k < 3; ++k) c[k] += ci[k];
    ++n;
  }
  if (n) for (auto& v : c) v /= n;
  return c;
}

double Gl_Scene_Composite::diameter() const {
  if (empty() || !is_active()) return 1.0;
  const Gl_Vec3 c = center();
  double r = 0;
  bool any = false;
  for (auto& s : *this) {
    if (!s || !s->is_active()) continue;
    const Gl_Vec3 ci = s->center();
    const double d = std::hypot(ci[0] - c[0], ci[1] - c[1], ci[2] - c[2]);
    r = std::max(r, d + 0.5 * s->diameter());
    any = true;
  }
  // No active member: nothing to scale to, so the unit size applies as for an empty list.
  return any ? 2 * r : 1.0;
}

namespace {
unsigned generation = 1;
std::vector<GLuint> deferred;  // buffer names of the current generation
bool view_moving = false;
bool dark_edges = false;
}  // namespace

bool gl_dark_edges() { return dark_edges; }
void gl_set_dark_edges(bool dark) { dark_edges = dark; }

bool gl_view_moving() { return view_moving; }
void gl_set_view_moving(bool moving) { view_moving = moving; }

unsigned gl_context_generation() { return generation; }

void gl_new_context_generation() {
  ++generation;
  deferred.clear();  // they died with the old context
}

void gl_defer_delete_buffers(unsigned gen, const unsigned* names, int n) {
  if (gen != generation) return;
  for (int k = 0; k < n; ++k)
    if (names[k]) deferred.push_back(names[k]);
}

void gl_delete_deferred_buffers() {
  if (deferred.empty()) return;
  glDeleteBuffers(GLsizei(deferred.size()), deferred.data());
  deferred.clear();
}
