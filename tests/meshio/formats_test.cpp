#include "meshio/formats.h"

#include "grid/Grid.h"
#include "grid/part_names.h"
#include "grid/MeshStructs.h"
#include "meshio/BinFile.h"
#include "meshio/dvk_import.h"
#include "meshio/text_writer.h"
#include "meshio/vbf.h"
#include "support/test_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <bit>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <random>
#include <sstream>
#include <string>

namespace {

std::string printf_string(const char* fmt, double v) {
  char buf[64];
  std::snprintf(buf, sizeof buf, fmt, v);
  return buf;
}
std::string formatted_e(double v) {
  char buf[64];
  return std::string(buf, put_e(buf, v));
}

// Little-endian bytes, for writing expected file contents by hand.
struct Bytes {
  std::string s;
  Bytes& u(uint64_t v, int n) {
    for (int k = 0; k < n; ++k) s += char(v >> (8 * k));
    return *this;
  }
  Bytes& d(double v) { return u(std::bit_cast<uint64_t>(v), 8); }
  Bytes& point(double x, double y, double z, uint32_t number) { return d(x).d(y).d(z).u(number, 4).u(0, 4); }
};

typedef std::vector<std::vector<uint64_t>> Elements;  // type word, number, point numbers
typedef std::vector<std::pair<std::string, std::vector<uint64_t>>> Parts;

// A binary mesh file read back through the container: `points` points numbered 1..n,
// the packed elements and a section per part listing its element positions.
void expect_vbf(const std::string& path, size_t points, const Elements& elements, const Parts& parts) {
  iBinFile in(path);
  ASSERT_EQ(in.SectionCount(), 2 + (int)parts.size()) << in.Error();
  std::string data;
  Bytes packed;
  EXPECT_EQ(in.SectionType(0), VBF::POINTS);
  EXPECT_EQ(in.SectionSize(0), points);
  ASSERT_TRUE(in.ReadSection(0, data));
  for (size_t k = 0; k < points; ++k) EXPECT_EQ(le_at(data, 32 * k + 24, 4), k + 1);
  for (const std::vector<uint64_t>& e : elements) {
    packed.u(e[0], 8).u(e[1], 4);
    for (size_t k = 2; k < e.size(); ++k) packed.u(e[k], 4);
    packed.u(0, 4);
  }
  EXPECT_EQ(in.SectionType(1), VBF::ELEMENTS);
  EXPECT_EQ(in.SectionSize(1), elements.size());
  EXPECT_TRUE(in.ReadSection(1, data));
  EXPECT_EQ(data, packed.s);
  for (size_t i = 0; i < parts.size(); ++i) {
    EXPECT_EQ(in.SectionType(2 + i), VBF::PART);
    EXPECT_EQ(in.SectionLabel(2 + i), parts[i].first);
    EXPECT_TRUE(in.ReadSection(2 + i, data));
    Bytes positions;
    for (uint64_t p : parts[i].second) positions.u(p, 8);
    EXPECT_EQ(data, positions.s);
  }
}

class MeshFormatsTest : public ScriptTest {
protected:
  // Builds the script's mesh as a script run does and writes it in `format`.
  std::string exported(const char* format, const std::string& script) {
    EXPECT_TRUE(build(script)) << script;
    EXPECT_TRUE(find_mesh_format(format)->write(path.c_str(), true));
    return read_file(path);
  }
  std::string dir = make_temp_dir(), path = dir + "/out";
};

const uint64_t BAR = 0x1121, TRI = 0x1232, QUAD = 0x1243;

}  // namespace

// Every change of length, and the powers of two the digit estimate starts from.
TEST(TextWriter, DecimalsAreThoseOfPrintf) {
  char buf[32];
  auto check = [&](uint64_t v) { EXPECT_EQ(std::string(buf, put_decimal(buf, v)), std::to_string(v)); };
  for (uint64_t v : std::initializer_list<uint64_t>{0, 1, 101, 4095, 1020304, 12345678, 90000001, UINT64_MAX}) check(v);
  for (uint64_t p = 10;; p *= 10) {
    check(p - 1), check(p);
    if (p > UINT64_MAX / 10) break;
  }
  for (int b = 1; b < 64; ++b) check((uint64_t(1) << b) - 1), check(uint64_t(1) << b);
}

TEST(DvkFormat, CoordinatesMatchPrintf) {
  const double inf = std::numeric_limits<double>::infinity();
  const double fixed[] = {0.0, -0.0, 1.0, -1.0, 9.99999999999995e+02, 9.999999999999949e+02, 9.99999999999995e-300,
                          0.5, 1e-320, -4.9e-324, 1.7976931348623157e308, -2.2250738585072014e-308,
                          123456789012345.6, 0.1, 2.5e-5, 1e-12, 9.99999999999995e-13, 1e-13, 1e-14,
                          1.00000000000005e-12, 1e40, 9.999999999999999e39, -1e39, inf, -inf, NAN, -NAN};
  char buf[64];
  for (double v : fixed) {
    EXPECT_EQ(formatted_e(v), printf_string("%21.13e", v)) << printf_string("%.17g", v);
    EXPECT_EQ(std::string(buf, put_real(buf, v)), printf_string("%.13e", v)) << printf_string("%.17g", v);
  }
  std::mt19937_64 rng(2024);
  std::uniform_real_distribution<double> mantissa(-10, 10), decade(-15, 41);
  std::uniform_int_distribution<int> exponent(-320, 308);
  for (int k = 0; k < 400000; ++k) {
    double v = std::bit_cast<double>(rng());  // any bits
    if (k % 5 == 1) v = mantissa(rng) * std::pow(10.0, exponent(rng));
    if (k % 5 == 2)  // fourteen significant digits and a 5 after them: rounding at the last printed digit
      v = (std::floor(mantissa(rng) * 1e13) + 0.5) / 1e13 * std::pow(10.0, exponent(rng) / 10);
    if (k % 5 == 3) v = std::copysign(std::pow(10.0, decade(rng)), mantissa(rng));
    if (k % 5 == 4) v = (double)(rng() % 4001) / (double)(1 + rng() % 2000) - 1;  // lattice coordinates
    if (formatted_e(v) != printf_string("%21.13e", v)) {
      ADD_FAILURE() << printf_string("%.17g", v) << ": " << formatted_e(v) << " vs " << printf_string("%21.13e", v);
      break;
    }
  }
}

TEST(DvkFormat, IntegersMatchPrintfAndPointNumbersStaySeparated) {
  const long values[] = {0, 1, -1, 7, 99, 123, 999999, 1000000, 9999999, 10000000, 123456789, -1234567,
                         -12345678, std::numeric_limits<long>::max(), std::numeric_limits<long>::min()};
  for (long v : values) {
    SCOPED_TRACE(v);
    char buf[64], want[64];
    for (int width : {1, 3, 6, 8}) {
      std::snprintf(want, sizeof want, "%*ld", width, v);
      EXPECT_EQ(std::string(buf, put_long(buf, v, width)), want);
    }
    // Below eight digits the "%8ld" bytes; from eight on a blank keeps numbers apart.
    std::snprintf(want, sizeof want, std::to_string(v).size() >= 8 ? " %ld" : "%8ld", v);
    EXPECT_EQ(std::string(buf, put_point_number(buf, v)), want);
    EXPECT_EQ(buf[0], ' ');
  }
}

TEST(MeshFormats, LookupByNameAndDefault) {
  const std::pair<const char*, const char*> by_path[] = {
      {"a/model.vtu", "vtu"}, {"model.MSH", "msh"}, {"m.tar.stl", "stl"}, {"model", "dvk"},
      {"model.txt", "dvk"},   {"dir.obj/model", "dvk"}, {".vbf", "vbf"}};
  for (const auto& [path, name] : by_path) EXPECT_STREQ(mesh_format_for_path(path).name, name) << path;
  for (const Mesh_Format& f : mesh_formats()) EXPECT_EQ(find_mesh_format(f.name), &f);
  EXPECT_EQ(find_mesh_format("VBF"), nullptr);
}

// Checked by hand: the plate's two triangles and the line's bar share point 2.
TEST_F(MeshFormatsTest, SmallMeshByteForByte) {
  const std::string script = "set element_type tri0\nplate a 1 1  0 0 0  1 0 0  1 1 0  0 1 0\nline b 1  1 0 0  2 0 0\n";
  const std::string o = "   0.0000000000000e+00", i = "   1.0000000000000e+00", ii = "   2.0000000000000e+00";
  EXPECT_EQ(exported("dvk", script),
            "no title\n5 3 2\n       1" + o + o + o + "\n       2" + i + o + o + "\n       3" + o + i + o +
                "\n       4" + i + i + o + "\n       5" + ii + o + o +
                "\ntriangle           1 3   1\n       1       2       4\n"
                "triangle           2 3   1\n       1       4       3\n"
                "bar                3 2   2\n       5       2\n  1 a\n  2 b\n");

  Bytes points;  // the points section's bytes; expect_vbf reads the rest through the container
  points.u(0, 1).point(0, 0, 0, 1).point(1, 0, 0, 2).point(0, 1, 0, 3).point(1, 1, 0, 4).point(2, 0, 0, 5);
  EXPECT_EQ(exported("vbf", script).substr(2024, points.s.size()), points.s);
  expect_vbf(path, 5, {{TRI, 1, 1, 2, 4}, {TRI, 2, 1, 4, 3}, {BAR, 3, 5, 2}}, {{"a", {0, 1}}, {"b", {2}}});
}

// Golden files, checked by hand: a quadrilateral in part a; a bar and a triangle (a plate
// with two corners merged) in part b, sharing points with a and each other.
TEST_F(MeshFormatsTest, GoldenFilesOfTheExchangeFormats) {
  const std::string script = "set element_type quads\nplate a 1 1  0 0 0  1 0 0  1 1 0  0 1 0\n"
                             "line b 1  2 0 0  3 0 0\nplate b 1 1  1 0 0  2 0 0  1 1 0  1 1 0\n";
  const double xyz[6][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}, {3, 0, 0}, {2, 0, 0}};
  std::string points;  // "%21.13e" x3 per point
  Bytes raw;           // the vtu's appended arrays, each after its size
  raw.u(144, 8);
  for (const auto& p : xyz) {
    points += "\n" + formatted_e(p[0]) + " " + formatted_e(p[1]) + " " + formatted_e(p[2]);
    raw.d(p[0]).d(p[1]).d(p[2]);
  }
  raw.u(72, 8);
  for (int id : {0, 1, 3, 2, 4, 5, 1, 5, 3}) raw.u(id, 8);
  raw.u(24, 8).u(4, 8).u(6, 8).u(9, 8).u(3, 8).u(9, 1).u(3, 1).u(5, 1).u(12, 8).u(1, 4).u(2, 4).u(2, 4);
  std::string v_points = points;
  for (size_t at = 0; (at = v_points.find('\n', at)) != std::string::npos; at += 3) v_points.replace(at, 1, "\nv ");
  auto array = [](const char* type, const char* name, int offset) {
    return std::string("<DataArray type=\"") + type + "\"" + name + " format=\"appended\" offset=\"" +
           std::to_string(offset) + "\"/>\n";
  };
  const struct { const char* format; std::string golden; } rows[] = {
      {"msh", "$MeshFormat\n4.1 0 8\n$EndMeshFormat\n$PhysicalNames\n3\n1 2 \"b\"\n2 1 \"a\"\n2 2 \"b\"\n"
              "$EndPhysicalNames\n$Entities\n0 1 2 0\n2 2 0 0 3 0 0 1 2 0\n1 0 0 0 1 1 0 1 1 0\n2 1 0 0 2 1 0 1 2 0\n"
              "$EndEntities\n$Nodes\n1 6 1 6\n1 2 0 6\n1\n2\n3\n4\n5\n6" + points + "\n$EndNodes\n"
              "$Elements\n3 3 1 3\n2 1 3 1\n1 1 2 4 3\n1 2 1 1\n2 5 6\n2 2 2 1\n3 2 6 4\n$EndElements\n"},
      {"obj", "# pelgrove mesh: 6 points, 3 elements, 2 groups" + v_points + "\ng a\nf 1 2 4 3\ng b\nl 5 6\nf 2 6 4\n"},
      {"vtu", "<?xml version=\"1.0\"?>\n<VTKFile type=\"UnstructuredGrid\" version=\"1.0\" "
              "byte_order=\"LittleEndian\" header_type=\"UInt64\">\n<UnstructuredGrid>\n<FieldData>\n"
              "<DataArray type=\"Int32\" Name=\"a\" NumberOfTuples=\"1\" format=\"ascii\">1</DataArray>\n"
              "<DataArray type=\"Int32\" Name=\"b\" NumberOfTuples=\"1\" format=\"ascii\">2</DataArray>\n"
              "</FieldData>\n<Piece NumberOfPoints=\"6\" NumberOfCells=\"3\">\n<Points>\n" +
              array("Float64", " NumberOfComponents=\"3\"", 0) + "</Points>\n<Cells>\n" +
              array("Int64", " Name=\"connectivity\"", 152) + array("Int64", " Name=\"offsets\"", 232) +
              array("UInt8", " Name=\"types\"", 264) + "</Cells>\n<CellData Scalars=\"part\">\n" +
              array("Int32", " Name=\"part\"", 275) + "</CellData>\n</Piece>\n</UnstructuredGrid>\n" +
              "<AppendedData encoding=\"raw\">\n_" + raw.s + "\n</AppendedData>\n</VTKFile>\n"},
  };
  for (const auto& r : rows) EXPECT_EQ(exported(r.format, script), r.golden) << r.format;
}

// Groups (ascii: the header, element declarations and group lines) and part sections
// (binary) of the same meshes. Groups are numbered by the first part with elements.
TEST_F(MeshFormatsTest, PartsGroupsAndNumbering) {
  const std::string unit = " 1 1  0 0 0  1 0 0  1 1 0  0 1 0\n", up = " 1 1  0 0 1  1 0 1  1 1 1  0 1 1\n";
  const struct {
    const char* id;
    std::string script, dvk_lines;
    size_t points;
    Elements elements;
    Parts parts;
  } rows[] = {
      {"adjacent plates share their border points", "plate p" + unit + "plate q 1 1  1 0 0  2 0 0  2 1 0  1 1 0\n",
       "no title\n6 2 2\nquadrilateral      1 4   1\nquadrilateral      2 4   2\n  1 p\n  2 q\n", 6,
       {{QUAD, 1, 1, 2, 4, 3}, {QUAD, 2, 2, 5, 6, 4}}, {{"p", {0}}, {"q", {1}}}},
      {"a collapsed part takes no element number, nor the first group",
       "plate a 1 1  5 5 5  5 5 5  5 5 5  5 5 5\nplate b" + unit,
       "no title\n5 1 2\nquadrilateral      1 4   1\n  2 a\n  1 b\n", 5,
       {{QUAD, 1, 2, 3, 5, 4}}, {{"a", {}}, {"b", {0}}}},
      {"parts of one name form one group", "plate x" + unit + "plate w" + up + "plate x" + up,
       "no title\n8 3 2\nquadrilateral      1 4   1\nquadrilateral      2 4   2\nquadrilateral      3 4   1\n"
       "  2 w\n  1 x\n", 8, {{QUAD, 1, 1, 2, 4, 3}, {QUAD, 2, 5, 6, 8, 7}, {QUAD, 3, 5, 6, 8, 7}},
       {{"x", {0, 2}}, {"w", {1}}}},
      {"a deleted part keeps its points and gives its number back", "plate d" + unit + "plate e" + up + "delete d\n",
       "no title\n8 1 2\nquadrilateral      1 4   1\n  2 d\n  1 e\n", 8, {{QUAD, 1, 5, 6, 8, 7}},
       {{"d", {}}, {"e", {0}}}},
      {"an empty run", "", "no title\n0 0 0\n", 0, {}, {}},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.id);
    std::istringstream text(exported("dvk", "set element_type quads\n" + r.script));
    std::string lines;
    for (std::string line; std::getline(text, line);)
      if (line.compare(0, 4, "    ") != 0) lines += line + "\n";
    EXPECT_EQ(lines, r.dvk_lines);
    exported("vbf", "set element_type quads\n" + r.script);
    expect_vbf(path, r.points, r.elements, r.parts);
  }
}

// Part names as solver labels: set names of letters, digits and '_' beginning with a letter,
// at most 80 long and distinct whatever their case; bdf comments and unv group names in
// printable ASCII, unv names cut at 40.
TEST_F(MeshFormatsTest, PartNamesAsSolverLabels) {
  const std::string long_name(90, 'x');
  const struct {
    std::string name, inp, bdf, unv;
  } rows[] = {
      {"rib.2", "rib_2", "rib.2", "rib.2"},
      {"3", "P3", "3", "3"},
      {"Rib_2", "Rib_2_3", "Rib_2", "Rib_2"},  // meets rib.2 whatever the case: numbered
      {"h\xc3\xa9", "h__", "h__", "h__"},
      {long_name, long_name.substr(0, 80), long_name, long_name.substr(0, 40)},
  };
  std::string script = "set element_type quads\n";
  for (const auto& r : rows) script += "begin " + r.name + "\nplate" + " 1 1  0 0 0  1 0 0  1 1 0  0 1 0\n";
  const std::string inp = exported("inp", script), bdf = exported("bdf", script), unv = exported("unv", script);
  for (size_t g = 0; g < std::size(rows); ++g) {
    SCOPED_TRACE(rows[g].name);
    EXPECT_TRUE(contains(inp, "*ELSET, ELSET=" + rows[g].inp + "\n")) << inp;
    EXPECT_EQ(contains(inp, "** set " + rows[g].inp + ": part " + rows[g].bdf + "\n"), rows[g].inp != rows[g].name);
    EXPECT_TRUE(contains(bdf, "$ PID " + std::to_string(g + 1) + ": part " + rows[g].bdf + "\n"));
    EXPECT_TRUE(contains(unv, "         0         0         0         0         0         0         1\n" + rows[g].unv + "\n"));
  }
}

// Names the program can make, from a script word, a file's layer or an empty word, reach
// every writer as one word of UTF-8 without control characters, and come back unchanged.
TEST_F(MeshFormatsTest, AwkwardNamesComeBackWhole) {
  const std::string dxf = dir + "/layer.dxf", tail = dir + "/tail.vmf", face = " 1 1  0 0 0  1 0 0  1 1 0  0 1 0\n";
  write_file(dxf, "0\nSECTION\n2\nENTITIES\n0\n3DFACE\n8\nmy layer <1>\n10\n0\n20\n0\n30\n0\n11\n1\n21\n0\n31\n0\n"
                  "12\n1\n22\n1\n32\n0\n13\n0\n23\n1\n33\n0\n0\nENDSEC\n0\nEOF\n");
  write_file(tail, "begin");  // the last word of a file: an empty name
  const struct {
    std::string script, name;
  } rows[] = {
      {"import dxf " + dxf + "\n", "my_layer_<1>"},
      {"include " + tail + "\nplate" + face, "unnamed"},
      {"begin a\x01" "b\x7f plate" + face, "a_b_"},
      {"begin a\xff" "b\xc3 plate" + face, "a?b?"},
      {"begin a\xc2\xa0" "b\xe2\x80\x83\xc2\x85\xef\xbf\xbe plate" + face, "a_b__?"},  // spaces, C1, U+FFFE
      {"begin \xed\xa0\x80\xc0\xaf plate" + face, "?????"},  // a surrogate, an overlong '/'
      {"begin \xc3\xa9t\xc3\xa9\xf0\x9f\x99\x82 plate" + face, "\xc3\xa9t\xc3\xa9\xf0\x9f\x99\x82"},
      {"begin a\"b\\'<&> plate" + face, "a\"b\\'<&>"},
      {"begin " + std::string(4095, 'x') + "\xc3\xa9 plate" + face, std::string(4095, 'x')},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.name);
    exported("dvk", r.script);
    ASSERT_EQ(Grid::gGrids.size(), 1u);
    EXPECT_EQ(Grid::gGrids[0]->name(), r.name);
    Grid::destroy_grids();
    ASSERT_TRUE(import_dvk(path));
    EXPECT_EQ(Grid::gGrids[0]->name(), r.name);
    exported("vbf", r.script);
    iBinFile in(path);
    EXPECT_EQ(in.SectionLabel(2), r.name);
  }
  EXPECT_EQ(clean_part_name(""), "unnamed");
}

// Points numbered before the last merge would make elements point at the wrong nodes: the
// writers refuse them and leave no file.
TEST_F(MeshFormatsTest, StaleNumberingWritesNoFile) {
  ASSERT_TRUE(build("set element_type quads\nplate p 3 3  0 0 0  1 0 0  1 1 0  0 1 0\n"));
  Grid::gGrids[0]->mPts[5].id = 4;
  for (const Mesh_Format& f : mesh_formats()) {
    testing::internal::CaptureStderr();
    EXPECT_FALSE(f.write(path.c_str(), true)) << f.name;
    const std::string err = testing::internal::GetCapturedStderr();
    if (f.name == std::string("vbf") || f.name == std::string("dvk")) {
      EXPECT_EQ(err, "could not export to " + std::string(f.name == std::string("vbf") ? "binary" : "DVK") +
                         " file '" + path + "': points not numbered since the last merge\n");
    }
    EXPECT_EQ(dir_entries(dir), std::vector<std::string>{}) << f.name;
  }
}

// Every writer: a target that cannot be written, or a write that fails part way (a full
// disk), returns false and leaves the old file whole and no temporary beside it.
TEST_F(MeshFormatsTest, EveryFormatReplacesItsTargetWholeOrNotAtAll) {
  ASSERT_TRUE(build("set element_type quads\nplate p 20 20  0 0 0  1 0 0  1 1 0  0 1 0\n"));
  for (const Mesh_Format& f : mesh_formats()) {
    SCOPED_TRACE(f.name);
    write_file(path, "old contents\n");
    chmod(path.c_str(), 0640);
    EXPECT_FALSE(f.write((dir + "/missing/out").c_str(), true));
    EXPECT_FALSE(f.write(dir.c_str(), true));
    EXPECT_FALSE(f.write("/dev/full", true));
    for (size_t limit : {0, 1000, 2024, 2100}) {
      SCOPED_TRACE(limit);
      EXPECT_FALSE(with_file_size_limit(limit, [&] { return f.write(path.c_str(), true); }));
      EXPECT_EQ(read_file(path), "old contents\n");
      EXPECT_EQ(dir_entries(dir), std::vector<std::string>{"out"});
    }

    // Written: the mode is kept, links are followed, devices written in place.
    ASSERT_TRUE(f.write(path.c_str(), true));
    EXPECT_GT(read_file(path).size(), 441u * 24);
    EXPECT_EQ(dir_entries(dir), std::vector<std::string>{"out"});
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    const std::string link = dir + "/link";
    write_file(path, "old\n");
    ASSERT_EQ(symlink(path.c_str(), link.c_str()), 0);
    ASSERT_TRUE(f.write(link.c_str(), true));
    ASSERT_EQ(lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_GT(read_file(path).size(), 441u * 24);
    std::filesystem::remove(link);
    EXPECT_TRUE(f.write("/dev/null", true));
    ASSERT_EQ(stat("/dev/null", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode));
  }
}
