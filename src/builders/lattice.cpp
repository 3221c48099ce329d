// Lattice fillers: the bilinear patch, the transition patch and the straight segment,
// plus the conversions that turn their cylindrical or spherical coordinates into x y z.
// All work on plain values and write local coordinates (placement comes later).
#include "builders/builders.h"

#include "grid/pelgrove_MxN.h"

#include <algorithm>
#include <cmath>

namespace {

const double pi = 3.141592653589793;
const double deg = pi / 180.0;

// (1-u)(1-v) a + u(1-v) b + u v c + (1-u) v d: a at (0, 0), b at (1, 0), c at (1, 1), d at (0, 1).
inline void bilinear(GridPt& p, const GridData& gd, double u, double v) {
  const double wa = (1 - u) * (1 - v), wb = u * (1 - v), wc = u * v, wd = (1 - u) * v;
  p.x = wa * gd.a.x + wb * gd.b.x + wc * gd.c.x + wd * gd.d.x;
  p.y = wa * gd.a.y + wb * gd.b.y + wc * gd.c.y + wd * gd.d.y;
  p.z = wa * gd.a.z + wb * gd.b.z + wc * gd.c.z + wd * gd.d.z;
}

// Round to nearest; a half goes toward the nearer end of the parameter range p in [0, 1].
inline double snap(double x, double p) { return p < 0.5 ? std::ceil(x - 0.5) : std::floor(x + 0.5); }

}  // namespace

void build_abcd(GridData& gd, const std::string& name) {
  const int M = gd.M, N = gd.N;
  gd.grid = new Grid_MxN(name, M, N);
  GridPt* pt = gd.grid->mPts.data();
  for (int j = 0; j <= N; ++j) {
    const double v = double(j) / N;
    for (int i = 0; i <= M; ++i) bilinear(*pt++, gd, double(i) / M, v);
  }
}

// M cells along a-b and M2 along d-c; N along a-d and N2 along b-c. The lattice is
// max(M, M2) x max(N, N2); on the coarser sides neighbouring lattice points snap to the
// same parameter and coincide, and merging turns their cells into triangles or removes them.
void build_abcd_mn(GridData& gd, int M2, int N2, const std::string& name) {
  const int M = gd.M, N = gd.N;
  const int Mx = std::max(M, M2), Ny = std::max(N, N2);
  gd.grid = new Grid_MxN(name, Mx, Ny);
  GridPt* pt = gd.grid->mPts.data();
  for (int j = 0; j <= Ny; ++j) {
    const double v = double(j) / Ny;
    const double Mloc = M + snap((M2 - M) * v, v);
    for (int i = 0; i <= Mx; ++i) {
      const double u = double(i) / Mx;
      const double Nloc = N + snap((N2 - N) * u, u);
      const double uu = Mloc != 0 ? snap(u * Mloc, u) / Mloc : 0;
      const double vv = Nloc != 0 ? snap(v * Nloc, v) / Nloc : 0;
      bilinear(*pt++, gd, uu, vv);
    }
  }
  gd.M = Mx;
  gd.N = Ny;
}

// A chain of N bars: point 0 at b, point N at a.
void build_ab(GridData& gd, std::string name) {
  const int N = gd.N;
  gd.grid = new Grid_MxN(name, N, 0);
  GridPt* pt = gd.grid->mPts.data();
  for (int i = 0; i <= N; ++i, ++pt) {
    const double t = double(i) / N;
    pt->x = (1 - t) * gd.b.x + t * gd.a.x;
    pt->y = (1 - t) * gd.b.y + t * gd.a.y;
    pt->z = (1 - t) * gd.b.z + t * gd.a.z;
  }
}

// (r, theta in degrees, z) -> (r cos theta, r sin theta, z)
void cyl2xyz(GridData& gd) {
  if (!gd.grid) return;
  for (GridPt& p : gd.grid->mPts) {
    const double r = p.x, theta = p.y * deg;
    p.x = r * std::cos(theta);
    p.y = r * std::sin(theta);
  }
}

// (r, theta in degrees from +z, phi in degrees) -> x y z
void sph2xyz(GridData& gd) {
  if (!gd.grid) return;
  for (GridPt& p : gd.grid->mPts) {
    const double r = p.x, theta = p.y * deg, phi = p.z * deg;
    p.x = r * std::sin(theta) * std::cos(phi);
    p.y = r * std::sin(theta) * std::sin(phi);
    p.z = r * std::cos(theta);
  }
}
