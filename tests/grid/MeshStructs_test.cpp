#include "grid/MeshStructs.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

Mesh::Element with_type(Mesh::ElementType t) {
  Mesh::Element e;
  e.type = t;
  return e;
}

TEST(MeshStructs, AccessorsReadTheirBitFields) {
  struct Row {
    const char* id;
    Mesh::ElementType word;
    uint32_t basic, index, dim, order, flags, auxi, npts, nbytes;
    Mesh::ElementType extended;
    std::string name;
  };
  const Row rows[] = {
      {"zero word", 0, 0, 0, 0, 0, 0, 0, 1, 20, 0, "point"},
      {"linear bar", 0x1121, 0x121, 1, 1, 1, 0, 0, 2, 24, 0x121, "line"},
      {"triangle with auxi 5", 0x00501232, 0x232, 2, 2, 1, 0x00500000, 5, 3, 28, 0x00500232, "triangle"},
      {"bit 31 and auxi 1", 0x80101243, 0x243, 3, 2, 1, 0x80100000, 1, 4, 32, 0x80100243, "quadrilateral"},
      {"all auxi bits", 0x7FF01344, 0x344, 4, 3, 1, 0x7FF00000, 2047, 4, 32, 0x7FF00344, "tetrahedron"},
      {"quadratic triangle", 0x2232, 0x232, 2, 2, 2, 0, 0, 6, 40, 0x232, "triangle"},
      {"cubic hexahedron", 0x3387, 0x387, 7, 3, 3, 0, 0, 64, 272, 0x387, "hexahedron"},
      {"order 0 prism", 0x0366, 0x366, 6, 3, 0, 0, 0, 1, 20, 0x366, "prism"},
      {"pyramid", 0x1355, 0x355, 5, 3, 1, 0, 0, 5, 36, 0x355, "pyramid"},
      {"type index 8", 0x1008, 0x008, 8, 0, 1, 0, 0, 2, 24, 0x008, ""},
      // bits 16-19 are read by no accessor but extended_type clears them with the order
      {"bits 16-19 set", 0xF1121, 0x121, 1, 1, 1, 0, 0, 2, 24, 0x121, "line"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.id);
    Mesh::Element e = with_type(r.word);
    EXPECT_EQ(Mesh::basic_type(e), r.basic);
    EXPECT_EQ(Mesh::type_index(e), r.index);
    EXPECT_EQ(Mesh::dimensionality(e), r.dim);
    EXPECT_EQ(Mesh::order(e), r.order);
    EXPECT_EQ(Mesh::flags(e), r.flags);
    EXPECT_EQ(Mesh::auxi(e), r.auxi);
    EXPECT_EQ(Mesh::npts(e), r.npts);
    EXPECT_EQ(Mesh::nbytes(e), r.nbytes);
    EXPECT_EQ(Mesh::extended_type(e), r.extended);
    EXPECT_EQ(std::string(Mesh::type_string(e)), r.name);
  }
}

TEST(MeshStructs, BuiltTypesOfTheFiveShapes) {
  struct Row {
    Mesh::ElementTypeBits bits;
    Mesh::ElementType word;
    uint32_t npts, nbytes;
  };
  const Row rows[] = {
      {Mesh::LINE, 0x1121, 2, 24},        {Mesh::TRIANGLE, 0x1232, 3, 28},
      {Mesh::QUADRILATERAL, 0x1243, 4, 32}, {Mesh::TETRAHEDRON, 0x1344, 4, 32},
      {Mesh::HEXAHEDRON, 0x1387, 8, 48},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.word);
    Mesh::Element e = with_type(Mesh::type(r.bits, 1, 0));
    EXPECT_EQ(e.type, r.word);
    EXPECT_EQ(Mesh::npts(e), r.npts);
    EXPECT_EQ(Mesh::nbytes(e), r.nbytes);
  }
  EXPECT_EQ(Mesh::type(Mesh::TRIANGLE, 2, 5ul << 20), 0x00502232u);
}

TEST(MeshStructs, NamesOfEveryTypeIndex) {
  const char* names[16] = {"point", "line", "triangle", "quadrilateral", "tetrahedron", "pyramid",
                           "prism", "hexahedron", "", "", "", "", "", "", "", "plane"};
  for (unsigned i = 0; i < 16; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(std::string(Mesh::type_string(with_type(0x1000 | i))), names[i]);
  }
}

// The largest element (a cubic hexahedron) fills the whole in-memory record.
TEST(MeshStructs, LargestPackedElementIsTheWholeRecord) {
  EXPECT_EQ(Mesh::nbytes(with_type(Mesh::type(Mesh::HEXAHEDRON, 3, 0))), sizeof(Mesh::Element));
}

// Shapes without a table row, or orders above 3, must not read past the table.
TEST(MeshStructs, WordsOutsideThePointTableHaveNoPoints) {
  for (Mesh::ElementType word : {Mesh::ElementType(0x1009), Mesh::ElementType(0x100E),
                                 Mesh::ElementType(0x100F), Mesh::ElementType(0x4232),
                                 Mesh::ElementType(0xF232)}) {
    SCOPED_TRACE(word);
    Mesh::Element e = with_type(word);
    EXPECT_EQ(Mesh::npts(e), 0u);
    EXPECT_EQ(Mesh::nbytes(e), 16u);
  }
}

// Writes a packed element at `offset`: type word, id, point numbers, padding.
void pack(std::vector<char>& buf, size_t offset, Mesh::ElementType t, uint32_t id,
          const std::vector<uint32_t>& pts) {
  std::memcpy(&buf[offset], &t, 8);
  std::memcpy(&buf[offset + 8], &id, 4);
  std::memcpy(&buf[offset + 12], pts.data(), 4 * pts.size());
}

TEST(MeshStructs, WalksAPackedStream) {
  std::vector<char> buf(256, 0);
  pack(buf, 0, Mesh::type(Mesh::TRIANGLE, 1, 0), 1, {1, 2, 3});
  pack(buf, 28, Mesh::type(Mesh::QUADRILATERAL, 1, 0), 2, {4, 5, 6, 7});
  pack(buf, 60, Mesh::type(Mesh::LINE, 1, 0), 3, {8, 9});

  const Mesh::Element* first = reinterpret_cast<const Mesh::Element*>(buf.data());
  const Mesh::Element* second = Mesh::next(first);
  const Mesh::Element* third = Mesh::next(second);
  const Mesh::Element* end = Mesh::next(third);
  EXPECT_EQ(reinterpret_cast<const char*>(second) - buf.data(), 28);
  EXPECT_EQ(reinterpret_cast<const char*>(third) - buf.data(), 60);
  EXPECT_EQ(reinterpret_cast<const char*>(end) - buf.data(), 84);

  uint32_t id;
  std::memcpy(&id, reinterpret_cast<const char*>(third) + 8, 4);
  EXPECT_EQ(id, 3u);

  Mesh::Element* mfirst = reinterpret_cast<Mesh::Element*>(buf.data());
  EXPECT_EQ(reinterpret_cast<char*>(Mesh::next(mfirst)) - buf.data(), 28);
}

}  // namespace
