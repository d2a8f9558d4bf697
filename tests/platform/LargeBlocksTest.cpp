// Large tables live in whole huge pages, keep what they hold as they grow, and a block given back is
// taken again by the next table of its length instead of fresh memory.
#include "platform/LargeBlocks.h"

#include <algorithm>
#include <cstdint>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <numeric>
#include <vector>

namespace zandrel {
namespace {

TEST(LargeBlocks, GrowingTablesKeepTheirEntriesAndReuseTheBlocksGivenBack)
{
    const std::size_t count = largeblocks::kMinBytes / sizeof(std::uint32_t) * 3;
    const std::uint32_t* first = nullptr;
    for (int round = 0; round < 2; ++round) {
        LargeVector<std::uint32_t> table;
        for (std::size_t i = 0; i < count; ++i)
            table.push_back(std::uint32_t(i * 7));
        EXPECT_EQ(std::uintptr_t(table.data()) % (std::uintptr_t(2) << 20), 0u);
        std::uint64_t sum = std::accumulate(table.begin(), table.end(), std::uint64_t(0));
        EXPECT_EQ(sum, std::uint64_t(7) * (count - 1) * count / 2);
        // The same growth a second time ends in the block the first gave back.
        if (round == 0)
            first = table.data();
        else
            EXPECT_EQ(table.data(), first);
    }

    // Small tables stay on the heap; a byte array's interior may be advised without harm.
    LargeVector<char> small(100, 'x');
    EXPECT_EQ(small.back(), 'x');
    std::vector<char> buffer(largeblocks::kMinBytes + 12345, 'y');
    largeblocks::adviseHugePages(buffer.data(), buffer.size());
    EXPECT_EQ(std::count(buffer.begin(), buffer.end(), 'y'), std::ptrdiff_t(buffer.size()));
}

// Blocks given back past the bound push out the oldest: what stays is what was used last, so that
// a save finds the blocks of the save before it rather than those of a document saved long ago.
TEST(LargeBlocks, BlocksGivenBackPastTheBoundPushOutTheOldest)
{
    const std::size_t unit = std::size_t(64) << 20;
    const std::size_t oldest = std::size_t(42) << 20;
    ASSERT_GE(largeblocks::maxKeptBytes(), std::size_t(256) << 20);
    // Mapped but never touched: they cost address space, not memory.
    std::vector<void*> blocks { largeblocks::allocate(oldest) };
    for (std::size_t total = 0; total <= largeblocks::maxKeptBytes() + unit; total += unit)
        blocks.push_back(largeblocks::allocate(unit));
    largeblocks::deallocate(blocks[0], oldest);
    for (std::size_t i = 1; i < blocks.size(); ++i)
        largeblocks::deallocate(blocks[i], unit);
    EXPECT_LE(largeblocks::keptBytes(), largeblocks::maxKeptBytes());
    EXPECT_GT(largeblocks::keptBytes() + unit, largeblocks::maxKeptBytes());

    // The last given back is taken again; the first was let go, so its length maps anew.
    const std::size_t kept = largeblocks::keptBytes();
    void* again = largeblocks::allocate(unit);
    EXPECT_EQ(again, blocks.back());
    EXPECT_EQ(largeblocks::keptBytes(), kept - unit);
    void* fresh = largeblocks::allocate(oldest);
    EXPECT_EQ(largeblocks::keptBytes(), kept - unit);
    largeblocks::deallocate(fresh, oldest);
    largeblocks::deallocate(again, unit);
}

#ifdef ZANDREL_TCMALLOC
// Every allocation of the process, the libraries' included, goes through the allocator the
// program links: a linker that dropped it, or a library loaded ahead of it, would leave the C
// library's in place without a word.
TEST(Allocator, MallocOfTheWholeProcessIsTheLinkedOne)
{
    void* const linked = dlsym(RTLD_DEFAULT, "tc_malloc");
    ASSERT_NE(linked, nullptr);
    EXPECT_EQ(dlsym(RTLD_DEFAULT, "malloc"), linked);
}
#endif

} // namespace
} // namespace zandrel
