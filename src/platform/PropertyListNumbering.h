#pragma once

#include "platform/PropertyList.h"

#include <span>
#include <utility>
#include <vector>

namespace zandrel {

// The object numbers a binary property list is written with, as the reference writer gives them:
// depth-first from the root (a dictionary, its keys, then its values), a node reached twice
// numbered once, and a scalar equal to one reached before it (strings, numbers, dates, data, UIDs)
// sharing that one's number.
//
// The walk also measures the objects as the writer will write them, so that the writer need not
// go over the nodes once more to size its output: in a large file every pass over the nodes reads
// them from memory rather than from the processor's cache.
//
// Equal scalars are found without one table of every scalar, which in a large file would miss the
// processor's cache on nearly every look-up: the scalars are first spread by hash over partitions
// small enough that a partition and its table stay in cache, then matched partition by partition
// (on several threads in a large list) in the order they were reached, so that the first of equal
// values keeps its number.
class PropertyListNumbering {
public:
    using Index = PropertyList::Index;
    static constexpr quint32 kUnnumbered = 0xffffffffu;

    explicit PropertyListNumbering(const PropertyList& list);

    // Smallest of 1, 2, 4 or 8 bytes that holds the value, as the reference writer chooses widths.
    static int byteCount(quint64 value)
    {
        return value <= 0xffu ? 1 : value <= 0xffffu ? 2 : value <= 0xffffffffu ? 4 : 8;
    }

    // The nodes that get an object number, in the order of their numbers.
    const LargeVector<Index>& order() const { return m_order; }
    // The object number of each node, kUnnumbered for a node the root does not reach.
    quint32 numberOf(Index node) const { return m_numberOf[node]; }
    // The bytes the node takes in the file when a reference is refSize bytes wide.
    qint64 bytesOf(Index node, int refSize) const;
    // The bytes the numbered objects take in the file when a reference is refSize bytes wide.
    qint64 objectBytes(int refSize) const
    {
        return m_scalarBytes + m_containerHeadBytes + qint64(m_containerEntries) * refSize;
    }

private:
    // A scalar reached: eight bytes, so that a partition of them stays small. The hash picks the
    // slot in its partition's table and spares most comparisons.
    struct Scalar {
        quint32 hash = 0;
        Index node = PropertyList::kNoNode;
    };

    void walk();
    void matchEqualScalars();
    // The later scalars of the partition equal to one before them, with that one: by equal hashes
    // alone, or by equal values.
    std::vector<std::pair<Index, Index>> matchPartition(std::span<const Scalar> partition, bool byHash) const;
    bool allSameValues(const std::vector<std::pair<Index, Index>>& matches) const;
    void numberInOrder();
    quint64 hashOf(Index node) const;
    // The bytes a scalar takes in the file, as PropertyListWriter::writeObject writes it.
    qint64 scalarBytes(Index node) const;
    bool sameValue(Index a, Index b) const;

    const PropertyList& m_list;
    LargeVector<Index> m_order;
    LargeVector<quint32> m_numberOf;
    // The scalars reached, spread by hash, each partition in the order the walk reached them.
    std::vector<std::vector<Scalar>> m_partitions;
    int m_partitionBits = 0;
    qint64 m_scalarBytes = 0;
    qint64 m_containerHeadBytes = 0;
    quint64 m_containerEntries = 0;
};

} // namespace zandrel
