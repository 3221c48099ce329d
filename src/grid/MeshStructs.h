// MeshStructs: the element encoding shared by raw grids, importers and binary export.
// A 64-bit type word packs shape, corner count, dimensionality, order and flags; the
// accessors below are the only code that knows the bit layout.
#pragma once

#include <cstdint>

namespace Mesh {

typedef uint64_t ElementType;
typedef uint32_t ElementTypeBits;  // bits 0-11: the basic type

// ORDER ELEMENT_TYPES: type index in bits 0-3
const ElementTypeBits POINT = 0x010;
const ElementTypeBits LINE = 0x121;
const ElementTypeBits TRIANGLE = 0x232;
const ElementTypeBits QUADRILATERAL = 0x243;
const ElementTypeBits TETRAHEDRON = 0x344;
const ElementTypeBits PYRAMID = 0x355;
const ElementTypeBits PRISM = 0x366;
const ElementTypeBits HEXAHEDRON = 0x387;

struct Element {
  ElementType type = 0;
  uint32_t id = 0;
  uint32_t pts[64] = {};
};

extern const uint32_t PointCountTable[9][4];

ElementType type(ElementTypeBits bits, unsigned order, unsigned long flags);
uint32_t basic_type(const Element& e);
ElementType extended_type(const Element& e);
uint32_t type_index(const Element& e);
uint32_t dimensionality(const Element& e);
uint32_t order(const Element& e);
uint32_t flags(const Element& e);
uint32_t auxi(const Element& e);
uint32_t npts(const Element& e);    // defined for type indices 0-8
uint32_t nbytes(const Element& e);  // packed length: 16 + 4 * npts
const Element* next(const Element* e);
Element* next(Element* e);
const char* type_string(const Element& e);

}  // namespace Mesh
