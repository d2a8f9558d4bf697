#include "platform/PropertyListNumbering.h"

#include "platform/Exception.h"
#include "platform/ThreadWork.h"

#include <QHash>
#include <algorithm>
#include <bit>

namespace zandrel {

namespace {

using Kind = PropertyList::Kind;

// Marks a node reached by the walk that takes a number of its own when the numbers are given out.
constexpr quint32 kOwnNumber = 0xfffffffeu;

// About this many scalars a partition on average: its entries and its table (512 kB each) stay in a
// core's own cache.
constexpr size_t kScalarsPerPartition = 65536;

// A marker with a count: in its low bits below 15, else followed by the count as an integer.
qint64 markerBytes(quint64 count)
{
    return count < 15 ? 1 : 2 + PropertyListNumbering::byteCount(count);
}

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
    // Sized for the most scalars the list can hold: each partition has room for its share of them
    // (hashes spread evenly), and grows past it in the rare case it must.
    const size_t partitions = std::bit_ceil(std::max<size_t>(1, nodes / kScalarsPerPartition));
    m_partitionBits = std::countr_zero(partitions);
    m_partitions.resize(partitions);
    for (std::vector<Scalar>& partition : m_partitions)
        partition.reserve(nodes / partitions + nodes / partitions / 8 + 16);
    walk();
    matchEqualScalars();
    numberInOrder();
}

quint64 PropertyListNumbering::hashOf(Index node) const
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
    return mix(bits ^ (kind * 0x9e3779b97f4a7c15ull));
}

qint64 PropertyListNumbering::scalarBytes(Index node) const
{
    const PropertyList::Node& n = m_list.m_nodes[node];
    switch (n.kind) {
    case Kind::Null:
    case Kind::Bool:
        return 1;
    case Kind::Int:
        return n.isUnsigned ? 17 : 1 + (n.i < 0 ? 8 : byteCount(quint64(n.i)));
    case Kind::Real32:
        return 5;
    case Kind::Real64:
    case Kind::Date:
        return 9;
    case Kind::Data:
        return markerBytes(quint64(m_list.m_datas[n.u].size())) + m_list.m_datas[n.u].size();
    case Kind::String: {
        const QString& text = m_list.m_strings[n.u];
        const char16_t* units = QStringView(text).utf16();
        const bool ascii = std::all_of(units, units + text.size(), [](char16_t c) { return c < 0x80; });
        return markerBytes(quint64(text.size())) + (ascii ? 1 : 2) * text.size();
    }
    case Kind::Uid:
        return 1 + byteCount(n.u);
    default:
        return 0;
    }
}

qint64 PropertyListNumbering::bytesOf(Index node, int refSize) const
{
    const PropertyList::Node& n = m_list.m_nodes[node];
    if (!PropertyList::isContainerKind(n.kind))
        return scalarBytes(node);
    return markerBytes(n.count) + qint64(n.kind == Kind::Dict ? 2 * quint64(n.count) : n.count) * refSize;
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
            m_containerHeadBytes += markerBytes(n.count);
            m_containerEntries += entries;
        } else {
            // The high bits of the hash pick the partition, the low ones are kept for matching.
            const quint64 hash = hashOf(node);
            const quint32 partition = m_partitionBits == 0 ? 0 : quint32(hash >> (64 - m_partitionBits));
            m_partitions[partition].push_back(Scalar { quint32(hash), node });
            m_scalarBytes += scalarBytes(node);
        }
    }
}

void PropertyListNumbering::matchEqualScalars()
{
    // Partitions are matched apart, on several threads when there are enough scalars to share: each
    // marks its own scalars only.
    size_t scalars = 0;
    for (const std::vector<Scalar>& partition : m_partitions)
        scalars += partition.size();
    const int threads = partsFor(scalars, PropertyList::kNodesPerThread) > 1 ? availableThreads() : 1;
    std::vector<qint64> unwritten(m_partitions.size(), 0);
    runOnThreads(int(m_partitions.size()), threads, [&](int p) {
        std::vector<Scalar>& partition = m_partitions[size_t(p)];
        // Equal hashes are taken for equal values first, which spares reading the nodes of scalars
        // without a match; the matches are then checked together, so that their nodes, which lie
        // anywhere in the list, are fetched side by side. A match that fails (two values of one
        // hash) makes the partition matched again comparing values.
        std::vector<std::pair<Index, Index>> matches = matchPartition(partition, true);
        if (!allSameValues(matches))
            matches = matchPartition(partition, false);
        for (const auto& [first, later] : matches) {
            // Numbered with the first when the numbers are given out, and not written.
            m_numberOf[later] = first;
            unwritten[size_t(p)] += scalarBytes(later);
        }
        std::vector<Scalar>().swap(partition);
    });
    for (const qint64 bytes : unwritten)
        m_scalarBytes -= bytes;
}

std::vector<std::pair<PropertyListNumbering::Index, PropertyListNumbering::Index>>
PropertyListNumbering::matchPartition(std::span<const Scalar> partition, bool byHash) const
{
    // Open addressing over the partition's entries (an entry's place plus one; 0 is empty), at most
    // half full.
    std::vector<quint32> table(std::bit_ceil(std::max<size_t>(16, 2 * partition.size())), 0);
    const size_t mask = table.size() - 1;
    std::vector<std::pair<Index, Index>> matches;
    for (size_t i = 0; i < partition.size(); ++i) {
        const Scalar scalar = partition[i];
        for (size_t slot = size_t(scalar.hash) & mask;; slot = (slot + 1) & mask) {
            if (table[slot] == 0) {
                table[slot] = quint32(i + 1);
                break;
            }
            const Scalar first = partition[table[slot] - 1];
            if (first.hash == scalar.hash && (byHash || sameValue(first.node, scalar.node))) {
                matches.emplace_back(first.node, scalar.node);
                break;
            }
        }
    }
    return matches;
}

bool PropertyListNumbering::allSameValues(const std::vector<std::pair<Index, Index>>& matches) const
{
    constexpr size_t kAhead = 8;
    for (size_t i = 0; i < matches.size(); ++i) {
        if (i + kAhead < matches.size()) {
            __builtin_prefetch(&m_list.m_nodes[matches[i + kAhead].first]);
            __builtin_prefetch(&m_list.m_nodes[matches[i + kAhead].second]);
            __builtin_prefetch(&m_numberOf[matches[i + kAhead].second], 1);
        }
        if (!sameValue(matches[i].first, matches[i].second))
            return false;
    }
    return true;
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
