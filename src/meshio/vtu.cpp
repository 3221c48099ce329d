// export_vtu_mesh: VTK XML unstructured grid with its arrays appended raw (little-endian,
// UInt64 size words): points, connectivity, offsets, cell types, and the part number of
// every cell as cell data. The part names are field data: one array per part, named after
// it, holding its number. The arrays are filled straight from the parts, on every core
// (text_writer.h).

#include "meshio/vtu.h"

#include "grid/Grid.h"
#include "meshio/finite_check.h"
#include "meshio/flat_mesh.h"
#include "meshio/text_writer.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

static_assert(std::endian::native == std::endian::little, "the appended data is written as it is in memory");

const uint8_t VTK_TYPE[5] = {0, 0, 3, 5, 9};  // line, triangle, quad

std::string xml_escaped(const std::string& s) {
  std::string o;
  for (char c : s) {
    switch (c) {
    case '&': o += "&amp;"; break;
    case '<': o += "&lt;"; break;
    case '>': o += "&gt;"; break;
    case '"': o += "&quot;"; break;
    default: o += c;
    }
  }
  return o;
}

template <class T>
char* put(char* o, T v) {
  std::memcpy(o, &v, sizeof v);
  return o + sizeof v;
}

char* put_points(const PartRun& r, char* o) {
  const GridPts& pts = r.grid->mPts;
  for (int i = r.begin; i < r.end; ++i) {
    const GridPt& p = pts[i];
    if (p.mapped_to) continue;
    o = put(o, p.x);
    o = put(o, p.y);
    o = put(o, p.z);
  }
  return o;
}

// The run's point count when all its elements have the same, else 0.
int single_kind(const PartRun& r) {
  for (int k = 2; k <= 4; ++k)
    if (r.count[k] == r.elements()) return k;
  return 0;
}

// Calls fn(n, idx) for the run's written elements (idx only when `with_points`, or when
// the run mixes point counts).
template <class Fn>
void for_each_element(const PartRun& r, bool with_points, const Fn& fn) {
  const int kind = single_kind(r);
  long idx[4] = {};
  if (kind && !with_points) {
    for (long e = 0; e < r.elements(); ++e) fn(kind, idx);
    return;
  }
  for (int k = r.begin; k < r.end; ++k) {
    const int n = r.grid->element(k, idx);
    if (n >= 2) fn(n, idx);
  }
}

// Connectivity entries before each element run, and after the last.
std::vector<int64_t> connectivity_starts(const PartLayout& L) {
  std::vector<int64_t> first;
  int64_t n = 0;
  for (const PartRun& r : L.elements) {
    first.push_back(n);
    n += 2 * r.count[2] + 3 * r.count[3] + 4 * r.count[4];
  }
  first.push_back(n);
  return first;
}

// The XML up to the appended data, whose five arrays start at `offset`.
std::string head_xml(const PartLayout& L, const uint64_t offset[5]) {
  auto o = [&](int k) { return std::to_string(offset[k]); };
  std::string head =
      "<?xml version=\"1.0\"?>\n"
      "<VTKFile type=\"UnstructuredGrid\" version=\"1.0\" byte_order=\"LittleEndian\" header_type=\"UInt64\">\n"
      "<UnstructuredGrid>\n<FieldData>\n";
  for (size_t g = 0; g < L.names.size(); ++g)
    head += "<DataArray type=\"Int32\" Name=\"" + xml_escaped(L.names[g]) +
            "\" NumberOfTuples=\"1\" format=\"ascii\">" + std::to_string(g + 1) + "</DataArray>\n";
  return head + "</FieldData>\n<Piece NumberOfPoints=\"" + std::to_string(L.np) + "\" NumberOfCells=\"" +
         std::to_string(L.ne) +
         "\">\n<Points>\n<DataArray type=\"Float64\" NumberOfComponents=\"3\" format=\"appended\" offset=\"" + o(0) +
         "\"/>\n</Points>\n<Cells>\n"
         "<DataArray type=\"Int64\" Name=\"connectivity\" format=\"appended\" offset=\"" + o(1) + "\"/>\n"
         "<DataArray type=\"Int64\" Name=\"offsets\" format=\"appended\" offset=\"" + o(2) + "\"/>\n"
         "<DataArray type=\"UInt8\" Name=\"types\" format=\"appended\" offset=\"" + o(3) + "\"/>\n"
         "</Cells>\n<CellData Scalars=\"part\">\n"
         "<DataArray type=\"Int32\" Name=\"part\" format=\"appended\" offset=\"" + o(4) + "\"/>\n"
         "</CellData>\n</Piece>\n</UnstructuredGrid>\n<AppendedData encoding=\"raw\">\n_";
}

// Cell array a (0 connectivity, 1 offsets, 2 types, 3 part numbers) of run r, whose
// connectivity starts at entry `conn_first`.
char* put_cells(const PartRun& r, int a, int64_t conn_first, char* o) {
  const GridPts& pts = r.grid->mPts;
  if (a == 3) {
    for (long e = 0; e < r.elements(); ++e) o = put<int32_t>(o, r.group + 1);
    return o;
  }
  int64_t end = conn_first;
  for_each_element(r, a == 0, [&](int n, const long* idx) {
    switch (a) {
    case 0:
      for (int k = 0; k < n; ++k) o = put<int64_t>(o, effective(pts[idx[k]]).id - 1);
      break;
    case 1: o = put<int64_t>(o, end += n); break;
    default: *o++ = (char)VTK_TYPE[n];
    }
  });
  return o;
}

}  // namespace

bool export_vtu_mesh(const char* path, bool) {
  if (!check_finite_mesh(path)) return false;
  PartLayout L;
  if (!layout_grids(L, false)) return false;
  const uint64_t np = L.np, ne = L.ne;
  const std::vector<int64_t> conn_first = connectivity_starts(L);
  // Each array: its size in bytes as a UInt64, then the bytes.
  const uint64_t sizes[5] = {24 * np, 8 * uint64_t(conn_first.back()), 8 * ne, ne, 4 * ne};
  uint64_t offset[5], at = 0;
  for (int k = 0; k < 5; ++k) {
    offset[k] = at;
    at += 8 + sizes[k];
  }
  const std::string head = head_xml(L, offset);

  // One job per point run, then per element run and array (1 to 4).
  Segments points, cells[4];
  for (const PartRun& r : L.points) points.add(r.count[0], 24 * size_t(r.count[0]));
  for (size_t i = 0; i < L.elements.size(); ++i) {
    const long n = L.elements[i].elements();
    cells[0].add(n, 8 * size_t(conn_first[i + 1] - conn_first[i]));
    cells[1].add(n, 8 * size_t(n));
    cells[2].add(n, size_t(n));
    cells[3].add(n, 4 * size_t(n));
  }

  Atomic_File f;
  if (!f.open(path)) return false;
  SegmentBuffers ring;
  bool ok = f.write(head.data(), head.size()) && f.write(&sizes[0], 8);
  ok = ok && points.write(f, ring, [&](size_t j, char* o) { return put_points(L.points[j], o); });
  for (int a = 0; a < 4 && ok; ++a)
    ok = f.write(&sizes[a + 1], 8) &&
         cells[a].write(f, ring, [&](size_t j, char* o) { return put_cells(L.elements[j], a, conn_first[j], o); });
  static const char tail[] = "\n</AppendedData>\n</VTKFile>\n";
  ok = ok && f.write(tail, sizeof tail - 1);
  if (!ok) f.discard();
  return f.commit();
}
