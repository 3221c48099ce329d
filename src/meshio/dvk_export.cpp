// export_dvk_mesh: the ascii mesh of all parts. The file is cut into segments of about
// 32k lines that are formatted on every core and written in order (text_blocks.h), whole
// or not at all (Atomic_File).
#include "meshio/dvk.h"

#include "grid/Grid.h"
#include "meshio/finite_check.h"
#include "meshio/text_blocks.h"
#include "util/atomic_file.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// Consistency checks, made before anything is written: points must carry the numbers
// renumber_grid_pts gave them after the last merge, else elements would name the wrong nodes.
// A failed check refuses the export (nothing is written) rather than ending the program.
#define DVK_CHECK(expr) \
  do { \
    if (!(expr)) { \
      std::fprintf(stderr, "could not export to DVK file '%s': points not numbered since the last merge\n", path); \
      return false; \
    } \
  } while (0)

const char* const TYPE_WORD[5] = {"", "", "bar          ", "triangle     ", "quadrilateral"};

// Longest possible lines: "%8ld" of a long is at most 20 characters, "%21.13e" at most 21.
const size_t POINT_LINE_MAX = 20 + 3 * 22 + 1;
const size_t ELEMENT_LINES_MAX = 13 + 1 + 20 + 1 + 1 + 1 + 11 + 1 + 4 * 21 + 1;
const long SEGMENT_LINES = 32768;

struct Group {
  long count = 0;  // elements written under this name
  int number = 0;
};

// A run of points or elements of one grid.
struct Piece {
  const Grid* grid;
  long begin, end;
  long first_element;  // number of the first element written, less one
  int group;
};

struct Segment {
  bool points;
  size_t first, last;  // pieces [first, last)
  size_t bytes_max;
};

char* format_points(const Piece& pc, char* o) {
  const std::vector<GridPt>& pts = pc.grid->mPts;
  for (long i = pc.begin; i < pc.end; ++i) {
    const GridPt& p = pts[i];
    if (p.mapped_to) continue;
    o = DVK::put_long(o, p.id, 8);
    *o++ = ' ';
    o = DVK::put_xyz(o, p.x, p.y, p.z);
    *o++ = '\n';
  }
  return o;
}

char* format_elements(const Piece& pc, char* o) {
  GridPt pts[4];
  long e = pc.first_element;
  for (long k = pc.begin; k < pc.end; ++k) {
    const int n = pc.grid->element((int)k, pts);
    if (n < 2) continue;
    std::memcpy(o, TYPE_WORD[n], 13);
    o += 13;
    *o++ = ' ';
    o = DVK::put_long(o, ++e, 6);
    *o++ = ' ';
    *o++ = char('0' + n);
    *o++ = ' ';
    o = DVK::put_long(o, pc.group, 3);
    *o++ = '\n';
    for (int j = 0; j < n; ++j) o = DVK::put_point_number(o, pts[j].id);
    *o++ = '\n';
  }
  return o;
}

// Cuts [0, total) of each grid into pieces and groups consecutive pieces into segments of
// about SEGMENT_LINES units, so many small parts share a segment.
void add_segment(std::vector<Segment>& segs, bool points, size_t first, size_t last, long units) {
  if (first == last) return;
  segs.push_back(Segment{points, first, last, (size_t)units * (points ? POINT_LINE_MAX : ELEMENT_LINES_MAX)});
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
  const std::vector<Grid*>& grids = Grid::gGrids;
  std::map<std::string, Group> groups;
  for (const Grid* g : grids) groups.emplace(g->name(), Group());
  const long NP = Grid::grid_point_count();
  const long NE = Grid::good_element_count();

  // Points: every representative, numbered by renumber_grid_pts in this very order.
  std::vector<Piece> pieces;
  std::vector<Segment> segs;
  long np = 0, units = 0;
  size_t seg_first = 0;
  for (const Grid* g : grids) {
    const long n = (long)g->mPts.size();
    for (long b = 0; b < n; b += SEGMENT_LINES) {
      const long e = std::min(n, b + SEGMENT_LINES);
      for (long i = b; i < e; ++i) {
        const GridPt& p = g->mPts[i];
        if (p.mapped_to) continue;
        ++np;
        DVK_CHECK(np == p.id);
      }
      pieces.push_back(Piece{g, b, e, 0, 0});
      units += e - b;
      if (units >= SEGMENT_LINES) {
        add_segment(segs, true, seg_first, pieces.size(), units);
        seg_first = pieces.size();
        units = 0;
      }
    }
  }
  add_segment(segs, true, seg_first, pieces.size(), units);
  DVK_CHECK(np==NP);

  // Elements: count each run first, so its first element number and the group numbers
  // are known before any is formatted.
  long ne = 0;
  int gnum = 0;
  seg_first = pieces.size();
  units = 0;
  GridPt tmp[4];
  for (const Grid* g : grids) {
    Group& grp = groups[g->name()];
    if (grp.count == 0) grp.number = ++gnum;
    const long n = g->num_elements();
    long written = 0;
    const size_t grid_first = pieces.size();
    for (long b = 0; b < n; b += SEGMENT_LINES) {
      const long e = std::min(n, b + SEGMENT_LINES);
      pieces.push_back(Piece{g, b, e, ne + written, grp.number});
      for (long k = b; k < e; ++k)
        if (g->element((int)k, tmp) >= 2) ++written;
    }
    ne += written;
    if (written == 0 && grp.count == 0) {
      --gnum;
      pieces.resize(grid_first);
      continue;
    }
    grp.count += written;
    for (size_t k = grid_first; k < pieces.size(); ++k) {
      units += pieces[k].end - pieces[k].begin;
      if (units >= SEGMENT_LINES) {
        add_segment(segs, false, seg_first, k + 1, units);
        seg_first = k + 1;
        units = 0;
      }
    }
  }
  add_segment(segs, false, seg_first, pieces.size(), units);
  DVK_CHECK(ne==NE);

  std::string head = "no title\n" + std::to_string(NP) + " " + std::to_string(NE) + " " +
                     std::to_string(groups.size()) + "\n";
  std::string tail;
  for (auto& [name, grp] : groups) {
    if (grp.count == 0) grp.number = ++gnum;
    char num[24];
    tail.append(num, DVK::put_long(num, grp.number, 3) - num);
    tail += ' ';
    tail += name;
    tail += '\n';
  }

  Atomic_File out;
  if (!out.open(path)) return false;
  bool ok = out.write(head.data(), head.size());
  SegmentBuffers ring;
  ok = ok && write_segments(
                out, segs.size(), [&](size_t i) { return segs[i].bytes_max; },
                [&](size_t i, char* o) {
                  for (size_t k = segs[i].first; k < segs[i].last; ++k)
                    o = segs[i].points ? format_points(pieces[k], o) : format_elements(pieces[k], o);
                  return o;
                },
                ring);
  ok = ok && out.write(tail.data(), tail.size());
  if (!ok) out.discard();
  return out.commit();
}
