#include "meshio/vbf.h"

#include "grid/Grid.h"
#include "grid/MeshStructs.h"
#include "meshio/BinFile.h"
#include "meshio/finite_check.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <iostream>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace {

// Representatives must carry the numbers 1..n in registry and index order, as
// renumber_grid_pts gives them; anything else means the numbering is stale. Null when
// the points can be written, else why not.
const char* unwritable_points() {
  uint64_t np = 0;
  for (const Grid* g : Grid::gGrids)
    for (const GridPt& p : g->mPts)
      if (!p.mapped_to && (uint64_t)p.id != ++np) return "points not numbered since the last merge";
  return np > std::numeric_limits<uint32_t>::max() ? "too many points" : nullptr;
}

void put(unsigned char* out, uint64_t v, int bytes) {
  for (int k = 0; k < bytes; ++k) out[k] = (unsigned char)(v >> (8 * k));
}

// Point record: x, y, z, the point's number and 4 bytes of padding.
void write_points(oBinFile& f) {
  f.AddSection(VBF::POINTS, nullptr);
  unsigned char rec[VBF::POINT_BYTES] = {};
  for (const Grid* g : Grid::gGrids)
    for (const GridPt& p : g->mPts) {
      if (p.mapped_to) continue;
      put(rec, std::bit_cast<uint64_t>(p.x), 8);
      put(rec + 8, std::bit_cast<uint64_t>(p.y), 8);
      put(rec + 16, std::bit_cast<uint64_t>(p.z), 8);
      put(rec + 24, (uint64_t)p.id, 4);
      f.Write(rec, sizeof rec);
    }
}

const Mesh::ElementTypeBits SHAPE[5] = {0, 0, Mesh::LINE, Mesh::TRIANGLE, Mesh::QUADRILATERAL};

// Packed element records (type word, number, point numbers, 4 bytes of padding) of the
// elements that keep 2 to 4 points; a part's records are consecutive, so its positions
// in the section are [first[k], first[k + 1]). False past 2^32 - 1 elements.
bool write_elements(oBinFile& f, std::vector<uint64_t>& first) {
  f.AddSection(VBF::ELEMENTS, nullptr);
  unsigned char rec[16 + 4 * 4] = {};
  GridPt pts[4];
  uint64_t ne = 0;
  first.clear();
  for (const Grid* g : Grid::gGrids) {
    first.push_back(ne);
    const int n = g->num_elements();
    for (int k = 0; k < n; ++k) {
      const int c = g->element(k, pts);
      if (c < 2 || c > 4) continue;
      if (++ne > std::numeric_limits<uint32_t>::max()) {
        std::cerr << "could not export to binary file '" << f.FileName() << "': too many elements\n";
        return false;
      }
      const Mesh::ElementType type = Mesh::type(SHAPE[c], 1, 0);
      put(rec, type, 8);
      put(rec + 8, ne, 4);
      for (int j = 0; j < c; ++j) put(rec + 12 + 4 * j, (uint64_t)pts[j].id, 4);
      put(rec + 12 + 4 * c, 0, 4);
      f.Write(rec, 16 + 4 * c);
    }
  }
  first.push_back(ne);
  return true;
}

// One section per name, in the order names first appear; it lists the positions of the
// elements of every part of that name.
void write_parts(oBinFile& f, const std::vector<uint64_t>& first) {
  std::map<std::string, std::vector<size_t>> parts;
  std::vector<const std::string*> names;
  const std::vector<Grid*>& grids = Grid::gGrids;
  for (size_t k = 0; k < grids.size(); ++k) {
    auto [it, fresh] = parts.try_emplace(grids[k]->name());
    if (fresh) names.push_back(&it->first);
    it->second.push_back(k);
  }
  unsigned char pos[8];
  for (const std::string* name : names) {
    f.AddSection(VBF::PART, name->c_str());
    for (size_t k : parts[*name])
      for (uint64_t e = first[k]; e < first[k + 1]; ++e) {
        put(pos, e, 8);
        f.Write(pos, 8);
      }
  }
}

}  // namespace

bool export_vbf_mesh(const char* filename, bool) {
  if (!check_finite_mesh(filename)) return false;
  if (const char* why = unwritable_points()) {
    std::cerr << "could not export to binary file '" << filename << "': " << why << "\n";
    return false;
  }
  oBinFile f(filename);
  if (!f.IsOpen()) return false;
  std::vector<uint64_t> first;
  write_points(f);
  if (!write_elements(f, first)) {
    f.Discard();
    return false;
  }
  write_parts(f, first);
  return f.Close();
}
