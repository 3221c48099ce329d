// export_msh_mesh: Gmsh 4.1 ascii. Every part is one physical group, named after it, with
// one entity per dimension it has (curves for bars, surfaces for faces); the points form
// one node block; elements keep the numbers a .dvk export gives them. Points and elements
// are formatted straight from the parts, on every core (text_blocks.h).
#include "meshio/standard_formats.h"

#include "grid/Grid.h"
#include "meshio/dvk.h"
#include "meshio/finite_check.h"
#include "meshio/flat_mesh.h"
#include "meshio/text_blocks.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// An entity: a part's elements of one dimension, tagged with the part's number.
struct Entity {
  int dim, tag;
  double lo[3], hi[3];
};

const int GMSH_TYPE[5] = {0, 0, 1, 2, 3};  // line, triangle, quadrangle

std::string num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

// Inside the quotes a quote or a backslash is escaped with a backslash, as readers that
// split the line shell-style expect.
std::string quoted(const std::string& name) {
  std::string q = "\"";
  for (char c : name) {
    if (c == '"' || c == '\\') q += '\\';
    q += c;
  }
  return q + "\"";
}

// A run of lines of the file: node numbers [begin, end) (run null), a run's points, or a
// run's elements of `kind` points, after their block's header when `head`.
struct Job {
  const PartRun* run;
  long begin, end;
  int kind;
  bool head;
};

char* put_point_numbers(long begin, long end, char* o) {
  for (long i = begin; i < end; ++i) {
    o = put_decimal(o, i + 1);
    *o++ = '\n';
  }
  return o;
}

char* put_points(const PartRun& r, char* o) {
  const std::vector<GridPt>& pts = r.grid->mPts;
  for (int i = r.begin; i < r.end; ++i) {
    const GridPt& p = pts[i];
    if (p.mapped_to) continue;
    o = DVK::put_xyz(o, p.x, p.y, p.z);
    *o++ = '\n';
  }
  return o;
}


}  // namespace

bool export_msh_mesh(const char* path, bool) {
  if (!check_finite_mesh(path)) return false;
  PartLayout L;
  if (!layout_grids(L, true)) return false;
  const long np = L.np, ne = L.ne;
  const size_t groups = L.names.size();

  // Per group and point count: the elements, and the entities' bounds folded in file order
  // (by group, bars before triangles before quadrilaterals, runs in registry order).
  std::vector<std::vector<size_t>> runs_of(groups);
  std::vector<long> count(5 * groups, 0);
  for (size_t i = 0; i < L.elements.size(); ++i) {
    const PartRun& r = L.elements[i];
    runs_of[r.group].push_back(i);
    for (int k = 2; k <= 4; ++k) count[5 * r.group + k] += r.count[k];
  }
  std::vector<Entity> entities[2];
  for (size_t g = 0; g < groups; ++g)
    for (int k = 2; k <= 4; ++k) {
      const int dim = k == 2 ? 1 : 2;
      for (size_t i : runs_of[g]) {
        if (L.elements[i].count[k] == 0) continue;
        const RunBounds& b = L.bounds[5 * i + k];
        std::vector<Entity>& list = entities[dim - 1];
        if (list.empty() || list.back().tag != int(g + 1)) {
          list.push_back({dim, int(g + 1), {}, {}});
          std::copy(b.first, b.first + 3, list.back().lo);
          std::copy(b.first, b.first + 3, list.back().hi);
        }
        Entity& en = list.back();
        for (int a = 0; a < 3; ++a) {
          en.lo[a] = std::min(en.lo[a], b.lo[a]);
          en.hi[a] = std::max(en.hi[a], b.hi[a]);
        }
      }
    }
  const long curves = (long)entities[0].size();
  std::vector<Entity> all = entities[0];
  all.insert(all.end(), entities[1].begin(), entities[1].end());

  std::string head = "$MeshFormat\n4.1 0 8\n$EndMeshFormat\n$PhysicalNames\n" + std::to_string(all.size()) + "\n";
  for (const Entity& en : all)
    head += std::to_string(en.dim) + " " + std::to_string(en.tag) + " " + quoted(L.names[en.tag - 1]) + "\n";
  head += "$EndPhysicalNames\n$Entities\n0 ";
  head += std::to_string(curves) + " " + std::to_string((long)all.size() - curves) + " 0\n";
  for (const Entity& en : all) {
    head += std::to_string(en.tag);
    for (double v : en.lo) head += " " + num(v);
    for (double v : en.hi) head += " " + num(v);
    head += " 1 " + std::to_string(en.tag) + " 0\n";
  }
  head += "$EndEntities\n$Nodes\n";
  if (all.empty() || np == 0) {
    head += "0 0 0 0\n";
  } else {
    head += "1 " + std::to_string(np) + " 1 " + std::to_string(np) + "\n" + std::to_string(all[0].dim) + " " +
            std::to_string(all[0].tag) + " 0 " + std::to_string(np) + "\n";
  }

  // The nodes, then the element blocks; lines are at most as long as their largest numbers.
  const size_t tag_max = decimal_digits(np) + 1, element_max = decimal_digits(ne) + 4 * tag_max + 1;
  std::vector<Job> jobs;
  Segments nodes, elements;
  if (!all.empty()) {
    for (long b = 0; b < np; b += Segments::SEGMENT_ITEMS) {
      const long e = std::min(np, b + Segments::SEGMENT_ITEMS);
      jobs.push_back({nullptr, b, e, 0, false});
      nodes.add(e - b, size_t(e - b) * tag_max);
    }
    for (const PartRun& r : L.points) {
      jobs.push_back({&r, 0, 0, 0, false});
      nodes.add(r.count[0], size_t(r.count[0]) * (3 * 22));
    }
  }
  const size_t first_element_job = jobs.size();
  long blocks = 0;
  for (size_t g = 0; g < groups; ++g)
    for (int k = 2; k <= 4; ++k) {
      bool head_next = true;
      for (size_t i : runs_of[g]) {
        const PartRun& r = L.elements[i];
        if (r.count[k] == 0) continue;
        jobs.push_back({&r, 0, 0, k, head_next});
        elements.add(r.count[k], size_t(r.count[k]) * element_max + (head_next ? 4 * 21 : 0));
        blocks += head_next;
        head_next = false;
      }
    }

  Atomic_File f;
  if (!f.open(path)) return false;
  SegmentBuffers ring;
  bool ok = f.write(head.data(), head.size());
  ok = ok && nodes.write(f, ring, [&](size_t j, char* o) {
    const Job& jb = jobs[j];
    return jb.run ? put_points(*jb.run, o) : put_point_numbers(jb.begin, jb.end, o);
  });
  std::string mid = "$EndNodes\n$Elements\n" + std::to_string(blocks) + " " + std::to_string(ne) + " " +
                    (ne ? "1 " : "0 ") + std::to_string(ne) + "\n";
  ok = ok && f.write(mid.data(), mid.size());
  ok = ok && elements.write(f, ring, [&](size_t j, char* o) {
    const Job& jb = jobs[first_element_job + j];
    const int k = jb.kind;
    if (jb.head) {
      const int g = jb.run->group;
      o = put_decimal(o, k == 2 ? 1 : 2);
      *o++ = ' ';
      o = put_decimal(o, g + 1);
      *o++ = ' ';
      o = put_decimal(o, GMSH_TYPE[k]);
      *o++ = ' ';
      o = put_decimal(o, count[5 * g + k]);
      *o++ = '\n';
    }
    return put_element_lines(*jb.run, k, " ", o);
  });
  static const char tail[] = "$EndElements\n";
  ok = ok && f.write(tail, sizeof tail - 1);
  if (!ok) f.discard();
  return f.commit();
}
