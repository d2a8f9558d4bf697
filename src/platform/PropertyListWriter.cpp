#include "platform/Exception.h"
#include "platform/PropertyList.h"

#include <QHash>
#include <cstring>
#include <string>
#include <unordered_map>

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

template <class Key> quint32& findOrInsert(QHash<Key, quint32>& hash, const Key& key)
{
    auto it = hash.find(key);
    if (it == hash.end())
        it = hash.insert(key, kUnnumbered);
    return it.value();
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

    void number();
    quint32* uniqueSlot(Index node);
    void writeObject(Index node);
    void appendBE(quint64 value, int width);
    void appendMarkerWithCount(uchar type, quint64 count);
    void appendInt(qint64 value);
    void appendString(const QString& text);

    const PropertyList& m_list;
    std::vector<quint32> m_numberOf;
    std::vector<Index> m_order;
    std::string m_out;
    int m_refSize = 1;

    std::unordered_map<quint64, quint32> m_ints;
    std::unordered_map<quint64, quint32> m_reals32;
    std::unordered_map<quint64, quint32> m_reals64;
    std::unordered_map<quint64, quint32> m_dates;
    std::unordered_map<quint64, quint32> m_uids;
    QHash<QString, quint32> m_strings;
    QHash<QByteArray, quint32> m_datas;
    quint32 m_bools[2] = { kUnnumbered, kUnnumbered };
    quint32 m_null = kUnnumbered;
};

// The slot that records the object number of a scalar equal to the node's.
quint32* PropertyListWriter::uniqueSlot(Index node)
{
    const auto& n = m_list.m_nodes[node];
    auto slot = [](std::unordered_map<quint64, quint32>& map, quint64 key) {
        return &map.try_emplace(key, kUnnumbered).first->second;
    };
    switch (n.kind) {
    case Kind::Null:
        return &m_null;
    case Kind::Bool:
        return &m_bools[n.i ? 1 : 0];
    case Kind::Int:
        return slot(m_ints, n.u);
    case Kind::Real32:
        return slot(m_reals32, n.u);
    case Kind::Real64:
        return slot(m_reals64, n.u);
    case Kind::Date:
        return slot(m_dates, n.u);
    case Kind::Uid:
        return slot(m_uids, n.u);
    default:
        return nullptr;
    }
}

void PropertyListWriter::number()
{
    m_numberOf.assign(m_list.m_nodes.size(), kUnnumbered);
    m_order.reserve(m_list.m_nodes.size());
    std::vector<Index> stack { m_list.m_root };
    while (!stack.empty()) {
        const Index node = stack.back();
        stack.pop_back();
        if (m_numberOf[node] != kUnnumbered)
            continue;
        const auto& n = m_list.m_nodes[node];
        quint32* shared = nullptr;
        if (n.kind == Kind::String) {
            shared = &findOrInsert(m_strings, m_list.m_strings[n.u]);
        } else if (n.kind == Kind::Data) {
            shared = &findOrInsert(m_datas, m_list.m_datas[n.u]);
        } else if (!m_list.isContainer(node)) {
            shared = uniqueSlot(node);
        }
        if (shared && *shared != kUnnumbered) {
            m_numberOf[node] = *shared;
            continue;
        }
        const quint32 number = quint32(m_order.size());
        m_numberOf[node] = number;
        m_order.push_back(node);
        if (shared)
            *shared = number;
        if (m_list.isContainer(node)) {
            // Pushed in reverse so that a dictionary's keys come first, then its values.
            const Index* refs = m_list.m_refs.data() + n.u;
            const quint32 entries = n.kind == Kind::Dict ? n.count * 2 : n.count;
            for (quint32 i = entries; i > 0; --i)
                stack.push_back(refs[i - 1]);
        }
    }
}

void PropertyListWriter::appendBE(quint64 value, int width)
{
    for (int i = width - 1; i >= 0; --i)
        m_out.push_back(char((value >> (8 * i)) & 0xff));
}

// Negative numbers go as 8-byte signed integers, others in the smallest unsigned width.
void PropertyListWriter::appendInt(qint64 value)
{
    const quint64 bits = quint64(value);
    const int width = value < 0 ? 8 : byteCount(bits);
    const uchar log2 = width == 1 ? 0 : width == 2 ? 1 : width == 4 ? 2 : 3;
    m_out.push_back(char(0x10 | log2));
    appendBE(bits, width);
}

void PropertyListWriter::appendMarkerWithCount(uchar type, quint64 count)
{
    if (count < 15) {
        m_out.push_back(char(type | uchar(count)));
    } else {
        m_out.push_back(char(type | 0x0f));
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
        for (qsizetype i = 0; i < length; ++i)
            m_out.push_back(char(units[i]));
        return;
    }
    appendMarkerWithCount(0x60, quint64(length));
    for (qsizetype i = 0; i < length; ++i) {
        char16_t c = units[i];
        // Lone surrogates become U+FFFD so that every file we write is valid UTF-16.
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 < length && QChar::isLowSurrogate(units[i + 1])) {
                appendBE(c, 2);
                c = units[++i];
            } else {
                c = 0xfffd;
            }
        } else if (QChar::isLowSurrogate(c)) {
            c = 0xfffd;
        }
        appendBE(c, 2);
    }
}

void PropertyListWriter::writeObject(Index node)
{
    const auto& n = m_list.m_nodes[node];
    switch (n.kind) {
    case Kind::Null:
        m_out.push_back(char(0x00));
        break;
    case Kind::Bool:
        m_out.push_back(char(n.i ? 0x09 : 0x08));
        break;
    case Kind::Int:
        appendInt(n.i);
        break;
    case Kind::Real32: {
        const float f = float(n.d);
        quint32 bits;
        std::memcpy(&bits, &f, 4);
        m_out.push_back(char(0x22));
        appendBE(bits, 4);
        break;
    }
    case Kind::Real64:
        m_out.push_back(char(0x23));
        appendBE(n.u, 8);
        break;
    case Kind::Date:
        m_out.push_back(char(0x33));
        appendBE(n.u, 8);
        break;
    case Kind::Data: {
        const QByteArray& bytes = m_list.m_datas[n.u];
        appendMarkerWithCount(0x40, quint64(bytes.size()));
        m_out.append(bytes.constData(), size_t(bytes.size()));
        break;
    }
    case Kind::String:
        appendString(m_list.m_strings[n.u]);
        break;
    case Kind::Uid: {
        const int width = byteCount(n.u);
        m_out.push_back(char(0x80 | (width - 1)));
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
        for (quint32 i = 0; i < entries; ++i)
            appendBE(m_numberOf[refs[i]], m_refSize);
        break;
    }
    }
}

QByteArray PropertyListWriter::write()
{
    if (m_list.m_root == PropertyList::kNoNode)
        Exception::raise(kInvalidArchiveException, QStringLiteral("The property list has no root."));
    number();
    const quint64 count = m_order.size();
    m_refSize = byteCount(count);

    std::vector<quint64> offsets;
    offsets.reserve(count);
    m_out.reserve(size_t(count) * 8 + m_list.m_refs.size() * size_t(m_refSize) + 64);
    m_out.append("bplist00", 8);
    for (Index node : m_order) {
        offsets.push_back(m_out.size());
        writeObject(node);
    }
    const quint64 tableOffset = m_out.size();
    const int offsetSize = byteCount(tableOffset);
    for (quint64 offset : offsets)
        appendBE(offset, offsetSize);

    m_out.append(6, '\0');
    m_out.push_back(char(offsetSize));
    m_out.push_back(char(m_refSize));
    appendBE(count, 8);
    appendBE(0, 8); // the root is always object 0
    appendBE(tableOffset, 8);
    return QByteArray(m_out.data(), qsizetype(m_out.size()));
}

QByteArray PropertyList::toBinary() const
{
    return PropertyListWriter(*this).write();
}

} // namespace zandrel
