#include "platform/Exception.h"
#include "platform/PropertyList.h"

#include <algorithm>
#include <cstring>

namespace zandrel {

namespace {

constexpr qint64 kHeaderSize = 8;
constexpr qint64 kTrailerSize = 32;

[[noreturn]] void fail(const char* reason)
{
    Exception::raise(kInvalidArchiveException, QString::fromLatin1(reason));
}

// Big-endian unsigned integer of 1 to 8 bytes.
quint64 readBE(const uchar* p, int width)
{
    quint64 value = 0;
    for (int i = 0; i < width; ++i)
        value = (value << 8) | p[i];
    return value;
}

bool mulOverflows(quint64 a, quint64 b, quint64* result)
{
    return __builtin_mul_overflow(a, b, result);
}

// Dates count seconds from 2001-01-01; the reference reader holds those from the year 1 to the
// year 9999 and refuses the rest, infinities and NaN included.
constexpr double kEarliestDate = -63113904000.0; // 0001-01-01 00:00:00
constexpr double kDateEnd = 252423993600.0; // 10000-01-01 00:00:00, not included

bool dateInRange(double seconds)
{
    return seconds >= kEarliestDate && seconds < kDateEnd;
}

} // namespace

// Parses the object table without recursion: a depth-first walk from the top object with an
// explicit stack, which also finds containers that contain themselves and measures nesting.
class PropertyListReader {
public:
    PropertyListReader(const QByteArray& data, const PropertyList::Limits& limits)
        : m_bytes(reinterpret_cast<const uchar*>(data.constData()))
        , m_size(quint64(data.size()))
        , m_limits(limits)
    {
    }

    PropertyList read();

private:
    void readTrailer();
    void parseObject(PropertyList::Index index);
    quint64 readCount(quint64& pos, uchar marker);
    // The offset of an object, read from the table (checked in readTrailer): a copy of the table
    // would cost eight bytes an object for the whole read.
    quint64 offsetOf(quint64 index) const
    {
        return readBE(m_bytes + m_offsetTableOffset + index * quint64(m_offsetIntSize), m_offsetIntSize);
    }
    // The container entries the objects declare, for reserving the reference table once; bounded by
    // what the object table could hold, and 0 where a count is malformed (parsing will fail there).
    quint64 declaredReferences() const;
    void need(quint64 pos, quint64 length) const;
    void spend(quint64 bytes);
    QString decodeUtf16(const uchar* p, quint64 units) const;

    const uchar* m_bytes;
    quint64 m_size;
    PropertyList::Limits m_limits;
    PropertyList m_list;

    int m_offsetIntSize = 0;
    int m_refSize = 0;
    quint64 m_numObjects = 0;
    quint64 m_topObject = 0;
    quint64 m_offsetTableOffset = 0;
    quint64 m_spent = 0;
};

void PropertyListReader::readTrailer()
{
    if (m_limits.maxBytes >= 0 && m_size > quint64(m_limits.maxBytes))
        fail("The property list is larger than allowed.");
    if (m_size < quint64(kHeaderSize + 1 + 1 + kTrailerSize))
        fail("The property list is too short.");
    if (std::memcmp(m_bytes, "bplist00", 8) != 0)
        fail("Not a binary property list.");

    const uchar* trailer = m_bytes + m_size - kTrailerSize;
    m_offsetIntSize = trailer[6];
    m_refSize = trailer[7];
    m_numObjects = readBE(trailer + 8, 8);
    m_topObject = readBE(trailer + 16, 8);
    m_offsetTableOffset = readBE(trailer + 24, 8);

    if (m_numObjects < 1)
        fail("The property list has no objects.");
    if (m_numObjects > m_limits.maxObjects)
        fail("The property list has more objects than allowed.");
    if (m_topObject >= m_numObjects)
        fail("The top object is out of range.");
    if (m_offsetTableOffset < quint64(kHeaderSize + 1))
        fail("The offset table overlaps the header.");
    if (m_offsetTableOffset >= m_size - kTrailerSize)
        fail("The offset table starts past the trailer.");
    if (m_offsetIntSize < 1 || m_offsetIntSize > 8 || m_refSize < 1 || m_refSize > 8)
        fail("Unsupported offset or reference size.");
    quint64 tableSize = 0;
    if (mulOverflows(m_numObjects, quint64(m_offsetIntSize), &tableSize))
        fail("The offset table size overflows.");
    // The object data, the offset table and the trailer must cover the file exactly.
    if (m_offsetTableOffset + tableSize + quint64(kTrailerSize) != m_size)
        fail("The offset table does not end at the trailer.");
    if (m_refSize < 8 && (quint64(1) << (8 * m_refSize)) <= m_numObjects)
        fail("Object references are too narrow for the object count.");
    if (m_offsetIntSize < 8 && (quint64(1) << (8 * m_offsetIntSize)) <= m_offsetTableOffset)
        fail("Offsets are too narrow for the offset table position.");

    for (quint64 i = 0; i < m_numObjects; ++i) {
        const quint64 offset = offsetOf(i);
        if (offset < quint64(kHeaderSize) || offset >= m_offsetTableOffset)
            fail("An object offset is out of range.");
    }
}

quint64 PropertyListReader::declaredReferences() const
{
    quint64 total = 0;
    for (quint64 i = 0; i < m_numObjects; ++i) {
        const quint64 pos = offsetOf(i);
        const uchar marker = m_bytes[pos];
        const uchar type = marker >> 4;
        if (type != 0xA && type != 0xC && type != 0xD)
            continue;
        quint64 count = marker & 0x0f;
        if (count == 0x0f) {
            if (pos + 1 >= m_offsetTableOffset)
                return 0;
            const uchar intMarker = m_bytes[pos + 1];
            const int width = 1 << (intMarker & 0x03);
            if ((intMarker & 0xf0) != 0x10 || (intMarker & 0x0f) > 3
                || pos + 2 + quint64(width) > m_offsetTableOffset)
                return 0;
            count = readBE(m_bytes + pos + 2, width);
        }
        total += type == 0xD ? 2 * count : count;
        // No file holds more references than its object table has room for.
        if (total > m_offsetTableOffset / quint64(m_refSize))
            return 0;
    }
    return total;
}

// Every payload must end before the offset table.
void PropertyListReader::need(quint64 pos, quint64 length) const
{
    if (pos > m_offsetTableOffset || length > m_offsetTableOffset - pos)
        fail("An object runs past the object table.");
}

// Payload bytes decoded so far; in a well-formed file objects do not overlap, so more than the
// object table itself means offsets were aimed at the same bytes to multiply them.
void PropertyListReader::spend(quint64 bytes)
{
    m_spent += bytes;
    if (m_spent > m_offsetTableOffset)
        fail("Objects overlap beyond the object table size.");
}

quint64 PropertyListReader::readCount(quint64& pos, uchar marker)
{
    const quint64 nibble = marker & 0x0f;
    if (nibble != 0x0f)
        return nibble;
    need(pos, 1);
    const uchar intMarker = m_bytes[pos];
    if ((intMarker & 0xf0) != 0x10 || (intMarker & 0x0f) > 3)
        fail("A count is not a valid integer.");
    const int width = 1 << (intMarker & 0x0f);
    need(pos + 1, quint64(width));
    const quint64 count = readBE(m_bytes + pos + 1, width);
    if (width == 8 && qint64(count) < 0)
        fail("A count is negative.");
    pos += 1 + quint64(width);
    return count;
}

QString PropertyListReader::decodeUtf16(const uchar* p, quint64 units) const
{
    QString text(qsizetype(units), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (quint64 i = 0; i < units; ++i)
        out[i] = char16_t((p[2 * i] << 8) | p[2 * i + 1]);
    // A lone surrogate cannot be carried to UTF-8 or back; it becomes U+FFFD, as our writer does.
    for (quint64 i = 0; i < units; ++i) {
        const char16_t c = out[i];
        if (QChar::isHighSurrogate(c)) {
            if (i + 1 < units && QChar::isLowSurrogate(out[i + 1]))
                ++i;
            else
                out[i] = 0xfffd;
        } else if (QChar::isLowSurrogate(c)) {
            out[i] = 0xfffd;
        }
    }
    return text;
}

void PropertyListReader::parseObject(PropertyList::Index index)
{
    using Kind = PropertyList::Kind;
    quint64 pos = offsetOf(index);
    const uchar marker = m_bytes[pos];
    ++pos;
    spend(1);
    PropertyList::Node node;
    const uchar low = marker & 0x0f;

    switch (marker >> 4) {
    case 0x0:
        if (marker == 0x00) {
            node.kind = Kind::Null;
        } else if (marker == 0x08 || marker == 0x09) {
            node.kind = Kind::Bool;
            node.i = marker == 0x09 ? 1 : 0;
        } else {
            fail("Unknown object marker.");
        }
        break;
    case 0x1: {
        if (low > 4)
            fail("Integer wider than 16 bytes.");
        const int width = 1 << low;
        need(pos, quint64(width));
        spend(quint64(width));
        node.kind = Kind::Int;
        // 1, 2 and 4-byte integers are unsigned, 8 and 16-byte ones signed. Writers use 16 bytes
        // for unsigned values from 2^63 on; what lies beyond 64 bits is refused, not truncated.
        if (width == 16) {
            const quint64 high = readBE(m_bytes + pos, 8);
            const quint64 low = readBE(m_bytes + pos + 8, 8);
            if (high == 0 && qint64(low) < 0) {
                node.isUnsigned = true;
                node.u = low;
            } else if ((high == 0 && qint64(low) >= 0) || (high == ~quint64(0) && qint64(low) < 0)) {
                node.i = qint64(low);
            } else {
                fail("An integer does not fit in 64 bits.");
            }
        } else {
            node.i = qint64(readBE(m_bytes + pos, width));
        }
        break;
    }
    case 0x2:
        if (low == 2) {
            need(pos, 4);
            spend(4);
            const quint32 bits = quint32(readBE(m_bytes + pos, 4));
            float f;
            std::memcpy(&f, &bits, 4);
            node.kind = Kind::Real32;
            node.d = double(f);
        } else if (low == 3) {
            need(pos, 8);
            spend(8);
            node.kind = Kind::Real64;
            node.u = readBE(m_bytes + pos, 8);
        } else {
            fail("Unsupported real width.");
        }
        break;
    case 0x3:
        if (marker != 0x33)
            fail("Unknown object marker.");
        need(pos, 8);
        spend(8);
        node.kind = Kind::Date;
        node.u = readBE(m_bytes + pos, 8);
        if (!dateInRange(node.d))
            fail("A date is out of range.");
        break;
    case 0x4:
    case 0x5:
    case 0x6: {
        const quint64 count = readCount(pos, marker);
        quint64 bytes = count;
        if ((marker >> 4) == 0x6 && mulOverflows(count, 2, &bytes))
            fail("String length overflows.");
        need(pos, bytes);
        spend(bytes);
        const char* payload = reinterpret_cast<const char*>(m_bytes + pos);
        if ((marker >> 4) == 0x4) {
            node.kind = Kind::Data;
            node.u = m_list.m_datas.size();
            m_list.m_datas.emplace_back(payload, qsizetype(bytes));
        } else {
            node.kind = Kind::String;
            node.u = m_list.m_strings.size();
            // ASCII strings from lenient writers may carry 8-bit bytes; read them as Latin-1.
            m_list.m_strings.push_back((marker >> 4) == 0x5 ? QString::fromLatin1(payload, qsizetype(bytes))
                                                            : decodeUtf16(m_bytes + pos, count));
        }
        break;
    }
    case 0x8: {
        const int width = low + 1;
        if (width > 8)
            fail("UID wider than 8 bytes.");
        need(pos, quint64(width));
        spend(quint64(width));
        node.kind = Kind::Uid;
        node.u = readBE(m_bytes + pos, width);
        if (node.u > 0xffffffffu)
            fail("UID out of range.");
        break;
    }
    case 0xA:
    case 0xC:
    case 0xD: {
        const quint64 count = readCount(pos, marker);
        const quint64 perEntry = (marker >> 4) == 0xD ? 2 : 1;
        quint64 refs = 0;
        quint64 bytes = 0;
        if (count > 0x7fffffffu || mulOverflows(count, perEntry, &refs)
            || mulOverflows(refs, quint64(m_refSize), &bytes))
            fail("Container size overflows.");
        need(pos, bytes);
        spend(bytes);
        node.kind = (marker >> 4) == 0xA ? Kind::Array : (marker >> 4) == 0xC ? Kind::Set : Kind::Dict;
        node.count = quint32(count);
        node.u = m_list.m_refs.size();
        for (quint64 i = 0; i < refs; ++i) {
            const quint64 ref = readBE(m_bytes + pos + i * quint64(m_refSize), m_refSize);
            if (ref >= m_numObjects)
                fail("An object reference is out of range.");
            m_list.m_refs.push_back(PropertyList::Index(ref));
        }
        break;
    }
    default:
        fail("Unknown object marker.");
    }
    m_list.m_nodes[index] = node;
}

PropertyList PropertyListReader::read()
{
    readTrailer();
    m_list.m_nodes.resize(m_numObjects);
    // Reserved once: a growing table would hold its old and new copies at once.
    m_list.m_refs.reserve(size_t(declaredReferences()));

    enum State : quint8 { Unvisited, OnPath, Done };
    std::vector<State> state(m_numObjects, Unvisited);
    struct Frame {
        PropertyList::Index node;
        quint32 next;
    };
    std::vector<Frame> stack;

    auto visit = [&](PropertyList::Index index) {
        parseObject(index);
        if (!m_list.isContainer(index)) {
            state[index] = Done;
            return;
        }
        if (stack.size() >= size_t(std::max(m_limits.maxDepth, 1)))
            fail("The property list is nested too deeply.");
        state[index] = OnPath;
        stack.push_back({ index, 0 });
    };

    visit(PropertyList::Index(m_topObject));
    while (!stack.empty()) {
        Frame& frame = stack.back();
        const PropertyList::Node& node = m_list.m_nodes[frame.node];
        const quint32 entries = node.kind == PropertyList::Kind::Dict ? node.count * 2 : node.count;
        if (frame.next < entries) {
            const PropertyList::Index child = m_list.m_refs[node.u + frame.next];
            ++frame.next;
            if (state[child] == OnPath)
                fail("A container contains itself.");
            if (state[child] == Unvisited)
                visit(child);
            continue;
        }
        if (node.kind == PropertyList::Kind::Dict) {
            for (PropertyList::Index key : m_list.keys(frame.node)) {
                if (m_list.kind(key) != PropertyList::Kind::String)
                    fail("A dictionary key is not a string.");
            }
        }
        state[frame.node] = Done;
        stack.pop_back();
    }
    m_list.m_root = PropertyList::Index(m_topObject);
    return std::move(m_list);
}

PropertyList PropertyList::fromBinary(const QByteArray& data, const Limits& limits)
{
    return PropertyListReader(data, limits).read();
}

} // namespace zandrel
