// The builder registry and the direct generators. Each builder sets its message to its
// usage line first and appends one reason when it stops; every count is checked before
// a grid is made, so a builder that fails on its arguments leaves the part list alone.
#include "builders/builders.h"
#include "builders/lattice.h"

#include "builders/import.h"
#include "builders/parametric.h"
#include "grid/finite_points.h"
#include "grid/memory.h"
#include "grid/part_properties.h"
#include "grid/pelgrove_MxN.h"
#include "script/scriptstream.h"
#include "util/message.h"

#include <algorithm>

std::map<std::string, Builder> gBuilders;

namespace {

const char* const patch_usage = "expecting M N  a b c d\n";
const char* const curve_usage = "expecting N  a b\n";

bool fail(std::string& message, const std::string& reason) {
  message += reason;
  return false;
}

bool read_point(scriptstream& in, GridPt& p) {
  in >> p.x >> p.y >> p.z;
  return in.good();
}

// One dimension of a patch: a number truncated to int, then an optional ":secondary"
// that must follow the number directly. Without it the secondary equals the first.
bool read_dimension(scriptstream& in, int& first, int& second) {
  in >> first;
  if (!in.good()) return false;
  second = first;
  if (in.peek() != ':') return true;
  in.ignore();
  in >> second;
  return in.good();
}

void register_builder(const char* name, BuilderFunc func) { gBuilders[name] = Builder(name, func); }

// Makes the patch of a successfully read record: plain or transition lattice.
bool fill_patch(GridData& gd, int M2, int N2, const std::string& name) {
  if (M2 == gd.M && N2 == gd.N)
    build_abcd(gd, name);
  else
    build_abcd_mn(gd, M2, N2, name);
  return gd.grid != nullptr;
}

bool read_and_fill_patch(const std::string& name, scriptstream& in, std::string& message, GridData& gd) {
  message = patch_usage;
  int M2 = 0, N2 = 0;
  if (!read_patch(in, gd, M2, N2, message) || !check_finite_corners(gd, 4, "corner", message)) return false;
  take_part_spacing(gd);
  return fill_patch(gd, M2, N2, name);
}

bool read_and_fill_curve(const std::string& name, scriptstream& in, std::string& message, GridData& gd) {
  message = curve_usage;
  if (!read_curve(in, gd, message) || !check_finite_corners(gd, 2, "end", message)) return false;
  take_part_spacing(gd);
  build_ab(gd, name);
  return gd.grid != nullptr;
}

// Finite corners can still overflow near the largest doubles, where the weights' rounding
// or a conversion takes a point past them.
bool convert_checked(GridData& gd, void (*convert)(GridData&), std::string& message) {
  if (convert) convert(gd);
  return check_finite_lattice(gd, message);
}

}  // namespace

// Point and element numbers are ints: a lattice whose counts they cannot hold is refused
// rather than allowed to wrap. The memory a lattice needs is checked before it is made, too.
bool too_large(std::string& message, int M, int N) {
  if (!lattice_fits(M, N)) {
    message += string_printf("lattice of %d x %d cells is too large", M, N);
    return true;
  }
  std::string why;
  if (points_fit_memory((M + 1.0) * (N + 1.0), why)) return false;
  message += string_printf("lattice of %d x %d cells: ", M, N) + why;
  return true;
}

void map_builders(const std::string&) {
  register_builder("plate", plate);
  register_builder("cylinder", cylinder);
  register_builder("sphere", sphere);
  register_builder("line", line);
  register_builder("arc", cylindrical_arc);
  register_builder("orbit", spherical_arc);
  register_builder("pplate", pplate);
  register_builder("pcylinder", pcylinder);
  register_builder("psphere", psphere);
  register_builder("pline", pline);
  register_builder("parc", pcylindrical_arc);
  register_builder("porbit", pspherical_arc);
  register_builder("import", import_geom);
}

void take_part_spacing(GridData& gd) {
  gd.u_spacing = part_spacing(0);
  gd.v_spacing = part_spacing(1);
}

// -- reading

bool read_patch_dimensions(scriptstream& in, GridData& gd, int& M2, int& N2, std::string& message) {
  if (!read_dimension(in, gd.M, M2)) return fail(message, "could not read dimension for M");
  if (gd.M < 1) return fail(message, "dimension for M must be positive");
  if (M2 < 1) return fail(message, "secondary dimension for M must be positive");
  if (!read_dimension(in, gd.N, N2)) return fail(message, "could not read dimension for N");
  if (gd.N < 1) return fail(message, "dimension for N must be positive");
  if (N2 < 1) return fail(message, "secondary dimension for N must be positive");
  if (too_large(message, std::max(gd.M, M2), std::max(gd.N, N2))) return false;
  return true;
}

bool read_patch(scriptstream& in, GridData& gd, int& M2, int& N2, std::string& message) {
  if (!read_patch_dimensions(in, gd, M2, N2, message)) return false;
  if (!read_point(in, gd.a)) return fail(message, "could not read coordinate values for a");
  if (!read_point(in, gd.b)) return fail(message, "could not read coordinate values for b");
  if (!read_point(in, gd.c)) return fail(message, "could not read coordinate values for c");
  if (!read_point(in, gd.d)) return fail(message, "could not read coordinate values for d");
  return true;
}

bool check_finite_corners(const GridData& gd, int n, const char* kind, std::string& message) {
  const GridPt* corners[4] = {&gd.a, &gd.b, &gd.c, &gd.d};
  for (int k = 0; k < n; ++k)
    if (first_nonfinite(corners[k], 1) == 0)
      return fail(message, string_printf("%s %c is not finite: ", kind, 'a' + k) + xyz_text(*corners[k]));
  return true;
}

bool check_finite_lattice(GridData& gd, std::string& message) {
  const long k = gd.grid ? first_nonfinite(*gd.grid) : -1;
  if (k < 0) return true;
  const GridPt p = gd.grid->mPts[(size_t)k];
  std::string place = "point " + point_place(*gd.grid, k);
  if (gd.grid->N == 0) place += string_printf(" (s = %.10g)", 1 - double(k) / gd.grid->M);
  delete gd.grid;
  gd.grid = nullptr;
  return fail(message, place + " is not finite: " + xyz_text(p));
}

bool read_curve(scriptstream& in, GridData& gd, std::string& message) {
  in >> gd.N;
  if (!in.good()) return fail(message, "could not read dimension N");
  if (gd.N < 1) return fail(message, "N must be positive");
  if (too_large(message, gd.N, 0)) return false;
  if (!read_point(in, gd.a)) return fail(message, "could not read coordinate values for a");
  if (!read_point(in, gd.b)) return fail(message, "could not read coordinate values for b");
  return true;
}

// -- builders

// plate M[:M2] N[:N2]  ax ay az  bx by bz  cx cy cz  dx dy dz
bool plate(std::string name, scriptstream& in, std::string& message) {
  GridData gd;
  return read_and_fill_patch(name, in, message, gd) && convert_checked(gd, nullptr, message);
}

// cylinder M[:M2] N[:N2]  a b c d as (r, theta deg, z)
bool cylinder(std::string name, scriptstream& in, std::string& message) {
  GridData gd;
  return read_and_fill_patch(name, in, message, gd) && convert_checked(gd, cyl2xyz, message);
}

// sphere M[:M2] N[:N2]  a b c d as (r, theta deg, phi deg)
bool sphere(std::string name, scriptstream& in, std::string& message) {
  GridData gd;
  return read_and_fill_patch(name, in, message, gd) && convert_checked(gd, sph2xyz, message);
}

// line N  ax ay az  bx by bz
bool line(std::string name, scriptstream& in, std::string& message) {
  GridData gd;
  return read_and_fill_curve(name, in, message, gd) && convert_checked(gd, nullptr, message);
}

// arc N  a b as (r, theta deg, z)
bool cylindrical_arc(std::string name, scriptstream& in, std::string& message) {
  GridData gd;
  return read_and_fill_curve(name, in, message, gd) && convert_checked(gd, cyl2xyz, message);
}

// orbit N  a b as (r, theta deg, phi deg)
bool spherical_arc(std::string name, scriptstream& in, std::string& message) {
  GridData gd;
  return read_and_fill_curve(name, in, message, gd) && convert_checked(gd, sph2xyz, message);
}
