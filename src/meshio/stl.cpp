// export_stl_mesh: binary STL — an 80-byte header, the triangle count, then per triangle
// its normal, three corners (32-bit floats) and a zero attribute word. Quadrilaterals are
// split along the diagonal from their first corner; bars are left out, with one warning.
// The records are filled straight from the parts, on every core (text_writer.h).

#include "meshio/stl.h"

#include "grid/Grid.h"
#include "meshio/finite_check.h"
#include "meshio/flat_mesh.h"
#include "meshio/text_writer.h"
#include "util/message.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

void put32(unsigned char* o, uint32_t v) {
  for (int k = 0; k < 4; ++k) o[k] = (unsigned char)(v >> (8 * k));
}
void put_float(unsigned char*& o, double v) {
  put32(o, std::bit_cast<uint32_t>(float(v)));
  o += 4;
}

// One 50-byte record for the triangle a, b, c (the grid's point indices).
unsigned char* put_triangle(unsigned char* o, const GridPts& pts, long a, long b, long c) {
  const GridPt* p[3] = {&effective(pts[a]), &effective(pts[b]), &effective(pts[c])};
  const double u[3] = {p[1]->x - p[0]->x, p[1]->y - p[0]->y, p[1]->z - p[0]->z};
  const double v[3] = {p[2]->x - p[0]->x, p[2]->y - p[0]->y, p[2]->z - p[0]->z};
  double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
  const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  for (double& x : n) x = len > 0 ? x / len : 0;
  for (double x : n) put_float(o, x);
  for (const GridPt* q : p) {
    put_float(o, q->x);
    put_float(o, q->y);
    put_float(o, q->z);
  }
  o[0] = o[1] = 0;
  return o + 2;
}

char* put_elements(const PartRun& r, char* out) {
  const Grid& g = *r.grid;
  unsigned char* o = reinterpret_cast<unsigned char*>(out);
  long idx[4];
  for (int k = r.begin; k < r.end; ++k) {
    const int n = g.element(k, idx);
    if (n < 3) continue;
    o = put_triangle(o, g.mPts, idx[0], idx[1], idx[2]);
    if (n == 4) o = put_triangle(o, g.mPts, idx[0], idx[2], idx[3]);
  }
  return reinterpret_cast<char*>(o);
}

}  // namespace

bool export_stl_mesh(const char* path, bool) {
  if (!check_finite_mesh(path)) return false;
  PartLayout L;
  if (!layout_grids(L, false)) return false;
  long bars = 0, triangles = 0;
  Segments records;
  for (const PartRun& r : L.elements) {
    bars += r.count[2];
    triangles += r.count[3] + 2 * r.count[4];
    records.add(r.elements(), 50 * size_t(r.count[3] + 2 * r.count[4]));
  }
  if (triangles > (long)UINT32_MAX) return false;
  Atomic_File f;
  if (!f.open(path)) return false;
  // The header must not begin with "solid", which marks the ascii form.
  unsigned char head[84];
  std::memset(head, ' ', 80);
  std::memcpy(head, "pelgrove mesh", 13);
  put32(head + 80, (uint32_t)triangles);
  bool ok = f.write(head, sizeof head);
  SegmentBuffers ring;
  ok = ok && records.write(f, ring, [&](size_t j, char* o) { return put_elements(L.elements[j], o); });
  if (!ok) f.discard();
  if (!f.commit()) return false;
  if (bars) warning("%ld bars left out: STL files hold triangles only", bars);
  return true;
}
