#include "grid/MeshStructs.h"

#include <cstring>

namespace Mesh {

// Points per shape (row: type index) and order (column: 0..3).
const uint32_t PointCountTable[9][4] = {
    {1, 1, 1, 1},    // point
    {1, 2, 3, 4},    // line
    {1, 3, 6, 10},   // triangle
    {1, 4, 9, 16},   // quadrilateral
    {1, 4, 10, 20},  // tetrahedron
    {1, 5, 14, 30},  // pyramid
    {1, 6, 18, 40},  // prism
    {1, 8, 27, 64},  // hexahedron
    {2, 2, 2, 2},    // index 8: no named shape
};

namespace {

// ORDER ELEMENT_TYPES: one name per type index 0..15.
const char* const type_names[16] = {
    "point", "line", "triangle", "quadrilateral", "tetrahedron", "pyramid", "prism", "hexahedron",
    "", "", "", "", "", "", "", "plane",
};

const unsigned table_rows = sizeof(PointCountTable) / sizeof(PointCountTable[0]);
const unsigned table_cols = sizeof(PointCountTable[0]) / sizeof(PointCountTable[0][0]);

// Shapes without a table row (indices 9-15) and orders above 3 have no points: such a
// word never comes from this program, and a file that carries one must not index past the table.
uint32_t count_of(ElementType t) {
  unsigned row = t & 0xF, col = (t >> 12) & 0xF;
  if (row >= table_rows || col >= table_cols) return 0;
  return PointCountTable[row][col];
}

uint32_t packed_length(ElementType t) { return 16 + 4 * count_of(t); }

// The type word of an element in a packed stream, which may sit at any byte offset.
ElementType word_at(const void* p) {
  ElementType t;
  std::memcpy(&t, p, sizeof t);
  return t;
}

}  // namespace

ElementType type(ElementTypeBits bits, unsigned order, unsigned long flags) {
  return ElementType(bits) | (ElementType(order) << 12) | ElementType(flags);
}

uint32_t basic_type(const Element& e) { return uint32_t(e.type & 0xFFF); }
ElementType extended_type(const Element& e) { return e.type & ~ElementType(0xFF000); }
uint32_t type_index(const Element& e) { return uint32_t(e.type & 0xF); }
uint32_t dimensionality(const Element& e) { return uint32_t((e.type >> 8) & 0xF); }
uint32_t order(const Element& e) { return uint32_t((e.type >> 12) & 0xF); }
uint32_t flags(const Element& e) { return uint32_t(e.type & 0xFFF00000u); }
uint32_t auxi(const Element& e) { return uint32_t((e.type >> 20) & 0x7FF); }
uint32_t npts(const Element& e) { return count_of(e.type); }
uint32_t nbytes(const Element& e) { return packed_length(e.type); }

const Element* next(const Element* e) {
  const char* p = reinterpret_cast<const char*>(e);
  return reinterpret_cast<const Element*>(p + packed_length(word_at(p)));
}

Element* next(Element* e) {
  char* p = reinterpret_cast<char*>(e);
  return reinterpret_cast<Element*>(p + packed_length(word_at(p)));
}

const char* type_string(const Element& e) { return type_names[e.type & 0xF]; }

}  // namespace Mesh
