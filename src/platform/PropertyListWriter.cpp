#include "platform/Exception.h"
#include "platform/PropertyList.h"
#include "platform/PropertyListNumbering.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace zandrel {

namespace {

int byteCount(quint64 value)
{
    return PropertyListNumbering::byteCount(value);
}

// The bytes of the last large property list written, kept so that the next one of about its size
// is written in the same memory once its reader has let go of them: fresh memory the size of a
// large document's file is faulted in and zeroed by the kernel first, about a tenth of the time
// of the save. The bytes are shared with whoever holds them, never written while they are.
struct LastOutput {
    std::mutex mutex;
    QByteArray bytes;
};

LastOutput& lastOutput()
{
    static LastOutput* instance = new LastOutput; // never destroyed: saves may run during exit
    return *instance;
}

QByteArray outputBuffer(qsizetype size)
{
    if (size >= qsizetype(largeblocks::kMinBytes)) {
        QByteArray last;
        {
            LastOutput& kept = lastOutput();
            const std::lock_guard lock(kept.mutex);
            last.swap(kept.bytes);
        }
        if (last.isDetached() && last.capacity() >= size && last.capacity() / 2 <= size) {
            last.resize(size);
            return last;
        }
    }
    QByteArray fresh(size, Qt::Uninitialized);
    largeblocks::adviseHugePages(fresh.data(), size_t(fresh.size()));
    return fresh;
}

void keepOutput(const QByteArray& bytes)
{
    if (bytes.size() < qsizetype(largeblocks::kMinBytes))
        return;
    LastOutput& kept = lastOutput();
    const std::lock_guard lock(kept.mutex);
    kept.bytes = bytes;
}

} // namespace

// Lays the objects out in the order of their numbers, with their offset table.
class PropertyListWriter {
public:
    explicit PropertyListWriter(const PropertyList& list)
        : m_list(list)
        , m_numbering(list)
    {
    }

    QByteArray write();

private:
    using Index = PropertyList::Index;
    using Kind = PropertyList::Kind;

    void writeObject(Index node);
    char* grow(qsizetype bytes);
    void appendBE(quint64 value, int width);
    void appendMarkerWithCount(uchar type, quint64 count);
    void appendInt(qint64 value);
    void appendUnsignedInt(quint64 value);
    void appendString(const QString& text);

    const PropertyList& m_list;
    const PropertyListNumbering m_numbering;
    QByteArray m_out;
    qsizetype m_size = 0;
    int m_refSize = 1;
};

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
                at[i] = char(m_numbering.numberOf(refs[i]));
        } else {
            for (quint32 i = 0; i < entries; ++i) {
                const quint64 number = m_numbering.numberOf(refs[i]);
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
    const LargeVector<Index>& order = m_numbering.order();
    const quint64 count = order.size();
    m_refSize = byteCount(count);

    // Measured by the numbering, as writeObject and the append functions it calls write them.
    const qsizetype objectBytes = 8 + m_numbering.objectBytes(m_refSize);
    const quint64 tableOffset = quint64(objectBytes);
    const int offsetSize = byteCount(tableOffset);
    m_out = outputBuffer(objectBytes + qsizetype(count) * offsetSize + 32);
    std::memcpy(grow(8), "bplist00", 8);
    // The offset table is written behind the objects as they go.
    qsizetype offsetAt = objectBytes;
    for (Index node : order) {
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
    keepOutput(m_out);
    return std::move(m_out);
}

QByteArray PropertyList::toBinary() const
{
    return PropertyListWriter(*this).write();
}

} // namespace zandrel
