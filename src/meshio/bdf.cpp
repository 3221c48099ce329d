// export_bdf_mesh: bulk data in free field (fields separated by commas), so coordinates keep
// the 14 significant digits of a .dvk file, which 8-column fields cannot hold. GRID cards
// for the points; CQUAD4, CTRIA3 and CROD cards for the elements, in .dvk order, each with
// its part name's property id (the group number); a PSHELL with the thickness for every
// part name given one. Material ids are numbered by material name in comments; their MAT1
// cards, and the PROD cards of bars, belong to the deck that includes this one.
#include "meshio/solver_formats.h"

#include "grid/Grid.h"
#include "meshio/dvk.h"
#include "meshio/finite_check.h"
#include "meshio/flat_mesh.h"
#include "meshio/text_blocks.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// "%21.13e" without its leading blanks.
char* put_real(char* o, double v) {
  char* const end = DVK::put_e(o, v);
  char* first = o;
  while (*first == ' ') ++first;
  std::memmove(o, first, size_t(end - first));
  return end - (first - o);
}

char* put_points(const PartRun& r, char* o) {
  const std::vector<GridPt>& pts = r.grid->mPts;
  for (int i = r.begin; i < r.end; ++i) {
    const GridPt& p = pts[i];
    if (p.mapped_to) continue;
    std::memcpy(o, "GRID,", 5);
    o = put_decimal(o + 5, p.id);
    *o++ = ',';
    *o++ = ',';
    o = put_real(o, p.x);
    *o++ = ',';
    o = put_real(o, p.y);
    *o++ = ',';
    o = put_real(o, p.z);
    *o++ = '\n';
  }
  return o;
}

const char* const CARD[5] = {"", "", "CROD,", "CTRIA3,", "CQUAD4,"};

char* put_elements(const PartRun& r, char* o) {
  for_written_elements(r, 0, [&](long e, int n, const long* ids) {
    const size_t len = std::strlen(CARD[n]);
    std::memcpy(o, CARD[n], len);
    o = put_decimal(o + len, e);
    *o++ = ',';
    o = put_decimal(o, r.group + 1);
    for (int j = 0; j < n; ++j) {
      *o++ = ',';
      o = put_decimal(o, ids[j]);
    }
    *o++ = '\n';
  });
  return o;
}

// A comment's text: printable ASCII, others as '_'.
std::string comment_text(const std::string& s) {
  std::string out = s;
  for (char& c : out)
    if ((unsigned char)c < 0x20 || (unsigned char)c >= 0x7f) c = '_';
  return out;
}

}  // namespace

bool export_bdf_mesh(const char* path, bool) {
  if (!check_finite_mesh(path)) return false;
  PartLayout L;
  if (!layout_grids(L, false)) return false;
  const long np = L.np, ne = L.ne;

  // Property ids by part name, material ids by material name in order of first use.
  std::string head = "$ pelgrove mesh: " + std::to_string(np) + " points, " + std::to_string(ne) + " elements, " +
                     std::to_string(L.names.size()) + " parts; free field\n";
  std::string cards;
  std::map<std::string, int> mid;
  std::vector<const Grid*> first(L.names.size(), nullptr);  // with faces: shells
  for (const PartRun& r : L.elements)
    if (!first[r.group] && r.count[3] + r.count[4]) first[r.group] = r.grid;
  for (size_t g = 0; g < L.names.size(); ++g) {
    head += "$ PID " + std::to_string(g + 1) + ": part " + comment_text(L.names[g]);
    const double t = first[g] ? first[g]->thickness() : 0;
    if (t > 0) {
      const std::string& m = first[g]->material();
      const int id = mid.emplace(m, (int)mid.size() + 1).first->second;
      char buf[64];
      head += ", thickness " + std::string(buf, put_real(buf, t)) + ", MID " + std::to_string(id);
      cards += "PSHELL," + std::to_string(g + 1) + "," + std::to_string(id) + "," + std::string(buf, put_real(buf, t)) +
               "," + std::to_string(id) + ",," + std::to_string(id) + "\n";
    }
    head += "\n";
  }
  std::vector<std::pair<int, std::string>> materials;
  for (const auto& [name, id] : mid) materials.push_back({id, name});
  std::sort(materials.begin(), materials.end());
  for (const auto& [id, name] : materials) head += "$ MID " + std::to_string(id) + ": material " + comment_text(name) + "\n";
  head += "BEGIN BULK\n" + cards;

  const size_t number_max = decimal_digits(std::max<long>(np, ne)) + 1;
  const size_t group_max = decimal_digits(L.names.size()) + 1;
  Segments points, elements;
  for (const PartRun& r : L.points) points.add(r.count[0], size_t(r.count[0]) * (7 + number_max + 3 * 22));
  for (const PartRun& r : L.elements) elements.add(r.elements(), size_t(r.elements()) * (8 + group_max + 5 * number_max));

  Atomic_File f;
  if (!f.open(path)) return false;
  SegmentBuffers ring;
  bool ok = f.write(head.data(), head.size());
  ok = ok && points.write(f, ring, [&](size_t j, char* o) { return put_points(L.points[j], o); });
  ok = ok && elements.write(f, ring, [&](size_t j, char* o) { return put_elements(L.elements[j], o); });
  static const char tail[] = "ENDDATA\n";
  ok = ok && f.write(tail, sizeof tail - 1);
  if (!ok) f.discard();
  return f.commit();
}
