#include "ui/pick_info.h"

#include "grid/Grid.h"
#include "util/message.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Elements per box: a ray through a structured part meets the boxes of a few rows only.
constexpr int kBlock = 1024;

Gl_Vec3 sub(const Gl_Vec3& a, const Gl_Vec3& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
double dot(const Gl_Vec3& a, const Gl_Vec3& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Gl_Vec3 cross(const Gl_Vec3& a, const Gl_Vec3& b) {
  return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Gl_Vec3 at(const GridPt& p) { return {p.x, p.y, p.z}; }

void grow(Gl_Vec3& lo, Gl_Vec3& hi, const Gl_Vec3& p) {
  for (int c = 0; c < 3; ++c) lo[c] = std::min(lo[c], p[c]), hi[c] = std::max(hi[c], p[c]);
}

// Where the ray enters and leaves the box widened by `margin`; false when it misses it.
bool ray_box(const Pick_Ray& r, const Gl_Vec3& lo, const Gl_Vec3& hi, double margin, double& t0, double& t1) {
  t0 = 0, t1 = HUGE_VAL;
  for (int c = 0; c < 3; ++c) {
    const double a = lo[c] - margin, b = hi[c] + margin;
    if (!(a <= b)) return false;  // an empty box
    if (r.dir[c] == 0) {
      if (r.origin[c] < a || r.origin[c] > b) return false;
      continue;
    }
    double ta = (a - r.origin[c]) / r.dir[c], tb = (b - r.origin[c]) / r.dir[c];
    if (ta > tb) std::swap(ta, tb);
    t0 = std::max(t0, ta), t1 = std::min(t1, tb);
    if (t0 > t1) return false;
  }
  return true;
}

// The distance along the ray to triangle abc (either side), or a negative value.
double ray_triangle(const Pick_Ray& r, const Gl_Vec3& a, const Gl_Vec3& b, const Gl_Vec3& c) {
  const Gl_Vec3 e1 = sub(b, a), e2 = sub(c, a), p = cross(r.dir, e2);
  const double det = dot(e1, p);
  if (det == 0 || !std::isfinite(det)) return -1;
  const Gl_Vec3 s = sub(r.origin, a);
  const double u = dot(s, p) / det;
  if (u < 0 || u > 1) return -1;
  const Gl_Vec3 q = cross(s, e1);
  const double v = dot(r.dir, q) / det;
  if (v < 0 || u + v > 1) return -1;
  return dot(e2, q) / det;
}

// The distance along the ray to the point of segment ab nearest to it, when that point lies
// within the ray's spread there; else a negative value.
double ray_segment(const Pick_Ray& r, const Gl_Vec3& a, const Gl_Vec3& b) {
  const Gl_Vec3 d = sub(b, a), w = sub(r.origin, a);
  const double dd = dot(d, d), rd = dot(r.dir, d), rw = dot(r.dir, w), dw = dot(d, w);
  const double den = dd - rd * rd;  // |dir| = 1
  double s = dd > 0 ? (den > 1e-12 * dd ? (dw - rd * rw) / den : 0) : 0;
  s = std::clamp(s, 0.0, 1.0);
  const Gl_Vec3 p{a[0] + s * d[0], a[1] + s * d[1], a[2] + s * d[2]};
  const double t = dot(sub(p, r.origin), r.dir);
  if (t < 0) return -1;
  const Gl_Vec3 off = sub(p, {r.origin[0] + t * r.dir[0], r.origin[1] + t * r.dir[1], r.origin[2] + t * r.dir[2]});
  return std::sqrt(dot(off, off)) <= r.spread0 + r.spread * t ? t : -1;
}

bool kept(const Gl_Vec3& p, const std::vector<Gl_ClipInfo>& planes) {
  const size_t n = std::min<size_t>(planes.size(), Gl_ClippingState::MAX_PLANES);
  for (size_t i = 0; i < n; ++i)
    if (dot(planes[i].normal, sub(p, planes[i].origin)) > 0) return false;
  return true;
}

std::string coords(const double* x) { return string_printf("(%g, %g, %g)", x[0], x[1], x[2]); }
std::string made_at(const std::string& place) { return place.empty() ? "" : " made at " + place; }

}  // namespace

// -- the ray

// Eye coordinates of the pixel on the near plane, taken back through the model-view matrix
// (a rotation and a translation: its inverse is the transpose).
Pick_Ray pick_ray(Gl_Matrix& cam, double px, double py, double radius_px) {
  const Gl_Projection& p = cam.projection();
  const std::array<float, 16>& m = cam.model_view();
  const double W = std::max(1, cam.width()), H = std::max(1, cam.height());
  const double fx = (px + 0.5) / W, fy = 1 - (py + 0.5) / H;
  const double ex = p.left + fx * (p.right - p.left), ey = p.bottom + fy * (p.top - p.bottom);
  const double pixel = (p.right - p.left) / W;
  Gl_Vec3 o_eye, d_eye;
  Pick_Ray r;
  if (p.perspective) {
    o_eye = {0, 0, 0};
    const double len = std::sqrt(ex * ex + ey * ey + p.near * p.near);
    d_eye = {ex / len, ey / len, -p.near / len};
    r.spread = radius_px * pixel / p.near;
  } else {
    o_eye = {ex, ey, 0};
    d_eye = {0, 0, -1};
    r.spread0 = radius_px * pixel;
  }
  const Gl_Vec3 t{m[12], m[13], m[14]};
  const Gl_Vec3 q = sub(o_eye, t);
  for (int i = 0; i < 3; ++i) {
    const Gl_Vec3 col{m[4 * i], m[4 * i + 1], m[4 * i + 2]};
    r.origin[i] = dot(col, q);
    r.dir[i] = dot(col, d_eye);
  }
  return r;
}

// -- the index

void Pick_Index::build(const std::vector<Grid*>& grids) {
  clear();
  mParts.resize(grids.size());
  long idx[4];
  for (size_t n = 0; n < grids.size(); ++n) {
    Part& P = mParts[n];
    const Grid& g = *grids[n];
    P.g = &g;
    P.first_element = mElements;
    P.first_point = mPoints;
    for (const GridPt& p : g.mPts)
      if (!p.mapped_to) ++P.numbered;
    const int E = g.num_elements();
    for (int b = 0; b < E; b += kBlock) {
      Block B{b, std::min(E, b + kBlock), {HUGE_VAL, HUGE_VAL, HUGE_VAL}, {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL}};
      for (int k = B.begin; k < B.end; ++k) {
        const int c = g.element(k, idx);
        if (c < 2) {
          P.unwritten.push_back(k);
          continue;
        }
        ++P.written;
        for (int j = 0; j < c; ++j) grow(B.lo, B.hi, at(effective(g.mPts[idx[j]])));
      }
      if (B.lo[0] > B.hi[0]) continue;
      if (P.blocks.empty()) P.lo = B.lo, P.hi = B.hi;
      grow(P.lo, P.hi, B.lo), grow(P.lo, P.hi, B.hi);
      P.blocks.push_back(B);
    }
    mElements += P.written;
    mPoints += P.numbered;
  }
}

long Pick_Index::element_number(int part, int k) const {
  if (part < 0 || part >= (int)mParts.size()) return 0;
  const Part& P = mParts[part];
  if (k < 0 || k >= P.g->num_elements()) return 0;
  const auto it = std::lower_bound(P.unwritten.begin(), P.unwritten.end(), k);
  if (it != P.unwritten.end() && *it == k) return 0;
  return P.first_element + (k - (it - P.unwritten.begin())) + 1;
}

bool Pick_Index::find_element(long number, int& part, int& k) const {
  if (number < 1 || number > mElements) return false;
  // The last part whose first number lies below `number`, skipping parts without elements.
  auto it = std::upper_bound(mParts.begin(), mParts.end(), number - 1,
                             [](long n, const Part& P) { return n < P.first_element; });
  while (it != mParts.begin()) {
    --it;
    if (number - 1 < it->first_element + it->written) break;
  }
  long local = number - 1 - it->first_element;
  int kk = (int)local;
  for (int u : it->unwritten) {  // ascending: each skipped index before kk moves it on
    if (u > kk) break;
    ++kk;
  }
  part = int(it - mParts.begin());
  k = kk;
  return true;
}

bool Pick_Index::find_point(long number, int& part, int& i) const {
  if (number < 1 || number > mPoints) return false;
  for (size_t n = 0; n < mParts.size(); ++n) {
    const Part& P = mParts[n];
    if (number > P.first_point + P.numbered) continue;
    const GridPts& pts = P.g->mPts;
    for (size_t j = 0; j < pts.size(); ++j)
      if (!pts[j].mapped_to && pts[j].id == number) {
        part = (int)n, i = (int)j;
        return true;
      }
    return false;
  }
  return false;
}

bool Pick_Index::hit_part(int part, const Pick_Ray& r, const std::vector<Gl_ClipInfo>& planes,
                          Pick_Hit& best) const {
  const Part& P = mParts[part];
  auto margin = [&](const Gl_Vec3& lo, const Gl_Vec3& hi) {
    const Gl_Vec3 c{(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2}, h = sub(hi, c);
    const Gl_Vec3 oc = sub(c, r.origin);
    return r.spread0 + r.spread * (std::sqrt(dot(oc, oc)) + std::sqrt(dot(h, h)));
  };
  double t0, t1;
  if (P.blocks.empty() || !ray_box(r, P.lo, P.hi, margin(P.lo, P.hi), t0, t1) || t0 > best.t) return false;
  const GridPts& pts = P.g->mPts;
  bool found = false;
  long idx[4];
  for (const Block& B : P.blocks) {
    if (!ray_box(r, B.lo, B.hi, margin(B.lo, B.hi), t0, t1) || t0 > best.t) continue;
    for (int k = B.begin; k < B.end; ++k) {
      const int n = P.g->element(k, idx);
      if (n < 2) continue;
      Gl_Vec3 v[4];
      for (int j = 0; j < n; ++j) v[j] = at(effective(pts[idx[j]]));
      double t = -1;
      if (n == 2) {
        t = ray_segment(r, v[0], v[1]);
      } else {
        t = ray_triangle(r, v[0], v[1], v[2]);
        if (n == 4) {
          const double t2 = ray_triangle(r, v[0], v[2], v[3]);
          if (t2 >= 0 && (t < 0 || t2 < t)) t = t2;
        }
      }
      if (t < 0 || t >= best.t) continue;
      const Gl_Vec3 p{r.origin[0] + t * r.dir[0], r.origin[1] + t * r.dir[1], r.origin[2] + t * r.dir[2]};
      if (!kept(p, planes)) continue;
      best.part = part, best.k = k, best.t = t;
      found = true;
    }
  }
  return found;
}

bool Pick_Index::hit(const Pick_Ray& r, const std::vector<char>& shown, const std::vector<Gl_ClipInfo>& planes,
                     Pick_Hit& out) const {
  Pick_Hit best;
  best.t = HUGE_VAL;
  for (int n = 0; n < (int)mParts.size(); ++n)
    if (n >= (int)shown.size() || shown[n]) hit_part(n, r, planes, best);
  if (best.part < 0) return false;
  best.number = element_number(best.part, best.k);
  out = best;
  return true;
}

// -- texts

Element_Info element_info(const Grid& g, int k, long number) {
  Element_Info e;
  e.part = g.name();
  e.place = g.place();
  e.number = number;
  long idx[4];
  e.n = std::clamp(g.element(k, idx), 0, 4);
  for (int j = 0; j < e.n; ++j) {
    const GridPt& p = effective(g.mPts[idx[j]]);
    e.ids[j] = (long)p.id;
    e.xyz[j][0] = p.x, e.xyz[j][1] = p.y, e.xyz[j][2] = p.z;
  }
  return e;
}

std::string element_text(const Element_Info& e) {
  static const char* const kinds[] = {"", "", "bar", "triangle", "quadrilateral"};
  std::string s = "element " + std::to_string(e.number) + " (" + kinds[e.n] + ") of '" + e.part + "'" +
                  made_at(e.place) + ": points";
  for (int j = 0; j < e.n; ++j) s += " " + std::to_string(e.ids[j]) + " " + coords(e.xyz[j]);
  return s;
}

std::string point_text(const Grid& g, int i) {
  const GridPt& p = g.mPts[i];
  const double x[3] = {p.x, p.y, p.z};
  return "point " + std::to_string((long)p.id) + " " + coords(x) + " of '" + g.name() + "'" + made_at(g.place());
}

void frame_points(const double* xyz, int n, double scale, double least, Gl_Vec3& center, double& size) {
  Gl_Vec3 lo{HUGE_VAL, HUGE_VAL, HUGE_VAL}, hi{-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
  for (int j = 0; j < n; ++j) grow(lo, hi, {xyz[3 * j], xyz[3 * j + 1], xyz[3 * j + 2]});
  if (n == 0) lo = hi = {0, 0, 0};
  const Gl_Vec3 d = sub(hi, lo);
  center = {(lo[0] + hi[0]) / 2, (lo[1] + hi[1]) / 2, (lo[2] + hi[2]) / 2};
  size = std::max(least, scale * std::sqrt(dot(d, d)));
}

bool place_line(const std::string& place, std::string& file, int& line) {
  const std::string outer = place.substr(0, place.find(" ("));
  const size_t colon = outer.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 >= outer.size()) return false;
  for (size_t i = colon + 1; i < outer.size(); ++i)
    if (outer[i] < '0' || outer[i] > '9') return false;
  file = outer.substr(0, colon);
  line = std::atoi(outer.c_str() + colon + 1);
  return line > 0;
}
