// listing: one writer per table; each walks the live registry, so whatever is registered
// or loaded when it runs is what it prints.

#include "interp/listing.h"

#include "builders/builders.h"
#include "grid/part_properties.h"
#include "interp/interp.h"
#include "interp/library.h"
#include "interp/params.h"
#include "script/functions.h"

#include <iomanip>
#include <map>

namespace {

// The words after the builder (its part name first, where it reads one), and what it makes. Builders registered without
// an entry here are listed by name alone.
const std::map<std::string, std::pair<const char*, const char*>> kBuilderNotes = {
    {"plate", {"<part_name> M[:M2] N[:N2]  a b c d", "bilinear patch; corners x y z"}},
    {"cylinder", {"<part_name> M[:M2] N[:N2]  a b c d", "patch with corners (r, theta deg, z)"}},
    {"sphere", {"<part_name> M[:M2] N[:N2]  a b c d", "patch with corners (r, polar deg, azimuth deg)"}},
    {"line", {"<part_name> N  a b", "N bars on a straight segment, point 0 at b"}},
    {"arc", {"<part_name> N  a b", "N bars; ends (r, theta deg, z)"}},
    {"orbit", {"<part_name> N  a b", "N bars; ends (r, polar deg, azimuth deg)"}},
    {"pline", {"<part_name> [{script}] N [x] [y] [z]", "curve computed from s = 1 .. 0"}},
    {"parc", {"<part_name> [{script}] N [r] [theta] [z]", "curve in cylindrical coordinates"}},
    {"porbit", {"<part_name> [{script}] N [r] [polar] [azimuth]", "curve in spherical coordinates"}},
    {"pplate", {"<part_name> [{script}] M[:M2] N[:N2] [x] [y] [z]", "surface computed from u, v in 0 .. 1"}},
    {"pcylinder", {"<part_name> [{script}] M[:M2] N[:N2] [r] [theta] [z]", "surface in cylindrical coordinates"}},
    {"psphere", {"<part_name> [{script}] M[:M2] N[:N2] [r] [polar] [azimuth]", "surface in spherical coordinates"}},
    {"import", {"<type> <file>", "parts read from a mesh file (vet dxf unv gds dvk xpatch)"}},
};

const std::map<std::string, const char*> kFunctionNotes = {
    {"sin", "sine (radians)"}, {"cos", "cosine (radians)"}, {"tan", "tangent (radians)"},
    {"asin", "inverse sine, radians"}, {"acos", "inverse cosine, radians"}, {"atan", "inverse tangent, radians"},
    {"exp", "exponential"}, {"log", "natural logarithm; log(0) is reported and gives 0"},
    {"sinh", "hyperbolic sine"}, {"cosh", "hyperbolic cosine"}, {"tanh", "hyperbolic tangent"},
    {"asinh", "inverse hyperbolic sine"}, {"acosh", "inverse hyperbolic cosine"},
    {"atanh", "inverse hyperbolic tangent"}, {"sqrt", "square root"}, {"abs", "absolute value"},
    {"fabs", "absolute value"}, {"ceil", "round up"}, {"floor", "round down"},
    {"j0", "Bessel function of the first kind, order 0"}, {"j1", "Bessel function of the first kind, order 1"},
    {"y0", "Bessel function of the second kind, order 0; y0(0) is reported and gives 0"},
    {"y1", "Bessel function of the second kind, order 1; y1(0) is reported and gives 0"},
    {"rand_max", "2147483647 whatever the argument"}, {"rand", "next pseudo-random integer"},
    {"srand", "seeds with the argument, then rand"}, {"frand", "next pseudo-random number in [0, 1]"},
    {"sfrand", "seeds with the argument, then frand"},
};

void write_commands(std::ostream& out) {
  for (const auto& [name, command] : commands) out << command.usage << "\n";
}

void write_builders(std::ostream& out) {
  for (const auto& [name, builder] : gBuilders) {
    auto note = kBuilderNotes.find(name);
    if (note == kBuilderNotes.end()) {
      out << name << "\n";
      continue;
    }
    out << std::left << std::setw(10) << name << " " << note->second.first << "\n"
        << std::setw(11) << "" << note->second.second << "\n";
  }
}

void write_functions(std::ostream& out) {
  for (const std::string& name : builtin_function_names()) {
    auto note = kFunctionNotes.find(name);
    out << std::left << std::setw(10) << name << (note == kFunctionNotes.end() ? "" : note->second) << "\n";
  }
  if (user_funcs.empty()) return;
  out << "User defined:\n";
  for (const auto& entry : user_funcs) out << entry.first << "\n";
}

// Each part-library function with its argument count and its ## documentation, indented.
void write_parts(std::ostream& out) {
  for (const auto& [name, body] : gLibraries) {
    if (!is_library_function(name)) continue;
    int count = gLibraries_args[name];
    out << name;
    if (count >= 0) out << " (" << count << (count == 1 ? " argument)" : " arguments)");
    else out << " (arguments up to ';')";
    out << "\n";
    auto doc = gLibraries.find(name + "_doc");
    if (doc == gLibraries.end()) continue;
    size_t start = 0;
    while (start < doc->second.size()) {
      size_t end = doc->second.find('\n', start);
      if (end == std::string::npos) end = doc->second.size();
      out << "   " << doc->second.substr(start, end - start) << "\n";
      start = end + 1;
    }
  }
}

const char* element_type_word(double value) {
  static const char* words[] = {"quads", "tri0", "tri1", "tri2", "tri3"};
  int v = static_cast<int>(value);
  return (v >= 0 && v <= 4 && v == value) ? words[v] : "";
}

void write_parameters(std::ostream& out) {
  reset_params();
  for (const auto& [name, value] : gParameters) {
    out << std::left << std::setw(24) << name << value;
    if (name == "element_type") out << " (" << element_type_word(value) << ")";
    out << "\n";
  }
  // The lattice spacings are words, set like parameters.
  for (int axis = 0; axis < 2; ++axis)
    out << std::setw(24) << (axis ? "v_spacing" : "u_spacing") << part_spacing(axis).text() << "\n";
}

}  // namespace

const std::vector<std::string>& listing_names() {
  static const std::vector<std::string> names = {"builders", "commands", "functions", "parts", "parameters"};
  return names;
}

bool write_listing(const std::string& which, std::ostream& out) {
  if (which == "builders") write_builders(out);
  else if (which == "commands") write_commands(out);
  else if (which == "functions") write_functions(out);
  else if (which == "parts") write_parts(out);
  else if (which == "parameters") write_parameters(out);
  else return false;
  return true;
}

int print_listing(const std::string& which, std::ostream& out, std::ostream& err) {
  if (write_listing(which, out)) return 0;
  err << "***ERROR***\n\t--list <value>\n\tunknown table '" << which << "'; valid tables:";
  for (const std::string& name : listing_names()) err << " " << name;
  err << "\n";
  return 2;
}
