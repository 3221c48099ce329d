// point_store: where the point arrays of parts live. Big arrays are carved one after the
// other from large blocks advised for transparent huge pages: a part's points are then
// faulted in 2 MiB at a time instead of 4 KiB (a fault costs more than the zeroing on a
// virtual machine), and the merge, which reads points in a strided order, misses the TLB
// far less. Small arrays come from malloc.
#pragma once

#include <cstddef>
#include <new>
#include <vector>

void* point_store_alloc(size_t bytes);
void point_store_free(void* p, size_t bytes);
// Gives back what was faulted in ahead of the arrays (call when no more parts are made).
void point_store_trim();
// Blocks held now (for the tests).
size_t point_store_blocks();

// A std allocator over a pair of functions that take and give back blocks of bytes.
template <class T, void* (*Take)(size_t), void (*Give)(void*, size_t)>
struct BlockAllocator {
  typedef T value_type;
  template <class U>
  struct rebind {
    using other = BlockAllocator<U, Take, Give>;
  };
  BlockAllocator() = default;
  template <class U>
  BlockAllocator(const BlockAllocator<U, Take, Give>&) {}
  T* allocate(size_t n) {
    if (n > size_t(-1) / sizeof(T)) throw std::bad_array_new_length();
    return static_cast<T*>(Take(n * sizeof(T)));
  }
  void deallocate(T* p, size_t n) { Give(p, n * sizeof(T)); }
  template <class U>
  bool operator==(const BlockAllocator<U, Take, Give>&) const { return true; }
};

template <class T>
using PointStoreAllocator = BlockAllocator<T, point_store_alloc, point_store_free>;
