// DVK::import: reads an ascii mesh file back as one RawGrid per group, each group holding
// a full copy of the point list (merging joins the copies). Counts are checked against the
// bytes left before anything is allocated; a failure is described in `why` and leaves no part.

#include "meshio/dvk_import.h"

#include "grid/MeshStructs.h"
#include "meshio/import_support.h"
#include "util/script_output.h"

#include <climits>
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

namespace {

// Parts and points are made after the whole file was read; the counts must still fit the
// bytes left before the lists that hold them are sized: a point line ("1 0 0 0") takes at
// least 8 bytes, each group line at least 4 ("1 a\n").
const long long MIN_POINT_BYTES = 8, MIN_GROUP_BYTES = 4;

bool check_counts(long long np, long long ne, long long ng, size_t left, std::string& why) {
  if (np < 0 || ne < 0 || ng < 0) {
    why = "reading DVK file failed: negative count in the header (" + std::to_string(np) + " " +
          std::to_string(ne) + " " + std::to_string(ng) + ")\n";
    return false;
  }
  if (ng == 0 && ne > 0) {
    why = "reading DVK file failed: " + std::to_string(ne) + " elements declared but no group to hold them\n";
    return false;
  }
  const double need = (double)np * MIN_POINT_BYTES + (double)ng * MIN_GROUP_BYTES;
  if (np > INT_MAX || ne > INT_MAX || ng > INT_MAX || need > (double)left + 1) {
    why = "reading DVK file failed: the header declares " + std::to_string(np) + " points and " +
          std::to_string(ng) + " groups, more than the " + std::to_string(left) + " bytes that follow can hold\n";
    return false;
  }
  return true;
}

// Every group receives a full copy of the point list, in proportion to the bytes of the
// point and group lines only: a title line or text after the groups holds neither.
bool check_copies(long long np, long long ng, size_t bytes, std::string& why) {
  std::string copies;
  if (check_point_copies(np, ng, bytes, copies)) return true;
  why = "reading DVK file failed: " + copies + " (counting its point and group lines only)\n";
  return false;
}

struct Shape {
  const char* word;
  int count;
  Mesh::ElementTypeBits bits;
};
const Shape SHAPES[] = {{"bar", 2, Mesh::LINE}, {"triangle", 3, Mesh::TRIANGLE}, {"quadrilateral", 4, Mesh::QUADRILATERAL}};

const Shape* find_shape(const std::string& word, long long count) {
  for (const Shape& s : SHAPES)
    if (word == s.word && count == s.count) return &s;
  return nullptr;
}

// Groups numbered outside 1..NG fall into the last group.
size_t group_index(long long g, size_t ng) { return g >= 1 && g <= (long long)ng ? (size_t)(g - 1) : ng - 1; }

bool read_points(TextReader& r, long long np, GridPts& pts, std::string& why) {
  pts.resize((size_t)np);
  for (long long i = 1; i <= np; ++i) {
    long long number = 0;
    GridPt& p = pts[(size_t)(i - 1)];
    if (!r.read(number) || !r.read(p.x) || !r.read(p.y) || !r.read(p.z)) {
      why = "reading DVK file failed at point #" + std::to_string(i) + ": expected a number and x y z\n";
      return false;
    }
    if (!finite_xyz(p.x, p.y, p.z)) {
      why = "reading DVK file failed at point #" + std::to_string(i) + " (line " + std::to_string(r.line()) +
            "): " + nonfinite_text("the point", p.x, p.y, p.z) + "\n";
      return false;
    }
    if (number != i) {
      why = "reading DVK file failed at point #" + std::to_string(i) + ": the line is numbered " +
            std::to_string(number) + "\n";
      return false;
    }
    p.id = i;
  }
  return true;
}

bool read_elements(TextReader& r, long long ne, long long np, std::vector<StagedPart>& parts, std::string& why) {
  const std::string again = "\nthe following values may not have been correctly read:\n\t";
  for (long long k = 1; k <= ne; ++k) {
    const std::string at = "#" + std::to_string(k);
    std::string word;
    long long number = 0, count = 0, group = 0;
    int got = 0;
    if (r.read(word) && ++got && r.read(number) && ++got && r.read(count) && ++got && r.read(group)) ++got;
    if (got < 4) {
      why = "reading DVK file failed at element declaration for " + at + again;
      if (got > 0) why += word;
      if (got > 1) why += " " + std::to_string(number);
      if (got > 2) why += " " + std::to_string(count);
      why += "\n";
      return false;
    }
    const Shape* shape = find_shape(word, count);
    if (!shape) {
      why = "reading DVK file failed at element declaration " + at + "\n'" + word + "' is an unknown type\n";
      return false;
    }
    long long pts[4] = {0, 0, 0, 0};
    bool ok = true;
    for (int j = 0; j < shape->count && ok; ++j) ok = r.read(pts[j]);
    if (!ok) {
      why = std::string("reading DVK file failed at ") + shape->word + " points for " + at + again;
      for (int j = 0; j < shape->count; ++j) why += (j ? " " : "") + std::to_string(pts[j]);
      why += "\n";
      return false;
    }
    uint32_t idx[4];
    for (int j = 0; j < shape->count; ++j) {
      if (pts[j] < 1 || pts[j] > np) {
        why = std::string("reading DVK file failed at ") + shape->word + " points for " + at + "\npoint number " +
              std::to_string(pts[j]) + " is not one of the " + std::to_string(np) + " points\n";
        return false;
      }
      idx[j] = (uint32_t)pts[j];
    }
    parts[group_index(group, parts.size())].add_element(shape->bits, (uint32_t)number, idx, shape->count);
  }
  return true;
}

bool read_groups(TextReader& r, std::vector<StagedPart>& parts, std::string& why) {
  for (size_t k = 0; k < parts.size(); ++k) {
    long long group;
    std::string_view rest;
    if (!r.read(group) || !r.next_line(rest) || trim(rest).empty()) {
      why = "reading DVK file failed at group line #" + std::to_string(k + 1) + ": expected a number and a name\n";
      return false;
    }
    // The rest of the line: a name with blanks, as older files may hold, is read whole (and
    // made one word by the part it names).
    parts[group_index(group, parts.size())].name = trim(rest);
  }
  return true;
}

bool read_all(std::istream& in, std::string& text) {
  char buf[1 << 16];
  while (in.read(buf, sizeof buf) || in.gcount() > 0) {
    text.append(buf, (size_t)in.gcount());
    if (text.size() > MAX_IMPORT_BYTES) return false;
  }
  return !in.bad();
}

}  // namespace

// Everything is read and checked before the first part is made: a file that fails
// leaves the part list as it was.
bool DVK::import(std::string_view bytes, std::string& why) {
  TextReader r(bytes);
  long long np, ne, ng;
  if (!r.skip_line() || !r.read(np) || !r.read(ne) || !r.read(ng)) {
    why = "reading DVK file failed: the second line must hold the counts of points, elements and groups\n";
    return false;
  }
  if (!check_counts(np, ne, ng, r.left(), why)) return false;
  const std::string out_of_memory = "reading DVK file failed: not enough memory for " + std::to_string(ng) +
                                    " groups of " + std::to_string(np) + " points\n";
  const bool ok = stage_import(why, [&](std::vector<StagedPart>& parts) {
    GridPts pts;
    parts.resize((size_t)ng);
    for (StagedPart& p : parts) p.name = "anonymous surface";
    script_output() << "reading verts..." << std::flush;
    const size_t points_from = r.left();
    if (!read_points(r, np, pts, why)) return false;
    const size_t point_bytes = points_from - r.left();
    script_output() << " elements..." << std::flush;
    if (!read_elements(r, ne, np, parts, why)) return false;
    const size_t groups_from = r.left();
    if (!read_groups(r, parts, why)) return false;
    if (!check_copies(np, ng, point_bytes + groups_from - r.left(), why)) return false;
    std::string extra;
    if (ng == 0 && r.read(extra)) {
      why = "reading DVK file failed: group lines follow but the header declares no groups\n";
      return false;
    }
    for (StagedPart& p : parts) p.pts = pts;
    return true;
  }, out_of_memory);
  if (ok) script_output() << std::endl;
  return ok;
}

bool DVK::import(std::istream& in) {
  std::string text, why;
  if (!read_all(in, text)) {
    std::cerr << "reading DVK file failed: the file cannot be read whole\n";
    return false;
  }
  if (DVK::import(text, why)) return true;
  std::cerr << why;
  return false;
}

bool import_dvk(const std::string& name, std::string& why) {
  return import_file(name, why, DVK::import);
}

bool import_dvk(const std::string& name) {
  std::string why;
  if (import_dvk(name, why)) return true;
  std::cerr << why;
  if (!why.empty() && why.back() != '\n') std::cerr << "\n";
  return false;
}
