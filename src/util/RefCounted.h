// RefCounted: RC, the reference-counted handle the viewer's scenes are held by.
// A handle points at its object and at a separately allocated count that starts at 1;
// copies share both, and the last handle to let go deletes the object and the count.
// A handle of a derived class converts to one of its base, sharing the same count.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace rc_detail {
[[noreturn]] inline void fail(const char* what) {
  fprintf(stderr, "RC: %s\n", what);
  abort();
}
}  // namespace rc_detail

template <class T>
class RC {
public:
  RC() = default;
  // Takes ownership of `p` (may be null: an empty handle).
  explicit RC(T* p) : mPtr(p), mCount(p ? new long(1) : nullptr) {}
  RC(const RC& o) : mPtr(o.mPtr), mCount(o.mCount) { acquire(); }
  RC(RC&& o) noexcept : mPtr(o.mPtr), mCount(o.mCount) { o.mPtr = nullptr, o.mCount = nullptr; }
  template <class U>
  RC(const RC<U>& o) : mPtr(o.mPtr), mCount(o.mCount) { acquire(); }
  ~RC() { release(); }

  RC& operator=(RC o) noexcept {
    std::swap(mPtr, o.mPtr);
    std::swap(mCount, o.mCount);
    return *this;
  }

  // Using a handle without an object or without a count is a programming error.
  T* operator->() const { return checked(); }
  T& operator*() const { return *checked(); }
  T* get() const { return mPtr; }
  explicit operator bool() const { return mPtr != nullptr; }
  long use_count() const { return mCount ? *mCount : 0; }
  // Drops this handle's share; the handle becomes empty.
  void reset() { RC().swap_with(*this); }

  // A handle of a derived class when the object is one, else an empty handle.
  template <class U>
  RC<U> cast() const {
    RC<U> r;
    if (U* p = dynamic_cast<U*>(mPtr)) {
      r.mPtr = p;
      r.mCount = mCount;
      r.acquire();
    }
    return r;
  }

private:
  template <class U> friend class RC;
  T* mPtr = nullptr;
  long* mCount = nullptr;

  void swap_with(RC& o) {
    std::swap(mPtr, o.mPtr);
    std::swap(mCount, o.mCount);
  }
  T* checked() const {
    if (!mPtr) rc_detail::fail("mPtr != nullptr");
    if (!mCount) rc_detail::fail("mCount != nullptr");
    return mPtr;
  }
  void acquire() {
    if (mCount) ++*mCount;
  }
  void release() {
    if (mCount && --*mCount == 0) {
      delete mPtr;
      delete mCount;
    }
    mPtr = nullptr;
    mCount = nullptr;
  }
};

template <class T, class U>
bool operator==(const RC<T>& a, const RC<U>& b) { return a.get() == b.get(); }
