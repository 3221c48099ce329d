// export_dvk_mesh: the ascii mesh of all parts. The file is cut into segments of about
// 8k lines that are formatted on every core and written in order (text_writer.h), whole
// or not at all (Atomic_File).

#include "meshio/dvk_export.h"

#include "grid/Grid.h"
#include "meshio/finite_check.h"
#include "meshio/flat_mesh.h"
#include "meshio/text_writer.h"
#include "util/atomic_file.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const TYPE_WORD[5] = {"", "", "bar          ", "triangle     ", "quadrilateral"};

// Longest possible lines: "%8ld" of a long is at most 20 characters, "%21.13e" at most 21.
const size_t POINT_LINE_MAX = 20 + 3 * 22 + 1;
const size_t ELEMENT_LINES_MAX = 13 + 1 + 20 + 1 + 1 + 1 + 11 + 1 + 4 * 21 + 1;
const PointLine POINT_LINE = {"", 8, " ", " ", false};

char* put_elements(const PartRun& r, char* o) {
  const long group = r.group + 1;
  for_written_elements(r, 0, [&](long e, int n, const long* ids) {
    std::memcpy(o, TYPE_WORD[n], 13);
    o[13] = ' ';
    o = put_long(o + 14, e, 6);
    o[0] = ' ';
    o[1] = char('0' + n);
    o[2] = ' ';
    o = put_long(o + 3, group, 3);
    *o++ = '\n';
    for (int j = 0; j < n; ++j) o = put_point_number(o, ids[j]);
    *o++ = '\n';
  });
  return o;
}

// "no title", the counts, and (the tail) the group lines "%3d %s" in name order.
std::string head_lines(const PartLayout& L) {
  return "no title\n" + std::to_string(L.np) + " " + std::to_string(L.ne) + " " + std::to_string(L.names.size()) +
         "\n";
}
std::string group_lines(const PartLayout& L) {
  std::vector<size_t> order(L.names.size());
  for (size_t g = 0; g < order.size(); ++g) order[g] = g;
  std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return L.names[a] < L.names[b]; });
  std::string tail;
  char num[24];
  for (size_t g : order) tail += std::string(num, put_long(num, long(g + 1), 3)) + " " + L.names[g] + "\n";
  return tail;
}

}  // namespace

// File layout (every line ends with a newline):
//   no title
//   NP NE NG                                   "%d %d %d"
//   NP point lines                             "%8ld %21.13e %21.13e %21.13e": number, x, y, z
//   per element a declaration                  "%s %6d %1d %3d": type word, number, count, group
//     and a line of its point numbers          "%8ld" each
//   NG group lines                             "%3d %s": group number, part name
// Groups with elements are numbered by the first part of the name that has any, in
// registry order; names without elements follow in sorted order.
bool export_dvk_mesh(const char* path, bool) {
  if (!check_finite_mesh(path)) return false;
  PartLayout L;
  // Points must carry the numbers renumber_grid_pts gave them after the last merge, else
  // elements would name the wrong nodes: the export is refused and nothing is written.
  if (!layout_grids(L, false)) {
    std::fprintf(stderr, "could not export to DVK file '%s': points not numbered since the last merge\n", path);
    return false;
  }
  Segments points, elements;
  for (const PartRun& r : L.points) points.add(r.count[0], size_t(r.count[0]) * POINT_LINE_MAX);
  for (const PartRun& r : L.elements) elements.add(r.elements(), size_t(r.elements()) * ELEMENT_LINES_MAX);
  const std::string head = head_lines(L), tail = group_lines(L);

  Atomic_File out;
  if (!out.open(path)) return false;
  SegmentBuffers ring;
  bool ok = out.write(head.data(), head.size());
  ok = ok && points.write(out, ring, [&](size_t j, char* o) { return put_point_lines(L.points[j], POINT_LINE, o); });
  ok = ok && elements.write(out, ring, [&](size_t j, char* o) { return put_elements(L.elements[j], o); });
  ok = ok && out.write(tail.data(), tail.size());
  if (!ok) out.discard();
  return out.commit();
}
