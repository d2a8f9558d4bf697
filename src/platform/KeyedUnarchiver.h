#pragma once

#include "platform/ClassRegistry.h"
#include "platform/DecodingBudget.h"
#include "platform/PointerTable.h"
#include "platform/PropertyList.h"
#include "platform/PropertyListView.h"
#include "platform/TextAttributes.h"
#include "platform/Value.h"

#include <QByteArray>
#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <array>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace zandrel {

// Reads a keyed archive written by KeyedArchiver or by any standard keyed archiver, treating the
// data as hostile: every reference, class and count is checked, work is bounded, and malformed
// data raises Exception(kInvalidArchiveException).
//
// Objects decode lazily, once per UID, in two phases: the blank object from the ClassRegistry is
// recorded at its UID before its initWithCoder runs, so a reference back to an object still being
// decoded (a child's link to its parent) gets that object. What initWithCoder returns (itself, a
// shared replacement or null) is what every other reference to the UID gets. References made
// during the object's own decoding keep the blank object.
//
// Class-restricted decoding accepts an object whose class is one of the allowed names or a
// subclass of one by our registry, never by the chain written in the file; for a collection every
// member must pass as well. A refused object decodes as null, not as an error. Exceptions that a
// class's initWithCoder raises pass through unchanged.
//
// Each unarchiver has a DecodingBudget for its data, current while its objects decode, so that the
// classes' decoders charge what they copy or expand per reference; the lists the unarchiver makes
// are charged to it as well.
class KeyedUnarchiver {
public:
    struct Limits {
        PropertyList::Limits plist;
        quint64 maxDecodedObjects = quint64(1) << 23;
        // Nested object decoding; the free stack of the thread is checked as well.
        int maxDepth = 3000;
    };

    // Parses and checks the container and the archive header.
    explicit KeyedUnarchiver(const QByteArray& data);
    KeyedUnarchiver(const QByteArray& data, const Limits& limits);
    KeyedUnarchiver(const KeyedUnarchiver&) = delete;
    KeyedUnarchiver& operator=(const KeyedUnarchiver&) = delete;
    ~KeyedUnarchiver();

    // The root object if its class is allowed, else null. An empty list allows nothing.
    static Value unarchive(const QByteArray& data, const QStringList& allowedRootClasses);
    static Value unarchiveAnyClass(const QByteArray& data);

    bool containsValueForKey(const QString& key) const;

    // True while the object's own initWithCoder runs. Every reference that closes a cycle in the
    // decoded graph resolves to such an object, so a class that owns what it decodes (children)
    // refuses these, and a hostile file cannot make an ownership cycle that would never be freed.
    bool isDecoding(const ObjectPtr& object) const;

    // Objects a container of this archive took as its members. A list the file names in many
    // places is one list: its members go to the first container, and each later one learns by a
    // lookup per member that they are taken (rather than by casts that cost far more).
    void noteAdopted(const ObjectPtr& object);
    bool wasAdopted(const ObjectPtr& object) const;

    // True the first time an object of this archive is claimed. A class that keeps what it decodes
    // as its own (the points of a curve, the curves of a path) claims each; an object claimed
    // before is named in another place of the file as well, and the class keeps a copy of it,
    // charged to the budget, so that an edit of one owner never reaches another. False for null.
    bool claim(const ObjectPtr& object);
    // The object itself when this claims it, else what copy(object) makes, its cost charged first.
    template <class T, class Copy>
    std::shared_ptr<T> claimOrCopy(const std::shared_ptr<T>& object, qint64 copyCost, Copy&& copy)
    {
        if (!object || claim(object))
            return object;
        m_decodingBudget.spend(copyCost);
        return std::forward<Copy>(copy)(*object);
    }

    // The budget of this archive's data (nested in the one current when the unarchiver was made).
    DecodingBudget& decodingBudget() { return m_decodingBudget; }

    Value decodeObjectForKey(const QString& key);
    Value decodeObjectOfClasses(const QStringList& allowedClasses, const QString& key);
    Value decodeObjectOfClass(const QString& className, const QString& key);
    // For a class registered with ClassRegistry::registerClass<T>.
    template <class T> std::shared_ptr<T> decodeObjectOfClass(const QString& key)
    {
        const QString name = ClassRegistry::shared().nameOf<T>();
        return name.isEmpty() ? nullptr : decodeObjectOfClass(name, key).template toObject<T>();
    }

    // Inline scalars. A missing key gives 0, false or empty; integers, reals and booleans convert
    // into each other (reals to integers saturating, NaN to 0); NaN and infinities come back as
    // they are. Anything but a number at a scalar key raises.
    bool decodeBoolForKey(const QString& key) const;
    qint32 decodeInt32ForKey(const QString& key) const;
    qint64 decodeIntForKey(const QString& key) const;
    qint64 decodeIntegerForKey(const QString& key) const;
    float decodeFloatForKey(const QString& key) const;
    double decodeDoubleForKey(const QString& key) const;
    QByteArray decodeBytesForKey(const QString& key);

    // Geometry text, read leniently; a missing key gives zero geometry.
    QPointF decodePointForKey(const QString& key);
    QSizeF decodeSizeForKey(const QString& key);
    QRectF decodeRectForKey(const QString& key);

private:
    using Index = PropertyList::Index;
    enum class State : quint8 { NotDecoded, InProgress, Done };
    // What a UID decoded to. Most are objects, kept here (24 bytes an entry, an archive has one
    // for every curve point); anything else (lists, strings, numbers) is kept in m_otherValues,
    // at otherValue - 1. A collection whose members passed a class check remembers the allowed
    // classes' number plus one, so that the check is made once per collection.
    struct Entry {
        State state = State::NotDecoded;
        quint16 allowedMemo = 0;
        quint32 otherValue = 0;
        ObjectPtr object;
    };
    static_assert(sizeof(Entry) <= 24);
    Value valueOf(quint64 uid, const Entry& entry) const;
    void store(quint64 uid, Entry& entry, const Value& value);
    void forgetUnsharedLists();
    class Nesting;
    class Frame;

    void checkHeader();
    Index lookup(const QString& key) const;
    // Keys are compared by number: every distinct key text this unarchiver met (escaped as written)
    // gets one, and the numbers of the asked texts and of the file's key strings are remembered.
    quint32 keyId(const QString& key) const;
    quint32 keyIdOfNode(Index keyNode) const;
    quint32 internKey(const QString& escaped) const;
    // The value of the first entry of the dictionary under the key of that number, or kNoNode.
    Index valueForKeyId(Index dict, quint32 id) const;
    void pushFrame(Index record);
    void popFrame() { --m_frameDepth; }
    Index scalarNode(const QString& key) const;
    QString stringAt(const QString& key);
    Value decodeNode(Index node, const QStringList* allowed);
    Value decodeUid(quint64 uid, const QStringList* allowed);
    Value decodeRecord(quint64 uid, Index record);
    Value decodeValueClass(const QString& className);
    Value decodeColor();
    ValueList decodeMembers(const QString& key);
    Value decodeAllowedMembers(quint64 uid, Index node, const QStringList& allowed);
    static bool isArrayClass(const QString& name);
    static bool isDictionaryClass(const QString& name);
    // Attributed text, its attribute dictionaries, fonts and paragraph styles
    // (AttributedTextCoding.cpp).
    Value decodeAttributedString();
    TextAttributes decodeTextAttributes(Index record);
    std::optional<TextFont> decodeTextFont(Index record);
    TextParagraphStyle decodeParagraphStyle(Index record);
    Value decodeOpaqueValue(Index node);
    // The object a reference points to (kNoNode for nil); anything else is itself.
    Index referencedNode(Index node) const;
    bool isRecordOfKind(Index node, const QString& className) const;
    QString classOfNode(Index node) const;
    QString classNameOfRecord(Index record) const;
    // What the unarchiver needs of a record's class, looked up once per class record.
    struct ClassInfo {
        QString name;
        bool valueClass = false;
        bool collection = false;
        ClassRegistry::Factory factory;
        // Whether the class is of a kind of each set of allowed classes, by its number: 0 not
        // known yet, 1 no, 2 yes.
        mutable std::vector<quint8> allowedBy;
    };
    const ClassInfo& classInfoOfRecord(Index record) const;
    // The number of a set of allowed classes, the same for equal sets.
    quint32 allowedSetNumber(const QStringList& allowed);
    bool classAllowed(Index node, quint64 uid, const QStringList& allowed);
    bool kindAllowed(
        const QString& name, const ClassInfo* info, quint32 allowedSet, const QStringList& allowed);
    Index objectNode(quint64 uid) const;
    void spend(quint64 work);

    PropertyListView m_list;
    Limits m_limits;
    DecodingBudget m_decodingBudget;
    PropertyListView::Refs m_objects;
    std::vector<Entry> m_entries;
    // The values of Entry::otherValue with their UIDs, and the places free for reuse.
    std::vector<std::pair<quint64, Value>> m_otherValues;
    std::vector<quint32> m_freeOtherValues;
    // Lists in m_otherValues, and how many there may be before those that nothing else holds
    // any more are forgotten.
    size_t m_listsKept = 0;
    size_t m_listsKeptLimit = kListsKeptAtLeast;
    static constexpr size_t kListsKeptAtLeast = 1024;
    PointerSet m_claimed;
    PointerSet m_adopted;
    // The records that keyed decode calls read, innermost last. A record of up to kFrameKeys keys
    // has the numbers of its keys read once, at its first lookup, and lookups go on from the key
    // after the one found last, since classes read their keys in the order they wrote them. A
    // record with more keys gets an index instead, so that a hostile record with many keys cannot
    // make every lookup slow. The frames are kept for reuse as the depth goes up and down.
    static constexpr size_t kFrameKeys = 32;
    struct FrameKeys {
        Index record = PropertyList::kNoNode;
        bool read = false;
        // Some key is there twice: the first of them is the one a lookup finds.
        bool repeats = false;
        quint32 count = 0;
        quint32 cursor = 0;
        PropertyListView::Refs values;
        std::array<quint32, kFrameKeys> ids;
    };
    void readFrameKeys(FrameKeys& frame) const;
    mutable std::vector<FrameKeys> m_frames;
    size_t m_frameDepth = 0;
    std::vector<const Object*> m_decoding;
    mutable std::unordered_map<Index, std::unordered_map<quint32, Index>> m_keyIndex;
    mutable QHash<QString, quint32> m_keyIds;
    // The numbers of asked texts, by where their characters are (checked against the text), and of
    // key strings, by node in sets of two.
    struct AskedKey {
        QString text;
        quint32 id = 0;
    };
    mutable std::array<AskedKey, 128> m_askedKeys;
    struct KeyNode {
        Index node = PropertyList::kNoNode;
        quint32 id = 0;
    };
    mutable std::array<std::array<KeyNode, 2>, 512> m_keyNodes;
    quint32 m_classKeyId = 0;
    quint32 m_membersKeyId = 0;
    quint32 m_keysKeyId = 0;
    // Collections written inline rather than by UID that passed a class check, with the number of
    // the allowed set; those by UID keep it in their entry.
    std::unordered_map<Index, quint32> m_allowedMemo;
    std::vector<QStringList> m_allowedSets;
    // A direct-mapped memo in front of m_classInfo: an archive has few class records.
    mutable std::array<std::pair<Index, const ClassInfo*>, 64> m_classInfoMemo {};
    QSet<quint64> m_filtering;
    std::unordered_map<quint64, std::pair<QStringList, Value>> m_filteredMemo;
    // Attribute dictionaries and paragraph styles are often shared; each is decoded once.
    std::unordered_map<Index, TextAttributes> m_textAttributesMemo;
    std::unordered_map<Index, TextParagraphStyle> m_paragraphStyleMemo;
    mutable std::unordered_map<Index, ClassInfo> m_classInfo;
    int m_depth = 0;
    quint64 m_decoded = 0;
    // The walks over container entries (decoding and class checks), counted apart from the memory
    // made: they bound the time a file of shared collections can take.
    quint64 m_budget = 0;
};

} // namespace zandrel
