#pragma once

#include "platform/PointerTable.h"
#include "platform/PropertyList.h"
#include "platform/Value.h"

#include <QHash>
#include <QString>
#include <array>
#include <deque>
#include <map>
#include <memory>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace zandrel {

class ArchiveRecorder;
class ArchiveTape;
struct ArchiveSnapshot;
class AttributedText;
class KeyedArchive;
struct TextAttributes;
struct TextFont;
struct TextParagraphStyle;

// Writes an object graph as a standard keyed archive inside a binary property list, so that our
// documents and pasteboard data are readable by any standard keyed-archive reader.
//
// Layout: a top dictionary {"$version": 100000, "$objects": [...], "$archiver": "NSKeyedArchiver",
// "$top": {"root": UID 1}}. "$objects"[0] is "$null" (UID 0 means nil); objects are numbered in
// pre-order; each archived object is a dictionary of its keys plus "$class", a UID of a class
// record {"$classname", "$classes"} written once per class after the first object's fields.
// Typed scalars go inline; objects, strings and data go in "$objects" once and are referred to by
// UID. Value types use the platform encodings:
//   list      NSMutableArray {"NS.objects": [UID...]}
//   map       NSMutableDictionary {"NS.keys": [UID...], "NS.objects": [UID...]}
//   point...  NSValue {"NS.special": 1/2/3, "NS.pointval"/"NS.sizeval"/"NS.rectval": UID of text}
//   colour    NSColor {"NSRGB": data "r g b[ a]\0", "NSColorSpace": 1}
//   transform NSAffineTransform {"m11", "m12", "m21", "m22", "tX", "tY": doubles} (our own keys:
//             the affine part of the QTransform, x' = m11 x + m21 y + tX)
//   attributed text  NSMutableAttributedString (AttributedTextCoding.cpp)
// Keys that begin with "$" are written with the "$" doubled. A list, map, transform or attributed
// text that several values share (Value::sharedPayload) is written once, as readers share what a
// file names twice, so that writing back what was read never grows.
//
// Every archive written must read back: the archiver refuses, with Exception(kInvalidArchiveException),
// a graph nested deeper, holding more objects or writing more bytes than KeyedUnarchiver accepts,
// or one whose reading would expand beyond the DecodingBudget of the bytes written (the classes
// tell what reading them expands, noteExpansion). It stops as soon as a limit is passed, so that a
// graph too large to write never takes the memory of writing it whole; encodedData then raises.
class KeyedArchiver {
public:
    // What the reader accepts with its default limits.
    struct Limits {
        qint64 maxBytes = PropertyList::Limits().maxBytes;
        quint64 maxObjects = PropertyList::Limits().maxObjects;
        int maxDepth = 3000;
    };

    KeyedArchiver();
    explicit KeyedArchiver(const Limits& limits);
    ~KeyedArchiver();
    KeyedArchiver(const KeyedArchiver&) = delete;
    KeyedArchiver& operator=(const KeyedArchiver&) = delete;

    static QByteArray archivedData(const Value& root);
    static QByteArray archivedDataWithRootObject(const ObjectPtr& root);
    // The archive of the object, finished but not yet encoded into bytes.
    static KeyedArchive archiveWithRootObject(const ObjectPtr& root);
    // The archive of a recorded graph (ArchiveTape.h), the same as that of the objects at the moment
    // they were recorded; asks nothing of the objects, so it may run on any thread. Raises
    // Exception(kStaleArchiveSnapshotException) when tapes of different recordings hold the same
    // object, or an object reached is on no tape: the recording must then be made again whole.
    static KeyedArchive archiveSnapshot(const ArchiveSnapshot& snapshot);

    // Inline scalars in the current object.
    void encodeBool(bool value, const QString& key);
    void encodeInt32(qint32 value, const QString& key);
    void encodeInt(qint64 value, const QString& key);
    void encodeInteger(qint64 value, const QString& key);
    // A 4-byte real; callers holding double geometry pass float on purpose.
    void encodeFloat(float value, const QString& key);
    void encodeDouble(double value, const QString& key);
    void encodeBytes(const QByteArray& bytes, const QString& key);

    // Geometry as the text "{x, y}" or "{{x, y}, {w, h}}", referred to by UID.
    void encodePoint(const QPointF& point, const QString& key);
    void encodeSize(const QSizeF& size, const QString& key);
    void encodeRect(const QRectF& rect, const QString& key);

    // Objects are written once and referred to by UID; null is UID 0.
    void encodeObject(const Value& value, const QString& key);
    void encodeObject(const ObjectPtr& object, const QString& key);
    template <class T>
    requires std::derived_from<T, Object>
    void encodeObject(const std::shared_ptr<T>& object, const QString& key)
    {
        encodeObject(ObjectPtr(object), key);
    }
    void encodeObject(std::nullptr_t, const QString& key) { encodeObject(Value(), key); }
    // Writes the reference only if the object is also encoded unconditionally somewhere.
    void encodeConditionalObject(const ObjectPtr& object, const QString& key);

    // What reading the bytes back makes beyond them (the pixels of an encoded image), counted once
    // for equal bytes, as readers expand equal bytes once.
    void noteExpansion(const QByteArray& bytes, qint64 expandedBytes);

    // Finishes the archive; encoding afterwards is an error. Top-level encodes go to "$top".
    // Raises when the archive would not read back.
    QByteArray encodedData();
    // The same, in two steps: the finished archive holds nothing of the archived objects, so that
    // its encoding may run on another thread while they change.
    KeyedArchive finish();

private:
    friend class ArchiveRecorder;
    using Index = PropertyList::Index;
    struct Pending;
    // Writing from tapes: the tapes, those being replayed (innermost last), and the tape each UID
    // was replayed from, plus one (0 for values and class records).
    struct Replay {
        std::vector<const ArchiveTape*> tapes;
        std::vector<quint16> stack;
        std::vector<quint16> tapeOfUid;
    };

    // A direct-mapped memo in front of the string hashes: keys and class names are mostly
    // literals whose data pointer repeats. An entry holds its string, which keeps the buffer
    // alive, so an equal pointer and size mean equal text.
    struct StringMemo {
        static constexpr quint32 kUnset = 0xffffffffu;
        struct Entry {
            QString text;
            quint32 value = kUnset;
        };
        std::array<Entry, 256> entries;
        Entry& slot(const QString& text)
        {
            return entries[((quintptr(text.constData()) >> 3) ^ quintptr(text.size())) & 255];
        }
        bool find(const QString& text, quint32& value)
        {
            Entry& entry = slot(text);
            // Every empty string shares one pointer, unused entries included: check the value too.
            if (entry.value == kUnset || entry.text.constData() != text.constData()
                || entry.text.size() != text.size())
                return false;
            value = entry.value;
            return true;
        }
        void remember(const QString& text, quint32 value) { slot(text) = Entry { text, value }; }
    };

    // A direct-mapped memo of the inline numbers already given nodes, by kind and bit pattern, so
    // that equal ones share a node. A document repeats few numbers many times (the coordinates of
    // a character's curves wherever it is placed): sharing them spares most of the nodes and the
    // writer's matching of equal scalars, and the bytes are the same, since the writer numbers
    // equal scalars once either way. A number the memo forgot is only given a node of its own.
    struct ScalarMemo {
        struct Entry {
            quint64 bits = 0;
            Index node = PropertyList::kNoNode;
            quint32 kind = 0;
        };
        static constexpr int kBits = 13;
        std::vector<Entry> entries = std::vector<Entry>(size_t(1) << kBits);
        Entry& slot(quint32 kind, quint64 bits)
        {
            const quint64 mixed = (bits ^ (quint64(kind) << 59)) * 0x9e3779b97f4a7c15ull;
            return entries[size_t(mixed >> (64 - kBits))];
        }
    };

    [[noreturn]] static void refuse(const QString& reason);
    // The node of an inline number, shared with an equal one made before where the memo holds it.
    template <class Make> Index scalarNode(PropertyList::Kind kind, quint64 bits, Make make);
    Index intNode(qint64 value);
    // Counts bytes the archive will hold, refusing an archive over the limit.
    void addEstimatedBytes(qint64 bytes);
    quint32 reserveUid();
    quint32 encodeReference(const Value& value);
    quint32 encodeObjectReference(const ObjectPtr& object);
    // Replaying: the segment of an object not yet written, and the check of one written before.
    void replaySegment(const ObjectPtr& object);
    void checkReplayedReference(const Object* object, quint32 uid);
    void replaySteps(const ArchiveTape& tape, quint32 at);
    quint32 encodeValueObject(const Value& value);
    quint32 encodeBare(Index node);
    // Attributed text and what its attribute dictionaries hold (AttributedTextCoding.cpp).
    void encodeAttributedTextFields(const AttributedText& text);
    quint32 encodeTextAttributes(const TextAttributes& attributes);
    quint32 encodeTextFont(const TextFont& font);
    quint32 encodeParagraphStyle(const TextParagraphStyle& style);
    quint32 classUid(const QString& className);
    void beginObject(quint32 uid, const QString& className);
    void endObject();
    void setEntry(const QString& key, Index value);
    Index stringNode(const QString& text);
    Index uidNode(quint64 uid);
    Pending& current();
    Index buildDictionary(Pending& pending);

    Limits m_limits;
    PropertyList m_list;
    LargeVector<Index> m_objects; // node of each UID
    // The objects being encoded, outermost (the top dictionary) first; entries past m_depth are
    // spare, kept for their vectors' room. An object's dictionary is made when it ends, unless it
    // waits for conditional references: those, and the top, are made at the end.
    std::vector<Pending> m_stack;
    size_t m_depth = 0;
    std::deque<Pending> m_deferred;
    // Objects already written and their UIDs.
    PointerTable<quint32> m_objectUids;
    LargeVector<ObjectPtr> m_keepAlive; // so that no address is reused while identities are compared
    QHash<QString, quint32> m_classUids;
    QHash<QString, Index> m_strings;
    StringMemo m_stringMemo;
    StringMemo m_classMemo;
    LargeVector<Index> m_uidNodes; // the node of each UID value, made on first use (UIDs are dense)
    Index m_boolNodes[2] = { PropertyList::kNoNode, PropertyList::kNoNode };
    ScalarMemo m_scalarMemo;
    QHash<QString, quint32> m_bareStrings;
    QHash<QByteArray, quint32> m_bareDatas;
    // bool, integer, float, double, unsigned integer
    std::unordered_map<quint64, quint32> m_bareNumbers[5];
    // Shared payloads written, by type, address and size, and the values that keep them alive so
    // that no address is reused while the archive is written.
    std::map<std::tuple<int, const void*, qsizetype>, quint32> m_sharedPayloads;
    std::vector<Value> m_sharedValues;
    QHash<QByteArray, qint64> m_expansions;
    qint64 m_expansion = 0;
    qint64 m_estimatedBytes = 0;
    bool m_finished = false;
    // While recording, every encode call goes to the recorder's current tape instead.
    ArchiveRecorder* m_recorder = nullptr;
    std::unique_ptr<Replay> m_replay;
};

// A finished archive waiting to be encoded: the property list, which shares only immutable text and
// data with the objects it was made of, and what the checks of the encoded bytes need.
class KeyedArchive {
public:
    // The bytes; raises, as encodedData does, when the archive would not read back.
    QByteArray encodedData() const;
    // What reading the archive back charges its decoding budget at most; the bytes are refused when
    // it is past the allowance for their size.
    qint64 readingCost() const;

private:
    friend class KeyedArchiver;
    KeyedArchiver::Limits m_limits;
    PropertyList m_list;
    qint64 m_expansion = 0;
};

} // namespace zandrel
