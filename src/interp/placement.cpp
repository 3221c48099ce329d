#include "interp/placement.h"

#include "grid/Grid.h"
#include "interp/params.h"
#include "script/scriptstream.h"
#include "util/message.h"

#include <cmath>
#include <sstream>

std::string gTransformation;
std::vector<std::string> matrix_stack;

namespace {
constexpr double kDegToRad = 0.017453292519943295;
}  // namespace

// -- operations

std::string format_number(double value) {
  std::ostringstream out;
  out << value;
  return out.str();
}

// Every prepend copies the text: a runaway loop of moves would take time quadratic in its
// passes and memory without end, so the text is bounded.
bool prepend_transformation(const std::string& pairs) {
  if (gTransformation.size() + pairs.size() + 1 > kMaxPlacementBytes) {
    alert("the placement would hold more than %zu characters of moves and turns (is a pop_matrix missing?)",
          kMaxPlacementBytes);
    return false;
  }
  gTransformation = pairs + " " + gTransformation;
  return true;
}

// Reading stops at the first pair that cannot be read. A word's first letter says move
// (m) or rotate (r), its second the axis; any other word or letter does nothing.
std::vector<PlacementOp> parse_transformation(const std::string& text) {
  std::vector<PlacementOp> ops;
  std::istringstream in(text);
  std::string word;
  double value;
  while (in >> word >> value) {
    if (word.size() < 2 || (word[0] != 'm' && word[0] != 'r')) continue;
    char axis = word[1];
    if (axis != 'x' && axis != 'y' && axis != 'z') continue;
    PlacementOp op;
    op.axis = axis;
    if (word[0] == 'm') {
      op.offset = value;
    } else {
      op.rotate = true;
      op.c = std::cos(value * kDegToRad);
      op.s = std::sin(value * kDegToRad);
    }
    ops.push_back(op);
  }
  return ops;
}

void apply_placement(const std::vector<PlacementOp>& ops, double& x, double& y, double& z) {
  for (const auto& op : ops) {
    if (!op.rotate) {
      (op.axis == 'x' ? x : op.axis == 'y' ? y : z) += op.offset;
      continue;
    }
    double c = op.c, s = op.s;
    double nx = x, ny = y, nz = z;
    switch (op.axis) {
      case 'x': ny = c * y - s * z; nz = s * y + c * z; break;
      case 'y': nx = c * x + s * z; nz = c * z - s * x; break;
      case 'z': nx = c * x - s * y; ny = s * x + c * y; break;
    }
    x = nx;
    y = ny;
    z = nz;
  }
}

void apply_transformation(GridPt& p) { apply_placement(parse_transformation(gTransformation), p.x, p.y, p.z); }

// The text is parsed once per grid; "units" scales translations as well as the part.
void apply_transformation(Grid& g) {
  auto units_entry = gParameters.find("units");
  double units = units_entry != gParameters.end() ? units_entry->second : 1.0;
  std::vector<PlacementOp> ops = parse_transformation(gTransformation);
  int n = g.num_grid_points();
  for (int i = 0; i < n; ++i) {
    GridPt& p = g.point(i);
    double x = p.x, y = p.y, z = p.z;
    apply_placement(ops, x, y, z);
    p.x = x * units;
    p.y = y * units;
    p.z = z * units;
  }
}

void apply_transformation_to_last() {
  if (Grid::gGrids.empty()) return;
  apply_transformation(*Grid::gGrids.back());
}

// -- commands

// move  <dx> <dy> <dz>
bool command_move(scriptstream& s) {
  double d[3];
  for (double& v : d) {
    s >> v;
    if (!s.good()) {
      alert("Error in 'move' expecting dx dy dz arguments");
      return false;
    }
  }
  return prepend_transformation("mx " + format_number(d[0]) + " my " + format_number(d[1]) + " mz " +
                                format_number(d[2]));
}

// mx|my|mz  <d>, rx|ry|rz  <deg>: one pair in front of the current transformation.
bool command_m_r(scriptstream& s, const char* word) {
  double value;
  s >> value;
  if (!s.good()) {
    alert("expected a value for %s", word);
    return false;
  }
  return prepend_transformation(std::string(word) + " " + format_number(value));
}

bool command_mx(scriptstream& s) { return command_m_r(s, "mx"); }
bool command_my(scriptstream& s) { return command_m_r(s, "my"); }
bool command_mz(scriptstream& s) { return command_m_r(s, "mz"); }
bool command_rx(scriptstream& s) { return command_m_r(s, "rx"); }
bool command_ry(scriptstream& s) { return command_m_r(s, "ry"); }
bool command_rz(scriptstream& s) { return command_m_r(s, "rz"); }

// push_matrix
bool command_pushm(scriptstream&) {
  if (!stack_has_room(matrix_stack.size(), 1, "push_matrix")) return false;
  matrix_stack.push_back(gTransformation);
  return true;
}

// pop_matrix
bool command_popm(scriptstream&) {
  if (matrix_stack.empty()) {
    alert("cant pop matrix... it wasn't pushed");
    return false;
  }
  gTransformation = matrix_stack.back();
  matrix_stack.pop_back();
  return true;
}
