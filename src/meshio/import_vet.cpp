// VET layout, whitespace-separated: NV NE NT; NV vertices "x y z"; NE edges "v1 v2"
// (1-based vertices); NT triangles "t1 t2 t3" (1-based edges).
#include "meshio/import_vet.h"

#include "meshio/import_support.h"
#include "util/script_output.h"

#include <array>
#include <iostream>

namespace {

typedef std::array<uint32_t, 2> Edge;

bool fail(std::string& why, TextReader& r, const std::string& what) { return fail_at_line(why, r.line(), what); }

// A count from the header, checked against the bytes left: each entry takes at least
// `min_bytes` ("0 0 0\n" is 6).
bool read_count(TextReader& r, const char* what, long long min_bytes, long long& n, std::string& why) {
  if (!r.read(n)) return fail(why, r, std::string("expected the number of ") + what);
  std::string reason;
  return check_count(n, what, min_bytes, r.left(), reason) || fail(why, r, reason);
}

bool read_index(TextReader& r, long long count, const char* what, uint32_t& out, std::string& why) {
  long long v;
  if (!r.read(v)) return fail(why, r, std::string("expected a ") + what + " number");
  std::string reason;
  if (!check_index(v, count, what, reason)) return fail(why, r, reason);
  out = (uint32_t)v;
  return true;
}

// The end of edge `e` that edge `other` shares, else its other end.
uint32_t shared_end(const Edge& e, const Edge& other) {
  return e[0] == other[0] || e[0] == other[1] ? e[0] : e[1];
}

}  // namespace

// The triangle's corners come from its edges: P0 on t3 and t1, P1 on t2 and t1, P2 on t2
// and t3, so the edges may point either way.
bool VET::import(std::string_view bytes, std::string& why) {
  TextReader r(bytes);
  long long nv, ne, nt;
  if (!read_count(r, "vertices", 6, nv, why)) return false;
  if (!r.read(ne) || !r.read(nt)) return fail(why, r, "expected the numbers of vertices, edges and triangles");
  if (ne < 0 || nt < 0 || (double)nv * 6 + (double)ne * 4 + (double)nt * 6 > (double)r.left() + 1)
    return fail(why, r, "the header's counts (" + std::to_string(nv) + " " + std::to_string(ne) + " " +
                            std::to_string(nt) + ") cannot be held by the rest of the file");
  return stage_import(why, [&](std::vector<StagedPart>& parts) {
    StagedPart& part = parts.emplace_back();
    part.name = "surface";
    part.pts.reserve((size_t)nv);
    script_output() << "reading verts..." << std::flush;
    for (long long i = 0; i < nv; ++i) {
      double x, y, z;
      if (!r.read(x) || !r.read(y) || !r.read(z))
        return fail(why, r, "expected x y z of vertex " + std::to_string(i + 1));
      if (!finite_xyz(x, y, z)) return fail(why, r, nonfinite_text("vertex " + std::to_string(i + 1), x, y, z));
      part.add_point(x, y, z);
    }
    script_output() << " edges..." << std::flush;
    std::vector<Edge> edges((size_t)ne);
    for (Edge& e : edges)
      if (!read_index(r, nv, "vertex", e[0], why) || !read_index(r, nv, "vertex", e[1], why)) return false;
    script_output() << " triangles..." << std::flush;
    part.elements.reserve((size_t)nt);
    for (long long k = 0; k < nt; ++k) {
      uint32_t t[3];
      for (uint32_t& j : t)
        if (!read_index(r, ne, "edge", j, why)) return false;
      const Edge &e1 = edges[t[0] - 1], &e2 = edges[t[1] - 1], &e3 = edges[t[2] - 1];
      const uint32_t corners[3] = {shared_end(e3, e1), shared_end(e2, e1), shared_end(e2, e3)};
      part.add_element(Mesh::TRIANGLE, (uint32_t)(k + 1), corners, 3);
    }
    script_output() << std::endl;
    return true;
  });
}

bool import_vet(const std::string& name, std::string& why) { return import_file(name, why, VET::import); }
