#include "platform/PropertyListNumbering.h"

#include "platform/Exception.h"

#include <QHash>
#include <algorithm>
#include <bit>

namespace zandrel {

namespace {

using Kind = PropertyList::Kind;

// Marks a node reached by the walk that takes a number of its own when the numbers are given out.
constexpr quint32 kOwnNumber = 0xfffffffeu;

// About this many scalars a partition on average: its entries and its table (128 kB each) stay in a
// core's cache.
constexpr size_t kScalarsPerPartition = 16384;

quint64 mix(quint64 value)
{
    value ^= value >> 33;
    value *= 0xff51afd7ed558ccdull;
    value ^= value >> 33;
    value *= 0xc4ceb9fe1a85ec53ull;
    return value ^ (value >> 33);
}

} // namespace

PropertyListNumbering::PropertyListNumbering(const PropertyList& list)
    : m_list(list)
{
    if (m_list.m_root == PropertyList::kNoNode)
        Exception::raise(kInvalidArchiveException, QStringLiteral("The property list has no root."));
    const size_t nodes = m_list.m_nodes.size();
    if (nodes >= kOwnNumber)
        Exception::raise(kInvalidArchiveException, QStringLiteral("Too many property list objects."));
    // Sized for the most scalars the list can hold; the walk counts those it reaches.
    const size_t partitions = std::bit_ceil(std::max<size_t>(1, nodes / kScalarsPerPartition));
    m_partitionBits = std::countr_zero(partitions);
    m_partitionSizes.assign(partitions, 0);
    walk();
    matchEqualScalars();
    numberInOrder();
}

PropertyListNumbering::Scalar PropertyListNumbering::scalarOf(Index node) const
{
    const PropertyList::Node& n = m_list.m_nodes[node];
    quint64 bits = 0;
    switch (n.kind) {
    case Kind::String:
        bits = qHash(QStringView(m_list.m_strings[n.u]));
        break;
    case Kind::Data:
        bits = qHash(QByteArrayView(m_list.m_datas[n.u]));
        break;
    case Kind::Null:
        break;
    default:
        bits = n.u;
    }
    const quint64 kind = quint64(n.kind) | (n.isUnsigned ? 0x100u : 0u);
    return Scalar { quint32(mix(bits ^ (kind * 0x9e3779b97f4a7c15ull)) >> 32), node };
}

size_t PropertyListNumbering::partitionOf(Scalar scalar) const
{
    return m_partitionBits == 0 ? 0 : size_t(scalar.hash >> (32 - m_partitionBits));
}

bool PropertyListNumbering::sameValue(Index a, Index b) const
{
    const PropertyList::Node& x = m_list.m_nodes[a];
    const PropertyList::Node& y = m_list.m_nodes[b];
    if (x.kind != y.kind || x.isUnsigned != y.isUnsigned)
        return false;
    switch (x.kind) {
    case Kind::String:
        return m_list.m_strings[x.u] == m_list.m_strings[y.u];
    case Kind::Data:
        return m_list.m_datas[x.u] == m_list.m_datas[y.u];
    case Kind::Null:
        return true;
    default:
        // Bit patterns, so that NaNs and signed zeros keep their own objects.
        return x.u == y.u;
    }
}

void PropertyListNumbering::walk()
{
    m_numberOf.assign(m_list.m_nodes.size(), kUnnumbered);
    m_order.reserve(m_list.m_nodes.size());
    std::vector<Index> stack { m_list.m_root };
    while (!stack.empty()) {
        const Index node = stack.back();
        stack.pop_back();
        if (m_numberOf[node] != kUnnumbered)
            continue;
        m_numberOf[node] = kOwnNumber;
        m_order.push_back(node);
        const PropertyList::Node& n = m_list.m_nodes[node];
        if (PropertyList::isContainerKind(n.kind)) {
            // Pushed in reverse so that a dictionary's keys come first, then its values.
            const Index* refs = m_list.m_refs.data() + n.u;
            const quint32 entries = n.kind == Kind::Dict ? n.count * 2 : n.count;
            for (quint32 i = entries; i > 0; --i)
                stack.push_back(refs[i - 1]);
        } else {
            ++m_partitionSizes[partitionOf(scalarOf(node))];
        }
    }
}

void PropertyListNumbering::matchEqualScalars()
{
    // Each partition lists its scalars in the order they were reached, as the walk did.
    std::vector<size_t> next(m_partitionSizes.size());
    size_t total = 0;
    size_t largest = 0;
    for (size_t p = 0; p < m_partitionSizes.size(); ++p) {
        next[p] = total;
        total += m_partitionSizes[p];
        largest = std::max<size_t>(largest, m_partitionSizes[p]);
    }
    LargeVector<Scalar> spread(total);
    for (Index node : m_order) {
        if (!PropertyList::isContainerKind(m_list.m_nodes[node].kind)) {
            const Scalar scalar = scalarOf(node);
            spread[next[partitionOf(scalar)]++] = scalar;
        }
    }

    // Open addressing over the partition's entries (an entry's place plus one; 0 is empty), at
    // most half full.
    LargeVector<quint32> table(std::bit_ceil(std::max<size_t>(16, 2 * largest)));
    size_t begin = 0;
    for (const quint32 size : m_partitionSizes) {
        const size_t slotCount = std::bit_ceil(std::max<size_t>(16, 2 * size_t(size)));
        const size_t mask = slotCount - 1;
        std::fill_n(table.begin(), slotCount, 0u);
        for (size_t i = begin; i < begin + size; ++i) {
            const Scalar scalar = spread[i];
            for (size_t slot = size_t(scalar.hash) & mask;; slot = (slot + 1) & mask) {
                if (table[slot] == 0) {
                    table[slot] = quint32(i - begin + 1);
                    break;
                }
                const Scalar first = spread[begin + table[slot] - 1];
                if (first.hash == scalar.hash && sameValue(first.node, scalar.node)) {
                    // Numbered with the first when the numbers are given out.
                    m_numberOf[scalar.node] = first.node;
                    break;
                }
            }
        }
        begin += size;
    }
}

void PropertyListNumbering::numberInOrder()
{
    // In place: a node's number is never more than its place in the walk.
    size_t count = 0;
    for (size_t i = 0; i < m_order.size(); ++i) {
        const Index node = m_order[i];
        const quint32 mark = m_numberOf[node];
        if (mark == kOwnNumber) {
            m_numberOf[node] = quint32(count);
            m_order[count++] = node;
        } else {
            // The first of equal values was reached earlier, so it has its number already.
            m_numberOf[node] = m_numberOf[mark];
        }
    }
    m_order.resize(count);
}

} // namespace zandrel
