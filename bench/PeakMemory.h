#pragma once

// Counts the heap in use and its peak by standing in for the C library's allocator in the bench
// executable that includes this header (once): every allocation of the process, Qt's included,
// goes through these. Only for benchmarks; the library code knows nothing of it.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <malloc.h>

extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* pointer);
}

namespace peak_memory {

inline std::atomic<std::int64_t> inUse { 0 };
inline std::atomic<std::int64_t> peak { 0 };

inline void* counted(void* pointer)
{
    if (pointer) {
        const std::int64_t size = std::int64_t(malloc_usable_size(pointer));
        const std::int64_t now = inUse.fetch_add(size) + size;
        std::int64_t seen = peak.load(std::memory_order_relaxed);
        while (now > seen && !peak.compare_exchange_weak(seen, now, std::memory_order_relaxed)) { }
    }
    return pointer;
}

inline void uncount(void* pointer)
{
    if (pointer)
        inUse.fetch_sub(std::int64_t(malloc_usable_size(pointer)));
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

} // namespace peak_memory

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
