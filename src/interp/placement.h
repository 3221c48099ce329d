// placement: the current placement transformation applied to every new part.
// A list of moves and turns, each command putting its own in front; every value is kept as
// the text "word number" with 6 significant digits, parsed once when the command runs.
// Owns gTransformation (per run, reset by reset_params) and matrix_stack (lives for the
// process; every run starts from its start-up state).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class scriptstream;
class Grid;
struct GridPt;

// One pair of the transformation, parsed: a translation along, or a rotation about, one
// axis. Rotations carry their cosine and sine so every point shares them.
struct PlacementOp {
  bool rotate = false;
  char axis = 'x';     // 'x', 'y' or 'z'
  double offset = 0;   // translation
  double c = 1, s = 0; // rotation
};

// The transformation: pairs in the order they act on a point, the latest command's first.
// Copies share their pairs (a saved copy costs nothing), and putting a pair in front costs
// the same however many are behind it.
class Placement {
public:
  struct Node;

  bool empty() const { return !mHead; }
  void clear() { mHead.reset(); }
  size_t size() const;  // pairs held
  // "word number " for every pair, first-acting first: "rz 90 mx 1 ".
  std::string text() const;
  // Puts the pairs of `pairs` ("word number ...", in acting order) in front.
  void prepend(const std::string& pairs);
  // Moves a point through every pair, as exactly as replaying them one by one.
  void apply(double& x, double& y, double& z) const;

private:
  std::shared_ptr<const Node> mHead;
};

// -- state
extern Placement gTransformation;
extern std::vector<Placement> matrix_stack;

// -- operations
// Puts "word value ..." in front of gTransformation; false, with a message, when it holds
// kMaxPlacementPairs pairs already or they take half the memory left (a run of moves with
// no pop_matrix).
bool prepend_transformation(const std::string& pairs);
constexpr size_t kMaxPlacementPairs = 2'000'000;  // about 450 MB
std::string format_number(double value);  // default ostream formatting: 6 significant digits
void apply_transformation(GridPt& p);      // without units
void apply_transformation(Grid& g);        // every point, then scaled by "units"
void apply_transformation_to_last();

// -- commands
bool command_move(scriptstream& s);  // move  <dx> <dy> <dz>
bool command_m_r(scriptstream& s, const char* word);
bool command_mx(scriptstream& s);
bool command_my(scriptstream& s);
bool command_mz(scriptstream& s);
bool command_rx(scriptstream& s);
bool command_ry(scriptstream& s);
bool command_rz(scriptstream& s);
bool command_pushm(scriptstream& s);  // push_matrix
bool command_popm(scriptstream& s);   // pop_matrix
