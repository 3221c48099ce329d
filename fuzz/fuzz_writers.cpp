// Builds a small model from the input bytes — parts whose points lie on an integer lattice
// scaled by a power of two (any scale a double holds), with bars, triangles and
// quadrilaterals and a tolerance each — merges it, and runs everything that reads a
// finished mesh: the check (its JSON must parse), every writer of the format table, and the
// comparison of the model with its own .dvk, which must match. A model with a non-finite
// point must be refused by every writer, leaving no file.
#include "fuzz_support.h"

#include "app/mesh_reports.h"
#include "grid/MeshStructs.h"
#include "grid/RawGrid.h"
#include "merge/merge.h"
#include "merge/mesh_check.h"
#include "meshio/formats.h"
#include "meshio/mesh_compare.h"

#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Bytes {
  const uint8_t* at;
  size_t left;
  unsigned next() {
    if (!left) return 0;
    --left;
    return *at++;
  }
};

// A JSON text: one value and nothing after it but blanks.
struct Json {
  const char* p;
  int depth = 0;
  void blanks() {
    while (*p == ' ' || *p == '\n' || *p == '\t' || *p == '\r') ++p;
  }
  bool literal(const char* word) {
    for (; *word; ++word, ++p)
      if (*p != *word) return false;
    return true;
  }
  bool string() {
    if (*p++ != '"') return false;
    for (; *p != '"'; ++p) {
      if ((unsigned char)*p < 0x20) return false;
      if (*p == '\\' && !*++p) return false;
    }
    ++p;
    return true;
  }
  bool number() {
    char* end;
    std::strtod(p, &end);
    if (end == p || *p == '+' || *p == 'n' || *p == 'i' || *p == 'N' || *p == 'I') return false;
    p = end;
    return true;
  }
  bool items(char close, bool keyed) {
    ++p;
    blanks();
    if (*p == close) return ++p, true;
    for (;;) {
      blanks();
      if (keyed && !(string() && (blanks(), *p++ == ':'))) return false;
      if (!value()) return false;
      blanks();
      if (*p == close) return ++p, true;
      if (*p++ != ',') return false;
    }
  }
  bool value() {
    if (++depth > 64) return false;
    blanks();
    bool ok = *p == '{'   ? items('}', true)
              : *p == '[' ? items(']', false)
              : *p == '"' ? string()
              : *p == 't' ? literal("true")
              : *p == 'f' ? literal("false")
              : *p == 'n' ? literal("null")
                          : number();
    --depth;
    return ok;
  }
  static bool whole(const std::string& text) {
    Json j{text.c_str()};
    if (!j.value()) return false;
    j.blanks();
    return *j.p == '\0';
  }
};

const char* const kNames[] = {"a", "b", "skin", "a"};

// The model; true when every point is finite.
bool build_model(Bytes& in) {
  const int exponent = (int)((in.next() << 8 | in.next()) % 2081) - 1070;  // 2^-1070 .. 2^1010
  const int parts = 1 + in.next() % 3;
  bool finite = true;
  for (int k = 0; k < parts; ++k) {
    RawGrid* g = new RawGrid(kNames[in.next() % 4]);
    g->tolerance(std::ldexp(0.5 * (in.next() % 3), exponent));
    const int n = 2 + in.next() % 10;
    g->mPts.resize(n);
    for (GridPt& p : g->mPts) {
      p.x = std::ldexp((int)(in.next() % 16) - 8, exponent);
      p.y = std::ldexp((int)(in.next() % 16) - 8, exponent);
      p.z = std::ldexp((int)(in.next() % 4), exponent);
    }
    const unsigned poison = in.next();
    if (poison >= 0xFE) {
      g->mPts[in.next() % n].y = poison == 0xFE ? NAN : -HUGE_VAL;
      finite = false;
    }
    const int elements = in.next() % 8;
    for (int e = 0; e < elements; ++e) {
      static const Mesh::ElementTypeBits kinds[] = {Mesh::LINE, Mesh::TRIANGLE, Mesh::QUADRILATERAL};
      Mesh::Element el;
      const int kind = in.next() % 3;
      el.type = Mesh::type(kinds[kind], 1, 0);
      for (int j = 0; j < kind + 2; ++j) el.pts[j] = 1 + in.next() % n;
      g->elements.push_back(el);
    }
  }
  return finite;
}

bool exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string dir = [] {
    silence_streams();
    char name[] = "/dev/shm/fuzz_writers.XXXXXX";  // memory-backed: writes cost no disk
    if (!mkdtemp(name)) std::abort();
    return std::string(name);
  }();
  Bytes in{data, size};
  const bool finite = build_model(in);
  merge_grid_pts();
  renumber_grid_pts();

  const MeshCheck check = check_mesh();
  mesh_check_text(check);
  if (!Json::whole(mesh_check_json(check))) std::abort();

  for (const Mesh_Format& f : mesh_formats()) {
    const std::string path = dir + "/m." + f.name;
    std::remove(path.c_str());
    const bool written = f.write(path.c_str(), true);
    if (written != finite || exists(path) != finite) std::abort();
  }
  if (finite) {
    FlatMesh model, ref;
    std::string error;
    if (!flatten_grids(model) || !load_reference_mesh(dir + "/m.dvk", ref, error)) {
      std::fprintf(stderr, "%s\n", error.c_str());
      std::abort();
    }
    const MeshComparison same = compare_meshes(model, ref, default_compare_tolerance(ref));
    if (same.differences != 0) {
      for (const std::string& d : same.first) std::fprintf(stderr, "%s\n", d.c_str());
      std::abort();
    }
  }
  Grid::destroy_grids();
  return 0;
}
