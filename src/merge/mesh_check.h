// mesh_check: a soundness report on the merged, renumbered parts — counts, merged points
// between parts, free / non-manifold / inconsistently oriented edges, folded neighbours,
// warped quadrilaterals, T-joints between parts, collapsed and zero-area elements,
// non-finite points, angle and aspect extremes, and points of different parts that lie
// close together but were not merged (near misses). Every finding names its part and the
// script place that built it. Geometry is measured on coordinates scaled by a power of two,
// so it holds at any magnitude a double can carry.
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
    std::string place;  // the script place that made it, or empty
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
  // Two neighbours sharing edge a-b whose normals turn by `degrees`.
  struct Fold {
    long a = 0, b = 0;
    Where at, other;
    double degrees = 0;
  };
  // A quadrilateral whose corners leave its plane: the angle between the triangles of its
  // flatter diagonal split.
  struct Warp {
    Where at;
    double degrees = 0;
  };
  // A point (number, position) of one part and something of another part found there.
  struct PointAt {
    long point = 0;
    int part = -1;
    double x = 0, y = 0, z = 0;
    Where at;           // the element it lies on (T-joints)
    double distance = 0;  // from that element
  };
  struct NearMiss {
    long a = 0, b = 0;  // point numbers
    int part_a = -1, part_b = -1;
    double distance = 0;
    double x = 0, y = 0, z = 0;  // point a
  };
  struct Count {
    long count = 0;
    std::vector<PointAt> examples;
  };
  static constexpr size_t EXAMPLES = 10;  // examples kept of each finding
  static constexpr double FOLD_DEG = 150;  // neighbours whose normals turn by more are folded
  static constexpr double WARP_DEG = 10;   // quadrilaterals whose halves turn by more are warped

  long points = 0;
  std::vector<Part> parts;  // every part, in the order they were made
  Kinds total;
  // Points merged into a point of another part (or of their own: a == b), per pair a <= b.
  std::map<std::pair<int, int>, long> merged;
  long free_edges = 0, nonmanifold_edges = 0, flipped_edges = 0;
  std::vector<Edge> free_examples, nonmanifold_examples, flipped_examples;
  long folds = 0;
  std::vector<Fold> fold_examples;
  long warps = 0;
  std::vector<Warp> warp_examples;
  // Points of one part lying on an element of another without being merged to it, per
  // (part of the point, part of the element).
  long t_joints = 0;
  std::map<std::pair<int, int>, Count> t_joint_pairs;
  long collapsed = 0;  // elements whose corners merging joined (dropped ones included)
  long dropped = 0;    // of those, elements left with fewer than two points (not written)
  std::vector<Where> collapsed_examples;
  // Elements whose corners their own part put at one place (a transition's snapped lattice
  // points, a pole, a corner given twice): intended, not a fault.
  long designed = 0, designed_dropped = 0;
  std::vector<Where> designed_examples;
  long zero_area = 0;
  std::vector<Where> zero_area_examples;
  Count non_finite;  // points with an infinite or NaN coordinate
  double min_angle_deg = 0;  // over the corners of triangles and quadrilaterals
  Where min_angle_at;
  double max_aspect = 0;     // longest over shortest edge, over faces
  Where max_aspect_at;
  double lo[3] = {0, 0, 0}, hi[3] = {0, 0, 0};  // of the finite points
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
// Every fold check_mesh counts, in ascending order of the shared edge (a, b).
std::vector<MeshCheck::Fold> mesh_folds();
// The element of every T-joint check_mesh counts (an element holding several appears as often).
std::vector<MeshCheck::Where> mesh_t_joint_elements();
// The report in plain words, and the same as one JSON object.
std::string mesh_check_text(const MeshCheck& c);
std::string mesh_check_json(const MeshCheck& c);
// What stands in standard output for the JSON report when a run left no mesh to examine (the
// script could not be read, the model did not fit in memory): {"error": why}.
std::string mesh_check_json_error(const std::string& why);

// -- finding kinds (the words of --fail-on)
// ORDER CHECK_KINDS
enum class CheckKind { FREE_EDGES, NON_MANIFOLD, FLIPS, FOLDS, WARPS, T_JOINTS, NEAR_MISSES, COLLAPSED, ZERO_AREA,
                       NON_FINITE, COUNT };
const char* check_kind_name(CheckKind k);
// The kind named `word`; false when there is none.
bool find_check_kind(const std::string& word, CheckKind& k);
// How many findings of kind `k` the check made.
long check_kind_count(const MeshCheck& c, CheckKind k);
// The lines of the text report that tell the findings of kind `k`.
std::string check_kind_text(const MeshCheck& c, CheckKind k);
