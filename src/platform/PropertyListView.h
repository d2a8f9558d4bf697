#pragma once

#include "platform/PropertyList.h"

#include <QByteArray>
#include <QString>
#include <QStringView>
#include <cstdint>
#include <iterator>
#include <unordered_map>
#include <vector>

namespace zandrel {

// A binary property list read in place. The bytes are checked once, as thoroughly as
// PropertyList::fromBinary checks them (it is built on this), and afterwards every object is read
// from the bytes when it is asked for: a large archive costs no table of nodes beside its bytes,
// which for a file of curve points would be larger than the file.
//
// Indices are object-table numbers. Only objects reachable from the top object were checked, and
// only those are reachable through this class. Strings and data are decoded the first time they
// are asked for and kept, so that a value named many times is made once.
class PropertyListView {
public:
    using Kind = PropertyList::Kind;
    using Index = PropertyList::Index;

    // The object references of a container, read from the bytes.
    class Refs {
    public:
        class Iterator {
        public:
            using iterator_category = std::input_iterator_tag;
            using value_type = Index;
            using difference_type = std::ptrdiff_t;
            using pointer = const Index*;
            using reference = Index;
            Iterator() = default;
            Iterator(const uchar* at, int width)
                : m_at(at)
                , m_width(width)
            {
            }
            Index operator*() const { return readRef(m_at, m_width); }
            Iterator& operator++()
            {
                m_at += m_width;
                return *this;
            }
            Iterator operator++(int)
            {
                Iterator before = *this;
                m_at += m_width;
                return before;
            }
            bool operator==(const Iterator& other) const { return m_at == other.m_at; }

        private:
            const uchar* m_at = nullptr;
            int m_width = 1;
        };

        Refs() = default;
        Refs(const uchar* first, size_t count, int width)
            : m_first(first)
            , m_count(count)
            , m_width(width)
        {
        }
        size_t size() const { return m_count; }
        bool empty() const { return m_count == 0; }
        Index operator[](size_t i) const { return readRef(m_first + i * size_t(m_width), m_width); }
        Iterator begin() const { return Iterator(m_first, m_width); }
        Iterator end() const { return Iterator(m_first + m_count * size_t(m_width), m_width); }

    private:
        const uchar* m_first = nullptr;
        size_t m_count = 0;
        int m_width = 1;
    };

    PropertyListView() = default;

    // Big-endian unsigned integer of 1 to 8 bytes.
    static quint64 readBigEndian(const uchar* p, int width)
    {
        switch (width) {
        case 1:
            return p[0];
        case 2:
            return (quint64(p[0]) << 8) | p[1];
        case 3:
            return (quint64(p[0]) << 16) | (quint64(p[1]) << 8) | p[2];
        case 4:
            return (quint64(p[0]) << 24) | (quint64(p[1]) << 16) | (quint64(p[2]) << 8) | p[3];
        default: {
            quint64 value = 0;
            for (int i = 0; i < width; ++i)
                value = (value << 8) | p[i];
            return value;
        }
        }
    }

    // Checks the data and keeps a reference to it (no copy). Raises
    // Exception(kInvalidArchiveException) for everything PropertyList::fromBinary refuses. When
    // reached is given it is set to which objects the top object reaches.
    static PropertyListView fromBinary(
        const QByteArray& data, const PropertyList::Limits& limits, std::vector<bool>* reached = nullptr);

    Index root() const { return m_root; }
    quint64 objectCount() const { return m_objectCount; }
    // Total number of container entries, as PropertyList::totalEntries counts them.
    quint64 totalEntries() const { return m_totalEntries; }

    // Access as PropertyList gives it.
    Kind kind(Index node) const { return kindOfMarker(*objectAt(node)); }
    bool isNumber(Index node) const { return PropertyList::isNumberKind(kind(node)); }
    bool isContainer(Index node) const { return PropertyList::isContainerKind(kind(node)); }
    bool boolValue(Index node) const { return read(node).boolValue(); }
    qint64 intValue(Index node) const { return read(node).intValue(); }
    bool isUnsignedInt(Index node) const { return read(node).isUnsigned; }
    quint64 unsignedIntValue(Index node) const { return read(node).unsignedIntValue(); }
    double realValue(Index node) const { return read(node).realValue(); }
    const QString& string(Index node) const;
    const QByteArray& data(Index node) const;
    quint64 uid(Index node) const
    {
        const uchar* object = objectAt(node);
        return (object[0] >> 4) == 0x8 ? readBigEndian(object + 1, (object[0] & 0x0f) + 1) : 0;
    }
    // Compares a string object to the text without making a string of it; false for other kinds.
    bool stringEquals(Index node, QStringView text) const;

    qsizetype count(Index node) const;
    Refs items(Index node) const { return refsOf(node, false, false); }
    Refs keys(Index node) const { return refsOf(node, true, false); }
    Refs values(Index node) const { return refsOf(node, true, true); }
    Index valueForKey(Index dict, QStringView key) const;

    // The object as a node of PropertyList: scalars hold their value; containers hold their entry
    // count and, in u, the position of their references in the bytes. For building a PropertyList.
    PropertyList::Node read(Index node) const;
    // A string or data object decoded anew, not kept.
    QString decodeString(Index node) const;
    QByteArray decodeData(Index node) const;

private:
    friend class PropertyListChecker;
    static Index readRef(const uchar* at, int width) { return Index(readBigEndian(at, width)); }
    quint64 offsetOf(quint64 index) const
    {
        return readBigEndian(
            m_bytes + m_offsetTableOffset + index * quint64(m_offsetIntSize), m_offsetIntSize);
    }
    const uchar* objectAt(Index node) const { return m_bytes + offsetOf(node); }
    static Kind kindOfMarker(uchar marker)
    {
        // By the high nibble; Null and Bool share 0, reals of two widths share 2.
        constexpr Kind kinds[16] = { Kind::Bool, Kind::Int, Kind::Real64, Kind::Date, Kind::Data,
            Kind::String, Kind::String, Kind::Dict, Kind::Uid, Kind::Dict, Kind::Array, Kind::Dict, Kind::Set,
            Kind::Dict, Kind::Dict, Kind::Dict };
        if (marker == 0x00)
            return Kind::Null;
        if (marker == 0x22)
            return Kind::Real32;
        return kinds[marker >> 4];
    }
    // Where the payload of a string, data or container object starts, and its count.
    static std::pair<const uchar*, quint64> countedPayload(const uchar* object)
    {
        const uchar marker = object[0];
        if ((marker & 0x0f) != 0x0f)
            return { object + 1, marker & 0x0f };
        const int width = 1 << (object[1] & 0x0f);
        return { object + 2 + width, readBigEndian(object + 2, width) };
    }
    Refs refsOf(Index node, bool dictionary, bool valuesHalf) const
    {
        const uchar* object = objectAt(node);
        const Kind k = kindOfMarker(object[0]);
        if (dictionary ? k != Kind::Dict : (k != Kind::Array && k != Kind::Set))
            return {};
        const auto [refs, count] = countedPayload(object);
        return Refs(refs + (valuesHalf ? count * quint64(m_refSize) : 0), size_t(count), m_refSize);
    }

    QByteArray m_data; // shares the caller's bytes, which the pointers below point into
    const uchar* m_bytes = nullptr;
    quint64 m_offsetTableOffset = 0;
    int m_offsetIntSize = 1;
    int m_refSize = 1;
    quint64 m_objectCount = 0;
    quint64 m_totalEntries = 0;
    Index m_root = PropertyList::kNoNode;
    mutable std::unordered_map<Index, QString> m_strings;
    mutable std::unordered_map<Index, QByteArray> m_datas;
};

} // namespace zandrel
