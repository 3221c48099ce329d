#include "ui/Grid_Scene.h"

#include "grid/Grid.h"
#include "merge/mesh_check.h"
#include "ui/Gl_State.h"
#include "ui/edge_runs.h"
#include "script/parameters.h"

#define GL_GLEXT_PROTOTYPES
#include <FL/gl.h>
#include <GL/glext.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <new>

std::set<std::string> gHiddenParts;

namespace Pelgrove_UserInterface {
RC<Gl_Scene_Composite> gScenes(new Gl_Scene_Composite);
}  // namespace Pelgrove_UserInterface

namespace {
size_t budget_override = 0;

void print_status(const std::string& text, void*) { fprintf(stderr, "%s\n", text.c_str()); }
DisplayStatusCallback status_cb = print_status;
void* status_data = nullptr;

bool coincide(const GridPt& a, const GridPt& b) {
  return (a.id != 0 && a.id == b.id) || (a.x == b.x && a.y == b.y && a.z == b.z);
}

bool bounding_box(const Grid& g, Gl_Vec3& lo, Gl_Vec3& hi) {
  const int n = g.num_grid_points();
  if (n == 0) return false;
  const GridPt& p0 = g.point(0);
  lo = hi = {p0.x, p0.y, p0.z};
  for (int i = 1; i < n; ++i) {
    const GridPt& p = g.point(i);
    const double c[3] = {p.x, p.y, p.z};
    for (int k = 0; k < 3; ++k) lo[k] = std::min(lo[k], c[k]), hi[k] = std::max(hi[k], c[k]);
  }
  return true;
}

// Each undirected edge once: an open-addressing set of (min, max) index pairs.
class EdgeSet {
public:
  explicit EdgeSet(size_t expected) {
    size_t n = 16;
    while (n < 2 * expected) n <<= 1;
    mSlots.assign(n, EMPTY);
  }
  bool insert(uint32_t a, uint32_t b) {
    if (a > b) std::swap(a, b);
    const uint64_t key = (uint64_t(a) << 32) | b;
    const size_t mask = mSlots.size() - 1;
    for (size_t i = (key * 0x9E3779B97F4A7C15ull) >> 20 & mask;; i = (i + 1) & mask) {
      if (mSlots[i] == key) return false;
      if (mSlots[i] == EMPTY) {
        mSlots[i] = key;
        return true;
      }
    }
  }

private:
  static constexpr uint64_t EMPTY = ~uint64_t(0);
  std::vector<uint64_t> mSlots;
};

void push_vertex(std::vector<float>& v, double x, double y, double z) {
  v.insert(v.end(), {float(x), float(y), float(z), 0.0f, 0.0f, 1.0f});
}

void set_normal(std::vector<float>& v, uint32_t k, const Gl_Vec3& n) {
  for (int c = 0; c < 3; ++c) v[6 * size_t(k) + 3 + c] = float(n[c]);
}

// Faces become triangles whose last corner carries the element's normal (flat shading takes
// a triangle's colour from its last vertex). Each point carries the normal of at most one
// element; an element finding all its corners taken gets a copy of one.
void add_faces(const Grid& g, Grid_Mesh& m, bool faces) {
  const int V = g.num_grid_points();
  const GridPt* base = V ? &g.point(0) : nullptr;
  // A point merged into another point of the same part is drawn as that point.
  auto canon = [&](long i) -> uint32_t {
    const GridPt* r = g.point(int(i)).mapped_to;
    return (r && r >= base && r < base + V) ? uint32_t(r - base) : uint32_t(i);
  };
  std::vector<uint8_t> taken(faces ? V : 0);
  const int E = g.num_elements();
  EdgeSet seen(size_t(E) * 2 + 16);
  for (int k = 0; k < E; ++k) {
    long idx[4];
    const int n = g.element(k, idx);
    if (n == 2) {
      m.bars.push_back(canon(idx[0]));
      m.bars.push_back(canon(idx[1]));
      continue;
    }
    if (n != 3 && n != 4) continue;
    uint32_t v[4];
    for (int j = 0; j < n; ++j) v[j] = canon(idx[j]);
    for (int j = 0; j < n; ++j)
      if (seen.insert(v[j], v[(j + 1) % n])) m.edges.insert(m.edges.end(), {v[j], v[(j + 1) % n]});
    if (!faces) continue;
    GridPt P[4];
    for (int j = 0; j < n; ++j) P[j] = effective(g.point(int(idx[j])));
    const Gl_Vec3 normal = element_normal(n, P);
    // The provoking corner: the last, else one on the same diagonal, else any free one.
    static const int quad_pref[4] = {3, 1, 0, 2}, tri_pref[3] = {2, 0, 1};
    const int* pref = n == 4 ? quad_pref : tri_pref;
    int pick = -1;
    for (int j = 0; j < n && pick < 0; ++j)
      if (!taken[v[pref[j]]]) pick = pref[j];
    uint32_t provoking;
    if (pick >= 0) {
      provoking = v[pick];
      taken[provoking] = 1;
    } else {
      pick = n - 1;
      provoking = uint32_t(m.verts.size() / 6);
      const float* src = &m.verts[6 * size_t(v[pick])];
      push_vertex(m.verts, src[0], src[1], src[2]);
    }
    set_normal(m.verts, provoking, normal);
    // Rotate the corners so the provoking one comes last; the winding stays.
    uint32_t q[4];
    for (int j = 0; j < n; ++j) q[j] = v[(pick + 1 + j) % n];
    q[n - 1] = provoking;
    if (n == 3) {
      m.tris.insert(m.tris.end(), {q[0], q[1], q[2]});
    } else {
      m.tris.insert(m.tris.end(), {q[0], q[1], q[3], q[1], q[2], q[3]});
    }
  }
}

void add_box(const Grid& g, Grid_Mesh& m) {
  Gl_Vec3 lo, hi;
  if (!bounding_box(g, lo, hi)) return;
  for (int c = 0; c < 8; ++c)
    push_vertex(m.verts, c & 1 ? hi[0] : lo[0], c & 2 ? hi[1] : lo[1], c & 4 ? hi[2] : lo[2]);
  for (uint32_t c = 0; c < 8; ++c)
    for (uint32_t bit = 1; bit < 8; bit <<= 1)
      if (!(c & bit)) m.edges.insert(m.edges.end(), {c, c | bit});
}

void add_links(const Grid& g, Grid_Mesh& m) {
  GridPt pair[2];
  for (int i = 0; i < g.num_grid_points(); ++i) {
    if (g.as_merged_pts(i, pair) != 2) continue;
    m.links.insert(m.links.end(), {float(pair[0].x), float(pair[0].y), float(pair[0].z),
                                   float(pair[1].x), float(pair[1].y), float(pair[1].z)});
  }
}

void report(const std::string& text) {
  if (status_cb) status_cb(text, status_data);
}
}  // namespace

// -- plain rules

Gl_Vec3 element_normal(int n, const GridPt* pts) {
  if (n < 3) return {0, 0, 1};
  const GridPt& p1 = pts[1];
  const GridPt& p2 = (n > 3 && coincide(pts[2], pts[1])) ? pts[3] : pts[2];
  const GridPt& p0 = (n > 3 && coincide(pts[1], pts[0])) ? pts[n - 1] : pts[0];
  const double a[3] = {p2.x - p1.x, p2.y - p1.y, p2.z - p1.z};
  const double b[3] = {p0.x - p1.x, p0.y - p1.y, p0.z - p1.z};
  const Gl_Vec3 c{a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
  const double len = std::sqrt(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
  if (!(len > 0) || !std::isfinite(len)) return {0, 0, 1};
  return {c[0] / len, c[1] / len, c[2] / len};
}

void edge_color(const float* part, bool dark, float* out) {
  const float luminance = 0.3f * part[0] + 0.59f * part[1] + 0.11f * part[2];
  const float k = !dark ? 1.0f : luminance < 0.25f ? 0.0f : 1.0f / 3;
  for (int c = 0; c < 3; ++c) out[c] = k * part[c];
  out[3] = part[3];
}

void grid_bounds(const Grid& g, Gl_Vec3& center, double& diameter) {
  center = {0, 0, 0};
  diameter = 1;
  Gl_Vec3 lo, hi;
  if (!bounding_box(g, lo, hi)) return;
  for (int k = 0; k < 3; ++k) center[k] = 0.5 * (lo[k] + hi[k]);
  double r2 = 0;
  for (int i = 0; i < g.num_grid_points(); ++i) {
    const GridPt& p = g.point(i);
    const double dx = p.x - center[0], dy = p.y - center[1], dz = p.z - center[2];
    r2 = std::max(r2, dx * dx + dy * dy + dz * dz);
  }
  diameter = r2 > 0 ? 2 * std::sqrt(r2) : 1;
}

size_t Grid_Mesh::bytes() const {
  return 4 * (verts.size() + tris.size() + edges.size() + bars.size() + links.size() + free_edges.size());
}

// Upper bounds: every face may need a vertex copy (24 bytes), has 6 triangle indices and up to
// 4 edges of 2 indices; the edge set holds 2 slots per edge while building. The arrays are
// kept for a new context and the driver holds a copy, hence twice.
size_t grid_display_bytes(const Grid& g, Grid_Display d, bool merging) {
  const size_t V = size_t(g.num_grid_points()), E = size_t(std::max(0, g.num_elements()));
  const size_t links = merging ? 24 * V : 0;
  switch (d) {
  case Grid_Display::FULL: return 2 * (24 * V + 80 * E + links) + 128 * E;
  case Grid_Display::OUTLINE: return 2 * (24 * V + 32 * E + links) + 128 * E;
  case Grid_Display::BOX: return 1024;
  }
  return 0;
}

void build_grid_mesh(const Grid& g, Grid_Display d, bool merging, Grid_Mesh& m) {
  m = Grid_Mesh();
  if (d == Grid_Display::BOX) {
    add_box(g, m);
    return;
  }
  m.verts.reserve(6 * size_t(g.num_grid_points()));
  for (int i = 0; i < g.num_grid_points(); ++i) {
    const GridPt& p = effective(g.point(i));
    push_vertex(m.verts, p.x, p.y, p.z);
  }
  add_faces(g, m, d == Grid_Display::FULL);
  if (merging) add_links(g, m);
}

// -- memory and status

size_t display_memory_budget() {
  if (budget_override) return budget_override;
  std::ifstream f("/proc/meminfo");
  std::string key;
  size_t kb = 0;
  while (f >> key >> kb) {
    if (key == "MemAvailable:") return kb * 1024 / 10 * 8;  // a fifth stays for everything else
    f.ignore(256, '\n');
  }
  return size_t(1) << 31;
}

void set_display_memory_budget(size_t bytes) { budget_override = bytes; }

void set_display_status_callback(DisplayStatusCallback cb, void* data) {
  status_cb = cb;
  status_data = data;
}

// -- loading

namespace {
// The display each part gets, from what is left of the budget.
Grid_Display choose_display(const Grid& g, bool merging, size_t& left) {
  for (Grid_Display d : {Grid_Display::FULL, Grid_Display::OUTLINE, Grid_Display::BOX}) {
    const size_t need = grid_display_bytes(g, d, merging);
    if (need <= left || d == Grid_Display::BOX) {
      left -= std::min(left, need);
      return d;
    }
  }
  return Grid_Display::BOX;
}

// A display setting the script may change; read without adding it to the parameters.
double display_param(const char* name) {
  const auto it = gParameters.find(name);
  return it == gParameters.end() ? 0 : it->second;
}

void load_grid(Grid& g, RC<Grid_Scene>& scene, bool merging, size_t& budget_left) {
  Grid_Scene& s = *scene;
  s.line_width = display_param("glLineWidth");
  s.offset_units = display_param("glPolygonOffset.units");
  s.offset_factor = display_param("glPolygonOffset.factor");
  std::copy(g.color(), g.color() + 4, s.color);
  grid_bounds(g, s.mCenter, s.mDiameter);
  s.display = choose_display(g, merging, budget_left);
  try {
    build_grid_mesh(g, s.display, merging, s.mesh);
  } catch (const std::bad_alloc&) {
    s.display = Grid_Display::BOX;
    build_grid_mesh(g, s.display, false, s.mesh);
  }
  if (s.display == Grid_Display::OUTLINE)
    report("part '" + g.name() + "' shows only its element edges: not enough memory for its faces");
  else if (s.display == Grid_Display::BOX)
    report("part '" + g.name() + "' shows only its bounding box: not enough memory for its elements");
}
}  // namespace

void load_grid(Grid& g, RC<Grid_Scene>& scene, const Scene_Options& options) {
  size_t budget = display_memory_budget();
  load_grid(g, scene, options.merging, budget);
}

namespace {
// The free edges of the merged mesh as lines, one array per part: each edge goes to the part
// of the face that has it, at its points' merged positions.
std::vector<std::vector<float>> free_edge_lines() {
  const std::vector<Grid*>& grids = Grid::gGrids;
  std::vector<const GridPt*> by_number(1);
  for (const Grid* g : grids)
    for (const GridPt& p : g->mPts)
      if (!p.mapped_to) by_number.push_back(nullptr);
  for (const Grid* g : grids)
    for (const GridPt& p : g->mPts)
      if (!p.mapped_to && p.id > 0 && p.id < (int64_t)by_number.size()) by_number[p.id] = &p;
  std::vector<std::vector<float>> lines(grids.size());
  for (const MeshCheck::Edge& e : mesh_free_edges()) {
    if (e.a < 1 || e.b >= (long)by_number.size() || !by_number[e.a] || !by_number[e.b]) continue;
    if (e.at.part < 0 || e.at.part >= (int)lines.size()) continue;
    const GridPt &a = *by_number[e.a], &b = *by_number[e.b];
    lines[e.at.part].insert(lines[e.at.part].end(),
                            {float(a.x), float(a.y), float(a.z), float(b.x), float(b.y), float(b.z)});
  }
  return lines;
}
}  // namespace

void load_grids(Gl_Scene_Composite& scenes, const Scene_Options& options) {
  scenes.clear();
  size_t budget = display_memory_budget();
  std::vector<std::vector<float>> free_lines;
  if (options.free_edges) {
    try {
      free_lines = free_edge_lines();
      for (const auto& l : free_lines) budget -= std::min(budget, 4 * l.size());
    } catch (const std::bad_alloc&) {
      free_lines.clear();
      report("free edges are not shown: not enough memory");
    }
  }
  size_t k = 0;
  for (auto it = Grid::all_begin(); it != Grid::all_end(); ++it, ++k) {
    RC<Grid_Scene> s(new Grid_Scene);
    scenes.push_back(s);
    load_grid(**it, s, options.merging, budget);
    if (k < free_lines.size() && s->display != Grid_Display::BOX) s->mesh.free_edges.swap(free_lines[k]);
  }
}

void load_grids(const Scene_Options& options) {
  Gl_Scene_Composite& scenes = *Pelgrove_UserInterface::gScenes;
  load_grids(scenes, options);
  for (size_t k = 0; k < scenes.size() && k < Grid::gGrids.size(); ++k)
    if (gHiddenParts.count(Grid::gGrids[k]->name())) scenes[k]->activate(false);
}

// -- drawing

Grid_Scene::~Grid_Scene() { gl_defer_delete_buffers(mGeneration, mBuffers, 2); }

// Vertices in one buffer, then triangles, edges and bars in one index buffer.
bool Grid_Scene::upload() {
  if (mBuffers[0] && mGeneration == gl_context_generation()) return true;
  mGeneration = gl_context_generation();
  glGenBuffers(2, mBuffers);
  glBindBuffer(GL_ARRAY_BUFFER, mBuffers[0]);
  glBufferData(GL_ARRAY_BUFFER, mesh.verts.size() * 4, mesh.verts.data(), GL_STATIC_DRAW);
  mTriOffset = 0;
  mEdgeOffset = mesh.tris.size();
  // Collinear edges go to the renderer as one segment: llvmpipe pays per segment.
  std::vector<uint32_t> runs = join_collinear_edges(mesh.verts, mesh.edges);
  mEdgeCount = runs.size();
  mBarOffset = mEdgeOffset + runs.size();
  const size_t n = mBarOffset + mesh.bars.size();
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, mBuffers[1]);
  // Parts of fewer than 65536 vertices (most) get 16-bit indices: half the bytes to fetch.
  mIndexSize = mesh.verts.size() / 6 < 65536 ? 2 : 4;
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, n * mIndexSize, nullptr, GL_STATIC_DRAW);
  size_t at = 0;
  for (const auto* part : {&mesh.tris, &runs, &mesh.bars}) {
    if (mIndexSize == 4) {
      glBufferSubData(GL_ELEMENT_ARRAY_BUFFER, at * 4, part->size() * 4, part->data());
    } else {
      const std::vector<uint16_t> narrow(part->begin(), part->end());
      glBufferSubData(GL_ELEMENT_ARRAY_BUFFER, at * 2, narrow.size() * 2, narrow.data());
    }
    at += part->size();
  }
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  if (!test4errors("Grid_Scene::upload()")) return true;
  // Typically out of memory: keep the part off the screen rather than draw from bad buffers.
  glDeleteBuffers(2, mBuffers);
  mBuffers[0] = mBuffers[1] = 0;
  return false;
}

void Grid_Scene::draw_indices(unsigned mode, size_t offset, size_t count) const {
  if (!count) return;
  glDrawElements(mode, GLsizei(count), mIndexSize == 2 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT,
                 (const void*)(offset * mIndexSize));
}

// Faces lit and flat (each triangle takes its element's normal from its last corner), then with
// lighting off the bars, the merge links and free edges in red, and the element edges in the part's colour
// (a dark shade of it with gl_dark_edges) unless line_width < 0 (the faces sit behind them by the polygon offset).
// With quality colours the faces are unlit in their own colours and the element edges dark grey.
void Grid_Scene::draw() {
  if (!is_active() || !upload()) return;
  glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LIGHTING_BIT | GL_LINE_BIT | GL_POLYGON_BIT);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glShadeModel(GL_FLAT);
  if (line_width > 0) glLineWidth(float(line_width));
  glPolygonOffset(float(offset_factor), float(offset_units * polygon_offset_unit_scale()));
  glColor4fv(color);
  glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, color);
  glMaterialf(GL_FRONT, GL_SHININESS, 50);
  glBindBuffer(GL_ARRAY_BUFFER, mBuffers[0]);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, mBuffers[1]);
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_FLOAT, 24, nullptr);
  glEnableClientState(GL_NORMAL_ARRAY);
  glNormalPointer(GL_FLOAT, 24, (const void*)12);
  const bool own_colours = vertex_rgba.size() == mesh.verts.size() / 6 * 4 && !vertex_rgba.empty();
  draw_faces(own_colours);
  glDisableClientState(GL_NORMAL_ARRAY);
  glDisable(GL_LIGHTING);
  draw_indices(GL_LINES, mBarOffset, mesh.bars.size());
  draw_red_lines();
  // While a drag moves the view the edges are left out: they cost as much as the faces.
  if (line_width >= 0 && !gl_view_moving()) {
    float edge[4];
    edge_color(color, gl_dark_edges(), edge);
    if (own_colours) std::fill(edge, edge + 3, 0.15f);  // dark over every quality colour
    glColor4fv(edge);
    draw_indices(GL_LINES, mEdgeOffset, mEdgeCount);
  }
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
  glDisableClientState(GL_VERTEX_ARRAY);
  if (!highlight.empty()) draw_highlight();
  glPopAttrib();
  test4errors("Grid_Scene::draw()");
}

// The faces, lit in the part's colour or unlit in the quality colours.
void Grid_Scene::draw_faces(bool own_colours) const {
  if (own_colours) {
    glDisable(GL_LIGHTING);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, vertex_rgba.data());
    glBindBuffer(GL_ARRAY_BUFFER, mBuffers[0]);
    glEnableClientState(GL_COLOR_ARRAY);
  }
  draw_indices(GL_TRIANGLES, mTriOffset, mesh.tris.size());
  if (own_colours) {
    glDisableClientState(GL_COLOR_ARRAY);
    glColor4fv(color);
  }
}

// Merge links and free edges, drawn before the element edges: where one runs along an edge, it shows.
void Grid_Scene::draw_red_lines() const {
  for (const std::vector<float>* red : {&mesh.links, &mesh.free_edges}) {
    if (red->empty()) continue;
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glColor4f(1, 0, 0, 1);
    // Free edges twice as wide: a gap between parts shows at a glance, also behind element edges.
    GLfloat width = 1;
    glGetFloatv(GL_LINE_WIDTH, &width);
    if (red == &mesh.free_edges) glLineWidth(2 * width);
    glVertexPointer(3, GL_FLOAT, 0, red->data());
    glDrawArrays(GL_LINES, 0, GLsizei(red->size() / 3));
    glColor4fv(color);
    glLineWidth(width);
    glBindBuffer(GL_ARRAY_BUFFER, mBuffers[0]);
    glVertexPointer(3, GL_FLOAT, 24, nullptr);
  }
}

// In magenta, unlit: the faces in front of the part's own (no polygon offset), the outlines
// and points over everything, so a picked element behind others still shows where it is.
void Grid_Scene::draw_highlight() const {
  glDisable(GL_LIGHTING);
  glDisable(GL_POLYGON_OFFSET_FILL);
  glDepthFunc(GL_LEQUAL);
  glColor4f(1, 0, 1, 1);
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_FLOAT, 0, highlight.tris.data());
  glDrawArrays(GL_TRIANGLES, 0, GLsizei(highlight.tris.size() / 3));
  glDisable(GL_DEPTH_TEST);
  glLineWidth(3);
  glVertexPointer(3, GL_FLOAT, 0, highlight.lines.data());
  glDrawArrays(GL_LINES, 0, GLsizei(highlight.lines.size() / 3));
  glPointSize(9);
  glVertexPointer(3, GL_FLOAT, 0, highlight.points.data());
  glDrawArrays(GL_POINTS, 0, GLsizei(highlight.points.size() / 3));
  glDisableClientState(GL_VERTEX_ARRAY);
  glPointSize(1);
  glDepthFunc(GL_LESS);
}
