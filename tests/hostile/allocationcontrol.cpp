#include "hostile/allocationcontrol.h"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <unordered_set>

extern "C" {
void* __real_malloc(size_t size);
void* __real_realloc(void* block, size_t size);
void __real_free(void* block);
}

namespace {

// The tracking set allocates beside the counted functions.
template <typename T>
struct RawAllocator {
  using value_type = T;
  RawAllocator() = default;
  template <typename U>
  RawAllocator(const RawAllocator<U>&) {}
  T* allocate(size_t count) {
    if (void* block = __real_malloc(count * sizeof(T))) return static_cast<T*>(block);
    std::abort();
  }
  void deallocate(T* block, size_t) { __real_free(block); }
  template <typename U>
  bool operator==(const RawAllocator<U>&) const {
    return true;
  }
};

std::atomic<bool> armed{false};
std::atomic<long> failAt{-1};
std::atomic<bool> failEveryLater{false};
std::atomic<long> asked{0};
std::atomic<unsigned long> armingThread{0};
std::atomic_flag trackingLock = ATOMIC_FLAG_INIT;
std::unordered_set<void*, std::hash<void*>, std::equal_to<void*>, RawAllocator<void*>>* tracked = nullptr;

struct TrackingGuard {
  TrackingGuard() {
    while (trackingLock.test_and_set(std::memory_order_acquire)) {
    }
  }
  ~TrackingGuard() { trackingLock.clear(std::memory_order_release); }
};

auto& Tracked() {
  if (!tracked) {
    void* place = __real_malloc(sizeof *tracked);
    tracked = new (place) std::remove_pointer_t<decltype(tracked)>();
  }
  return *tracked;
}

bool ShouldFail() {
  if (!armed.load()) return false;
  const long index = asked++;
  const long first = failAt.load();
  // Other threads see single failures only: a thread's first C++ exception
  // itself needs memory from the runtime, and with none at all it cannot
  // be delivered to any handler.
  return first >= 0 && (index == first || (failEveryLater.load() && index > first &&
                                           GetCurrentThreadId() == armingThread.load()));
}

void Track(void* block) {
  if (!block || !armed.load()) return;
  TrackingGuard guard;
  Tracked().insert(block);
}

// Whether the block was tracked.
bool Untrack(void* block) {
  if (!block) return false;
  TrackingGuard guard;
  return tracked && tracked->erase(block) != 0;
}

void* Allocate(size_t size) {
  if (ShouldFail()) return nullptr;
  void* block = __real_malloc(size ? size : 1);
  Track(block);
  return block;
}

void Free(void* block) {
  Untrack(block);
  __real_free(block);
}

}  // namespace

void ArmAllocations(long first, bool everyLater) {
  {
    TrackingGuard guard;
    Tracked().clear();
  }
  asked = 0;
  failAt = first;
  failEveryLater = everyLater;
  armingThread = GetCurrentThreadId();
  armed = true;
}

long DisarmAllocations() {
  armed = false;
  return asked.load();
}

size_t LiveTrackedAllocations() {
  TrackingGuard guard;
  return tracked ? tracked->size() : 0;
}

extern "C" {
void* __wrap_malloc(size_t size) { return Allocate(size); }

void* __wrap_calloc(size_t count, size_t size) {
  if (size && count > static_cast<size_t>(-1) / size) return nullptr;
  void* block = Allocate(count * size);
  if (block) std::memset(block, 0, count * size);
  return block;
}

void* __wrap_realloc(void* block, size_t size) {
  if (!block) return Allocate(size);
  if (size == 0) {
    Free(block);
    return nullptr;
  }
  if (ShouldFail()) return nullptr;
  void* moved = __real_realloc(block, size);
  // A resize is no new allocation: the block stays tracked only if it was.
  if (moved && Untrack(block)) {
    TrackingGuard guard;
    Tracked().insert(moved);
  }
  return moved;
}

void __wrap_free(void* block) { Free(block); }
}

void* operator new(size_t size) {
  if (void* block = Allocate(size)) return block;
  throw std::bad_alloc();
}
void* operator new[](size_t size) {
  if (void* block = Allocate(size)) return block;
  throw std::bad_alloc();
}
void* operator new(size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* block) noexcept { Free(block); }
void operator delete[](void* block) noexcept { Free(block); }
void operator delete(void* block, size_t) noexcept { Free(block); }
void operator delete[](void* block, size_t) noexcept { Free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Free(block); }
