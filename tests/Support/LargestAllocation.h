#pragma once
// Include from exactly one file of a binary: it replaces the global operator new so a test can see
// the largest single allocation made while a probe is alive (pixel buffers are one), and a
// benchmark can count every allocation and its bytes.

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

namespace vimbo::test_support {

inline std::atomic<bool> allocationProbeActive{false};
inline std::atomic<std::size_t> largestAllocation{0};
inline std::atomic<std::int64_t> allocationCount{0};
inline std::atomic<std::int64_t> allocatedBytes{0};

class LargestAllocation {
 public:
  LargestAllocation() {
    largestAllocation = 0;
    allocationProbeActive = true;
  }
  ~LargestAllocation() { allocationProbeActive = false; }
  std::size_t bytes() const { return largestAllocation; }
};

}  // namespace vimbo::test_support

// GCC takes the free() in a replaced delete for a mismatch with the call site's new.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
namespace vimbo::test_support {
inline void* probedAllocation(std::size_t n) noexcept {
  allocationCount.fetch_add(1, std::memory_order_relaxed);
  allocatedBytes.fetch_add(static_cast<std::int64_t>(n), std::memory_order_relaxed);
  if (allocationProbeActive) {
    std::size_t seen = largestAllocation;
    while (n > seen && !largestAllocation.compare_exchange_weak(seen, n)) {
    }
  }
  return std::malloc(n ? n : 1);
}
}  // namespace vimbo::test_support

// Every unaligned form is replaced, so each allocation is released by its own kind.
void* operator new(std::size_t n) {
  if (void* p = vimbo::test_support::probedAllocation(n)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t n) {
  if (void* p = vimbo::test_support::probedAllocation(n)) return p;
  throw std::bad_alloc();
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept { return vimbo::test_support::probedAllocation(n); }
void* operator new[](std::size_t n, const std::nothrow_t&) noexcept { return vimbo::test_support::probedAllocation(n); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
#pragma GCC diagnostic pop
