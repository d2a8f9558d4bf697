#include "platform/Exception.h"
#include "platform/PropertyList.h"
#include "platform/PropertyListNumbering.h"
#include "platform/ThreadWork.h"

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

// Where objects are written: a part of the output between two offsets the measuring gave it.
// Writing past its end, which only a fault of the measuring would do, raises rather than overwrite
// the next part.
class Cursor {
public:
    Cursor(char* at, char* end)
        : m_at(at)
        , m_end(end)
    {
    }

    char* at() const { return m_at; }
    // Room for the given number of bytes; the caller fills all of them.
    char* take(qsizetype bytes)
    {
        if (bytes > m_end - m_at)
            measuredWrongly();
        char* taken = m_at;
        m_at += bytes;
        return taken;
    }
    void put(char byte) { *take(1) = byte; }
    void putBE(quint64 value, int width)
    {
        char* at = take(width);
        for (int i = width - 1; i >= 0; --i)
            *at++ = char((value >> (8 * i)) & 0xff);
    }
    [[noreturn]] static void measuredWrongly()
    {
        Exception::raise(kInvalidArchiveException, QStringLiteral("The property list was measured wrongly."));
    }

private:
    char* m_at;
    char* m_end;
};

// A value the reader would refuse: the whole list is, rather than a file that cannot be opened.
[[noreturn]] void refuse(const char* reason)
{
    Exception::raise(kInvalidArchiveException, QString::fromLatin1(reason));
}

// Negative numbers go as 8-byte signed integers, others in the smallest unsigned width.
void putInt(Cursor& out, qint64 value)
{
    const quint64 bits = quint64(value);
    const int width = value < 0 ? 8 : byteCount(bits);
    const uchar log2 = width == 1 ? 0 : width == 2 ? 1 : width == 4 ? 2 : 3;
    out.put(char(0x10 | log2));
    out.putBE(bits, width);
}

// From 2^63 on, a 16-byte integer whose high half is zero.
void putUnsignedInt(Cursor& out, quint64 value)
{
    out.put(char(0x14));
    out.putBE(0, 8);
    out.putBE(value, 8);
}

void putMarkerWithCount(Cursor& out, uchar type, quint64 count)
{
    if (count < 15) {
        out.put(char(type | uchar(count)));
    } else {
        out.put(char(type | 0x0f));
        putInt(out, qint64(count));
    }
}

void putString(Cursor& out, const QString& text)
{
    const char16_t* units = QStringView(text).utf16();
    const qsizetype length = text.size();
    bool ascii = true;
    for (qsizetype i = 0; i < length && ascii; ++i)
        ascii = units[i] < 0x80;
    if (ascii) {
        putMarkerWithCount(out, 0x50, quint64(length));
        char* at = out.take(length);
        for (qsizetype i = 0; i < length; ++i)
            at[i] = char(units[i]);
        return;
    }
    putMarkerWithCount(out, 0x60, quint64(length));
    char* at = out.take(2 * length);
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

} // namespace

// Lays the objects out in the order of their numbers, with their offset table. A large list is
// written by several threads, each its own run of objects at the offsets the measuring gives it.
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

    void writeObject(Cursor& out, Index node) const;
    // Writes the objects numbered first to end - 1 from the offset first, with their entries of the
    // offset table.
    void writeRun(size_t first, size_t end, qsizetype offset, qsizetype runBytes) const;

    const PropertyList& m_list;
    const PropertyListNumbering m_numbering;
    QByteArray m_out;
    qsizetype m_tableOffset = 0;
    int m_offsetSize = 1;
    int m_refSize = 1;
};

void PropertyListWriter::writeObject(Cursor& out, Index node) const
{
    const auto& n = m_list.m_nodes[node];
    switch (n.kind) {
    case Kind::Null:
        out.put(char(0x00));
        break;
    case Kind::Bool:
        out.put(char(n.i ? 0x09 : 0x08));
        break;
    case Kind::Int:
        if (n.isUnsigned)
            putUnsignedInt(out, n.u);
        else
            putInt(out, n.i);
        break;
    case Kind::Real32: {
        const float f = float(n.d);
        quint32 bits;
        std::memcpy(&bits, &f, 4);
        out.put(char(0x22));
        out.putBE(bits, 4);
        break;
    }
    case Kind::Real64:
        out.put(char(0x23));
        out.putBE(n.u, 8);
        break;
    case Kind::Date:
        if (!PropertyList::isDateInRange(n.d))
            refuse("A date is out of range.");
        out.put(char(0x33));
        out.putBE(n.u, 8);
        break;
    case Kind::Data: {
        const QByteArray& bytes = m_list.m_datas[n.u];
        putMarkerWithCount(out, 0x40, quint64(bytes.size()));
        if (!bytes.isEmpty())
            std::memcpy(out.take(bytes.size()), bytes.constData(), size_t(bytes.size()));
        break;
    }
    case Kind::String:
        putString(out, m_list.m_strings[n.u]);
        break;
    case Kind::Uid: {
        if (n.u > PropertyList::kMaxUid)
            refuse("UID out of range.");
        const int width = byteCount(n.u);
        out.put(char(0x80 | (width - 1)));
        out.putBE(n.u, width);
        break;
    }
    case Kind::Array:
    case Kind::Set:
    case Kind::Dict: {
        const uchar type = n.kind == Kind::Array ? 0xA0 : n.kind == Kind::Set ? 0xC0 : 0xD0;
        putMarkerWithCount(out, type, n.count);
        const Index* refs = m_list.m_refs.data() + n.u;
        const quint32 entries = n.kind == Kind::Dict ? n.count * 2 : n.count;
        char* at = out.take(qsizetype(entries) * m_refSize);
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

void PropertyListWriter::writeRun(size_t first, size_t end, qsizetype offset, qsizetype runBytes) const
{
    // The output is not detached or resized while the threads write it.
    char* const base = const_cast<char*>(m_out.constData());
    Cursor out(base + offset, base + offset + runBytes);
    char* entry = base + m_tableOffset + qsizetype(first) * m_offsetSize;
    const LargeVector<Index>& order = m_numbering.order();
    for (size_t i = first; i < end; ++i) {
        const quint64 at = quint64(out.at() - base);
        writeObject(out, order[i]);
        for (int b = m_offsetSize - 1; b >= 0; --b)
            *entry++ = char((at >> (8 * b)) & 0xff);
    }
    if (out.at() != base + offset + runBytes)
        Cursor::measuredWrongly();
}

QByteArray PropertyListWriter::write()
{
    const LargeVector<Index>& order = m_numbering.order();
    const size_t count = order.size();
    m_refSize = byteCount(count);

    // Measured by the numbering, as writeObject and the functions it calls write them.
    const qsizetype objectBytes = 8 + m_numbering.objectBytes(m_refSize);
    m_tableOffset = objectBytes;
    m_offsetSize = byteCount(quint64(m_tableOffset));
    const qsizetype tableBytes = qsizetype(count) * m_offsetSize;
    m_out = outputBuffer(objectBytes + tableBytes + 32);
    char* const base = m_out.data();
    std::memcpy(base, PropertyList::kBinaryMagic.data(), PropertyList::kBinaryMagic.size());

    const int runs = partsFor(count, PropertyList::kNodesPerThread);
    if (runs == 1) {
        writeRun(0, count, 8, objectBytes - 8);
    } else {
        // Each run is measured first, so that each knows where it starts.
        std::vector<qsizetype> offsets(size_t(runs) + 1, 0);
        runInParts(count, runs, [&](int run, quint64 first, quint64 end) {
            qsizetype bytes = 0;
            for (quint64 i = first; i < end; ++i)
                bytes += m_numbering.bytesOf(order[i], m_refSize);
            offsets[size_t(run) + 1] = bytes;
        });
        offsets[0] = 8;
        for (size_t run = 0; run < size_t(runs); ++run)
            offsets[run + 1] += offsets[run];
        if (offsets[size_t(runs)] != objectBytes)
            Cursor::measuredWrongly();
        runInParts(count, runs, [&](int run, quint64 first, quint64 end) {
            writeRun(first, end, offsets[size_t(run)], offsets[size_t(run) + 1] - offsets[size_t(run)]);
        });
    }

    Cursor trailer(base + objectBytes + tableBytes, base + m_out.size());
    std::memset(trailer.take(6), 0, 6);
    trailer.put(char(m_offsetSize));
    trailer.put(char(m_refSize));
    trailer.putBE(count, 8);
    trailer.putBE(0, 8); // the root is always object 0
    trailer.putBE(quint64(m_tableOffset), 8);
    keepOutput(m_out);
    return std::move(m_out);
}

QByteArray PropertyList::toBinary() const
{
    return PropertyListWriter(*this).write();
}

} // namespace zandrel
