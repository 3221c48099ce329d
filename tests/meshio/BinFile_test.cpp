#include "meshio/BinFile.h"

#include "support/test_support.h"

#include <cstring>
#include <ctime>

namespace {

struct Added {
  std::string label, data;  // the label as given; empty also for a null label
};

// Adds n sections: type 100 + k, label "s<k>" (null for every third), then k % 4 writes
// of three bytes each. Checks NextIndex against the index each section gets.
std::vector<Added> fill(oBinFile& f, int n) {
  std::vector<Added> added(n);
  for (int k = 0; k < n; ++k) {
    const int next = f.NextIndex();
    Added& a = added[k];
    if (k % 3) a.label = "s" + std::to_string(k);
    f.AddSection(100 + k, k % 3 ? a.label.c_str() : nullptr);
    EXPECT_EQ(f.CurrentIndex(), next) << k;
    for (int w = 0; w < k % 4; ++w) {
      const char bytes[3] = {char(k), char(w), char(0xAB)};
      f.Write(bytes, 3);
      a.data.append(bytes, 3);
    }
  }
  return added;
}

class BinFileTest : public ::testing::Test {
protected:
  std::string dir = make_temp_dir();
  std::string path = dir + "/c.bin";
};

}  // namespace

// The raw bytes, read without the reader: header blocks of 2024 bytes, slot i % 50 of
// block i / 50, continuation sections at 49, 99, ... holding the next block, and the
// sections back to back. The reader then lists the same sections.
TEST_F(BinFileTest, LayoutOfSectionsAndHeaderBlocks) {
  const struct {
    int added, count, blocks;
  } rows[] = {{0, 0, 1}, {1, 1, 1}, {49, 49, 1}, {50, 51, 2}, {51, 52, 2}, {98, 99, 2}, {99, 101, 3}, {118, 120, 3}};
  for (const auto& r : rows) {
    SCOPED_TRACE(r.added);
    const int64_t before = std::time(nullptr);
    oBinFile f(path);
    const std::vector<Added> added = fill(f, r.added);
    EXPECT_EQ(f.SectionCount(), r.count);
    ASSERT_TRUE(f.Close());
    const std::string raw = read_file(path);
    ASSERT_GE(raw.size(), 2024u);
    EXPECT_EQ(le_at(raw, 0, 4), 0u);
    EXPECT_TRUE((int64_t)le_at(raw, 8, 8) >= before && (int64_t)le_at(raw, 8, 8) <= std::time(nullptr));
    EXPECT_EQ(le_at(raw, 16, 4), (uint64_t)r.count);
    std::vector<size_t> blocks = {0};
    size_t offset = 2024, k = 0;
    for (int i = 0; i < r.count; ++i) {
      SCOPED_TRACE(i);
      ASSERT_LT((size_t)i / 50, blocks.size());
      const size_t rec = blocks[i / 50] + 24 + 40 * (i % 50);
      const uint64_t type = le_at(raw, rec, 8), bytes = le_at(raw, rec + 8, 8), writes = le_at(raw, rec + 16, 8);
      EXPECT_EQ(raw.substr(rec + 24, 16), std::string(16, '\0'));
      if (i % 50 == 49) {
        EXPECT_EQ((std::vector<uint64_t>{type, bytes, writes}), (std::vector<uint64_t>{1, 2031, 2}));
        EXPECT_EQ(raw.substr(offset, 7), std::string("Header", 7));
        blocks.push_back(offset + 7);
        EXPECT_EQ(le_at(raw, offset + 7 + 16, 4), 0u);
      } else {
        const Added& a = added.at(k);
        EXPECT_EQ((std::vector<uint64_t>{type, bytes, writes}),
                  (std::vector<uint64_t>{100 + k, a.label.size() + 1 + a.data.size(), 1 + a.data.size() / 3}));
        EXPECT_EQ(raw.substr(offset, bytes), a.label + '\0' + a.data);
        ++k;
      }
      offset += bytes;
    }
    EXPECT_EQ(k, added.size());
    EXPECT_EQ(offset, raw.size());
    EXPECT_EQ(blocks.size(), (size_t)r.blocks);

    iBinFile in(path);
    ASSERT_TRUE(in.IsOpen()) << in.Error();
    ASSERT_EQ(in.SectionCount(), r.count);
    EXPECT_EQ(in.SectionCount(1), r.count / 50);
    k = 0;
    for (int i = 0; i < r.count; ++i) {
      if (i % 50 == 49) continue;
      const Added& a = added[k++];
      std::string data;
      EXPECT_EQ(in.SectionType(i), 99 + k);
      EXPECT_EQ(in.SectionLabel(i), a.label);
      EXPECT_EQ(in.SectionSize(i), a.data.size() / 3);
      ASSERT_TRUE(in.ReadSection(i, data));
      EXPECT_EQ(data, a.data);
    }
  }
}

// Values go out as their 8 little-endian bytes, texts with their zero byte; the bytes
// returned by AddSection land in the section's record.
TEST_F(BinFileTest, ValueWritesAndAuxiliaryBytes) {
  oBinFile f(path);
  std::memcpy(f.AddSection(7, "values").data(), "0123456789abcdef", 16);
  f.Write(1.5);
  f.Write(-2L);
  f.Write(std::string("ab"));
  f.AddSection(8, nullptr);
  EXPECT_EQ((std::vector<uint64_t>{f.SectionSize(0), f.SectionSize(1), f.SectionBytes(1), (uint64_t)f.SectionCount(7)}),
            (std::vector<uint64_t>{3, 0, 1, 1}));
  ASSERT_TRUE(f.Close());
  const std::string raw = read_file(path);
  EXPECT_EQ(raw.substr(24 + 24, 16), "0123456789abcdef");
  EXPECT_EQ(raw.substr(2024), std::string("values\0\0\0\0\0\0\0\xf8\x3f\xfe\xff\xff\xff\xff\xff\xff\xff"
                                          "ab\0\0", 27));
  iBinFile in(path);
  ASSERT_TRUE(in.IsOpen());
  EXPECT_EQ(std::string((const char*)in.SectionAux(0).data(), 16), "0123456789abcdef");
}

TEST_F(BinFileTest, AFileThatCannotBeWrittenIsReportedAndFails) {
  testing::internal::CaptureStderr();
  const bool closed = with_file_size_limit(3000, [&] {
    oBinFile f(path);
    fill(f, 60);
    return f.Close();
  });
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "could not write binary file '" + path + "'\n");
  EXPECT_FALSE(closed);
  EXPECT_EQ(dir_entries(dir), std::vector<std::string>{});

  testing::internal::CaptureStderr();
  oBinFile f(dir + "/missing/c.bin");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "could not open binary file '" + dir + "/missing/c.bin'\n");
  EXPECT_FALSE(f.IsOpen());
  f.AddSection(5, "x");
  f.Write(1L);
  EXPECT_FALSE(f.Good());
  EXPECT_FALSE(f.Close());
  EXPECT_EQ(dir_entries(dir), std::vector<std::string>{});
}

// A directory that does not account for the file's bytes is refused, not trusted.
TEST_F(BinFileTest, ReaderRefusesDamagedFiles) {
  oBinFile f(path);
  fill(f, 60);
  ASSERT_TRUE(f.Close());
  const std::string good = read_file(path);
  auto set = [](std::string s, size_t at, uint64_t v, int bytes) {
    for (int k = 0; k < bytes; ++k) s[at + k] = char(v >> (8 * k));
    return s;
  };
  const struct { const char* id; std::string bytes; const char* error; } rows[] = {
      {"empty", "", "shorter than a header block"},
      {"truncated", good.substr(0, good.size() - 1), "section 60 runs past the end of the file"},
      {"trailing byte", good + "x", "1 bytes beyond the last section"},
      {"negative count", set(good, 16, 0xffffffff, 4), "negative section count"},
      {"huge byte count", set(good, 24 + 8, ~0ull, 8), "section 0 runs past the end of the file"},
      {"zero byte count", set(good, 24 + 8, 0, 8), "section 0 runs past the end of the file"},
      {"reserved type", set(good, 24, 1, 8), "section 0 has the reserved type 1"},
      {"no continuation", set(good, 24 + 40 * 49, 3, 8), "section 49 is not a header block"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.id);
    write_file(path, r.bytes);
    testing::internal::CaptureStderr();
    iBinFile in(path);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(in.IsOpen());
    EXPECT_EQ(in.Error(), r.error);
    EXPECT_EQ(err, "could not read binary file '" + path + "': " + r.error + "\n");
    EXPECT_EQ(in.SectionCount(), 0);
  }
}
