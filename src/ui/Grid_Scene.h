// Grid_Scene: one part's display. load_grids turns every part into a Grid_Scene inside the
// composite Pelgrove_UserInterface::gScenes; each keeps its part's geometry as vertex and
// index arrays (faces, element edges, bars, merge links, free edges) that it uploads to
// OpenGL buffers when first drawn. A part whose display would not fit in memory shows its
// element edges or only its bounding box, and the status callback says so. Owns
// gScenes and gHiddenParts.
#pragma once

#include "ui/Gl_Scene.h"

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

class Grid;
struct GridPt;

// What a display shows besides the parts.
struct Scene_Options {
  bool merging = false;     // a red line from every merged point to its representative
  bool free_edges = false;  // in red, every edge of a face no other face of the merged mesh shares
};

namespace Pelgrove_UserInterface {
// The scenes the main window's viewer shows; rebuilt by load_grids().
extern RC<Gl_Scene_Composite> gScenes;
}  // namespace Pelgrove_UserInterface

// Names of the parts the main window's viewer leaves out (Info > Parts): a view setting that
// load_grids() applies to every part of those names, run after run.
extern std::set<std::string> gHiddenParts;

// A picked element or point, drawn over the part: faces, outlines (seen through the model)
// and points, each x y z.
struct Grid_Highlight {
  std::vector<float> tris, lines, points;
  bool empty() const { return tris.empty() && lines.empty() && points.empty(); }
};

// How much of a part is displayed.
enum class Grid_Display { FULL, OUTLINE, BOX };

// A part's geometry, built without OpenGL. Vertex k is verts[6k..6k+5] = x y z nx ny nz (single
// precision); the first vertices are the part's points at their merged positions, then copies
// where an element needs a normal of its own.
struct Grid_Mesh {
  std::vector<float> verts;
  std::vector<uint32_t> tris;   // 3 per triangle; its colour comes from its last corner (flat)
  std::vector<uint32_t> edges;  // 2 per element edge, each edge once
  std::vector<uint32_t> bars;   // 2 per two-point element
  std::vector<float> links;     // merge links: x y z of the point, x y z of its representative
  std::vector<float> free_edges;  // free edges of the part's faces: x y z, x y z
  size_t bytes() const;
};

class Grid_Scene : public Gl_Scene {
public:
  ~Grid_Scene() override;
  void draw() override;
  Gl_Vec3 center() const override { return mCenter; }
  double diameter() const override { return mDiameter; }

  // -- filled by load_grid
  Gl_Vec3 mCenter{0, 0, 0};
  double mDiameter = 1;
  double line_width = 1;  // "glLineWidth"; negative: no element edges
  double offset_factor = 1, offset_units = 2;
  float color[4] = {1, 0.8f, 0, 1};
  Grid_Display display = Grid_Display::FULL;
  Grid_Mesh mesh;
  Grid_Highlight highlight;
  // Quality colours (a view setting): RGBA per vertex of `mesh`, read at each face's provoking
  // corner; the faces are then drawn unlit in these colours and the element edges dark. Empty:
  // the part's colour.
  std::vector<uint8_t> vertex_rgba;

private:
  void draw_faces(bool own_colours) const;
  void draw_red_lines() const;
  void draw_highlight() const;
  unsigned mBuffers[2] = {0, 0};  // vertices, indices
  unsigned mGeneration = 0;       // context generation the buffers belong to
  size_t mTriOffset = 0, mEdgeOffset = 0, mBarOffset = 0;  // into the index buffer, in indices
  size_t mEdgeCount = 0;  // indices of the edges as drawn (collinear ones joined)
  size_t mIndexSize = 4;                                   // bytes per index
  bool upload();
  void draw_indices(unsigned mode, size_t offset, size_t count) const;
};

// -- plain rules (no OpenGL)
// The normal draw_one gives an element of n points: (P2 - P1) x (P0 - P1) normalised, where P1
// is the second point, P2 the third (the fourth when n > 3 and the third coincides with the
// second), P0 the first (the last when n > 3 and the second coincides with the first);
// (0, 0, 1) when that is zero. Points coincide when they share a non-zero id or a position.
Gl_Vec3 element_normal(int n, const GridPt* pts);
// Colour of a part's element outlines: its own colour, or with `dark` a third of it, black
// when the part is dark already (luminance below a quarter); alpha kept.
void edge_color(const float* part, bool dark, float* out);
// Centre of the part's bounding box and twice the largest distance of a point from it;
// (0,0,0) and 1 without points or when all points coincide.
void grid_bounds(const Grid& g, Gl_Vec3& center, double& diameter);
// Bytes a part's display needs in memory (our arrays and the driver's copy), with the merge
// links when `merging`.
size_t grid_display_bytes(const Grid& g, Grid_Display d, bool merging = false);
// Fills `mesh` for the part; `merging` adds the merge links.
void build_grid_mesh(const Grid& g, Grid_Display d, bool merging, Grid_Mesh& mesh);

// -- memory and status
// Bytes the displays may use: MemAvailable less a reserve, unless a budget was set (tests).
size_t display_memory_budget();
void set_display_memory_budget(size_t bytes);  // 0: ask the system again
// Called with a line such as "part 'wing' shows only its bounding box: not enough memory".
typedef void (*DisplayStatusCallback)(const std::string& text, void* data);
void set_display_status_callback(DisplayStatusCallback cb, void* data);

// -- loading
// Fills the scene from the part: parameters, colour, bounds and geometry.
void load_grid(Grid& g, RC<Grid_Scene>& scene, const Scene_Options& options = {});
// Rebuilds `scenes` from all parts, one Grid_Scene per part in the order of the part list;
// with free_edges each part gets the free edges of its faces in the merged mesh.
void load_grids(Gl_Scene_Composite& scenes, const Scene_Options& options = {});
void load_grids(const Scene_Options& options = {});  // into Pelgrove_UserInterface::gScenes
