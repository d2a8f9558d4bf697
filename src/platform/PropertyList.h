#pragma once

#include "platform/LargeBlocks.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <algorithm>
#include <cstdint>
#include <span>
#include <vector>

namespace zandrel {

// A binary property list ("bplist00") held as a flat table of nodes, so that reading, writing
// and walking never recurse and a subtree referenced many times is stored once.
//
// Nodes are numbered in creation order (or object-table order when read); containers refer to
// their children by node index. The graph is acyclic but may share nodes, so a consumer that
// expands it into a tree must guard against fan-out itself.
class PropertyList {
public:
    enum class Kind : quint8 { Null, Bool, Int, Real32, Real64, Date, Data, String, Uid, Array, Set, Dict };
    using Index = quint32;
    static constexpr Index kNoNode = 0xffffffffu;
    // About this many nodes make a thread's share of reading or writing a large list: a few
    // milliseconds, against a small fraction of that to start and join a thread.
    static constexpr size_t kNodesPerThread = size_t(1) << 18;

    // The largest UID and the span of dates (seconds from 2001-01-01, from the year 1 to the year
    // 9999) the reference reader holds; the reader refuses anything else, so the writer never
    // writes it.
    static constexpr quint64 kMaxUid = 0xffffffffu;
    static constexpr double kEarliestDate = -63113904000.0; // 0001-01-01 00:00:00
    static constexpr double kDateEnd = 252423993600.0; // 10000-01-01 00:00:00, not included
    static bool isDateInRange(double seconds) { return seconds >= kEarliestDate && seconds < kDateEnd; }

    // Hostile files are refused before they can cost more than these.
    struct Limits {
        qint64 maxBytes = qint64(1) << 30;
        quint64 maxObjects = quint64(1) << 23;
        int maxDepth = 512;
    };

    // One object. Numbers convert into each other as the accessors below describe.
    struct Node {
        Kind kind = Kind::Null;
        bool isUnsigned = false; // an Int node above the signed range, held in u
        quint32 count = 0; // container entries
        union {
            qint64 i;
            double d;
            quint64 u; // UID, or side-table index for strings and data, or first ref for containers
        };
        Node()
            : u(0)
        {
        }
        bool boolValue() const;
        qint64 intValue() const;
        quint64 unsignedIntValue() const;
        double realValue() const;
    };

    PropertyList() = default;

    // Parses a binary property list; raises Exception(kInvalidArchiveException) when the data is
    // malformed, cyclic, nested too deeply or over a limit, holds an integer that does not fit in
    // 64 bits, or a date that is not finite or lies outside the years 1 to 9999.
    static PropertyList fromBinary(const QByteArray& data, const Limits& limits);
    static PropertyList fromBinary(const QByteArray& data) { return fromBinary(data, Limits()); }
    // The eight bytes every binary property list starts with.
    static constexpr QByteArrayView kBinaryMagic { "bplist00" };
    // Whether data beginning with these bytes may be a binary property list: fromBinary takes
    // nothing that does not start with kBinaryMagic. A head shorter than that may be all of a file
    // or only its start, and is judged as far as it goes.
    static bool canBeginBinary(QByteArrayView head)
    {
        return kBinaryMagic.startsWith(head.first(std::min(head.size(), kBinaryMagic.size())));
    }

    // Writes the tree under root() with the reference writer's conventions: objects numbered
    // depth-first (a dictionary, its keys, then its values), strings, numbers, dates, data and
    // UIDs written once, the smallest widths, and the root as object 0. Raises
    // Exception(kInvalidArchiveException) for what fromBinary would refuse: a UID above kMaxUid,
    // a date that is not finite or out of range.
    QByteArray toBinary() const;

    // Building. Children must exist before their container, which keeps the graph acyclic.
    Index addNull();
    Index addBool(bool value);
    Index addInt(qint64 value);
    // Values above the largest signed 64-bit integer are kept unsigned and written as 16-byte
    // integers whose high half is zero, as the reference writer does; smaller ones as addInt.
    Index addUnsignedInt(quint64 value);
    Index addReal32(float value);
    Index addReal64(double value);
    Index addDate(double secondsSince2001);
    Index addData(const QByteArray& bytes);
    Index addString(const QString& text);
    Index addUid(quint64 value);
    Index addArray(std::span<const Index> items);
    Index addSet(std::span<const Index> items);
    Index addDict(std::span<const Index> keys, std::span<const Index> values);
    void setRoot(Index node);

    Index root() const { return m_root; }
    qsizetype size() const { return qsizetype(m_nodes.size()); }
    void reserve(qsizetype nodes, qsizetype refs);

    // Access. Asking a node of another kind gives the zero value; indices are not checked
    // beyond debug assertions, since every index handed out by this class is valid.
    Kind kind(Index node) const { return m_nodes[node].kind; }
    bool isNumber(Index node) const { return isNumberKind(kind(node)); }
    bool isContainer(Index node) const { return isContainerKind(kind(node)); }
    static bool isNumberKind(Kind kind);
    static bool isContainerKind(Kind kind);
    bool boolValue(Index node) const;
    // An unsigned integer above the signed range saturates here; ask unsignedIntValue for it.
    qint64 intValue(Index node) const;
    // True for an integer above the largest signed 64-bit one.
    bool isUnsignedInt(Index node) const;
    // Negative numbers give 0.
    quint64 unsignedIntValue(Index node) const;
    double realValue(Index node) const;
    const QString& string(Index node) const;
    const QByteArray& data(Index node) const;
    quint64 uid(Index node) const;

    // Array and set elements; for a dictionary, the keys and the values, matched by position.
    qsizetype count(Index node) const;
    std::span<const Index> items(Index node) const;
    std::span<const Index> keys(Index node) const;
    std::span<const Index> values(Index node) const;
    Index valueForKey(Index dict, QStringView key) const;

    // Total number of container entries (a dictionary entry counts once); a budget for
    // consumers that walk the graph.
    quint64 totalEntries() const { return m_refs.size(); }
    // Entries of arrays and sets alone: a keyed unarchiver makes a value for each of these (the
    // members of archived collections), while dictionary entries are only looked up.
    quint64 collectionEntries() const { return m_collectionEntries; }

private:
    Index push(Node node);
    Index addContainer(Kind kind, std::span<const Index> first, std::span<const Index> second);

    friend class PropertyListReader;
    friend class PropertyListNumbering;
    friend class PropertyListWriter;

    LargeVector<Node> m_nodes;
    LargeVector<Index> m_refs;
    std::vector<QString> m_strings;
    std::vector<QByteArray> m_datas;
    Index m_root = kNoNode;
    quint64 m_collectionEntries = 0;
};

} // namespace zandrel
