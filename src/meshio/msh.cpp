// export_msh_mesh: Gmsh 4.1 ascii. Every part is one physical group, named after it, with
// one entity per dimension it has (curves for bars, surfaces for faces); the points form
// one node block; elements keep the numbers a .dvk export gives them. Points and elements
// are formatted straight from the parts, on every core (text_writer.h).

#include "meshio/msh.h"

#include "grid/Grid.h"
#include "meshio/finite_check.h"
#include "meshio/flat_mesh.h"
#include "meshio/text_writer.h"

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
const PointLine POINT_LINE = {"", -1, "", " ", false};
const ElementLine ELEMENT_LINE = {{"", "", "", "", ""}, true, false, " "};

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

// The file's plan: the element runs of each group, the elements per group and point
// count, the entities (curves, then surfaces) and the jobs of both stretches.
struct Plan {
  std::vector<std::vector<size_t>> runs_of;
  std::vector<long> count;  // 5 per group
  std::vector<Entity> entities;
  long curves = 0, blocks = 0;
  std::vector<Job> node_jobs, element_jobs;
  Segments nodes, elements;
};

// Folds a run's bounds of its elements of k points into the last entity of `list`, or a
// new one when the last is another part's.
void fold_bounds(std::vector<Entity>& list, int dim, int tag, const RunBounds& b) {
  if (list.empty() || list.back().tag != tag) {
    list.push_back({dim, tag, {}, {}});
    std::copy(b.first, b.first + 3, list.back().lo);
    std::copy(b.first, b.first + 3, list.back().hi);
  }
  Entity& en = list.back();
  for (int a = 0; a < 3; ++a) {
    en.lo[a] = std::min(en.lo[a], b.lo[a]);
    en.hi[a] = std::max(en.hi[a], b.hi[a]);
  }
}

// Per group and point count: the elements, and the entities' bounds folded in file order
// (by group, bars before triangles before quadrilaterals, runs in registry order).
void plan_entities(const PartLayout& L, Plan& p) {
  const size_t groups = L.names.size();
  p.runs_of.resize(groups);
  p.count.assign(5 * groups, 0);
  for (size_t i = 0; i < L.elements.size(); ++i) {
    const PartRun& r = L.elements[i];
    p.runs_of[r.group].push_back(i);
    for (int k = 2; k <= 4; ++k) p.count[5 * r.group + k] += r.count[k];
  }
  std::vector<Entity> entities[2];
  for (size_t g = 0; g < groups; ++g)
    for (int k = 2; k <= 4; ++k)
      for (size_t i : p.runs_of[g])
        if (L.elements[i].count[k]) fold_bounds(entities[k == 2 ? 0 : 1], k == 2 ? 1 : 2, int(g + 1), L.bounds[5 * i + k]);
  p.curves = (long)entities[0].size();
  p.entities = entities[0];
  p.entities.insert(p.entities.end(), entities[1].begin(), entities[1].end());
}

// The nodes, then the element blocks; lines are at most as long as their largest numbers.
void plan_jobs(const PartLayout& L, Plan& p) {
  const size_t tag_max = decimal_digits(L.np) + 1, element_max = decimal_digits(L.ne) + 4 * tag_max + 1;
  if (!p.entities.empty()) {
    for (long b = 0; b < L.np; b += Segments::SEGMENT_ITEMS) {
      const long e = std::min(L.np, b + Segments::SEGMENT_ITEMS);
      p.node_jobs.push_back({nullptr, b, e, 0, false});
      p.nodes.add(e - b, size_t(e - b) * tag_max);
    }
    for (const PartRun& r : L.points) {
      p.node_jobs.push_back({&r, 0, 0, 0, false});
      p.nodes.add(r.count[0], size_t(r.count[0]) * POINT_LINE_NUMBERS);
    }
  }
  for (size_t g = 0; g < p.runs_of.size(); ++g)
    for (int k = 2; k <= 4; ++k) {
      bool head = true;
      for (size_t i : p.runs_of[g]) {
        const PartRun& r = L.elements[i];
        if (r.count[k] == 0) continue;
        p.element_jobs.push_back({&r, 0, 0, k, head});
        p.elements.add(r.count[k], size_t(r.count[k]) * element_max + (head ? 4 * 21 : 0));
        p.blocks += head;
        head = false;
      }
    }
}

// From $MeshFormat to the node block's header.
std::string head_lines(const PartLayout& L, const Plan& p) {
  const std::vector<Entity>& all = p.entities;
  std::string head = "$MeshFormat\n4.1 0 8\n$EndMeshFormat\n$PhysicalNames\n" + std::to_string(all.size()) + "\n";
  for (const Entity& en : all)
    head += std::to_string(en.dim) + " " + std::to_string(en.tag) + " " + quoted(L.names[en.tag - 1]) + "\n";
  head += "$EndPhysicalNames\n$Entities\n0 ";
  head += std::to_string(p.curves) + " " + std::to_string((long)all.size() - p.curves) + " 0\n";
  for (const Entity& en : all) {
    head += std::to_string(en.tag);
    for (double v : en.lo) head += " " + num(v);
    for (double v : en.hi) head += " " + num(v);
    head += " 1 " + std::to_string(en.tag) + " 0\n";
  }
  head += "$EndEntities\n$Nodes\n";
  const std::string np = std::to_string(L.np);
  if (all.empty() || L.np == 0) return head + "0 0 0 0\n";
  return head + "1 " + np + " 1 " + np + "\n" + std::to_string(all[0].dim) + " " + std::to_string(all[0].tag) + " 0 " +
         np + "\n";
}

char* put_node_job(const Job& jb, char* o) {
  return jb.run ? put_point_lines(*jb.run, POINT_LINE, o) : put_number_lines(jb.begin + 1, jb.end + 1, o);
}

char* put_element_job(const Plan& p, const Job& jb, char* o) {
  const int k = jb.kind;
  if (jb.head) {
    const int g = jb.run->group;
    const long fields[4] = {k == 2 ? 1 : 2, g + 1, GMSH_TYPE[k], p.count[5 * g + k]};
    for (int f = 0; f < 4; ++f) {
      o = put_decimal(o, fields[f]);
      *o++ = f < 3 ? ' ' : '\n';
    }
  }
  return put_element_lines(*jb.run, k, ELEMENT_LINE, o);
}

}  // namespace

bool export_msh_mesh(const char* path, bool) {
  if (!check_finite_mesh(path)) return false;
  PartLayout L;
  if (!layout_grids(L, true)) return false;
  Plan p;
  plan_entities(L, p);
  plan_jobs(L, p);
  const std::string head = head_lines(L, p);
  const std::string mid = "$EndNodes\n$Elements\n" + std::to_string(p.blocks) + " " + std::to_string(L.ne) + " " +
                          (L.ne ? "1 " : "0 ") + std::to_string(L.ne) + "\n";

  Atomic_File f;
  if (!f.open(path)) return false;
  SegmentBuffers ring;
  bool ok = f.write(head.data(), head.size());
  ok = ok && p.nodes.write(f, ring, [&](size_t j, char* o) { return put_node_job(p.node_jobs[j], o); });
  ok = ok && f.write(mid.data(), mid.size());
  ok = ok && p.elements.write(f, ring, [&](size_t j, char* o) { return put_element_job(p, p.element_jobs[j], o); });
  static const char tail[] = "$EndElements\n";
  ok = ok && f.write(tail, sizeof tail - 1);
  if (!ok) f.discard();
  return f.commit();
}
