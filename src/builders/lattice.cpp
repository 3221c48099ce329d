// Lattice fillers: the bilinear patch, the transition patch and the straight segment,
// plus the conversions that turn their cylindrical or spherical coordinates into x y z.
// All work on plain values and write local coordinates (placement comes later).
#include "builders/lattice.h"

#include "builders/builders.h"

#include "grid/pelgrove_MxN.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const double pi = 3.141592653589793;
const double deg = pi / 180.0;

// u0 v0 a + u1 v0 b + u1 v1 c + u0 v1 d, with u0 + u1 = v0 + v1 = 1: a at (1, 0, 1, 0),
// b at (0, 1, 1, 0), c at (0, 1, 0, 1), d at (1, 0, 0, 1).
inline void bilinear(GridPt& p, const GridData& gd, double u0, double u1, double v0, double v1) {
  const double wa = u0 * v0, wb = u1 * v0, wc = u1 * v1, wd = u0 * v1;
  p.x = wa * gd.a.x + wb * gd.b.x + wc * gd.c.x + wd * gd.d.x;
  p.y = wa * gd.a.y + wb * gd.b.y + wc * gd.c.y + wd * gd.d.y;
  p.z = wa * gd.a.z + wb * gd.b.z + wc * gd.c.z + wd * gd.d.z;
}

// The start and end weights of points 0 .. n of an edge of n cells; a short edge (a small
// part, made by the thousand) keeps them in place rather than on the heap.
class EdgeWeights {
public:
  EdgeWeights(const Spacing& spacing, int n) {
    double* w = mInline;
    if (n + 1 > kInline) {
      mHeap.resize(2 * size_t(n + 1));
      w = mHeap.data();
    }
    start = w;
    end = w + n + 1;
    for (int k = 0; k <= n; ++k) spacing.weights(k, n, start[k], end[k]);
  }
  EdgeWeights(const EdgeWeights&) = delete;
  EdgeWeights& operator=(const EdgeWeights&) = delete;
  double* start;
  double* end;

private:
  static constexpr int kInline = 17;
  double mInline[2 * kInline];
  std::vector<double> mHeap;
};

// Round to nearest; a half goes toward the nearer end of the parameter range p in [0, 1].
inline double snap(double x, double p) { return p < 0.5 ? std::ceil(x - 0.5) : std::floor(x + 0.5); }

}  // namespace

void build_abcd(GridData& gd, const std::string& name) {
  const int M = gd.M, N = gd.N;
  gd.grid = new Grid_MxN(name, M, N);
  const EdgeWeights u(gd.u_spacing, M), v(gd.v_spacing, N);
  GridPt* pt = gd.grid->mPts.data();
  for (int j = 0; j <= N; ++j)
    for (int i = 0; i <= M; ++i) bilinear(*pt++, gd, u.start[i], u.end[i], v.start[j], v.end[j]);
}

// M cells along a-b and M2 along d-c; N along a-d and N2 along b-c. The lattice is
// max(M, M2) x max(N, N2); on the coarser sides neighbouring lattice points snap to the
// same parameter and coincide, and merging turns their cells into triangles or removes them.
// A graded row or column is the graded edge of its own number of cells.
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
      double u0 = 1, u1 = 0, v0 = 1, v1 = 0;
      if (Mloc != 0) gd.u_spacing.weights(long(snap(u * Mloc, u)), long(Mloc), u0, u1);
      if (Nloc != 0) gd.v_spacing.weights(long(snap(v * Nloc, v)), long(Nloc), v0, v1);
      bilinear(*pt++, gd, u0, u1, v0, v1);
    }
  }
  gd.M = Mx;
  gd.N = Ny;
}

// A chain of N bars: point 0 at b, point N at a; the spacing runs from b.
void build_ab(GridData& gd, std::string name) {
  const int N = gd.N;
  gd.grid = new Grid_MxN(name, N, 0);
  const EdgeWeights t(gd.u_spacing, N);
  GridPt* pt = gd.grid->mPts.data();
  for (int i = 0; i <= N; ++i, ++pt) {
    pt->x = t.start[i] * gd.b.x + t.end[i] * gd.a.x;
    pt->y = t.start[i] * gd.b.y + t.end[i] * gd.a.y;
    pt->z = t.start[i] * gd.b.z + t.end[i] * gd.a.z;
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
