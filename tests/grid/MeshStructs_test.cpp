#include "grid/MeshStructs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(MeshStructs, AccessorsReadTheirBitFields) {
  const struct {
    const char* id;
    Mesh::ElementType word, extended;
    uint32_t basic, index, dim, order, flags, auxi, npts, nbytes;
    std::string name;
  } rows[] = {
      {"zero word", 0, 0, 0, 0, 0, 0, 0, 0, 1, 20, "point"},
      {"triangle, auxi 5", 0x00501232, 0x00500232, 0x232, 2, 2, 1, 0x00500000, 5, 3, 28, "triangle"},
      {"bit 31 and auxi 1", 0x80101243, 0x80100243, 0x243, 3, 2, 1, 0x80100000, 1, 4, 32, "quadrilateral"},
      {"bits 16-19 and all auxi", 0x7FFF1344, 0x7FF00344, 0x344, 4, 3, 1, 0x7FF00000, 2047, 4, 32, "tetrahedron"},
      {"cubic hexahedron", 0x3387, 0x387, 0x387, 7, 3, 3, 0, 0, 64, 272, "hexahedron"},
      {"type index 8", 0x1008, 0x008, 0x008, 8, 0, 1, 0, 0, 2, 24, ""},
      // no table row (index 9-15) or an order above 3: no points rather than a read past the table
      {"plane", 0x100F, 0x00F, 0x00F, 15, 0, 1, 0, 0, 0, 16, "plane"},
      {"order 4", 0x4232, 0x232, 0x232, 2, 2, 4, 0, 0, 0, 16, "triangle"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.id);
    Mesh::Element e;
    e.type = r.word;
    EXPECT_EQ((std::vector<uint64_t>{Mesh::extended_type(e), Mesh::basic_type(e), Mesh::type_index(e),
                                     Mesh::dimensionality(e), Mesh::order(e), Mesh::flags(e), Mesh::auxi(e),
                                     Mesh::npts(e), Mesh::nbytes(e)}),
              (std::vector<uint64_t>{r.extended, r.basic, r.index, r.dim, r.order, r.flags, r.auxi, r.npts, r.nbytes}));
    EXPECT_EQ(std::string(Mesh::type_string(e)), r.name);
  }
}

// A packed stream: type word, id, point numbers, 4 bytes of padding; elements sit at any offset.
TEST(MeshStructs, WalksAPackedStream) {
  std::vector<char> buf(128, 0);
  std::vector<long> offsets;
  for (Mesh::ElementTypeBits bits : {Mesh::TRIANGLE, Mesh::QUADRILATERAL, Mesh::LINE}) {
    const Mesh::ElementType t = Mesh::type(bits, 1, 0);
    std::memcpy(&buf[offsets.empty() ? 0 : offsets.back()], &t, 8);
    offsets.push_back((offsets.empty() ? 0 : offsets.back()) + 16 + 4 * ((bits >> 4) & 0xF));
  }
  const Mesh::Element* e = reinterpret_cast<const Mesh::Element*>(buf.data());
  for (long at : offsets) EXPECT_EQ(reinterpret_cast<const char*>(e = Mesh::next(e)) - buf.data(), at);
  EXPECT_EQ(offsets, (std::vector<long>{28, 60, 84}));
}

}  // namespace
