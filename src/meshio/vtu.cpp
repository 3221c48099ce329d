// export_vtu_mesh: VTK XML unstructured grid with its arrays appended raw (little-endian,
// UInt64 size words): points, connectivity, offsets, cell types, and the part number of
// every cell as cell data. The part names are field data: one array per part, named after
// it, holding its number.
#include "meshio/standard_formats.h"

#include "meshio/flat_mesh.h"
#include "util/atomic_file.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

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

// Writes an array's size word and its values as little-endian bytes.
template <class T>
bool put_array(Atomic_File& f, const std::vector<T>& values) {
  static_assert(std::endian::native == std::endian::little, "the appended data is written as it is in memory");
  const uint64_t bytes = values.size() * sizeof(T);
  return f.write(&bytes, sizeof bytes) && f.write(values.data(), bytes);
}

}  // namespace

bool export_vtu_mesh(const char* path, bool) {
  FlatMesh m;
  if (!flatten_grids(m)) return false;
  const uint64_t np = m.points(), ne = m.elements();
  uint64_t nconn = 0;
  for (int n : m.count) nconn += n;
  // Each array: its size in bytes as a UInt64, then the bytes.
  const uint64_t sizes[5] = {24 * np, 8 * nconn, 8 * ne, ne, 4 * ne};
  uint64_t offset[5], at = 0;
  for (int k = 0; k < 5; ++k) {
    offset[k] = at;
    at += 8 + sizes[k];
  }
  auto o = [&](int k) { return std::to_string(offset[k]); };
  std::string head =
      "<?xml version=\"1.0\"?>\n"
      "<VTKFile type=\"UnstructuredGrid\" version=\"1.0\" byte_order=\"LittleEndian\" header_type=\"UInt64\">\n"
      "<UnstructuredGrid>\n<FieldData>\n";
  for (size_t g = 0; g < m.names.size(); ++g)
    head += "<DataArray type=\"Int32\" Name=\"" + xml_escaped(m.names[g]) +
            "\" NumberOfTuples=\"1\" format=\"ascii\">" + std::to_string(g + 1) + "</DataArray>\n";
  head += "</FieldData>\n<Piece NumberOfPoints=\"" + std::to_string(np) + "\" NumberOfCells=\"" + std::to_string(ne) +
          "\">\n<Points>\n<DataArray type=\"Float64\" NumberOfComponents=\"3\" format=\"appended\" offset=\"" + o(0) +
          "\"/>\n</Points>\n<Cells>\n"
          "<DataArray type=\"Int64\" Name=\"connectivity\" format=\"appended\" offset=\"" + o(1) + "\"/>\n"
          "<DataArray type=\"Int64\" Name=\"offsets\" format=\"appended\" offset=\"" + o(2) + "\"/>\n"
          "<DataArray type=\"UInt8\" Name=\"types\" format=\"appended\" offset=\"" + o(3) + "\"/>\n"
          "</Cells>\n<CellData Scalars=\"part\">\n"
          "<DataArray type=\"Int32\" Name=\"part\" format=\"appended\" offset=\"" + o(4) + "\"/>\n"
          "</CellData>\n</Piece>\n</UnstructuredGrid>\n<AppendedData encoding=\"raw\">\n_";

  Atomic_File f;
  if (!f.open(path)) return false;
  bool ok = f.write(head.data(), head.size()) && put_array(f, m.xyz);
  {
    std::vector<int64_t> connectivity;
    connectivity.reserve(nconn);
    for (uint64_t e = 0; e < ne; ++e) connectivity.insert(connectivity.end(), m.element(e), m.element(e) + m.count[e]);
    ok = ok && put_array(f, connectivity);
  }
  std::vector<int64_t> offsets(ne);
  int64_t end = 0;
  for (uint64_t e = 0; e < ne; ++e) offsets[e] = end += m.count[e];
  ok = ok && put_array(f, offsets);
  offsets = {};
  std::vector<uint8_t> types(ne);
  for (uint64_t e = 0; e < ne; ++e) types[e] = VTK_TYPE[m.count[e]];
  ok = ok && put_array(f, types);
  types = {};
  std::vector<int32_t> parts(ne);
  for (uint64_t e = 0; e < ne; ++e) parts[e] = m.group[e] + 1;
  ok = ok && put_array(f, parts);
  static const char tail[] = "\n</AppendedData>\n</VTKFile>\n";
  ok = ok && f.write(tail, sizeof tail - 1);
  if (!ok) f.discard();
  return f.commit();
}
