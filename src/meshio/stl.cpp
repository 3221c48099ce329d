// export_stl_mesh: binary STL — an 80-byte header, the triangle count, then per triangle
// its normal, three corners (32-bit floats) and a zero attribute word. Quadrilaterals are
// split along the diagonal from their first corner; bars are left out, with one warning.
#include "meshio/standard_formats.h"

#include "meshio/flat_mesh.h"
#include "util/atomic_file.h"
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

// One 50-byte record for the triangle a, b, c (point indices).
void put_triangle(unsigned char* o, const FlatMesh& m, long a, long b, long c) {
  const double* p[3] = {&m.xyz[3 * a], &m.xyz[3 * b], &m.xyz[3 * c]};
  const double u[3] = {p[1][0] - p[0][0], p[1][1] - p[0][1], p[1][2] - p[0][2]};
  const double v[3] = {p[2][0] - p[0][0], p[2][1] - p[0][1], p[2][2] - p[0][2]};
  double n[3] = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
  const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  for (double& x : n) x = len > 0 ? x / len : 0;
  for (double x : n) put_float(o, x);
  for (const double* q : p)
    for (int k = 0; k < 3; ++k) put_float(o, q[k]);
  o[0] = o[1] = 0;
}

}  // namespace

bool export_stl_mesh(const char* path, bool) {
  FlatMesh m;
  if (!flatten_grids(m)) return false;
  long bars = 0, triangles = 0;
  for (int n : m.count) {
    if (n == 2) ++bars;
    triangles += n == 3 ? 1 : n == 4 ? 2 : 0;
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
  std::vector<unsigned char> buf;
  buf.reserve(1 << 20);
  for (long e = 0; e < m.elements() && ok; ++e) {
    const long* p = m.element(e);
    if (m.count[e] < 3) continue;
    const size_t at = buf.size();
    buf.resize(at + (m.count[e] == 4 ? 100 : 50));
    put_triangle(&buf[at], m, p[0], p[1], p[2]);
    if (m.count[e] == 4) put_triangle(&buf[at + 50], m, p[0], p[2], p[3]);
    if (buf.size() >= (1 << 20) - 100) {
      ok = f.write(buf.data(), buf.size());
      buf.clear();
    }
  }
  ok = ok && f.write(buf.data(), buf.size());
  if (!ok) f.discard();
  if (!f.commit()) return false;
  if (bars) warning("%ld bars left out: STL files hold triangles only", bars);
  return true;
}
