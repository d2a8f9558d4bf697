#include "platform/LargeBlocks.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <list>
#include <map>
#include <mutex>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace zandrel::largeblocks {

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;
// Blocks given back are kept for the next save to take again, up to a sixteenth of the memory
// and at least this much. A save asks for all its blocks again, so a bound smaller than a document
// needs makes the save pay for fresh zeroed pages past it: per page, a large document would cost
// a fifth more than a small one. Kept pages cost little: the kernel takes them back under pressure.
constexpr std::size_t kMinKeptBytes = std::size_t(256) << 20;

std::size_t lengthOf(std::size_t bytes)
{
    return (bytes + kHugePage - 1) / kHugePage * kHugePage;
}

#if defined(__linux__)
// Blocks given back, oldest first, and by length. Their pages are offered to the kernel
// (MADV_FREE): under memory pressure it takes them, and a block taken again reads as zeros there;
// otherwise the next save of a document of about the same size fills them without a fault. When
// the bound is reached the oldest go first, so that what is kept is what the last save used rather
// than the lengths of documents saved long before.
struct Kept {
    using Order = std::list<std::pair<std::size_t, void*>>;
    std::mutex mutex;
    Order order;
    std::multimap<std::size_t, Order::iterator> byLength;
    std::size_t bytes = 0;

    void* take(std::size_t length)
    {
        // The most recent of its length, whose pages are the likeliest still to be there: equal
        // lengths are kept in the order they were given back.
        auto found = byLength.upper_bound(length);
        if (found == byLength.begin() || std::prev(found)->first != length)
            return nullptr;
        --found;
        void* block = found->second->second;
        order.erase(found->second);
        byLength.erase(found);
        bytes -= length;
        return block;
    }
    void* takeOldest(std::size_t& length)
    {
        const auto [oldestLength, block] = order.front();
        auto range = byLength.equal_range(oldestLength);
        for (auto it = range.first; it != range.second; ++it) {
            if (it->second == order.begin()) {
                byLength.erase(it);
                break;
            }
        }
        order.pop_front();
        bytes -= oldestLength;
        length = oldestLength;
        return block;
    }
    void keep(void* block, std::size_t length)
    {
        order.emplace_back(length, block);
        byLength.emplace(length, std::prev(order.end()));
        bytes += length;
    }
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

std::size_t maxKeptBytes()
{
#if defined(__linux__)
    static const std::size_t bytes = [] {
        const long pages = sysconf(_SC_PHYS_PAGES);
        const long pageSize = sysconf(_SC_PAGESIZE);
        const std::size_t memory = pages > 0 && pageSize > 0 ? std::size_t(pages) * std::size_t(pageSize) : 0;
        return std::max(kMinKeptBytes, memory / 16);
    }();
    return bytes;
#else
    return 0;
#endif
}

std::size_t keptBytes()
{
#if defined(__linux__)
    Kept& pool = kept();
    const std::lock_guard lock(pool.mutex);
    return pool.bytes;
#else
    return 0;
#endif
}

void* allocate(std::size_t bytes)
{
#if defined(__linux__)
    const std::size_t length = lengthOf(bytes);
    {
        Kept& pool = kept();
        const std::lock_guard lock(pool.mutex);
        if (void* block = pool.take(length))
            return block;
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
    if (length > maxKeptBytes()) {
        munmap(block, length);
        return;
    }
    madvise(block, length, MADV_FREE);
    Kept& pool = kept();
    const std::lock_guard lock(pool.mutex);
    while (pool.bytes + length > maxKeptBytes()) {
        std::size_t oldLength = 0;
        void* old = pool.takeOldest(oldLength);
        munmap(old, oldLength);
    }
    pool.keep(block, length);
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
