// part_properties: what the solver decks need beyond the mesh. The material word is taken
// by each new part at creation (like its colour; thickness is the parameter "thickness");
// the element type names say which element every bar, triangle and quadrilateral becomes in
// an input deck. The lattice spacings in u and v grade the lattice of each new part. All are
// per run: reset_part_properties restores the defaults.
#pragma once

#include "script/functions.h"

#include <string>

class scriptstream;

extern std::string part_material;  // "material" at script start
void reset_part_properties();

// The spacing a new part's lattice takes along u (axis 0) or v (axis 1); uniform at script start.
const Spacing& part_spacing(int axis);
// set u_spacing|v_spacing uniform | bias <ratio> | bump <ratio> | cluster <strength>
// (`name` is the parameter word, which says the axis).
bool set_part_spacing(const std::string& name, scriptstream& s);

// The deck's element type name for elements of `points` points (2, 3 or 4): B31, S3, S4
// unless set by element_name.
const std::string& solver_element_name(int points);
// Puts back a name solver_element_name gave, for writing a model kept beyond its run.
void set_solver_element_name(int points, const std::string& type);

// -- commands
bool command_material(scriptstream& s);      // material <name>
bool command_element_name(scriptstream& s);  // element_name <bar|triangle|quadrilateral> <type>
