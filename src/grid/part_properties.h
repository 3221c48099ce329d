// part_properties: what the solver decks need beyond the mesh. The material word is taken
// by each new part at creation (like its colour; thickness is the parameter "thickness");
// the element type names say which element every bar, triangle and quadrilateral becomes in
// an input deck. Both are per run: reset_part_properties restores the defaults.
#pragma once

#include <string>

class scriptstream;

extern std::string part_material;  // "material" at script start
void reset_part_properties();

// The deck's element type name for elements of `points` points (2, 3 or 4): B31, S3, S4
// unless set by element_name.
const std::string& solver_element_name(int points);

// -- commands
bool command_material(scriptstream& s);      // material <name>
bool command_element_name(scriptstream& s);  // element_name <bar|triangle|quadrilateral> <type>
