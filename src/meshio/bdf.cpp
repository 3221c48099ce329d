// export_bdf_mesh: bulk data in free field (fields separated by commas), so coordinates keep
// the 14 significant digits of a .dvk file, which 8-column fields cannot hold. GRID cards
// for the points; CQUAD4, CTRIA3 and CROD cards for the elements, in .dvk order, each with
// its part name's property id (the group number); a PSHELL with the thickness for every
// part name given one. Material ids are numbered by material name in comments; their MAT1
// cards, and the PROD cards of bars, belong to the deck that includes this one.

#include "meshio/bdf.h"

#include "grid/Grid.h"
#include "meshio/finite_check.h"
#include "meshio/flat_mesh.h"
#include "meshio/text_writer.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

const PointLine POINT_LINE = {"GRID,", 0, ",,", ",", true};
const ElementLine ELEMENT_LINE = {{"", "", "CROD", "CTRIA3", "CQUAD4"}, true, true, ","};

// A comment's text: printable ASCII, others as '_'.
std::string comment_text(const std::string& s) {
  std::string out = s;
  for (char& c : out)
    if ((unsigned char)c < 0x20 || (unsigned char)c >= 0x7f) c = '_';
  return out;
}

// The counts, the part names by property id with their thickness and material ids, the
// material names by id, "BEGIN BULK" and a PSHELL for every name given a thickness.
std::string head_lines(const PartLayout& L) {
  std::string head = "$ pelgrove mesh: " + std::to_string(L.np) + " points, " + std::to_string(L.ne) + " elements, " +
                     std::to_string(L.names.size()) + " parts; free field\n";
  std::string cards;
  std::map<std::string, int> mid;  // by material name, in order of first use
  std::vector<const Grid*> first(L.names.size(), nullptr);  // with faces: shells
  for (const PartRun& r : L.elements)
    if (!first[r.group] && r.count[3] + r.count[4]) first[r.group] = r.grid;
  for (size_t g = 0; g < L.names.size(); ++g) {
    head += "$ PID " + std::to_string(g + 1) + ": part " + comment_text(L.names[g]);
    const double t = first[g] ? first[g]->thickness() : 0;
    if (t > 0) {
      const int id = mid.emplace(first[g]->material(), (int)mid.size() + 1).first->second;
      char buf[64];
      const std::string thickness(buf, put_real(buf, t)), ids = std::to_string(id);
      head += ", thickness " + thickness + ", MID " + ids;
      cards += "PSHELL," + std::to_string(g + 1) + "," + ids + "," + thickness + "," + ids + ",," + ids + "\n";
    }
    head += "\n";
  }
  std::vector<std::pair<int, std::string>> materials;
  for (const auto& [name, id] : mid) materials.push_back({id, name});
  std::sort(materials.begin(), materials.end());
  for (const auto& [id, name] : materials) head += "$ MID " + std::to_string(id) + ": material " + comment_text(name) + "\n";
  return head + "BEGIN BULK\n" + cards;
}

}  // namespace

bool export_bdf_mesh(const char* path, bool) {
  if (!check_finite_mesh(path)) return false;
  PartLayout L;
  if (!layout_grids(L, false)) return false;
  const std::string head = head_lines(L);
  const size_t number_max = decimal_digits(std::max<long>(L.np, L.ne)) + 1;
  const size_t group_max = decimal_digits(L.names.size()) + 1;
  Segments points, elements;
  for (const PartRun& r : L.points) points.add(r.count[0], size_t(r.count[0]) * (7 + number_max + POINT_LINE_NUMBERS));
  for (const PartRun& r : L.elements) elements.add(r.elements(), size_t(r.elements()) * (8 + group_max + 5 * number_max));

  Atomic_File f;
  if (!f.open(path)) return false;
  SegmentBuffers ring;
  bool ok = f.write(head.data(), head.size());
  ok = ok && points.write(f, ring, [&](size_t j, char* o) { return put_point_lines(L.points[j], POINT_LINE, o); });
  ok = ok && elements.write(f, ring, [&](size_t j, char* o) { return put_element_lines(L.elements[j], 0, ELEMENT_LINE, o); });
  static const char tail[] = "ENDDATA\n";
  ok = ok && f.write(tail, sizeof tail - 1);
  if (!ok) f.discard();
  return f.commit();
}
