#pragma once

#include <cstddef>
#include <vector>

namespace zandrel {

// The tables that archiving a large document builds (nodes, references, numbering, identity maps)
// reach hundreds of megabytes, and each save makes them anew in fresh memory: touched 4 KiB at a
// time and zeroed by the kernel first, a large save spends about a fifth of its time in page faults.
// Blocks from kMinBytes on are therefore mapped on their own, in whole huge pages (which fault once
// per 2 MiB where transparent huge pages are on), and a block given back is kept for the next
// allocation of its length, up to a sixteenth of the memory (the most recently given back first),
// its pages left for the kernel to take back under memory pressure. Smaller blocks come from the
// heap as usual.
namespace largeblocks {

constexpr std::size_t kMinBytes = std::size_t(4) << 20;

void* allocate(std::size_t bytes);
void deallocate(void* block, std::size_t bytes) noexcept;
// The most the blocks given back and kept may add up to, and what they add up to now.
std::size_t maxKeptBytes();
std::size_t keptBytes();
// Advises the whole 2 MiB pages within a buffer that is about to be filled (one the caller did not
// allocate here, e.g. a byte array's), when it is at least kMinBytes long. Nothing else changes.
void adviseHugePages(void* begin, std::size_t bytes) noexcept;

} // namespace largeblocks

template <class T> struct LargeBlockAllocator {
    using value_type = T;

    LargeBlockAllocator() = default;
    template <class U> LargeBlockAllocator(const LargeBlockAllocator<U>&) noexcept { }

    T* allocate(std::size_t count)
    {
        if (count * sizeof(T) < largeblocks::kMinBytes)
            return std::allocator<T>().allocate(count);
        return static_cast<T*>(largeblocks::allocate(count * sizeof(T)));
    }
    void deallocate(T* block, std::size_t count) noexcept
    {
        if (count * sizeof(T) < largeblocks::kMinBytes)
            std::allocator<T>().deallocate(block, count);
        else
            largeblocks::deallocate(block, count * sizeof(T));
    }
    template <class U> bool operator==(const LargeBlockAllocator<U>&) const noexcept { return true; }
};

template <class T> using LargeVector = std::vector<T, LargeBlockAllocator<T>>;

} // namespace zandrel
