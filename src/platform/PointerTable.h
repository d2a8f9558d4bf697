#pragma once

#include "platform/LargeBlocks.h"

#include <QtGlobal>
#include <algorithm>
#include <bit>
#include <utility>
#include <variant>
#include <vector>

namespace zandrel {

// A map from object addresses to small values by open addressing: a slot is the pointer and the
// value (nothing more for an empty value type: a set), at most three quarters of the slots are
// used, and nothing is allocated per entry. For the archivers' bookkeeping, which keeps an entry
// for every curve point of a document.
//
// Objects that lie together in memory are looked up together: the archivers walk a document in
// about the order its objects were made. So the memory page of an address picks a run of slots at
// random and the address within the page picks the slot in the run; the objects of one page then
// share a few cache lines of the table instead of each missing the cache somewhere else in it.
template <class T> class PointerTable {
    struct Slot {
        const void* key = nullptr;
        [[no_unique_address]] T value {};
    };

public:
    // The value stored for the pointer, or nullptr.
    const T* find(const void* key) const
    {
        if (m_slots.empty())
            return nullptr;
        const Slot& slot = m_slots[slotOf(key)];
        return slot.key ? &slot.value : nullptr;
    }
    // Sets the value; true when the pointer was not there before.
    bool insert(const void* key, T value)
    {
        if (4 * (m_count + 1) > 3 * m_slots.size())
            grow();
        Slot& slot = m_slots[slotOf(key)];
        const bool added = slot.key == nullptr;
        m_count += added ? 1 : 0;
        slot = { key, std::move(value) };
        return added;
    }
    size_t size() const { return m_count; }

private:
    // A run covers a page: one slot for every 16 bytes of it (the allocator's alignment).
    static constexpr int kRunBits = 8;
    static constexpr int kPageBits = 12;

    size_t slotOf(const void* key) const
    {
        const quint64 address = quint64(quintptr(key));
        // Fibonacci hashing of the page: the product's high bits are its best mixed ones.
        const quint64 run = ((address >> kPageBits) * 0x9e3779b97f4a7c15ull) >> m_shift;
        const size_t mask = m_slots.size() - 1;
        const size_t start = size_t((run << kRunBits) | ((address >> 4) & ((1u << kRunBits) - 1)));
        for (size_t i = start & mask;; i = (i + 1) & mask) {
            if (m_slots[i].key == key || m_slots[i].key == nullptr)
                return i;
        }
    }
    void grow()
    {
        LargeVector<Slot> old(std::max<size_t>(size_t(1) << (kRunBits + 1), 2 * m_slots.size()));
        old.swap(m_slots);
        // As many runs as the table holds.
        m_shift = 64 - (std::countr_zero(m_slots.size()) - kRunBits);
        for (Slot& entry : old) {
            if (entry.key)
                m_slots[slotOf(entry.key)] = std::move(entry);
        }
    }

    LargeVector<Slot> m_slots;
    size_t m_count = 0;
    int m_shift = 64;
};

// A set of object addresses: eight bytes a slot.
using PointerSet = PointerTable<std::monostate>;

} // namespace zandrel
