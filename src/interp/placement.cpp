#include "interp/placement.h"

#include "grid/Grid.h"
#include "grid/memory.h"
#include "interp/params.h"
#include "script/scriptstream.h"
#include "util/message.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string_view>

Placement gTransformation;
std::vector<Placement> matrix_stack;

namespace {

constexpr double kDegToRad = 0.017453292519943295;
constexpr double kTwo53 = 9007199254740992.0;  // 2^53: integers up to here are exact

// The spacing of the representable multiples that `v` is one of: the value of the lowest set
// bit of its significand (0 for zero, which fits every spacing).
double quantum(double v) {
  if (v == 0 || !std::isfinite(v)) return 0;
  uint64_t bits = std::bit_cast<uint64_t>(v);
  uint64_t mantissa = bits & ((uint64_t(1) << 52) - 1);
  int exponent = int((bits >> 52) & 0x7ff);
  if (exponent == 0) {
    exponent = -1074;  // subnormal
  } else {
    mantissa |= uint64_t(1) << 52;
    exponent -= 1075;
  }
  return std::ldexp(1.0, exponent + std::countr_zero(mantissa));
}

// What a run of translations does to one axis. When every offset and the coordinate are
// multiples of some q and their magnitudes add up to at most 2^53 q (and stay finite), every
// partial sum is exact, so adding the run's exact total gives the bits replaying each offset
// would: a row of parts spaced by a round step costs one addition per point instead of one
// per move.
struct AxisRun {
  bool moved = false;    // some offset of the run acts on this axis
  bool summable = true;  // total and bound below are exact
  double total = 0;      // sum of the offsets (-0 only when all are -0, as replayed)
  double q = 0;          // smallest quantum of the offsets; 0 when all are zero
  double bound = 0;      // sum of |offset| / q

  void add_in_front(double v) {
    total = moved ? v + total : v;
    moved = true;
    if (!summable || v == 0) return;
    double qv = quantum(v);
    if (q == 0 || qv < q) {
      bound = q == 0 ? 0 : bound * (q / qv);
      q = qv;
    }
    bound += std::fabs(v) / q;
    if (!(bound <= kTwo53)) summable = false;
  }
  // True, with the coordinate moved, when the shortcut is exact for it: the spacing is the
  // finer of the offsets' and the coordinate's own.
  bool shift(double& x) const {
    if (!moved) return true;
    if (!summable || !std::isfinite(x)) return false;
    double qx = quantum(x);
    double qq = q == 0 ? qx : qx == 0 ? q : std::min(q, qx);
    if (qq > 0 && !(std::fabs(x) / qq + bound * (q / qq) <= kTwo53)) return false;
    if (!std::isfinite(std::fabs(x) + bound * q)) return false;  // a partial sum would overflow
    x += total;
    return true;
  }
};

}  // namespace

// One pair; `next` is the pair that acts after it. A translation also summarises the run of
// translations it starts (up to `run_end`, the first pair that is not one).
struct Placement::Node {
  std::string text;      // "word number"
  bool readable = true;  // false: the number could not be read, and applying stops here
  bool acts = false;     // a move or turn of a known axis; other words do nothing
  PlacementOp op;
  size_t count = 1;      // pairs from here to the end
  std::shared_ptr<const Node> next;
  const Node* run_end = nullptr;
  AxisRun run[3];

  ~Node() {
    // Release a long unshared tail one pair at a time, not by recursion.
    auto tail = std::move(const_cast<std::shared_ptr<const Node>&>(next));
    while (tail && tail.use_count() == 1)
      tail = std::move(const_cast<std::shared_ptr<const Node>&>(tail->next));
  }
};

namespace {

// A readable translation, or a word that does nothing: part of a run of translations.
bool in_run(const Placement::Node* n) { return n && n->readable && (!n->acts || !n->op.rotate); }

// A word's first letter says move (m) or rotate (r), its second the axis; any other word or
// letter does nothing. A number that cannot be read ends the transformation there.
// The number as a stream reads it: a finite number written whole converts the same way
// directly; anything else (inf, nan, a stray word) is left to the stream.
bool read_number(std::string_view number, double& value) {
  const auto [end, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (ec == std::errc() && end == number.data() + number.size() && std::isfinite(value)) return true;
  static std::istringstream in;  // one stream: making one costs more than the rest here
  in.clear();
  in.str(std::string(number));
  value = 0;
  return bool(in >> value);
}

std::shared_ptr<Placement::Node> make_node(std::string_view word, std::string_view number,
                                           std::shared_ptr<const Placement::Node> next) {
  auto node = std::make_shared<Placement::Node>();
  node->text.reserve(word.size() + 1 + number.size());
  node->text.append(word).append(1, ' ').append(number);
  double value = 0;
  node->readable = read_number(number, value);
  if (node->readable && word.size() >= 2 && (word[0] == 'm' || word[0] == 'r') &&
      (word[1] == 'x' || word[1] == 'y' || word[1] == 'z')) {
    node->acts = true;
    node->op.axis = word[1];
    if (word[0] == 'm') {
      node->op.offset = value;
    } else {
      node->op.rotate = true;
      node->op.c = std::cos(value * kDegToRad);
      node->op.s = std::sin(value * kDegToRad);
    }
  }
  // A translation (or a word that does nothing) extends the run of translations behind it.
  if (node->readable && !node->op.rotate) {
    const Placement::Node* after = next.get();
    if (in_run(after)) {
      node->run_end = after->run_end;
      for (int a = 0; a < 3; ++a) node->run[a] = after->run[a];
    } else {
      node->run_end = after;
    }
    if (node->acts) node->run[node->op.axis - 'x'].add_in_front(node->op.offset);
  }
  node->count = next ? next->count + 1 : 1;
  node->next = std::move(next);
  return node;
}

void apply_op(const PlacementOp& op, double& x, double& y, double& z) {
  if (!op.rotate) {
    (op.axis == 'x' ? x : op.axis == 'y' ? y : z) += op.offset;
    return;
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

}  // namespace

size_t Placement::size() const { return mHead ? mHead->count : 0; }

std::string Placement::text() const {
  std::string out;
  for (const Node* n = mHead.get(); n; n = n->next.get()) out += n->text + " ";
  return out;
}

void Placement::prepend(const std::string& pairs) {
  std::vector<std::string_view> words;
  for (size_t i = 0; i < pairs.size();) {
    size_t end = pairs.find(' ', i);
    if (end == std::string::npos) end = pairs.size();
    if (end > i) words.emplace_back(pairs.data() + i, end - i);
    i = end + 1;
  }
  for (size_t i = words.size() / 2; i-- > 0;) mHead = make_node(words[2 * i], words[2 * i + 1], mHead);
}

namespace {

// The pairs of the transformation last applied, flat and oldest first (the pair holding
// `count` pairs sits at count - 1), so replaying them reads memory in order rather than
// chasing a pointer per pair. A new transformation shares most of its pairs with the last
// one (pairs were put in front, or a saved one came back), so only the pairs in front of the
// shared ones are added: constant work per part in a loop of moves.
struct Step {
  enum Kind : uint8_t { stop, nothing, move, turn } kind;
  PlacementOp op;
  size_t run_end;  // count of the first pair after the run, 0 at the end
  const AxisRun* run;
};
struct Flat {
  std::shared_ptr<const Placement::Node> head;  // keeps every pair of `steps` alive
  std::vector<Step> steps;
};
Flat gFlat;

const std::vector<Step>& flatten(const std::shared_ptr<const Placement::Node>& head) {
  if (head == gFlat.head) return gFlat.steps;
  std::vector<const Placement::Node*> fresh;
  const Placement::Node* n = head.get();
  for (; n && !(n->count <= gFlat.steps.size() && gFlat.steps[n->count - 1].run == n->run); n = n->next.get())
    fresh.push_back(n);
  gFlat.steps.resize(n ? n->count : 0);
  for (auto it = fresh.rbegin(); it != fresh.rend(); ++it) {
    const Placement::Node* f = *it;
    Step::Kind kind = !f->readable ? Step::stop : !f->acts ? Step::nothing : f->op.rotate ? Step::turn : Step::move;
    gFlat.steps.push_back({kind, f->op, f->run_end ? f->run_end->count : 0, f->run});
  }
  gFlat.head = head;
  return gFlat.steps;
}

}  // namespace

// Translations commute across axes, so a run of them moves each coordinate by its own
// offsets in order; where the run's total is exact for all three it is added at once,
// otherwise every pair of the run is replayed.
void Placement::apply(double& x, double& y, double& z) const {
  const std::vector<Step>& steps = flatten(mHead);
  auto in_run = [&](size_t i) { return i > 0 && (steps[i - 1].kind == Step::move || steps[i - 1].kind == Step::nothing); };
  size_t i = steps.size();  // pairs not yet applied: steps[0, i)
  while (i > 0 && steps[i - 1].kind != Step::stop) {
    const Step& step = steps[i - 1];
    if (step.kind == Step::turn) {
      apply_op(step.op, x, y, z);
      --i;
      continue;
    }
    double nx = x, ny = y, nz = z;
    if (step.run[0].shift(nx) && step.run[1].shift(ny) && step.run[2].shift(nz)) {
      x = nx, y = ny, z = nz;
      i = step.run_end;
      continue;
    }
    for (; in_run(i); --i)
      if (steps[i - 1].kind == Step::move) apply_op(steps[i - 1].op, x, y, z);
  }
}

// -- operations

// to_chars with a precision writes what printf's %.6g does, as the stream would.
std::string format_number(double value) {
  char text[32];
  const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 6).ptr;
  return std::string(text, end);
}

// A loop of moves that never pops its matrix is stopped at a count far beyond any model's
// needs, or sooner when its pairs would take more than half the memory left.
bool prepend_transformation(const std::string& pairs) {
  const size_t held = gTransformation.size();
  static size_t checked_at = 0;  // pairs held when the memory left was last read
  bool full = held >= kMaxPlacementPairs;
  if (!full && (held < checked_at || held >= checked_at + 4096)) {
    checked_at = held;
    full = held * (sizeof(Placement::Node) + 16) > memory_room() / 2;
  }
  if (full) {
    alert("the placement would hold more than %zu moves and turns (is a pop_matrix missing?)", held);
    return false;
  }
  gTransformation.prepend(pairs);
  return true;
}

void apply_transformation(GridPt& p) { gTransformation.apply(p.x, p.y, p.z); }

// "units" scales translations as well as the part.
void apply_transformation(Grid& g) {
  auto units_entry = gParameters.find("units");
  double units = units_entry != gParameters.end() ? units_entry->second : 1.0;
  int n = g.num_grid_points();
  for (int i = 0; i < n; ++i) {
    GridPt& p = g.point(i);
    double x = p.x, y = p.y, z = p.z;
    gTransformation.apply(x, y, z);
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
