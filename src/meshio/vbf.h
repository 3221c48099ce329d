// vbf: the binary mesh file. A container (BinFile) holding one section of points, one of
// elements and one per part name listing the positions of that part's elements.
#pragma once

namespace VBF {
// Section types.
const unsigned long POINTS = 0xCDDA;    // 32-byte records: x, y, z (doubles), number (uint32), padding
const unsigned long ELEMENTS = 0xD4FF;  // packed Mesh::Element records
const unsigned long PART = 0xC0B0;      // labelled with the part name: uint64 positions in ELEMENTS
// Reserved for the same family of files; never written here.
const unsigned long NORMALS = 0xAD04;
const unsigned long TITLE = 2;
const unsigned long SUBTITLE = 3;

const int POINT_BYTES = 32;
}  // namespace VBF

// Writes the merged, renumbered parts; false, with a message on standard error, when the
// file could not be written whole (the target is then left as it was), the points were
// not renumbered since the last merge, or the mesh has more points or elements than
// 32-bit numbers count.
bool export_vbf_mesh(const char* filename, bool unused);
