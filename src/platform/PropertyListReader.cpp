#include "platform/Exception.h"
#include "platform/PropertyList.h"
#include "platform/PropertyListView.h"

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

quint64 readBE(const uchar* p, int width)
{
    return PropertyListView::readBigEndian(p, width);
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

// Checks the object table without recursion: a depth-first walk from the top object with an
// explicit stack, which also finds containers that contain themselves and measures nesting. It
// keeps a state byte an object while it runs, nothing afterwards.
class PropertyListChecker {
public:
    PropertyListChecker(PropertyListView& view, const PropertyList::Limits& limits)
        : m_view(view)
        , m_bytes(view.m_bytes)
        , m_size(quint64(view.m_data.size()))
        , m_limits(limits)
    {
    }

    void check(std::vector<bool>* reached);

private:
    void readTrailer();
    // Checks the object's bytes; for a container, also where its references start and how many.
    void checkObject(PropertyList::Index index, quint64& refsAt, quint64& refs);
    quint64 readCount(quint64& pos, uchar marker);
    void need(quint64 pos, quint64 length) const;
    void spend(quint64 bytes);

    PropertyListView& m_view;
    const uchar* m_bytes;
    quint64 m_size;
    PropertyList::Limits m_limits;
    quint64 m_spent = 0;
};

void PropertyListChecker::readTrailer()
{
    if (m_limits.maxBytes >= 0 && m_size > quint64(m_limits.maxBytes))
        fail("The property list is larger than allowed.");
    if (m_size < quint64(kHeaderSize + 1 + 1 + kTrailerSize))
        fail("The property list is too short.");
    if (std::memcmp(m_bytes, "bplist00", 8) != 0)
        fail("Not a binary property list.");

    const uchar* trailer = m_bytes + m_size - kTrailerSize;
    const int offsetIntSize = trailer[6];
    const int refSize = trailer[7];
    const quint64 numObjects = readBE(trailer + 8, 8);
    const quint64 topObject = readBE(trailer + 16, 8);
    const quint64 offsetTableOffset = readBE(trailer + 24, 8);

    if (numObjects < 1)
        fail("The property list has no objects.");
    if (numObjects > m_limits.maxObjects)
        fail("The property list has more objects than allowed.");
    if (topObject >= numObjects)
        fail("The top object is out of range.");
    if (offsetTableOffset < quint64(kHeaderSize + 1))
        fail("The offset table overlaps the header.");
    if (offsetTableOffset >= m_size - kTrailerSize)
        fail("The offset table starts past the trailer.");
    if (offsetIntSize < 1 || offsetIntSize > 8 || refSize < 1 || refSize > 8)
        fail("Unsupported offset or reference size.");
    quint64 tableSize = 0;
    if (mulOverflows(numObjects, quint64(offsetIntSize), &tableSize))
        fail("The offset table size overflows.");
    // The object data, the offset table and the trailer must cover the file exactly.
    if (offsetTableOffset + tableSize + quint64(kTrailerSize) != m_size)
        fail("The offset table does not end at the trailer.");
    if (refSize < 8 && (quint64(1) << (8 * refSize)) <= numObjects)
        fail("Object references are too narrow for the object count.");
    if (offsetIntSize < 8 && (quint64(1) << (8 * offsetIntSize)) <= offsetTableOffset)
        fail("Offsets are too narrow for the offset table position.");

    m_view.m_offsetIntSize = offsetIntSize;
    m_view.m_refSize = refSize;
    m_view.m_objectCount = numObjects;
    m_view.m_offsetTableOffset = offsetTableOffset;
    m_view.m_root = PropertyList::Index(topObject);
    for (quint64 i = 0; i < numObjects; ++i) {
        const quint64 offset = m_view.offsetOf(i);
        if (offset < quint64(kHeaderSize) || offset >= offsetTableOffset)
            fail("An object offset is out of range.");
    }
}

// Every payload must end before the offset table.
void PropertyListChecker::need(quint64 pos, quint64 length) const
{
    const quint64 end = m_view.m_offsetTableOffset;
    if (pos > end || length > end - pos)
        fail("An object runs past the object table.");
}

// Payload bytes checked so far; in a well-formed file objects do not overlap, so more than the
// object table itself means offsets were aimed at the same bytes to multiply them.
void PropertyListChecker::spend(quint64 bytes)
{
    m_spent += bytes;
    if (m_spent > m_view.m_offsetTableOffset)
        fail("Objects overlap beyond the object table size.");
}

quint64 PropertyListChecker::readCount(quint64& pos, uchar marker)
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

void PropertyListChecker::checkObject(PropertyList::Index index, quint64& refsAt, quint64& refs)
{
    quint64 pos = m_view.offsetOf(index);
    const uchar marker = m_bytes[pos];
    ++pos;
    spend(1);
    const uchar low = marker & 0x0f;
    refs = 0;

    switch (marker >> 4) {
    case 0x0:
        if (marker != 0x00 && marker != 0x08 && marker != 0x09)
            fail("Unknown object marker.");
        break;
    case 0x1: {
        if (low > 4)
            fail("Integer wider than 16 bytes.");
        const int width = 1 << low;
        need(pos, quint64(width));
        spend(quint64(width));
        // 1, 2 and 4-byte integers are unsigned, 8 and 16-byte ones signed. Writers use 16 bytes
        // for unsigned values from 2^63 on; what lies beyond 64 bits is refused, not truncated.
        if (width == 16) {
            const quint64 high = readBE(m_bytes + pos, 8);
            const bool negative = qint64(readBE(m_bytes + pos + 8, 8)) < 0;
            if (high != 0 && !(high == ~quint64(0) && negative))
                fail("An integer does not fit in 64 bits.");
        }
        break;
    }
    case 0x2:
        if (low != 2 && low != 3)
            fail("Unsupported real width.");
        need(pos, low == 2 ? 4 : 8);
        spend(low == 2 ? 4 : 8);
        break;
    case 0x3:
        if (marker != 0x33)
            fail("Unknown object marker.");
        need(pos, 8);
        spend(8);
        if (!dateInRange(m_view.read(index).d))
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
        break;
    }
    case 0x8: {
        const int width = low + 1;
        if (width > 8)
            fail("UID wider than 8 bytes.");
        need(pos, quint64(width));
        spend(quint64(width));
        if (readBE(m_bytes + pos, width) > 0xffffffffu)
            fail("UID out of range.");
        break;
    }
    case 0xA:
    case 0xC:
    case 0xD: {
        const quint64 count = readCount(pos, marker);
        const quint64 perEntry = (marker >> 4) == 0xD ? 2 : 1;
        quint64 bytes = 0;
        if (count > 0x7fffffffu || mulOverflows(count, perEntry, &refs)
            || mulOverflows(refs, quint64(m_view.m_refSize), &bytes))
            fail("Container size overflows.");
        need(pos, bytes);
        spend(bytes);
        refsAt = pos;
        const int width = m_view.m_refSize;
        for (quint64 i = 0; i < refs; ++i) {
            if (readBE(m_bytes + pos + i * quint64(width), width) >= m_view.m_objectCount)
                fail("An object reference is out of range.");
        }
        m_view.m_totalEntries += refs;
        break;
    }
    default:
        fail("Unknown object marker.");
    }
}

void PropertyListChecker::check(std::vector<bool>* reached)
{
    readTrailer();
    enum State : quint8 { Unvisited, OnPath, Done };
    std::vector<State> state(m_view.m_objectCount, Unvisited);
    struct Frame {
        PropertyList::Index node;
        quint64 refsAt;
        quint64 refs;
        quint64 next;
    };
    std::vector<Frame> stack;
    const int width = m_view.m_refSize;

    auto visit = [&](PropertyList::Index index) {
        quint64 refsAt = 0;
        quint64 refs = 0;
        checkObject(index, refsAt, refs);
        if (!PropertyList::isContainerKind(m_view.kind(index))) {
            state[index] = Done;
            return;
        }
        if (stack.size() >= size_t(std::max(m_limits.maxDepth, 1)))
            fail("The property list is nested too deeply.");
        state[index] = OnPath;
        stack.push_back({ index, refsAt, refs, 0 });
    };

    visit(m_view.m_root);
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next < frame.refs) {
            const auto child
                = PropertyList::Index(readBE(m_bytes + frame.refsAt + frame.next * quint64(width), width));
            ++frame.next;
            if (state[child] == OnPath)
                fail("A container contains itself.");
            if (state[child] == Unvisited)
                visit(child);
            continue;
        }
        if (m_view.kind(frame.node) == PropertyList::Kind::Dict) {
            for (PropertyList::Index key : m_view.keys(frame.node)) {
                if (m_view.kind(key) != PropertyList::Kind::String)
                    fail("A dictionary key is not a string.");
            }
        }
        state[frame.node] = Done;
        stack.pop_back();
    }
    if (reached) {
        reached->assign(state.size(), false);
        for (size_t i = 0; i < state.size(); ++i)
            (*reached)[i] = state[i] == Done;
    }
}

PropertyListView PropertyListView::fromBinary(
    const QByteArray& data, const PropertyList::Limits& limits, std::vector<bool>* reached)
{
    PropertyListView view;
    view.m_data = data;
    view.m_bytes = reinterpret_cast<const uchar*>(view.m_data.constData());
    PropertyListChecker(view, limits).check(reached);
    return view;
}

PropertyList PropertyList::fromBinary(const QByteArray& data, const Limits& limits)
{
    std::vector<bool> reached;
    const PropertyListView view = PropertyListView::fromBinary(data, limits, &reached);
    PropertyList list;
    list.m_nodes.resize(size_t(view.objectCount()));
    list.m_refs.reserve(size_t(view.totalEntries()));
    for (Index index = 0; index < list.m_nodes.size(); ++index) {
        if (!reached[index])
            continue;
        Node node = view.read(index);
        switch (node.kind) {
        case Kind::String:
            node.u = list.m_strings.size();
            list.m_strings.push_back(view.decodeString(index));
            break;
        case Kind::Data:
            node.u = list.m_datas.size();
            list.m_datas.push_back(view.decodeData(index));
            break;
        case Kind::Array:
        case Kind::Set:
        case Kind::Dict: {
            const auto first = node.kind == Kind::Dict ? view.keys(index) : view.items(index);
            node.u = list.m_refs.size();
            list.m_refs.insert(list.m_refs.end(), first.begin(), first.end());
            if (node.kind == Kind::Dict) {
                const auto second = view.values(index);
                list.m_refs.insert(list.m_refs.end(), second.begin(), second.end());
            } else {
                list.m_collectionEntries += first.size();
            }
            break;
        }
        default:
            break;
        }
        list.m_nodes[index] = node;
    }
    list.m_root = view.root();
    return list;
}

} // namespace zandrel
