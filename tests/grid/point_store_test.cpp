#include "grid/Grid.h"
#include "grid/point_store.h"
#include "support/test_support.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using PointStore = ScriptTest;  // starts with no grids, so no big arrays are held

const size_t MiB = size_t(1) << 20;
uintptr_t address(const void* p) { return reinterpret_cast<uintptr_t>(p); }

TEST_F(PointStore, BigArraysShareHugePageBlocksThatGoBackWhenEmpty) {
  ASSERT_EQ(point_store_blocks(), 0u);
  void* small = point_store_alloc(400);
  EXPECT_EQ(point_store_blocks(), 0u) << "a small array comes from malloc";
  char* a = static_cast<char*>(point_store_alloc(MiB + 1));
  char* b = static_cast<char*>(point_store_alloc(3 * MiB));
  EXPECT_EQ(point_store_blocks(), 1u);
  EXPECT_EQ(address(a) % (2 * MiB), 0u) << "a block starts on a huge page";
  EXPECT_EQ(b, a + MiB + 64) << "the next array follows, 64-byte aligned";
  point_store_free(b, 3 * MiB);
  void* c = point_store_alloc(2 * MiB);
  EXPECT_EQ(c, b) << "freeing the newest array gives its bytes back";
  char* big = static_cast<char*>(point_store_alloc(40 * MiB));
  EXPECT_EQ(point_store_blocks(), 2u) << "an array that does not fit takes a block of its own";
  EXPECT_EQ(address(big) % (2 * MiB), 0u);
  big[40 * MiB - 1] = 1;  // the whole array is usable
  point_store_free(a, MiB + 1);
  EXPECT_EQ(point_store_blocks(), 2u) << "a block with a live array stays";
  point_store_free(c, 2 * MiB);
  point_store_free(big, 40 * MiB);
  point_store_free(small, 400);
  EXPECT_EQ(point_store_blocks(), 0u);
}

// Resident pages among the whole pages in [p, p + bytes).
size_t resident_pages(const char* p, size_t bytes) {
  const size_t page = size_t(sysconf(_SC_PAGESIZE));
  const uintptr_t from = (address(p) + page - 1) / page * page, to = (address(p) + bytes) / page * page;
  if (to <= from) return 0;
  std::vector<unsigned char> in((to - from) / page);
  if (mincore(reinterpret_cast<void*>(from), to - from, in.data()) != 0) return size_t(-1);
  size_t n = 0;
  for (unsigned char c : in) n += c & 1;
  return n;
}

TEST_F(PointStore, PagesFaultedAheadOfTheArraysAreGivenBackByATrim) {
  ASSERT_EQ(point_store_blocks(), 0u);
  char* a = static_cast<char*>(point_store_alloc(3 * MiB));
  std::memset(a, 1, 3 * MiB);  // as a builder fills its points
  // The helper faults in the huge page past the array's last one.
  for (int wait = 0; wait < 2000 && resident_pages(a + 4 * MiB, 2 * MiB) == 0; ++wait) usleep(1000);
  EXPECT_GT(resident_pages(a + 4 * MiB, 2 * MiB), 0u) << "the page ahead was faulted in";
  point_store_trim();
  EXPECT_EQ(resident_pages(a + 4 * MiB, 8 * MiB), 0u) << "nothing resident past the array's last huge page";
  EXPECT_GE(resident_pages(a, 3 * MiB), 3 * MiB / size_t(sysconf(_SC_PAGESIZE)));
  point_store_free(a, 3 * MiB);
  EXPECT_EQ(point_store_blocks(), 0u);
}

TEST_F(PointStore, AFreedArrayThatIsNotTheNewestGivesItsPagesBack) {
  ASSERT_EQ(point_store_blocks(), 0u);
  char* a = static_cast<char*>(point_store_alloc(3 * MiB));
  char* b = static_cast<char*>(point_store_alloc(MiB));
  std::memset(a, 1, 3 * MiB);
  std::memset(b, 1, MiB);
  point_store_free(a, 3 * MiB);
  EXPECT_EQ(resident_pages(a, 3 * MiB), 0u);
  EXPECT_EQ(b[MiB - 1], 1) << "the array after it keeps its points";
  // A vector that grows leaves its earlier arrays behind in the block: their pages go back.
  GridPts grown;
  std::vector<const GridPt*> earlier;
  for (int k = 0; k < 400000; ++k) {
    if (grown.size() == grown.capacity() && grown.capacity() * sizeof(GridPt) >= MiB) earlier.push_back(grown.data());
    grown.push_back(GridPt());
  }
  ASSERT_GE(earlier.size(), 2u);
  for (const GridPt* p : earlier) EXPECT_EQ(resident_pages(reinterpret_cast<const char*>(p), MiB), 0u);
  point_store_free(b, MiB);
  grown = GridPts();
  EXPECT_EQ(point_store_blocks(), 0u);
}

TEST_F(PointStore, PartsKeepTheirPointsAcrossManyBigArrays) {
  // Points of big parts made and freed in turns read back as written and as initialised.
  std::vector<GridPts> parts;
  for (int k = 0; k < 12; ++k) {
    parts.emplace_back(size_t(40000 + 1000 * k));
    for (size_t i = 0; i < parts.back().size(); i += 997) parts.back()[i].x = k + 1;
    if (k % 3 == 2) parts.erase(parts.begin() + 1);
  }
  for (const GridPts& pts : parts) {
    const double want = double(pts.size() - 40000) / 1000 + 1;
    for (size_t i = 0; i < pts.size(); ++i) {
      ASSERT_EQ(pts[i].x, i % 997 ? 0.0 : want);
      ASSERT_EQ(pts[i].mapped_to, nullptr);
    }
  }
  parts.clear();
  EXPECT_EQ(point_store_blocks(), 0u);
}

}  // namespace
