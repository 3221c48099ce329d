// export_msh_mesh: Gmsh 4.1 ascii. Every part is one physical group, named after it, with
// one entity per dimension it has (curves for bars, surfaces for faces); the points form
// one node block; elements keep the numbers a .dvk export gives them.
#include "meshio/standard_formats.h"

#include "meshio/dvk.h"
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

int dim_of(int count) { return count == 2 ? 1 : 2; }
const int GMSH_TYPE[5] = {0, 0, 1, 2, 3};  // line, triangle, quadrangle

std::string num(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

std::string quoted(const std::string& name) {
  std::string q = "\"";
  for (char c : name) q += c == '"' ? '\'' : c;
  return q + "\"";
}

}  // namespace

bool export_msh_mesh(const char* path, bool) {
  FlatMesh m;
  if (!flatten_grids(m)) return false;
  const std::vector<long> order = elements_by_group(m, true);

  // Entities by (dimension, part), with their bounding boxes.
  std::vector<Entity> entities;
  auto entity_of = [&](long e) -> Entity& {
    const int dim = dim_of(m.count[e]), tag = m.group[e] + 1;
    for (auto it = entities.rbegin(); it != entities.rend(); ++it)
      if (it->dim == dim && it->tag == tag) return *it;
    entities.push_back({dim, tag, {0, 0, 0}, {0, 0, 0}});
    const double* p = &m.xyz[3 * m.element(e)[0]];
    std::copy(p, p + 3, entities.back().lo);
    std::copy(p, p + 3, entities.back().hi);
    return entities.back();
  };
  std::vector<long> block_start;  // positions in `order` where an element block begins
  for (long i = 0; i < (long)order.size(); ++i) {
    const long e = order[i];
    if (i == 0 || m.group[order[i - 1]] != m.group[e] || dim_of(m.count[order[i - 1]]) != dim_of(m.count[e]) ||
        m.count[order[i - 1]] != m.count[e])
      block_start.push_back(i);
    Entity& en = entity_of(e);
    for (int j = 0; j < m.count[e]; ++j)
      for (int a = 0; a < 3; ++a) {
        const double v = m.xyz[3 * m.element(e)[j] + a];
        en.lo[a] = std::min(en.lo[a], v);
        en.hi[a] = std::max(en.hi[a], v);
      }
  }
  std::stable_sort(entities.begin(), entities.end(), [](const Entity& a, const Entity& b) { return a.dim < b.dim; });

  std::string head = "$MeshFormat\n4.1 0 8\n$EndMeshFormat\n$PhysicalNames\n" + std::to_string(entities.size()) + "\n";
  for (const Entity& en : entities)
    head += std::to_string(en.dim) + " " + std::to_string(en.tag) + " " + quoted(m.names[en.tag - 1]) + "\n";
  head += "$EndPhysicalNames\n$Entities\n0 ";
  long curves = 0;
  for (const Entity& en : entities) curves += en.dim == 1;
  head += std::to_string(curves) + " " + std::to_string((long)entities.size() - curves) + " 0\n";
  for (const Entity& en : entities) {
    head += std::to_string(en.tag);
    for (double v : en.lo) head += " " + num(v);
    for (double v : en.hi) head += " " + num(v);
    head += " 1 " + std::to_string(en.tag) + " 0\n";
  }
  head += "$EndEntities\n$Nodes\n";
  const long np = m.points(), ne = m.elements();
  if (entities.empty() || np == 0) {
    head += "0 0 0 0\n";
  } else {
    head += "1 " + std::to_string(np) + " 1 " + std::to_string(np) + "\n" + std::to_string(entities[0].dim) + " " +
            std::to_string(entities[0].tag) + " 0 " + std::to_string(np) + "\n";
  }

  Atomic_File f;
  if (!f.open(path)) return false;
  bool ok = f.write(head.data(), head.size());
  if (!entities.empty()) {
    ok = ok && write_text_blocks(f, np, 21, [](long i, char* o) {
      o = DVK::put_long(o, i + 1, 1);
      *o++ = '\n';
      return o;
    });
    ok = ok && write_text_blocks(f, np, 3 * 22 + 1, [&](long i, char* o) {
      for (int a = 0; a < 3; ++a) {
        o = DVK::put_e(o, m.xyz[3 * i + a]);
        *o++ = a < 2 ? ' ' : '\n';
      }
      return o;
    });
  }
  std::string mid = "$EndNodes\n$Elements\n" + std::to_string(block_start.size()) + " " + std::to_string(ne) +
                    " " + (ne ? "1 " : "0 ") + std::to_string(ne) + "\n";
  ok = ok && f.write(mid.data(), mid.size());
  ok = ok && write_text_blocks(f, ne, 4 * 12 + 21 + 5 * 21 + 2, [&](long i, char* o) {
    const long e = order[i];
    const int n = m.count[e];
    if (std::binary_search(block_start.begin(), block_start.end(), i)) {
      long end = ne;
      auto it = std::upper_bound(block_start.begin(), block_start.end(), i);
      if (it != block_start.end()) end = *it;
      o = DVK::put_long(o, dim_of(n), 1);
      *o++ = ' ';
      o = DVK::put_long(o, m.group[e] + 1, 1);
      *o++ = ' ';
      o = DVK::put_long(o, GMSH_TYPE[n], 1);
      *o++ = ' ';
      o = DVK::put_long(o, end - i, 1);
      *o++ = '\n';
    }
    o = DVK::put_long(o, e + 1, 1);
    for (int j = 0; j < n; ++j) {
      *o++ = ' ';
      o = DVK::put_long(o, m.element(e)[j] + 1, 1);
    }
    *o++ = '\n';
    return o;
  });
  static const char tail[] = "$EndElements\n";
  ok = ok && f.write(tail, sizeof tail - 1);
  if (!ok) f.discard();
  return f.commit();
}
