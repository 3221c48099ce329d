// Files of several staging buffers: appends of any size, a rewrite at an offset and a
// file-size limit leave exactly the bytes written, or the old file.
#include "util/atomic_file.h"

#include "support/test_support.h"

#include <string>

TEST(AtomicFile, LargeFilesKeepEveryByte) {
  struct Row {
    size_t piece, total;
    long rewrite_at;  // -1: none
  } rows[] = {{4093, (9 << 20) + 77, -1}, {3 << 20, (12 << 20) + 1, -1}, {1 << 16, 5 << 20, 3 << 20},
              {(4 << 20) + 5, 8 << 20, -1}};
  const std::string dir = make_temp_dir();
  for (const Row& r : rows) {
    SCOPED_TRACE(r.piece);
    std::string want(r.total, ' ');
    for (size_t i = 0; i < r.total; ++i) want[i] = char('a' + (i * 7 + i / 4096) % 26);
    const std::string path = dir + "/big";
    Atomic_File f;
    ASSERT_TRUE(f.open(path.c_str()));
    for (size_t at = 0; at < r.total; at += r.piece) f.write(want.data() + at, std::min(r.piece, r.total - at));
    if (r.rewrite_at >= 0) {
      want.replace((size_t)r.rewrite_at, 3, "XYZ");
      f.write_at((uint64_t)r.rewrite_at, "XYZ", 3);
    }
    ASSERT_TRUE(f.commit());
    EXPECT_TRUE(read_file(path) == want);
  }
  // A limit met midway fails the write and keeps the old file.
  const std::string path = dir + "/big", old = read_file(path);
  EXPECT_FALSE(with_file_size_limit(6 << 20, [&] {
    Atomic_File f;
    const std::string piece(1 << 20, 'q');
    bool ok = f.open(path.c_str());
    for (int k = 0; k < 10; ++k) ok = f.write(piece.data(), piece.size()) && ok;
    return f.commit() && ok;
  }));
  EXPECT_TRUE(read_file(path) == old);
}
