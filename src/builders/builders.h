// builders: the builder registry and the direct generators plate, cylinder, sphere,
// line, arc and orbit. A builder reads its own arguments, makes exactly one grid (the
// last in Grid::gGrids) and returns true, or returns false with a message.
// Owns gBuilders (filled once by map_builders; lives for the process).
#pragma once

#include "grid/Grid.h"
#include "script/functions.h"

#include <map>
#include <string>

class scriptstream;
class Grid_MxN;

typedef bool (*BuilderFunc)(std::string name, scriptstream& in, std::string& message);

struct Builder {
  Builder() = default;
  Builder(const std::string& n, BuilderFunc f) : name(n), func(f) {}
  std::string name;
  BuilderFunc func = nullptr;
};

// -- state
extern std::map<std::string, Builder> gBuilders;

// Registers the built-in builders. The command table is filled separately (map_commands).
void map_builders(const std::string& unused);

struct GridData {
  int M = 0, N = 0;
  GridPt a, b, c, d;
  Grid_MxN* grid = nullptr;
  Spacing u_spacing, v_spacing;  // where the lattice points lie along i (a curve's only direction) and j
};

// The spacings of a new part: those in force (set u_spacing, set v_spacing).
void take_part_spacing(GridData& gd);

// -- reading
// M[:M2] N[:N2] a b c d; false with the reason appended to message.
bool read_patch(scriptstream& in, GridData& gd, int& M2, int& N2, std::string& message);
bool read_patch_dimensions(scriptstream& in, GridData& gd, int& M2, int& N2, std::string& message);
// True, with the reason appended to message, when an M x N lattice is too large to index
// or to hold in the memory left.
bool too_large(std::string& message, int M, int N);
// N a b
bool read_curve(scriptstream& in, GridData& gd, std::string& message);

// -- checks (a part with a point that is not finite is never made)
// False, with "<kind> <letter> is not finite: x y z" appended to message, at the first of
// the n points a, b, c, d (kind "corner" or "end") with a coordinate that is not finite.
bool check_finite_corners(const GridData& gd, int n, const char* kind, std::string& message);
// False, with the first point of the filled lattice that is not finite appended to message
// ("point (i, j)", or "point i (s = 0.25)" on a curve, then its x y z), after deleting the
// grid; a curve's points run from s = 1 at i = 0 to s = 0 at i = N.
bool check_finite_lattice(GridData& gd, std::string& message);

// -- builders
bool plate(std::string name, scriptstream& in, std::string& message);
bool cylinder(std::string name, scriptstream& in, std::string& message);
bool sphere(std::string name, scriptstream& in, std::string& message);
bool line(std::string name, scriptstream& in, std::string& message);
bool cylindrical_arc(std::string name, scriptstream& in, std::string& message);
bool spherical_arc(std::string name, scriptstream& in, std::string& message);
