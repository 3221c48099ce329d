// xpatch facet layout, line by line:
//   a title line (skipped)
//   G <rest>                       number of parts
//   G times: <part name line>, then k <rest>: part k (0-based) takes that name
//   NV, then NV lines "x y z"      every part receives the whole vertex list
//   NB <rest>                      number of facet blocks
//   NB times: <part name line>, then C V <rest>: C facets of V (must be 3) vertices,
//             then C lines whose first three numbers are 1-based vertices
#include "meshio/import_xpatch.h"

#include "meshio/import_support.h"
#include "util/script_output.h"

#include <iostream>
#include <map>

namespace {

struct Lines {
  TextReader r;
  std::string& why;

  bool fail(const std::string& what) { return fail_at_line(why, r.line(), what); }
  bool text(std::string& out, const char* what) {
    std::string_view line;
    if (!r.next_line(line)) return fail(std::string("expected ") + what + ", found the end of the file");
    out = std::string(trim(line));
    return true;
  }
  // `n` numbers at the start of the next line; the rest of the line is skipped.
  template <typename T>
  bool numbers(T* out, int n) {
    at = r.line();
    std::string_view line;
    return r.next_line(line) && parse_numbers(line, out, n);
  }
  // The failure of the last numbers() call.
  bool expected(const std::string& what) { return fail_at_line(why, at, "expected " + what); }
  int at = 0;
};

// Names the blocks refer to; a name declared twice keeps its last index.
typedef std::map<std::string, long long> PartNames;

bool read_parts(Lines& in, std::vector<StagedPart>& parts, PartNames& names) {
  long long g;
  if (!in.numbers(&g, 1)) return in.expected("the number of parts");
  // each declaration takes two lines of at least one character
  if (g < 0 || (double)g * 4 > (double)in.r.left() + 1)
    return in.fail(std::to_string(g) + " parts cannot be declared in the rest of the file");
  parts.resize((size_t)g);
  for (StagedPart& p : parts) p.name = "anonymous surface";
  for (long long i = 0; i < g; ++i) {
    std::string name;
    long long k;
    if (!in.text(name, "a part name")) return false;
    if (!in.numbers(&k, 1)) return in.expected("the index of part '" + name + "'");
    names[name] = k;
    if (k >= 0 && k < g) parts[(size_t)k].name = name;
  }
  return true;
}

// Every part gets a copy of the vertex list: the copies are checked before it is read.
bool read_vertices(Lines& in, GridPts& pts, size_t nparts, size_t file_bytes) {
  long long nv;
  if (!in.numbers(&nv, 1)) return in.expected("the number of vertices");
  std::string reason;
  if (!check_count(nv, "vertices", 6, in.r.left(), reason) ||
      !check_point_copies(nv, (long long)nparts, file_bytes, reason))
    return in.fail(reason);
  pts.resize((size_t)nv);
  for (long long i = 0; i < nv; ++i) {
    double xyz[3];
    if (!in.numbers(xyz, 3)) return in.expected("x y z of vertex " + std::to_string(i + 1));
    if (!finite_xyz(xyz[0], xyz[1], xyz[2]))
      return fail_at_line(in.why, in.at, nonfinite_text("vertex " + std::to_string(i + 1), xyz[0], xyz[1], xyz[2]));
    pts[(size_t)i] = GridPt{xyz[0], xyz[1], xyz[2], i + 1, nullptr};
  }
  return true;
}

bool read_blocks(Lines& in, std::vector<StagedPart>& parts, const PartNames& names, size_t nv) {
  long long nb;
  if (!in.numbers(&nb, 1)) return in.expected("the number of facet blocks");
  if (nb < 0) return in.fail("negative number of facet blocks");
  uint32_t id = 0;
  for (long long b = 0; b < nb; ++b) {
    std::string name;
    long long cv[2];
    if (!in.text(name, "the part name of a facet block")) return false;
    if (!in.numbers(cv, 2)) return in.expected("the facet count and vertices per facet of block '" + name + "'");
    if (cv[0] <= 0) continue;
    if (cv[1] != 3)
      return in.fail("block '" + name + "' has " + std::to_string(cv[1]) + " vertices per facet; only 3 are read");
    if (parts.empty()) return in.fail("facets but no part to hold them");
    auto it = names.find(name);
    const long long k = it == names.end() || it->second < 0 || it->second >= (long long)parts.size() ? 0 : it->second;
    StagedPart& part = parts[(size_t)k];
    for (long long f = 0; f < cv[0]; ++f) {
      long long v[3];
      if (!in.numbers(v, 3))
        return in.expected("three vertices of facet " + std::to_string(f + 1) + " of block '" + name + "'");
      uint32_t corners[3];
      std::string reason;
      for (int j = 0; j < 3; ++j) {
        if (!check_index(v[j], (long long)nv, "facet vertex", reason)) return in.fail(reason);
        corners[j] = (uint32_t)v[j];
      }
      part.add_element(Mesh::TRIANGLE, ++id, corners, 3);
    }
  }
  return true;
}

}  // namespace

bool XPATCH::import(std::string_view bytes, std::string& why) {
  Lines in{TextReader(bytes), why};
  return stage_import(why, [&](std::vector<StagedPart>& parts) {
    PartNames names;
    GridPts pts;
    in.r.skip_line();
    if (!read_parts(in, parts, names)) return false;
    script_output() << "reading verts..." << std::flush;
    if (!read_vertices(in, pts, parts.size(), bytes.size())) return false;
    script_output() << " elements..." << std::flush;
    if (!read_blocks(in, parts, names, pts.size())) return false;
    for (StagedPart& p : parts) p.pts = pts;
    script_output() << std::endl;
    return true;
  });
}

bool import_xpatch(const std::string& name, std::string& why) { return import_file(name, why, XPATCH::import); }
