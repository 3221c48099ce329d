// mesh_check: a soundness report on the merged, renumbered parts — counts, merged points
// between parts, free / non-manifold / inconsistently oriented edges, collapsed and
// zero-area elements, angle and aspect extremes, and points of different parts that lie
// close together but were not merged (near misses).
#pragma once

#include <map>
#include <string>
#include <utility>
#include <vector>

struct MeshCheck {
  struct Kinds {
    long bars = 0, triangles = 0, quads = 0;
    long total() const { return bars + triangles + quads; }
  };
  struct Part {
    std::string name;
    Kinds elements;
  };
  // An element: its part (index into parts), its index within the part (from 0) and its
  // number in a written mesh file (0 when merging left it too few points to be written).
  struct Where {
    int part = -1;
    long element = -1;
    long number = 0;
    bool found() const { return part >= 0; }
  };
  // An edge between two point numbers and one element that has it.
  struct Edge {
    long a = 0, b = 0;
    Where at;
  };
  struct NearMiss {
    long a = 0, b = 0;  // point numbers
    int part_a = -1, part_b = -1;
    double distance = 0;
    double x = 0, y = 0, z = 0;  // point a
  };
  static constexpr size_t EXAMPLES = 10;  // examples kept of each finding

  long points = 0;
  std::vector<Part> parts;  // every part, in the order they were made
  Kinds total;
  // Points merged into a point of another part (or of their own: a == b), per pair a <= b.
  std::map<std::pair<int, int>, long> merged;
  long free_edges = 0, nonmanifold_edges = 0, flipped_edges = 0;
  std::vector<Edge> free_examples, nonmanifold_examples, flipped_examples;
  long collapsed = 0;  // elements that lost corners to merging (dropped ones included)
  long dropped = 0;    // of those, elements left with fewer than two points (not written)
  long zero_area = 0;
  std::vector<Where> collapsed_examples, zero_area_examples;
  double min_angle_deg = 0;  // over the corners of triangles and quadrilaterals
  Where min_angle_at;
  double max_aspect = 0;     // longest over shortest edge, over faces
  Where max_aspect_at;
  double lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};
  double near_threshold = 0;  // the largest distance that was examined
  long near_misses = 0;
  std::vector<NearMiss> near_examples;
};

// Examines Grid::gGrids after merge_grid_pts and renumber_grid_pts.
MeshCheck check_mesh();
// The free edges alone (what check_mesh counts as such): edges of triangles and quadrilaterals
// used by exactly one face of all parts, as point numbers a < b with the face that has each,
// in ascending order of (a, b). Bars have no such edges.
std::vector<MeshCheck::Edge> mesh_free_edges();
// The report in plain words, and the same as one JSON object.
std::string mesh_check_text(const MeshCheck& c);
std::string mesh_check_json(const MeshCheck& c);
