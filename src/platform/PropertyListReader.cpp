#include "platform/Exception.h"
#include "platform/PropertyList.h"
#include "platform/PropertyListView.h"
#include "platform/ThreadWork.h"

#include <algorithm>
#include <atomic>
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

constexpr const char* kPastTable = "An object runs past the object table.";
constexpr const char* kUnknownMarker = "Unknown object marker.";

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
    // What an object takes: its bytes (marker and payload) and, for a container, where its
    // references start and how many.
    struct Layout {
        quint64 refsAt = 0;
        quint64 refs = 0;
        quint64 bytes = 0;
    };

    void readTrailer();
    bool checkTreeOnThreads(std::vector<bool>* reached);
    // Checks the object's bytes and measures it; returns why it is refused, or nullptr. Changes
    // nothing, so that threads may examine different objects at once. A caller that reads every
    // reference itself may leave checking that they lie in the table to itself.
    const char* examine(PropertyList::Index index, Layout& layout, bool checkRefs = true) const;
    // The same, raising for a refused object and counting what it takes.
    void checkObject(PropertyList::Index index, Layout& layout);
    const char* readCount(quint64& pos, uchar marker, quint64& count) const;
    bool fits(quint64 pos, quint64 length) const;
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
    if (std::memcmp(m_bytes, PropertyList::kBinaryMagic.data(), PropertyList::kBinaryMagic.size()) != 0)
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
    const auto offsetsInRange = [&](quint64 first, quint64 end) {
        for (quint64 i = first; i < end; ++i) {
            const quint64 offset = m_view.offsetOf(i);
            if (offset < quint64(kHeaderSize) || offset >= offsetTableOffset)
                return false;
        }
        return true;
    };
    bool inRange = true;
    const int parts = partsFor(numObjects, PropertyList::kNodesPerThread);
    if (parts == 1) {
        inRange = offsetsInRange(0, numObjects);
    } else {
        // Large tables are checked in parts on several threads.
        std::atomic<bool> outOfRange { false };
        runInParts(numObjects, parts, [&](int, quint64 first, quint64 end) {
            if (!offsetsInRange(first, end))
                outOfRange = true;
        });
        inRange = !outOfRange;
    }
    if (!inRange)
        fail("An object offset is out of range.");
}

// Every payload must end before the offset table.
bool PropertyListChecker::fits(quint64 pos, quint64 length) const
{
    const quint64 end = m_view.m_offsetTableOffset;
    return pos <= end && length <= end - pos;
}

// Payload bytes checked so far; in a well-formed file objects do not overlap, so more than the
// object table itself means offsets were aimed at the same bytes to multiply them.
void PropertyListChecker::spend(quint64 bytes)
{
    m_spent += bytes;
    if (m_spent > m_view.m_offsetTableOffset)
        fail("Objects overlap beyond the object table size.");
}

const char* PropertyListChecker::readCount(quint64& pos, uchar marker, quint64& count) const
{
    count = marker & 0x0f;
    if (count != 0x0f)
        return nullptr;
    if (!fits(pos, 1))
        return kPastTable;
    const uchar intMarker = m_bytes[pos];
    if ((intMarker & 0xf0) != 0x10 || (intMarker & 0x0f) > 3)
        return "A count is not a valid integer.";
    const int width = 1 << (intMarker & 0x0f);
    if (!fits(pos + 1, quint64(width)))
        return kPastTable;
    count = readBE(m_bytes + pos + 1, width);
    if (width == 8 && qint64(count) < 0)
        return "A count is negative.";
    pos += 1 + quint64(width);
    return nullptr;
}

[[gnu::always_inline]] inline const char* PropertyListChecker::examine(
    PropertyList::Index index, Layout& layout, bool checkRefs) const
{
    quint64 pos = m_view.offsetOf(index);
    const uchar marker = m_bytes[pos];
    ++pos;
    const uchar low = marker & 0x0f;
    layout = Layout {};
    // The payload that follows the marker (and the count), where it must fit.
    const auto payload = [&](quint64 bytes) -> const char* {
        if (!fits(pos, bytes))
            return kPastTable;
        layout.bytes = 1 + bytes;
        return nullptr;
    };

    switch (marker >> 4) {
    case 0x0:
        if (marker != 0x00 && marker != 0x08 && marker != 0x09)
            return kUnknownMarker;
        layout.bytes = 1;
        return nullptr;
    case 0x1: {
        if (low > 4)
            return "Integer wider than 16 bytes.";
        const int width = 1 << low;
        if (const char* error = payload(quint64(width)))
            return error;
        // 1, 2 and 4-byte integers are unsigned, 8 and 16-byte ones signed. Writers use 16 bytes
        // for unsigned values from 2^63 on; what lies beyond 64 bits is refused, not truncated.
        if (width == 16) {
            const quint64 high = readBE(m_bytes + pos, 8);
            const bool negative = qint64(readBE(m_bytes + pos + 8, 8)) < 0;
            if (high != 0 && !(high == ~quint64(0) && negative))
                return "An integer does not fit in 64 bits.";
        }
        return nullptr;
    }
    case 0x2:
        if (low != 2 && low != 3)
            return "Unsupported real width.";
        return payload(low == 2 ? 4 : 8);
    case 0x3:
        if (marker != 0x33)
            return kUnknownMarker;
        if (const char* error = payload(8))
            return error;
        return PropertyList::isDateInRange(m_view.read(index).d) ? nullptr : "A date is out of range.";
    case 0x4:
    case 0x5:
    case 0x6: {
        quint64 count = 0;
        if (const char* error = readCount(pos, marker, count))
            return error;
        quint64 bytes = count;
        if ((marker >> 4) == 0x6 && mulOverflows(count, 2, &bytes))
            return "String length overflows.";
        return payload(bytes);
    }
    case 0x8: {
        const int width = low + 1;
        if (width > 8)
            return "UID wider than 8 bytes.";
        if (const char* error = payload(quint64(width)))
            return error;
        return readBE(m_bytes + pos, width) > PropertyList::kMaxUid ? "UID out of range." : nullptr;
    }
    case 0xA:
    case 0xC:
    case 0xD: {
        quint64 count = 0;
        if (const char* error = readCount(pos, marker, count))
            return error;
        const quint64 perEntry = (marker >> 4) == 0xD ? 2 : 1;
        quint64 bytes = 0;
        if (count > 0x7fffffffu || mulOverflows(count, perEntry, &layout.refs)
            || mulOverflows(layout.refs, quint64(m_view.m_refSize), &bytes))
            return "Container size overflows.";
        if (const char* error = payload(bytes))
            return error;
        layout.refsAt = pos;
        const int width = m_view.m_refSize;
        for (quint64 i = 0; checkRefs && i < layout.refs; ++i) {
            if (readBE(m_bytes + pos + i * quint64(width), width) >= m_view.m_objectCount)
                return "An object reference is out of range.";
        }
        return nullptr;
    }
    default:
        return kUnknownMarker;
    }
}

void PropertyListChecker::checkObject(PropertyList::Index index, Layout& layout)
{
    if (const char* error = examine(index, layout))
        fail(error);
    spend(layout.bytes);
    m_view.m_totalEntries += layout.refs;
}

// A large list in the shape writers give it, each container referred to by one container only and
// numbered after it, is checked on several threads: every object is examined apart, and who refers
// to whom then tells what the top object reaches and how deep, without a walk. A list of any other
// shape, or with anything refused, is left to the walk, which decides as it always did and says why.
bool PropertyListChecker::checkTreeOnThreads(std::vector<bool>* reached)
{
    using Index = PropertyList::Index;
    using Kind = PropertyList::Kind;
    const quint64 count = m_view.m_objectCount;
    const Index root = m_view.m_root;
    if (count >= 0xffffffffu || !m_view.isContainer(root))
        return false;
    // For a container, the container referring to it plus one (0: none yet), and later its depth;
    // for a scalar, whether a container refers to it.
    std::vector<std::atomic<quint32>> link(count);
    std::vector<quint8> isContainer(count, 0);
    std::atomic<bool> refused { false };
    std::atomic<quint64> entries { 0 };
    std::atomic<quint64> bytes { 0 };
    const int width = m_view.m_refSize;
    runInParts(count, partsFor(count, PropertyList::kNodesPerThread), [&](int, quint64 first, quint64 end) {
        quint64 runEntries = 0;
        quint64 runBytes = 0;
        for (quint64 i = first; i < end; ++i) {
            Layout layout;
            if (refused.load(std::memory_order_relaxed) || examine(Index(i), layout, false)) {
                refused = true;
                return;
            }
            runBytes += layout.bytes;
            const Kind kind = m_view.kind(Index(i));
            if (!PropertyList::isContainerKind(kind))
                continue;
            isContainer[i] = 1;
            runEntries += layout.refs;
            const quint64 keys = kind == Kind::Dict ? layout.refs / 2 : 0;
            for (quint64 r = 0; r < layout.refs; ++r) {
                const quint64 child = readBE(m_bytes + layout.refsAt + r * quint64(width), width);
                if (child >= count) {
                    refused = true;
                    return;
                }
                const Kind childKind = m_view.kind(Index(child));
                if (r < keys && childKind != Kind::String) {
                    refused = true;
                    return;
                }
                if (!PropertyList::isContainerKind(childKind)) {
                    // Keys and shared values are referred to from everywhere: marked once only, so
                    // that the threads do not pass their cache line back and forth.
                    if (link[child].load(std::memory_order_relaxed) == 0)
                        link[child].store(1, std::memory_order_relaxed);
                    continue;
                }
                quint32 none = 0;
                if (child <= i || !link[child].compare_exchange_strong(none, quint32(i + 1))) {
                    refused = true;
                    return;
                }
            }
        }
        entries += runEntries;
        bytes += runBytes;
    });
    if (refused)
        return false;

    // Every container but the top one has its container, numbered before it: then all are reached,
    // and the depth of each is its container's plus one, known before it in the order of numbers.
    // Scalars no container refers to are not reached: what they take is not counted.
    const quint32 maxDepth = quint32(std::max(m_limits.maxDepth, 1));
    quint64 spent = bytes;
    for (quint64 i = 0; i < count; ++i) {
        const quint32 above = link[i].load(std::memory_order_relaxed);
        if (!isContainer[i]) {
            Layout layout;
            if (above == 0 && i != root && !examine(Index(i), layout))
                spent -= layout.bytes;
            continue;
        }
        if ((i == root) != (above == 0))
            return false;
        const quint32 depth = i == root ? 0 : link[above - 1].load(std::memory_order_relaxed) + 1;
        if (depth >= maxDepth)
            return false;
        link[i].store(depth, std::memory_order_relaxed);
    }
    if (spent > m_view.m_offsetTableOffset)
        return false;
    m_spent = spent;
    m_view.m_totalEntries = entries;
    if (reached) {
        reached->assign(count, false);
        for (quint64 i = 0; i < count; ++i)
            (*reached)[i] = isContainer[i] || i == root || link[i].load(std::memory_order_relaxed) != 0;
    }
    return true;
}

void PropertyListChecker::check(std::vector<bool>* reached)
{
    readTrailer();
    if (partsFor(m_view.m_objectCount, PropertyList::kNodesPerThread) > 1 && checkTreeOnThreads(reached))
        return;
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
        Layout layout;
        checkObject(index, layout);
        if (!PropertyList::isContainerKind(m_view.kind(index))) {
            state[index] = Done;
            return;
        }
        if (stack.size() >= size_t(std::max(m_limits.maxDepth, 1)))
            fail("The property list is nested too deeply.");
        state[index] = OnPath;
        stack.push_back({ index, layout.refsAt, layout.refs, 0 });
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
