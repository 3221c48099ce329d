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

// Appends values as little-endian bytes through a buffer.
class Appender {
public:
  explicit Appender(Atomic_File& f) : mFile(f) { mBuf.reserve(CAP + 16); }
  template <class T>
  void put(T v) {
    using U = std::conditional_t<sizeof(T) == 8, uint64_t, std::conditional_t<sizeof(T) == 4, uint32_t, uint8_t>>;
    U u = std::bit_cast<U>(v);
    for (size_t k = 0; k < sizeof(U); ++k) mBuf.push_back((unsigned char)(u >> (8 * k)));
    if (mBuf.size() >= CAP) flush();
  }
  bool flush() {
    mOk = mOk && mFile.write(mBuf.data(), mBuf.size());
    mBuf.clear();
    return mOk;
  }

private:
  static const size_t CAP = 1 << 20;
  Atomic_File& mFile;
  std::vector<unsigned char> mBuf;
  bool mOk = true;
};

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
  f.write(head.data(), head.size());
  Appender out(f);
  out.put(sizes[0]);
  for (double v : m.xyz) out.put(v);
  out.put(sizes[1]);
  for (uint64_t e = 0; e < ne; ++e)
    for (int j = 0; j < m.count[e]; ++j) out.put(int64_t(m.element(e)[j]));
  out.put(sizes[2]);
  int64_t end = 0;
  for (int n : m.count) out.put(end += n);
  out.put(sizes[3]);
  for (int n : m.count) out.put(VTK_TYPE[n]);
  out.put(sizes[4]);
  for (int g : m.group) out.put(int32_t(g + 1));
  static const char tail[] = "\n</AppendedData>\n</VTKFile>\n";
  const bool ok = out.flush() && f.write(tail, sizeof tail - 1);
  if (!ok) f.discard();
  return f.commit();
}
