#include "platform/KeyedArchiver.h"

#include "platform/ArchiveNames.h"
#include "platform/ArchiveTape.h"
#include "platform/AttributedText.h"
#include "platform/ClassRegistry.h"
#include "platform/DecodingBudget.h"
#include "platform/Exception.h"
#include "platform/KeyedArchiveText.h"
#include "platform/Object.h"

#include <algorithm>
#include <cstring>

namespace zandrel {

namespace {

constexpr quint32 kTopUid = 0xffffffffu;

using Op = ArchiveTape::Op;

quint64 bitsOf(float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

quint64 bitsOf(double value)
{
    quint64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

[[noreturn]] void misuse(const char* reason)
{
    Exception::raise(kInvalidArgumentException, QString::fromLatin1(reason));
}

QString escapedKey(const QString& key)
{
    return key.startsWith(QLatin1Char('$')) ? QLatin1Char('$') + key : key;
}

} // namespace

// The fields of one object while it is encoded; its dictionary is built when it ends, or at the
// end of the archive once conditional references know whether their objects were written.
struct KeyedArchiver::Pending {
    quint32 uid = kTopUid;
    QString className;
    std::vector<Index> keys;
    std::vector<Index> values; // kNoNode where a conditional reference waits
    std::vector<std::pair<size_t, ObjectPtr>> conditionals;
};

KeyedArchiver::KeyedArchiver()
    : KeyedArchiver(Limits())
{
}

KeyedArchiver::KeyedArchiver(const Limits& limits)
    : m_limits(limits)
{
    m_objects.push_back(stringNode(ArchiveLayoutKey::kNull));
    m_stack.emplace_back();
    m_depth = 1;
}

KeyedArchiver::~KeyedArchiver() = default;

QByteArray KeyedArchiver::archivedData(const Value& root)
{
    KeyedArchiver archiver;
    archiver.encodeObject(root, ArchiveLayoutKey::kRoot);
    return archiver.encodedData();
}

QByteArray KeyedArchiver::archivedDataWithRootObject(const ObjectPtr& root)
{
    return archivedData(Value(root));
}

KeyedArchive KeyedArchiver::archiveWithRootObject(const ObjectPtr& root)
{
    KeyedArchiver archiver;
    archiver.encodeObject(Value(root), ArchiveLayoutKey::kRoot);
    return archiver.finish();
}

KeyedArchiver::Pending& KeyedArchiver::current()
{
    if (m_finished)
        misuse("The archive is already finished.");
    return m_stack[m_depth - 1];
}

void KeyedArchiver::refuse(const QString& reason)
{
    Exception::raise(kInvalidArchiveException, reason);
}

void KeyedArchiver::addEstimatedBytes(qint64 bytes)
{
    m_estimatedBytes += bytes;
    if (m_estimatedBytes > m_limits.maxBytes)
        refuse(QStringLiteral("The archive would be larger than a reader accepts."));
}

PropertyList::Index KeyedArchiver::stringNode(const QString& text)
{
    quint32 node = 0;
    if (m_stringMemo.find(text, node))
        return node;
    auto it = m_strings.find(text);
    if (it == m_strings.end()) {
        // Text is written in one byte a character where it can be, else two.
        addEstimatedBytes(text.size());
        it = m_strings.insert(text, m_list.addString(text));
    }
    m_stringMemo.remember(text, it.value());
    return it.value();
}

PropertyList::Index KeyedArchiver::uidNode(quint64 uid)
{
    if (uid >= m_uidNodes.size())
        m_uidNodes.resize(std::max<size_t>(size_t(uid) + 1, m_uidNodes.size() * 2), PropertyList::kNoNode);
    Index& node = m_uidNodes[size_t(uid)];
    if (node == PropertyList::kNoNode)
        node = m_list.addUid(uid);
    return node;
}

template <class Make>
PropertyList::Index KeyedArchiver::scalarNode(PropertyList::Kind kind, quint64 bits, Make make)
{
    ScalarMemo::Entry& entry = m_scalarMemo.slot(quint32(kind), bits);
    if (entry.node != PropertyList::kNoNode && entry.bits == bits && entry.kind == quint32(kind))
        return entry.node;
    entry = { bits, make(), quint32(kind) };
    return entry.node;
}

PropertyList::Index KeyedArchiver::intNode(qint64 value)
{
    return scalarNode(PropertyList::Kind::Int, quint64(value), [&] { return m_list.addInt(value); });
}

quint32 KeyedArchiver::reserveUid()
{
    if (m_objects.size() >= kTopUid)
        misuse("Too many archived objects.");
    // Each object is at least a reference, an offset and a marker in the file.
    addEstimatedBytes(3);
    if (m_objects.size() >= m_limits.maxObjects)
        refuse(QStringLiteral("The archive would hold more objects than a reader accepts."));
    m_objects.push_back(PropertyList::kNoNode);
    return quint32(m_objects.size() - 1);
}

quint32 KeyedArchiver::encodeBare(Index node)
{
    const quint32 uid = reserveUid();
    m_objects[uid] = node;
    return uid;
}

void KeyedArchiver::setEntry(const QString& key, Index value)
{
    Pending& pending = current();
    const Index keyNode = stringNode(key);
    // Encoding a key twice keeps the last value, in the first one's place.
    for (size_t i = 0; i < pending.keys.size(); ++i) {
        if (pending.keys[i] == keyNode) {
            pending.values[i] = value;
            std::erase_if(pending.conditionals, [i](const auto& c) { return c.first == i; });
            return;
        }
    }
    pending.keys.push_back(keyNode);
    pending.values.push_back(value);
}

void KeyedArchiver::encodeBool(bool value, const QString& key)
{
    if (m_recorder)
        return m_recorder->step(int(Op::Bool), key, value ? 1 : 0, 1);
    // Equal scalars are written once whatever their nodes; two nodes spare one a flag.
    Index& node = m_boolNodes[value ? 1 : 0];
    if (node == PropertyList::kNoNode)
        node = m_list.addBool(value);
    setEntry(escapedKey(key), node);
}

void KeyedArchiver::encodeInt32(qint32 value, const QString& key)
{
    if (m_recorder)
        return m_recorder->step(int(Op::Int32), key, quint32(value), 1);
    setEntry(escapedKey(key), intNode(value));
}

void KeyedArchiver::encodeInt(qint64 value, const QString& key)
{
    if (m_recorder)
        return m_recorder->step(int(Op::Int), key, quint64(value), 2);
    setEntry(escapedKey(key), intNode(value));
}

void KeyedArchiver::encodeInteger(qint64 value, const QString& key)
{
    if (m_recorder)
        return m_recorder->step(int(Op::Integer), key, quint64(value), 2);
    setEntry(escapedKey(key), intNode(value));
}

void KeyedArchiver::encodeFloat(float value, const QString& key)
{
    if (m_recorder)
        return m_recorder->step(int(Op::Float), key, bitsOf(value), 1);
    setEntry(escapedKey(key),
        scalarNode(PropertyList::Kind::Real32, bitsOf(value), [&] { return m_list.addReal32(value); }));
}

void KeyedArchiver::encodeDouble(double value, const QString& key)
{
    if (m_recorder)
        return m_recorder->step(int(Op::Double), key, bitsOf(value), 2);
    setEntry(escapedKey(key),
        scalarNode(PropertyList::Kind::Real64, bitsOf(value), [&] { return m_list.addReal64(value); }));
}

void KeyedArchiver::encodeBytes(const QByteArray& bytes, const QString& key)
{
    if (m_recorder)
        return m_recorder->valueStep(int(Op::Bytes), key, Value(bytes));
    addEstimatedBytes(bytes.size());
    setEntry(escapedKey(key), m_list.addData(bytes));
}

void KeyedArchiver::noteExpansion(const QByteArray& bytes, qint64 expandedBytes)
{
    if (m_recorder)
        return m_recorder->expansionStep(bytes, expandedBytes);
    if (expandedBytes <= 0)
        return;
    qint64& noted = m_expansions[bytes];
    if (expandedBytes > noted) {
        m_expansion += expandedBytes - noted;
        noted = expandedBytes;
    }
}

void KeyedArchiver::encodePoint(const QPointF& point, const QString& key)
{
    if (m_recorder)
        return m_recorder->valueStep(int(Op::Point), key, Value(point));
    setEntry(escapedKey(key), uidNode(encodeReference(archivetext::pointString(point))));
}

void KeyedArchiver::encodeSize(const QSizeF& size, const QString& key)
{
    if (m_recorder)
        return m_recorder->valueStep(int(Op::Size), key, Value(size));
    setEntry(escapedKey(key), uidNode(encodeReference(archivetext::sizeString(size))));
}

void KeyedArchiver::encodeRect(const QRectF& rect, const QString& key)
{
    if (m_recorder)
        return m_recorder->valueStep(int(Op::Rect), key, Value(rect));
    setEntry(escapedKey(key), uidNode(encodeReference(archivetext::rectString(rect))));
}

void KeyedArchiver::encodeObject(const Value& value, const QString& key)
{
    if (m_recorder)
        return m_recorder->valueStep(int(Op::Object), key, value);
    current();
    setEntry(escapedKey(key), uidNode(encodeReference(value)));
}

void KeyedArchiver::encodeObject(const ObjectPtr& object, const QString& key)
{
    encodeObject(Value(object), key);
}

void KeyedArchiver::encodeConditionalObject(const ObjectPtr& object, const QString& key)
{
    if (m_recorder)
        return m_recorder->valueStep(int(Op::Conditional), key, Value(object));
    if (!object) {
        encodeObject(Value(), key);
        return;
    }
    const QString escaped = escapedKey(key);
    setEntry(escaped, PropertyList::kNoNode);
    Pending& pending = current();
    const Index keyNode = stringNode(escaped);
    for (size_t i = 0; i < pending.keys.size(); ++i) {
        if (pending.keys[i] == keyNode) {
            pending.conditionals.emplace_back(i, object);
            break;
        }
    }
}

quint32 KeyedArchiver::encodeReference(const Value& value)
{
    auto bareNumber = [this](int slot, quint64 bits, auto makeNode) {
        auto [it, inserted] = m_bareNumbers[slot].try_emplace(bits, 0);
        if (inserted)
            it->second = encodeBare(makeNode());
        return it->second;
    };
    switch (value.type()) {
    case Value::Type::Null:
        return 0;
    case Value::Type::Bool:
        return bareNumber(0, value.toBool() ? 1 : 0, [&] { return m_list.addBool(value.toBool()); });
    case Value::Type::Integer:
        return bareNumber(1, quint64(value.toInteger()), [&] { return m_list.addInt(value.toInteger()); });
    case Value::Type::UnsignedInteger:
        return bareNumber(
            4, value.toUnsignedInteger(), [&] { return m_list.addUnsignedInt(value.toUnsignedInteger()); });
    case Value::Type::Float: {
        const float f = value.toFloat();
        quint32 bits;
        std::memcpy(&bits, &f, sizeof bits);
        return bareNumber(2, bits, [&] { return m_list.addReal32(f); });
    }
    case Value::Type::Double: {
        const double d = value.toDouble();
        quint64 bits;
        std::memcpy(&bits, &d, sizeof bits);
        return bareNumber(3, bits, [&] { return m_list.addReal64(d); });
    }
    case Value::Type::String: {
        const QString text = value.toString();
        auto it = m_bareStrings.constFind(text);
        if (it != m_bareStrings.cend())
            return it.value();
        const quint32 uid = encodeBare(stringNode(text));
        m_bareStrings.insert(text, uid);
        return uid;
    }
    case Value::Type::Data: {
        const QByteArray bytes = value.toData();
        auto it = m_bareDatas.constFind(bytes);
        if (it != m_bareDatas.cend())
            return it.value();
        addEstimatedBytes(bytes.size());
        const quint32 uid = encodeBare(m_list.addData(bytes));
        m_bareDatas.insert(bytes, uid);
        return uid;
    }
    case Value::Type::Object:
        return encodeObjectReference(value.toObject());
    case Value::Type::Color:
        if (!value.toColor().isValid())
            return 0;
        return encodeValueObject(value);
    default:
        break;
    }
    const auto [payload, size] = value.sharedPayload();
    // A list this value alone holds cannot be named again while the archive is written: it is
    // neither remembered nor kept alive (a curve's points would cost a value a point meanwhile).
    if (!payload || value.holdsUnsharedList())
        return encodeValueObject(value);
    const auto key = std::make_tuple(int(value.type()), payload, size);
    const auto found = m_sharedPayloads.find(key);
    if (found != m_sharedPayloads.end())
        return found->second;
    m_sharedValues.push_back(value);
    const quint32 uid = encodeValueObject(value);
    m_sharedPayloads.emplace(key, uid);
    return uid;
}

quint32 KeyedArchiver::encodeObjectReference(const ObjectPtr& object)
{
    if (!object)
        return 0;
    if (const quint32* found = m_objectUids.find(object.get())) {
        if (m_replay)
            checkReplayedReference(object.get(), *found);
        return *found;
    }
    if (m_replay) {
        replaySegment(object);
        return m_objectUids.find(object.get()) ? *m_objectUids.find(object.get()) : 0;
    }
    // The UID is taken before the fields, so that references back to this object (a child's link
    // to its parent) find it, and parents number before their children.
    const quint32 uid = reserveUid();
    m_objectUids.insert(object.get(), uid);
    m_keepAlive.push_back(object);
    beginObject(uid, object->className());
    object->encodeWithCoder(*this);
    endObject();
    return uid;
}

quint32 KeyedArchiver::encodeValueObject(const Value& value)
{
    const quint32 uid = reserveUid();
    switch (value.type()) {
    case Value::Type::List: {
        beginObject(uid, PlatformClass::kMutableArray);
        const ValueList list = value.toList();
        std::vector<Index> refs;
        refs.reserve(size_t(list.size()));
        for (const Value& item : list)
            refs.push_back(uidNode(encodeReference(item)));
        setEntry(ArchiveLayoutKey::kMembers, m_list.addArray(refs));
        break;
    }
    case Value::Type::Map: {
        beginObject(uid, PlatformClass::kMutableDictionary);
        const ValueMap map = value.toMap();
        std::vector<Index> keys;
        std::vector<Index> objects;
        keys.reserve(size_t(map.size()));
        objects.reserve(size_t(map.size()));
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            keys.push_back(uidNode(encodeReference(it.key())));
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            objects.push_back(uidNode(encodeReference(it.value())));
        setEntry(ArchiveLayoutKey::kKeys, m_list.addArray(keys));
        setEntry(ArchiveLayoutKey::kMembers, m_list.addArray(objects));
        break;
    }
    case Value::Type::Point:
        beginObject(uid, PlatformClass::kValue);
        encodeInt(1, ArchiveLayoutKey::kSpecial);
        encodePoint(value.toPoint(), ArchiveLayoutKey::kPointValue);
        break;
    case Value::Type::Size:
        beginObject(uid, PlatformClass::kValue);
        encodeInt(2, ArchiveLayoutKey::kSpecial);
        encodeSize(value.toSize(), ArchiveLayoutKey::kSizeValue);
        break;
    case Value::Type::Rect:
        beginObject(uid, PlatformClass::kValue);
        encodeInt(3, ArchiveLayoutKey::kSpecial);
        encodeRect(value.toRect(), ArchiveLayoutKey::kRectValue);
        break;
    case Value::Type::Color:
        beginObject(uid, PlatformClass::kColor);
        encodeBytes(archivetext::rgbComponents(value.toColor()), ArchiveLayoutKey::kRGB);
        encodeInt(1, ArchiveLayoutKey::kColorSpace);
        break;
    case Value::Type::AttributedText:
        beginObject(uid, PlatformClass::kMutableAttributedString);
        encodeAttributedTextFields(value.toAttributedText());
        break;
    case Value::Type::Transform: {
        beginObject(uid, PlatformClass::kAffineTransform);
        const QTransform t = value.toTransform();
        encodeDouble(t.m11(), ArchiveLayoutKey::kTransformM11);
        encodeDouble(t.m12(), ArchiveLayoutKey::kTransformM12);
        encodeDouble(t.m21(), ArchiveLayoutKey::kTransformM21);
        encodeDouble(t.m22(), ArchiveLayoutKey::kTransformM22);
        encodeDouble(t.dx(), ArchiveLayoutKey::kTransformTX);
        encodeDouble(t.dy(), ArchiveLayoutKey::kTransformTY);
        break;
    }
    default:
        misuse("This value type has no archived form.");
    }
    endObject();
    return uid;
}

quint32 KeyedArchiver::classUid(const QString& className)
{
    quint32 known = 0;
    if (m_classMemo.find(className, known))
        return known;
    const auto found = m_classUids.constFind(className);
    if (found != m_classUids.cend()) {
        m_classMemo.remember(className, found.value());
        return found.value();
    }
    const quint32 uid = reserveUid();
    std::vector<Index> chain;
    for (const QString& name : ClassRegistry::shared().classChain(className))
        chain.push_back(stringNode(name));
    const Index keys[] = { stringNode(ArchiveLayoutKey::kClassName), stringNode(ArchiveLayoutKey::kClasses) };
    const Index values[] = { stringNode(className), m_list.addArray(chain) };
    m_objects[uid] = m_list.addDict(keys, values);
    m_classUids.insert(className, uid);
    return uid;
}

void KeyedArchiver::beginObject(quint32 uid, const QString& className)
{
    current();
    // The top frame is not an object.
    if (qsizetype(m_depth) > m_limits.maxDepth)
        refuse(QStringLiteral("Archived objects would be nested deeper than a reader accepts."));
    if (m_depth == m_stack.size())
        m_stack.emplace_back();
    Pending& pending = m_stack[m_depth++];
    pending.uid = uid;
    pending.className = className;
    pending.keys.clear();
    pending.values.clear();
    pending.conditionals.clear();
}

void KeyedArchiver::endObject()
{
    // The class record follows the object's fields, as the reference archiver numbers it.
    const quint32 record = classUid(current().className);
    setEntry(ArchiveLayoutKey::kClass, uidNode(record));
    Pending& pending = current();
    if (pending.conditionals.empty())
        m_objects[pending.uid] = buildDictionary(pending);
    else
        m_deferred.push_back(std::move(pending));
    --m_depth;
}

PropertyList::Index KeyedArchiver::buildDictionary(Pending& pending)
{
    for (const auto& [position, object] : pending.conditionals) {
        if (const quint32* found = m_objectUids.find(object.get()))
            pending.values[position] = uidNode(*found);
    }
    size_t kept = 0;
    for (size_t i = 0; i < pending.keys.size(); ++i) {
        if (pending.values[i] == PropertyList::kNoNode)
            continue;
        pending.keys[kept] = pending.keys[i];
        pending.values[kept] = pending.values[i];
        ++kept;
    }
    pending.keys.resize(kept);
    pending.values.resize(kept);
    return m_list.addDict(pending.keys, pending.values);
}

QByteArray KeyedArchiver::encodedData()
{
    return finish().encodedData();
}

KeyedArchive KeyedArchiver::finish()
{
    if (m_finished)
        misuse("The archive is already finished.");
    if (m_depth != 1)
        misuse("The archive was left unfinished by an error while encoding.");
    m_finished = true;

    for (Pending& pending : m_deferred)
        m_objects[pending.uid] = buildDictionary(pending);
    const Index top = buildDictionary(m_stack[0]);

    const Index keys[] = { stringNode(ArchiveLayoutKey::kVersion), stringNode(ArchiveLayoutKey::kObjects),
        stringNode(ArchiveLayoutKey::kArchiver), stringNode(ArchiveLayoutKey::kTop) };
    const Index values[] = { m_list.addInt(100000), m_list.addArray(m_objects),
        stringNode(ArchiveLayoutKey::kArchiverName), top };
    m_list.setRoot(m_list.addDict(keys, values));
    // No identity is compared any more: what remembered them goes before the writer needs room.
    m_stack.clear();
    m_deferred.clear();
    m_objectUids = {};
    LargeVector<ObjectPtr>().swap(m_keepAlive);
    m_sharedPayloads.clear();
    std::vector<Value>().swap(m_sharedValues);
    LargeVector<Index>().swap(m_uidNodes);
    KeyedArchive archive;
    archive.m_limits = m_limits;
    archive.m_expansion = m_expansion;
    archive.m_list = std::move(m_list);
    return archive;
}

qint64 KeyedArchive::readingCost() const
{
    // The reader makes a value for every member of a collection it decodes (each record is decoded
    // once) and charges the expansions the objects noted. Dictionary entries, the object records'
    // among them, are only looked up and cost nothing: counting them would refuse large documents
    // that read back well within their allowance.
    return qint64(m_list.collectionEntries()) * qint64(sizeof(Value)) + m_expansion;
}

QByteArray KeyedArchive::encodedData() const
{
    const QByteArray bytes = m_list.toBinary();
    if (bytes.size() > m_limits.maxBytes)
        Exception::raise(
            kInvalidArchiveException, QStringLiteral("The archive would be larger than a reader accepts."));
    // The trailer's object count, big-endian, 24 bytes from the end.
    quint64 objects = 0;
    for (qsizetype i = bytes.size() - 24; i < bytes.size() - 16; ++i)
        objects = (objects << 8) | quint8(bytes[i]);
    if (objects > m_limits.maxObjects)
        Exception::raise(kInvalidArchiveException,
            QStringLiteral("The archive would hold more objects than a reader accepts."));
    if (readingCost() > DecodingBudget::allowanceForFileSize(bytes.size()))
        Exception::raise(kInvalidArchiveException,
            QStringLiteral("Reading the archive back would take more memory than its size allows."));
    return bytes;
}

} // namespace zandrel
