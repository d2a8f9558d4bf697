#pragma once

#include "platform/PropertyList.h"

#include <vector>

namespace zandrel {

// The object numbers a binary property list is written with, as the reference writer gives them:
// depth-first from the root (a dictionary, its keys, then its values), a node reached twice
// numbered once, and a scalar equal to one reached before it (strings, numbers, dates, data, UIDs)
// sharing that one's number.
//
// Equal scalars are found without one table of every scalar, which in a large file would miss the
// processor's cache on nearly every look-up: the scalars are first spread by hash over partitions
// small enough that a partition and its table stay in cache, then matched partition by partition
// in the order they were reached, so that the first of equal values keeps its number.
class PropertyListNumbering {
public:
    using Index = PropertyList::Index;
    static constexpr quint32 kUnnumbered = 0xffffffffu;

    explicit PropertyListNumbering(const PropertyList& list);

    // The nodes that get an object number, in the order of their numbers.
    const LargeVector<Index>& order() const { return m_order; }
    // The object number of each node, kUnnumbered for a node the root does not reach.
    quint32 numberOf(Index node) const { return m_numberOf[node]; }

private:
    // A scalar reached: eight bytes, so that a partition of them stays small. The hash picks the
    // partition (high bits) and the slot in its table (low bits), and spares most comparisons.
    struct Scalar {
        quint32 hash = 0;
        Index node = PropertyList::kNoNode;
    };

    void walk();
    void matchEqualScalars();
    void numberInOrder();
    Scalar scalarOf(Index node) const;
    size_t partitionOf(Scalar scalar) const;
    bool sameValue(Index a, Index b) const;

    const PropertyList& m_list;
    LargeVector<Index> m_order;
    LargeVector<quint32> m_numberOf;
    std::vector<quint32> m_partitionSizes;
    int m_partitionBits = 0;
};

} // namespace zandrel
