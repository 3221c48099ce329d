// placement: the current placement transformation applied to every new part.
// Held as text of "word number" pairs, each command prepending its own; numbers are
// stored with 6 significant digits. Owns gTransformation (per run, reset by reset_params)
// and matrix_stack (lives for the process; every run starts from its start-up state).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

class scriptstream;
class Grid;
struct GridPt;

// -- state
extern std::string gTransformation;
extern std::vector<std::string> matrix_stack;

// -- operations
// Prepends "word value " (value in default stream formatting) to gTransformation; false,
// with a message, when the text would grow past kMaxPlacementBytes.
bool prepend_transformation(const std::string& pairs);
constexpr size_t kMaxPlacementBytes = 65536;
std::string format_number(double value);  // default ostream formatting: 6 significant digits
void apply_transformation(GridPt& p);      // without units
void apply_transformation(Grid& g);        // every point, then scaled by "units"
void apply_transformation_to_last();

// One pair of the transformation text, parsed: a translation along, or a rotation about,
// one axis. Rotations carry their cosine and sine so a grid's points share them.
struct PlacementOp {
  bool rotate = false;
  char axis = 'x';     // 'x', 'y' or 'z'
  double offset = 0;   // translation
  double c = 1, s = 0; // rotation
};
// The pairs of `text` in the order they act on a point; pairs that do nothing are left out.
std::vector<PlacementOp> parse_transformation(const std::string& text);
void apply_placement(const std::vector<PlacementOp>& ops, double& x, double& y, double& z);

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
