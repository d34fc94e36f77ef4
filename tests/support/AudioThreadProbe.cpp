#include "tests/support/AudioThreadProbe.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace zvx::test {
namespace {

thread_local bool marked = false;
std::atomic<std::size_t> allocations{0};
std::atomic<std::size_t> fileOpens{0};
std::atomic<std::size_t> locks{0};

void* allocate(std::size_t size) {
  if (marked) allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

void* allocateAligned(std::size_t size, std::size_t alignment) {
  if (marked) allocations.fetch_add(1, std::memory_order_relaxed);
  void* p = nullptr;
  if (posix_memalign(&p, alignment < sizeof(void*) ? sizeof(void*) : alignment, size ? size : 1) == 0) return p;
  throw std::bad_alloc();
}

// The next definition of an interposed function, looked up on first use;
// no function-local static, whose guard could itself take a lock.
template <typename F>
F real(std::atomic<F>& slot, const char* name) {
  F f = slot.load(std::memory_order_relaxed);
  if (!f) {
    f = reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
    slot.store(f, std::memory_order_relaxed);
  }
  return f;
}

using FopenFn = FILE* (*)(const char*, const char*);
using OpenFn = int (*)(const char*, int, ...);
using LockFn = int (*)(pthread_mutex_t*);
std::atomic<FopenFn> nextFopen{nullptr};
std::atomic<FopenFn> nextFopen64{nullptr};
std::atomic<OpenFn> nextOpen{nullptr};
std::atomic<LockFn> nextLock{nullptr};

}  // namespace

AudioThreadScope::AudioThreadScope() { marked = true; }
AudioThreadScope::~AudioThreadScope() { marked = false; }

AudioThreadCounts audioThreadCounts() { return {allocations.load(), fileOpens.load(), locks.load()}; }

}  // namespace zvx::test

using zvx::test::allocate;
using zvx::test::allocateAligned;

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return allocate(size);
  } catch (...) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept { return operator new(size, tag); }
void* operator new(std::size_t size, std::align_val_t alignment) {
  return allocateAligned(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return allocateAligned(size, static_cast<std::size_t>(alignment));
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::align_val_t) noexcept { std::free(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { std::free(p); }

extern "C" {

FILE* fopen(const char* path, const char* mode) {
  if (zvx::test::marked) zvx::test::fileOpens.fetch_add(1);
  return zvx::test::real(zvx::test::nextFopen, "fopen")(path, mode);
}

FILE* fopen64(const char* path, const char* mode) {
  if (zvx::test::marked) zvx::test::fileOpens.fetch_add(1);
  return zvx::test::real(zvx::test::nextFopen64, "fopen64")(path, mode);
}

int open(const char* path, int flags, ...) {
  if (zvx::test::marked) zvx::test::fileOpens.fetch_add(1);
  mode_t mode = 0;
  if (flags & (O_CREAT | O_TMPFILE)) {
    va_list args;
    va_start(args, flags);
    mode = va_arg(args, mode_t);
    va_end(args);
  }
  return zvx::test::real(zvx::test::nextOpen, "open")(path, flags, mode);
}

int pthread_mutex_lock(pthread_mutex_t* mutex) {
  if (zvx::test::marked) zvx::test::locks.fetch_add(1);
  return zvx::test::real(zvx::test::nextLock, "pthread_mutex_lock")(mutex);
}

}  // extern "C"
