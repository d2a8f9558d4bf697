#pragma once

// Counts the heap in use and its peak in the bench executable that includes this header (once):
// every allocation of the process, Qt's included, is seen. On the allocator the program links,
// through its hooks; on the C library's, by standing in for it. Only for benchmarks; the library
// code knows nothing of it.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <malloc.h>

#ifdef ZANDREL_TCMALLOC
#include <gperftools/malloc_hook_c.h>
#include <gperftools/tcmalloc.h>
#else
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* pointer);
}
#endif

namespace peak_memory {

inline std::int64_t usableSize(const void* pointer)
{
#ifdef ZANDREL_TCMALLOC
    return std::int64_t(tc_malloc_size(const_cast<void*>(pointer)));
#else
    return std::int64_t(malloc_usable_size(const_cast<void*>(pointer)));
#endif
}

inline std::atomic<std::int64_t> inUse { 0 };
inline std::atomic<std::int64_t> peak { 0 };

inline void* counted(const void* pointer)
{
    if (pointer) {
        const std::int64_t size = usableSize(pointer);
        const std::int64_t now = inUse.fetch_add(size) + size;
        std::int64_t seen = peak.load(std::memory_order_relaxed);
        while (now > seen && !peak.compare_exchange_weak(seen, now, std::memory_order_relaxed)) { }
    }
    return const_cast<void*>(pointer);
}

inline void uncount(const void* pointer)
{
    if (pointer)
        inUse.fetch_sub(usableSize(pointer));
}

// Starts a measurement: the peak from now on, above what is in use now.
inline std::int64_t start()
{
    const std::int64_t now = inUse.load();
    peak.store(now);
    return now;
}

inline std::int64_t peakAbove(std::int64_t base)
{
    return peak.load() - base;
}

#ifdef ZANDREL_TCMALLOC
inline const bool hooked = [] {
    MallocHook_AddNewHook([](const void* pointer, size_t) { counted(pointer); });
    MallocHook_AddDeleteHook([](const void* pointer) { uncount(pointer); });
    return true;
}();
#endif

} // namespace peak_memory

#ifndef ZANDREL_TCMALLOC
extern "C" {
void* malloc(size_t size)
{
    return peak_memory::counted(__libc_malloc(size));
}
void* calloc(size_t count, size_t size)
{
    return peak_memory::counted(__libc_calloc(count, size));
}
void* realloc(void* pointer, size_t size)
{
    const size_t before = pointer ? malloc_usable_size(pointer) : 0;
    void* moved = __libc_realloc(pointer, size);
    if (!moved && size > 0)
        return nullptr; // the old block stays, still counted
    peak_memory::inUse.fetch_sub(std::int64_t(before));
    return peak_memory::counted(moved);
}
void free(void* pointer)
{
    peak_memory::uncount(pointer);
    __libc_free(pointer);
}
void* memalign(size_t alignment, size_t size)
{
    return peak_memory::counted(__libc_memalign(alignment, size));
}
void* aligned_alloc(size_t alignment, size_t size)
{
    return peak_memory::counted(__libc_memalign(alignment, size));
}
int posix_memalign(void** result, size_t alignment, size_t size)
{
    *result = peak_memory::counted(__libc_memalign(alignment, size));
    return *result ? 0 : 12; // ENOMEM
}
}
#endif
