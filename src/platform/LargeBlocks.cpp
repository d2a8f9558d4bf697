#include "platform/LargeBlocks.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace zandrel::largeblocks {

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;
// Blocks given back are kept, up to this much, for the next save to take again.
constexpr std::size_t kMaxKeptBytes = std::size_t(256) << 20;

std::size_t lengthOf(std::size_t bytes)
{
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

#if defined(__linux__)
// Blocks given back, by length. Their pages are offered to the kernel (MADV_FREE): under memory
// pressure it takes them, and a block taken again reads as zeros there; otherwise the next save of
// a document of about the same size fills them without a fault.
struct Kept {
    std::mutex mutex;
    std::multimap<std::size_t, void*> blocks;
    std::size_t bytes = 0;
};

Kept& kept()
{
    static Kept* instance = new Kept; // never destroyed: blocks may be given back during exit
    return *instance;
}

void* mapAligned(std::size_t length)
{
    // Mapped with a huge page of slack, then trimmed to start on a huge page boundary.
    void* mapped
        = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        throw std::bad_alloc();
    const auto start = std::uintptr_t(mapped);
    const std::uintptr_t aligned = (start + kHugePage - 1) & ~std::uintptr_t(kHugePage - 1);
    if (aligned > start)
        munmap(mapped, aligned - start);
    const std::uintptr_t end = start + length + kHugePage;
    if (end > aligned + length)
        munmap(reinterpret_cast<void*>(aligned + length), end - (aligned + length));
    madvise(reinterpret_cast<void*>(aligned), length, MADV_HUGEPAGE);
    return reinterpret_cast<void*>(aligned);
}
#endif

} // namespace

void* allocate(std::size_t bytes)
{
#if defined(__linux__)
    const std::size_t length = lengthOf(bytes);
    {
        Kept& pool = kept();
        const std::lock_guard lock(pool.mutex);
        const auto found = pool.blocks.find(length);
        if (found != pool.blocks.end()) {
            void* block = found->second;
            pool.blocks.erase(found);
            pool.bytes -= length;
            return block;
        }
    }
    return mapAligned(length);
#else
    return ::operator new(bytes);
#endif
}

void deallocate(void* block, std::size_t bytes) noexcept
{
    if (!block)
        return;
#if defined(__linux__)
    const std::size_t length = lengthOf(bytes);
    {
        Kept& pool = kept();
        const std::lock_guard lock(pool.mutex);
        if (pool.bytes + length <= kMaxKeptBytes) {
            madvise(block, length, MADV_FREE);
            pool.blocks.emplace(length, block);
            pool.bytes += length;
            return;
        }
    }
    munmap(block, length);
#else
    ::operator delete(block);
#endif
}

void adviseHugePages(void* begin, std::size_t bytes) noexcept
{
#if defined(__linux__)
    if (bytes < kMinBytes)
        return;
    const auto start = (std::uintptr_t(begin) + kHugePage - 1) & ~std::uintptr_t(kHugePage - 1);
    const auto end = (std::uintptr_t(begin) + bytes) & ~std::uintptr_t(kHugePage - 1);
    if (end > start)
        madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
    (void)begin;
    (void)bytes;
#endif
}

} // namespace zandrel::largeblocks
