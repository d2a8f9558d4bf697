#pragma once

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
    size_t slotOf(const void* key) const
    {
        // Fibonacci hashing of the address without its alignment bits: the product's high bits
        // are its best mixed ones.
        const quint64 bits = (quint64(quintptr(key)) >> 4) * 0x9e3779b97f4a7c15ull;
        const size_t mask = m_slots.size() - 1;
        for (size_t i = size_t(bits >> m_shift);; i = (i + 1) & mask) {
            if (m_slots[i].key == key || m_slots[i].key == nullptr)
                return i;
        }
    }
    void grow()
    {
        std::vector<Slot> old(std::max<size_t>(64, 2 * m_slots.size()));
        old.swap(m_slots);
        m_shift = 64 - std::countr_zero(m_slots.size());
        for (Slot& entry : old) {
            if (entry.key)
                m_slots[slotOf(entry.key)] = std::move(entry);
        }
    }

    std::vector<Slot> m_slots;
    size_t m_count = 0;
    int m_shift = 64;
};

// A set of object addresses: eight bytes a slot.
using PointerSet = PointerTable<std::monostate>;

} // namespace zandrel
