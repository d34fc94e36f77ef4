#include "vsthost/AudioThreadProbe.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <semaphore.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <new>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define ZVX_PROBE_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define ZVX_PROBE_SANITIZED 1
#endif
#endif
#ifndef ZVX_PROBE_SANITIZED
#define ZVX_PROBE_SANITIZED 0
#endif

namespace zvx::vsthost {
namespace {

// Constant-initialised TLS of the program itself: reading it never allocates.
thread_local bool marked = false;
std::atomic<std::size_t> allocations{0};
std::atomic<std::size_t> fileOpens{0};
std::atomic<std::size_t> fileIo{0};
std::atomic<std::size_t> locks{0};
std::atomic<std::size_t> sleeps{0};
std::atomic<std::size_t> xlib{0};
std::atomic<const char*> firstCall{nullptr};

}  // namespace

void count(std::atomic<std::size_t>& counter, const char* name);
void count(std::atomic<std::size_t>& counter, const char* name) {
  if (!marked) return;
  counter.fetch_add(1, std::memory_order_relaxed);
  const char* none = nullptr;
  firstCall.compare_exchange_strong(none, name, std::memory_order_relaxed);
}

// The next definition of an interposed function, looked up on first use (no
// function-local static, whose guard could itself take a lock). Xlib may be
// loaded privately by a module only: then it is found through its soname.
template <typename F>
F real(std::atomic<F>& slot, const char* name, const char* library = nullptr) {
  F f = slot.load(std::memory_order_relaxed);
  if (!f) {
    f = reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
    if (!f && library) {
      if (void* handle = dlopen(library, RTLD_NOW | RTLD_NOLOAD)) {
        f = reinterpret_cast<F>(dlsym(handle, name));
        dlclose(handle);
      }
    }
    if (!f) std::abort();
    slot.store(f, std::memory_order_relaxed);
  }
  return f;
}

AudioThreadScope::AudioThreadScope() { marked = true; }
AudioThreadScope::~AudioThreadScope() { marked = false; }

AudioThreadCounts audioThreadCounts() {
  return {allocations.load(), fileOpens.load(), fileIo.load(), locks.load(), sleeps.load(), xlib.load()};
}

bool onMarkedThread() { return marked; }

const char* firstAudioThreadCall() { return firstCall.load(); }

bool countsAllocations() { return !ZVX_PROBE_SANITIZED; }

}  // namespace zvx::vsthost

using zvx::vsthost::count;
using zvx::vsthost::real;
#define ZVX_NEXT(name) real(next_##name, #name)

// ---------------------------------------------------------------------------
// Allocation: the C++ operators here, the malloc family through glibc's own
// entry points (under a sanitizer, the sanitizer owns the malloc family).

namespace {

void* allocate(std::size_t size) {
#if ZVX_PROBE_SANITIZED
  count(zvx::vsthost::allocations, "operator new");
#endif
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}

void* allocateAligned(std::size_t size, std::size_t alignment) {
#if ZVX_PROBE_SANITIZED
  count(zvx::vsthost::allocations, "operator new");
#endif
  void* p = nullptr;
  if (posix_memalign(&p, alignment < sizeof(void*) ? sizeof(void*) : alignment, size ? size : 1) == 0) return p;
  throw std::bad_alloc();
}

void release(void* p) {
#if ZVX_PROBE_SANITIZED
  if (p) count(zvx::vsthost::allocations, "operator delete");
#endif
  std::free(p);
}

}  // namespace

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
void operator delete(void* p) noexcept { release(p); }
void operator delete[](void* p) noexcept { release(p); }
void operator delete(void* p, std::size_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t) noexcept { release(p); }
void operator delete(void* p, std::align_val_t) noexcept { release(p); }
void operator delete[](void* p, std::align_val_t) noexcept { release(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { release(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { release(p); }

extern "C" {

#if !ZVX_PROBE_SANITIZED
void* __libc_malloc(std::size_t);
void __libc_free(void*);
void* __libc_calloc(std::size_t, std::size_t);
void* __libc_realloc(void*, std::size_t);
void* __libc_memalign(std::size_t, std::size_t);
void* __libc_valloc(std::size_t);
void* __libc_pvalloc(std::size_t);

void* malloc(std::size_t size) {
  count(zvx::vsthost::allocations, "malloc");
  return __libc_malloc(size);
}
void free(void* p) {
  if (p) count(zvx::vsthost::allocations, "free");
  __libc_free(p);
}
void* calloc(std::size_t n, std::size_t size) {
  count(zvx::vsthost::allocations, "calloc");
  return __libc_calloc(n, size);
}
void* realloc(void* p, std::size_t size) {
  count(zvx::vsthost::allocations, "realloc");
  return __libc_realloc(p, size);
}
void* memalign(std::size_t alignment, std::size_t size) {
  count(zvx::vsthost::allocations, "memalign");
  return __libc_memalign(alignment, size);
}
int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
  count(zvx::vsthost::allocations, "posix_memalign");
  if (alignment < sizeof(void*) || (alignment & (alignment - 1)) != 0) return EINVAL;
  void* p = __libc_memalign(alignment, size);
  if (!p) return ENOMEM;
  *out = p;
  return 0;
}
void* aligned_alloc(std::size_t alignment, std::size_t size) {
  count(zvx::vsthost::allocations, "aligned_alloc");
  return __libc_memalign(alignment, size);
}
void* valloc(std::size_t size) {
  count(zvx::vsthost::allocations, "valloc");
  return __libc_valloc(size);
}
void* pvalloc(std::size_t size) {
  count(zvx::vsthost::allocations, "pvalloc");
  return __libc_pvalloc(size);
}
#endif

}  // extern "C"

// ---------------------------------------------------------------------------
// Files

namespace {
using FopenFn = FILE* (*)(const char*, const char*);
using OpenFn = int (*)(const char*, int, ...);
using OpenatFn = int (*)(int, const char*, int, ...);
using ReadFn = ssize_t (*)(int, void*, size_t);
using WriteFn = ssize_t (*)(int, const void*, size_t);
using FreadFn = size_t (*)(void*, size_t, size_t, FILE*);
using FwriteFn = size_t (*)(const void*, size_t, size_t, FILE*);
using FcloseFn = int (*)(FILE*);
std::atomic<FopenFn> next_fopen{nullptr}, next_fopen64{nullptr};
std::atomic<OpenFn> next_open{nullptr}, next_open64{nullptr};
std::atomic<OpenatFn> next_openat{nullptr};
std::atomic<ReadFn> next_read{nullptr};
std::atomic<WriteFn> next_write{nullptr};
std::atomic<FreadFn> next_fread{nullptr};
std::atomic<FwriteFn> next_fwrite{nullptr};
std::atomic<FcloseFn> next_fclose{nullptr};
}  // namespace

#define ZVX_MODE_ARGUMENT(flags, mode)    \
  mode_t mode = 0;                        \
  if ((flags) & (O_CREAT | O_TMPFILE)) {  \
    va_list args;                         \
    va_start(args, flags);                \
    mode = va_arg(args, mode_t);          \
    va_end(args);                         \
  }

extern "C" {

FILE* fopen(const char* path, const char* mode) {
  count(zvx::vsthost::fileOpens, "fopen");
  return ZVX_NEXT(fopen)(path, mode);
}
FILE* fopen64(const char* path, const char* mode) {
  count(zvx::vsthost::fileOpens, "fopen64");
  return ZVX_NEXT(fopen64)(path, mode);
}
int open(const char* path, int flags, ...) {
  count(zvx::vsthost::fileOpens, "open");
  ZVX_MODE_ARGUMENT(flags, mode)
  return ZVX_NEXT(open)(path, flags, mode);
}
int open64(const char* path, int flags, ...) {
  count(zvx::vsthost::fileOpens, "open64");
  ZVX_MODE_ARGUMENT(flags, mode)
  return ZVX_NEXT(open64)(path, flags, mode);
}
int openat(int folder, const char* path, int flags, ...) {
  count(zvx::vsthost::fileOpens, "openat");
  ZVX_MODE_ARGUMENT(flags, mode)
  return ZVX_NEXT(openat)(folder, path, flags, mode);
}
ssize_t read(int fd, void* data, size_t size) {
  count(zvx::vsthost::fileIo, "read");
  return ZVX_NEXT(read)(fd, data, size);
}
ssize_t write(int fd, const void* data, size_t size) {
  count(zvx::vsthost::fileIo, "write");
  return ZVX_NEXT(write)(fd, data, size);
}
size_t fread(void* data, size_t size, size_t n, FILE* file) {
  count(zvx::vsthost::fileIo, "fread");
  return ZVX_NEXT(fread)(data, size, n, file);
}
size_t fwrite(const void* data, size_t size, size_t n, FILE* file) {
  count(zvx::vsthost::fileIo, "fwrite");
  return ZVX_NEXT(fwrite)(data, size, n, file);
}
int fclose(FILE* file) {
  count(zvx::vsthost::fileIo, "fclose");
  return ZVX_NEXT(fclose)(file);
}

}  // extern "C"

// ---------------------------------------------------------------------------
// Locks, waits and sleeps

namespace {
using MutexFn = int (*)(pthread_mutex_t*);
using MutexTimedFn = int (*)(pthread_mutex_t*, const timespec*);
using RwFn = int (*)(pthread_rwlock_t*);
using CondWaitFn = int (*)(pthread_cond_t*, pthread_mutex_t*);
using CondTimedFn = int (*)(pthread_cond_t*, pthread_mutex_t*, const timespec*);
using SemFn = int (*)(sem_t*);
using SemTimedFn = int (*)(sem_t*, const timespec*);
using SleepFn = unsigned (*)(unsigned);
using UsleepFn = int (*)(useconds_t);
using NanosleepFn = int (*)(const timespec*, timespec*);
using ClockNanosleepFn = int (*)(clockid_t, int, const timespec*, timespec*);
std::atomic<MutexFn> next_pthread_mutex_lock{nullptr}, next_pthread_mutex_trylock{nullptr},
    next_pthread_mutex_unlock{nullptr};
std::atomic<MutexTimedFn> next_pthread_mutex_timedlock{nullptr};
std::atomic<RwFn> next_pthread_rwlock_rdlock{nullptr}, next_pthread_rwlock_wrlock{nullptr};
std::atomic<CondWaitFn> next_pthread_cond_wait{nullptr};
std::atomic<CondTimedFn> next_pthread_cond_timedwait{nullptr};
std::atomic<SemFn> next_sem_wait{nullptr};
std::atomic<SemTimedFn> next_sem_timedwait{nullptr};
std::atomic<SleepFn> next_sleep{nullptr};
std::atomic<UsleepFn> next_usleep{nullptr};
std::atomic<NanosleepFn> next_nanosleep{nullptr};
std::atomic<ClockNanosleepFn> next_clock_nanosleep{nullptr};
}  // namespace

extern "C" {

int pthread_mutex_lock(pthread_mutex_t* mutex) {
  count(zvx::vsthost::locks, "pthread_mutex_lock");
  return ZVX_NEXT(pthread_mutex_lock)(mutex);
}
int pthread_mutex_trylock(pthread_mutex_t* mutex) {
  count(zvx::vsthost::locks, "pthread_mutex_trylock");
  return ZVX_NEXT(pthread_mutex_trylock)(mutex);
}
int pthread_mutex_unlock(pthread_mutex_t* mutex) {
  count(zvx::vsthost::locks, "pthread_mutex_unlock");
  return ZVX_NEXT(pthread_mutex_unlock)(mutex);
}
int pthread_mutex_timedlock(pthread_mutex_t* mutex, const timespec* until) {
  count(zvx::vsthost::locks, "pthread_mutex_timedlock");
  return ZVX_NEXT(pthread_mutex_timedlock)(mutex, until);
}
int pthread_rwlock_rdlock(pthread_rwlock_t* lock) {
  count(zvx::vsthost::locks, "pthread_rwlock_rdlock");
  return ZVX_NEXT(pthread_rwlock_rdlock)(lock);
}
int pthread_rwlock_wrlock(pthread_rwlock_t* lock) {
  count(zvx::vsthost::locks, "pthread_rwlock_wrlock");
  return ZVX_NEXT(pthread_rwlock_wrlock)(lock);
}
int pthread_cond_wait(pthread_cond_t* condition, pthread_mutex_t* mutex) {
  count(zvx::vsthost::locks, "pthread_cond_wait");
  return ZVX_NEXT(pthread_cond_wait)(condition, mutex);
}
int pthread_cond_timedwait(pthread_cond_t* condition, pthread_mutex_t* mutex, const timespec* until) {
  count(zvx::vsthost::locks, "pthread_cond_timedwait");
  return ZVX_NEXT(pthread_cond_timedwait)(condition, mutex, until);
}
int sem_wait(sem_t* semaphore) {
  count(zvx::vsthost::locks, "sem_wait");
  return ZVX_NEXT(sem_wait)(semaphore);
}
int sem_timedwait(sem_t* semaphore, const timespec* until) {
  count(zvx::vsthost::locks, "sem_timedwait");
  return ZVX_NEXT(sem_timedwait)(semaphore, until);
}
unsigned sleep(unsigned seconds) {
  count(zvx::vsthost::sleeps, "sleep");
  return ZVX_NEXT(sleep)(seconds);
}
int usleep(useconds_t microseconds) {
  count(zvx::vsthost::sleeps, "usleep");
  return ZVX_NEXT(usleep)(microseconds);
}
int nanosleep(const timespec* duration, timespec* remaining) {
  count(zvx::vsthost::sleeps, "nanosleep");
  return ZVX_NEXT(nanosleep)(duration, remaining);
}
int clock_nanosleep(clockid_t clock, int flags, const timespec* duration, timespec* remaining) {
  count(zvx::vsthost::sleeps, "clock_nanosleep");
  return ZVX_NEXT(clock_nanosleep)(clock, flags, duration, remaining);
}

}  // extern "C"

// ---------------------------------------------------------------------------
// Xlib: the calls that talk to the server or wait for it.

namespace {
using XDisplayFn = int (*)(void*);
using XLockFn = void (*)(void*);
using XSyncFn = int (*)(void*, int);
std::atomic<XDisplayFn> next_XFlush{nullptr}, next_XPending{nullptr};
std::atomic<XLockFn> next_XLockDisplay{nullptr};
std::atomic<XSyncFn> next_XSync{nullptr};
constexpr const char* kXlib = "libX11.so.6";
}  // namespace

extern "C" {

int XFlush(void* display) {
  count(zvx::vsthost::xlib, "XFlush");
  return real(next_XFlush, "XFlush", kXlib)(display);
}
int XPending(void* display) {
  count(zvx::vsthost::xlib, "XPending");
  return real(next_XPending, "XPending", kXlib)(display);
}
void XLockDisplay(void* display) {
  count(zvx::vsthost::xlib, "XLockDisplay");
  real(next_XLockDisplay, "XLockDisplay", kXlib)(display);
}
int XSync(void* display, int discard) {
  count(zvx::vsthost::xlib, "XSync");
  return real(next_XSync, "XSync", kXlib)(display, discard);
}

}  // extern "C"
