#include "platform/Exception.h"
#include "platform/PropertyList.h"

#include <QHash>
#include <algorithm>
#include <cstring>

namespace zandrel {

namespace {

constexpr quint32 kUnnumbered = 0xffffffffu;

// Smallest of 1, 2, 4 or 8 bytes that holds the value, as the reference writer chooses widths.
int byteCount(quint64 value)
{
    if (value <= 0xffu)
        return 1;
    if (value <= 0xffffu)
        return 2;
    if (value <= 0xffffffffu)
        return 4;
    return 8;
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

// Numbers the objects depth-first with uniquing, then lays them out with their offset table.
class PropertyListWriter {
public:
    explicit PropertyListWriter(const PropertyList& list)
        : m_list(list)
    {
    }

    QByteArray write();

private:
    using Index = PropertyList::Index;
    using Kind = PropertyList::Kind;

    // Open addressing over scalar nodes: equal values share one object number. A slot holds the
    // first node of its value (whose number is in m_numberOf) and a tag from its hash, which spares
    // most visits to the node table: eight bytes, since a file of coordinates has about as many
    // distinct values as scalars.
    struct Slot {
        Index node = PropertyList::kNoNode;
        quint32 tag = 0;
    };

    void number();
    quint64 hashOf(Index node) const;
    bool sameValue(Index a, Index b) const;
    Index& uniqueSlot(Index node);
    void writeObject(Index node);
    // The bytes writeObject writes for the node, so that the output is made at its size once.
    qsizetype sizeOf(Index node) const;
    char* grow(qsizetype bytes);
    void appendBE(quint64 value, int width);
    void appendMarkerWithCount(uchar type, quint64 count);
    void appendInt(qint64 value);
    void appendUnsignedInt(quint64 value);
    void appendString(const QString& text);

    const PropertyList& m_list;
    std::vector<quint32> m_numberOf;
    std::vector<Index> m_order;
    std::vector<Slot> m_slots;
    QByteArray m_out;
    qsizetype m_size = 0;
    int m_refSize = 1;
};

quint64 PropertyListWriter::hashOf(Index node) const
{
    const auto& n = m_list.m_nodes[node];
    const quint64 kind = (quint64(n.kind) << 56) | (quint64(n.isUnsigned) << 48);
    switch (n.kind) {
    case Kind::String:
        return mix(kind ^ qHash(QStringView(m_list.m_strings[n.u])));
    case Kind::Data:
        return mix(kind ^ qHash(QByteArrayView(m_list.m_datas[n.u])));
    case Kind::Null:
        return mix(kind);
    default:
        return mix(kind ^ mix(n.u));
    }
}

bool PropertyListWriter::sameValue(Index a, Index b) const
{
    const auto& x = m_list.m_nodes[a];
    const auto& y = m_list.m_nodes[b];
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

PropertyList::Index& PropertyListWriter::uniqueSlot(Index node)
{
    const quint64 hash = hashOf(node);
    const quint32 tag = quint32(hash >> 32);
    const size_t mask = m_slots.size() - 1;
    for (size_t i = size_t(hash) & mask;; i = (i + 1) & mask) {
        Slot& slot = m_slots[i];
        if (slot.node == PropertyList::kNoNode) {
            slot.tag = tag;
            return slot.node;
        }
        if (slot.tag == tag && sameValue(slot.node, node))
            return slot.node;
    }
}

void PropertyListWriter::number()
{
    // Twice as many slots as scalar nodes keeps probe sequences short.
    size_t scalars = 0;
    for (const auto& n : m_list.m_nodes)
        scalars += (n.kind != Kind::Array && n.kind != Kind::Set && n.kind != Kind::Dict) ? 1 : 0;
    size_t capacity = 16;
    while (capacity < 2 * scalars)
        capacity *= 2;
    m_slots.assign(capacity, Slot());

    m_numberOf.assign(m_list.m_nodes.size(), kUnnumbered);
    m_order.reserve(m_list.m_nodes.size());
    std::vector<Index> stack { m_list.m_root };
    while (!stack.empty()) {
        const Index node = stack.back();
        stack.pop_back();
        if (m_numberOf[node] != kUnnumbered)
            continue;
        const auto& n = m_list.m_nodes[node];
        const bool container = n.kind == Kind::Array || n.kind == Kind::Set || n.kind == Kind::Dict;
        if (!container) {
            Index& first = uniqueSlot(node);
            if (first != PropertyList::kNoNode) {
                // Numbered when it took the slot.
                m_numberOf[node] = m_numberOf[first];
                continue;
            }
            first = node;
        }
        const quint32 number = quint32(m_order.size());
        m_numberOf[node] = number;
        m_order.push_back(node);
        if (container) {
            // Pushed in reverse so that a dictionary's keys come first, then its values.
            const Index* refs = m_list.m_refs.data() + n.u;
            const quint32 entries = n.kind == Kind::Dict ? n.count * 2 : n.count;
            for (quint32 i = entries; i > 0; --i)
                stack.push_back(refs[i - 1]);
        }
    }
}

// Room for the given number of bytes at the end of the output; the caller fills all of them.
char* PropertyListWriter::grow(qsizetype bytes)
{
    if (m_size + bytes > m_out.size())
        m_out.resize(std::max(m_out.size() * 2, m_size + bytes + 4096));
    char* at = m_out.data() + m_size;
    m_size += bytes;
    return at;
}

void PropertyListWriter::appendBE(quint64 value, int width)
{
    char* at = grow(width);
    for (int i = width - 1; i >= 0; --i)
        *at++ = char((value >> (8 * i)) & 0xff);
}

// Negative numbers go as 8-byte signed integers, others in the smallest unsigned width.
void PropertyListWriter::appendInt(qint64 value)
{
    const quint64 bits = quint64(value);
    const int width = value < 0 ? 8 : byteCount(bits);
    const uchar log2 = width == 1 ? 0 : width == 2 ? 1 : width == 4 ? 2 : 3;
    *grow(1) = char(0x10 | log2);
    appendBE(bits, width);
}

// From 2^63 on, a 16-byte integer whose high half is zero.
void PropertyListWriter::appendUnsignedInt(quint64 value)
{
    *grow(1) = char(0x14);
    appendBE(0, 8);
    appendBE(value, 8);
}

void PropertyListWriter::appendMarkerWithCount(uchar type, quint64 count)
{
    if (count < 15) {
        *grow(1) = char(type | uchar(count));
    } else {
        *grow(1) = char(type | 0x0f);
        appendInt(qint64(count));
    }
}

void PropertyListWriter::appendString(const QString& text)
{
    const char16_t* units = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype length = text.size();
    bool ascii = true;
    for (qsizetype i = 0; i < length && ascii; ++i)
        ascii = units[i] < 0x80;
    if (ascii) {
        appendMarkerWithCount(0x50, quint64(length));
        char* at = grow(length);
        for (qsizetype i = 0; i < length; ++i)
            at[i] = char(units[i]);
        return;
    }
    appendMarkerWithCount(0x60, quint64(length));
    char* at = grow(2 * length);
    for (qsizetype i = 0; i < length; ++i) {
        char16_t c = units[i];
        // Lone surrogates become U+FFFD so that every file we write is valid UTF-16.
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 < length && QChar::isLowSurrogate(units[i + 1])) {
                *at++ = char(c >> 8);
                *at++ = char(c & 0xff);
                c = units[++i];
            } else {
                c = 0xfffd;
            }
        } else if (QChar::isLowSurrogate(c)) {
            c = 0xfffd;
        }
        *at++ = char(c >> 8);
        *at++ = char(c & 0xff);
    }
}

// Mirrors writeObject and the append functions it calls.
qsizetype PropertyListWriter::sizeOf(Index node) const
{
    const auto& n = m_list.m_nodes[node];
    const auto withCount = [](quint64 count) -> qsizetype { return count < 15 ? 1 : 2 + byteCount(count); };
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
        return withCount(quint64(m_list.m_datas[n.u].size())) + m_list.m_datas[n.u].size();
    case Kind::String: {
        const QString& text = m_list.m_strings[n.u];
        const char16_t* units = reinterpret_cast<const char16_t*>(text.utf16());
        const bool ascii = std::all_of(units, units + text.size(), [](char16_t c) { return c < 0x80; });
        return withCount(quint64(text.size())) + (ascii ? 1 : 2) * text.size();
    }
    case Kind::Uid:
        return 1 + byteCount(n.u);
    case Kind::Array:
    case Kind::Set:
    case Kind::Dict:
        return withCount(n.count) + qsizetype(n.kind == Kind::Dict ? 2 * n.count : n.count) * m_refSize;
    }
    return 0;
}

void PropertyListWriter::writeObject(Index node)
{
    const auto& n = m_list.m_nodes[node];
    switch (n.kind) {
    case Kind::Null:
        *grow(1) = char(0x00);
        break;
    case Kind::Bool:
        *grow(1) = char(n.i ? 0x09 : 0x08);
        break;
    case Kind::Int:
        if (n.isUnsigned)
            appendUnsignedInt(n.u);
        else
            appendInt(n.i);
        break;
    case Kind::Real32: {
        const float f = float(n.d);
        quint32 bits;
        std::memcpy(&bits, &f, 4);
        *grow(1) = char(0x22);
        appendBE(bits, 4);
        break;
    }
    case Kind::Real64:
        *grow(1) = char(0x23);
        appendBE(n.u, 8);
        break;
    case Kind::Date:
        *grow(1) = char(0x33);
        appendBE(n.u, 8);
        break;
    case Kind::Data: {
        const QByteArray& bytes = m_list.m_datas[n.u];
        appendMarkerWithCount(0x40, quint64(bytes.size()));
        if (!bytes.isEmpty())
            std::memcpy(grow(bytes.size()), bytes.constData(), size_t(bytes.size()));
        break;
    }
    case Kind::String:
        appendString(m_list.m_strings[n.u]);
        break;
    case Kind::Uid: {
        const int width = byteCount(n.u);
        *grow(1) = char(0x80 | (width - 1));
        appendBE(n.u, width);
        break;
    }
    case Kind::Array:
    case Kind::Set:
    case Kind::Dict: {
        const uchar type = n.kind == Kind::Array ? 0xA0 : n.kind == Kind::Set ? 0xC0 : 0xD0;
        appendMarkerWithCount(type, n.count);
        const Index* refs = m_list.m_refs.data() + n.u;
        const quint32 entries = n.kind == Kind::Dict ? n.count * 2 : n.count;
        char* at = grow(qsizetype(entries) * m_refSize);
        if (m_refSize == 1) {
            for (quint32 i = 0; i < entries; ++i)
                at[i] = char(m_numberOf[refs[i]]);
        } else {
            for (quint32 i = 0; i < entries; ++i) {
                const quint64 number = m_numberOf[refs[i]];
                for (int b = m_refSize - 1; b >= 0; --b)
                    *at++ = char((number >> (8 * b)) & 0xff);
            }
        }
        break;
    }
    }
}

QByteArray PropertyListWriter::write()
{
    if (m_list.m_root == PropertyList::kNoNode)
        Exception::raise(kInvalidArchiveException, QStringLiteral("The property list has no root."));
    number();
    std::vector<Slot>().swap(m_slots);
    const quint64 count = m_order.size();
    m_refSize = byteCount(count);

    qsizetype objectBytes = 8;
    for (Index node : m_order)
        objectBytes += sizeOf(node);
    const quint64 tableOffset = quint64(objectBytes);
    const int offsetSize = byteCount(tableOffset);
    m_out.resize(objectBytes + qsizetype(count) * offsetSize + 32);
    std::memcpy(grow(8), "bplist00", 8);
    // The offset table is written behind the objects as they go.
    qsizetype offsetAt = objectBytes;
    for (Index node : m_order) {
        const quint64 offset = quint64(m_size);
        writeObject(node);
        for (int b = offsetSize - 1; b >= 0; --b)
            m_out.data()[offsetAt++] = char((offset >> (8 * b)) & 0xff);
    }
    if (quint64(m_size) != tableOffset)
        Exception::raise(kInvalidArchiveException, QStringLiteral("The property list was measured wrongly."));
    m_size = offsetAt;

    std::memset(grow(6), 0, 6);
    *grow(1) = char(offsetSize);
    *grow(1) = char(m_refSize);
    appendBE(count, 8);
    appendBE(0, 8); // the root is always object 0
    appendBE(tableOffset, 8);
    m_out.resize(m_size);
    return std::move(m_out);
}

QByteArray PropertyList::toBinary() const
{
    return PropertyListWriter(*this).write();
}

} // namespace zandrel
