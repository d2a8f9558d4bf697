#include "platform/KeyedUnarchiver.h"

#include "platform/Exception.h"
#include "platform/KeyedArchiveText.h"
#include "platform/Object.h"

#include <QSet>
#include <algorithm>
#include <cmath>
#include <limits>
#include <pthread.h>

namespace zandrel {

namespace {

// Room left for the decoding class's own work and for unwinding when the nesting stops.
constexpr size_t kStackReserve = 512 * 1024;

[[noreturn]] void corrupt(const QString& reason)
{
    Exception::raise(kInvalidArchiveException, reason);
}

// The lowest usable address of the calling thread's stack, or null where it cannot be learnt.
const char* stackLowerBound()
{
    thread_local const char* bound = [] {
        const char* low = nullptr;
        pthread_attr_t attr;
        if (pthread_getattr_np(pthread_self(), &attr) == 0) {
            void* address = nullptr;
            size_t size = 0;
            if (pthread_attr_getstack(&attr, &address, &size) == 0)
                low = static_cast<const char*>(address);
            pthread_attr_destroy(&attr);
        }
        return low;
    }();
    return bound;
}

QString escapedKey(const QString& key)
{
    return key.startsWith(QLatin1Char('$')) ? QLatin1Char('$') + key : key;
}

bool isArrayClass(const QString& name)
{
    return name == QLatin1String("NSArray") || name == QLatin1String("NSMutableArray")
        || name == QLatin1String("NSSet") || name == QLatin1String("NSMutableSet");
}

bool isDictionaryClass(const QString& name)
{
    return name == QLatin1String("NSDictionary") || name == QLatin1String("NSMutableDictionary");
}

// Colour components from other writers may be anything; a QColor needs finite values in 0...1.
float unitComponent(float value)
{
    return std::isfinite(value) ? std::clamp(value, 0.0f, 1.0f) : 0.0f;
}

} // namespace

// Counts one level of nested object decoding and refuses to go deeper than the limit or the
// thread's stack allows.
class KeyedUnarchiver::Nesting {
public:
    explicit Nesting(KeyedUnarchiver& owner)
        : m_owner(owner)
    {
        if (owner.m_depth >= owner.m_limits.maxDepth)
            corrupt(QStringLiteral("Archived objects are nested too deeply."));
        const char* low = stackLowerBound();
        const char* here = static_cast<const char*>(__builtin_frame_address(0));
        if (low && (here < low || size_t(here - low) < kStackReserve))
            corrupt(QStringLiteral("Archived objects are nested too deeply for the stack."));
        if (++owner.m_decoded > owner.m_limits.maxDecodedObjects)
            corrupt(QStringLiteral("The archive holds more objects than allowed."));
        ++owner.m_depth;
    }
    ~Nesting() { --m_owner.m_depth; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;

private:
    KeyedUnarchiver& m_owner;
};

// Makes a record dictionary the target of keyed decode calls for a scope.
class KeyedUnarchiver::Frame {
public:
    Frame(KeyedUnarchiver& owner, Index record)
        : m_owner(owner)
    {
        owner.m_frames.push_back(record);
    }
    ~Frame() { m_owner.m_frames.pop_back(); }
    Frame(const Frame&) = delete;
    Frame& operator=(const Frame&) = delete;

private:
    KeyedUnarchiver& m_owner;
};

KeyedUnarchiver::KeyedUnarchiver(const QByteArray& data)
    : KeyedUnarchiver(data, Limits())
{
}

KeyedUnarchiver::KeyedUnarchiver(const QByteArray& data, const Limits& limits)
    : m_list(PropertyList::fromBinary(data, limits.plist))
    , m_limits(limits)
{
    checkHeader();
}

KeyedUnarchiver::~KeyedUnarchiver() = default;

void KeyedUnarchiver::checkHeader()
{
    const Index root = m_list.root();
    if (m_list.kind(root) != PropertyList::Kind::Dict)
        corrupt(QStringLiteral("The archive is not a dictionary."));
    const Index archiver = m_list.valueForKey(root, u"$archiver");
    if (archiver == PropertyList::kNoNode || m_list.string(archiver) != QLatin1String("NSKeyedArchiver"))
        corrupt(QStringLiteral("The archive was not written by a keyed archiver."));
    const Index version = m_list.valueForKey(root, u"$version");
    if (version == PropertyList::kNoNode || m_list.kind(version) != PropertyList::Kind::Int
        || m_list.intValue(version) != 100000)
        corrupt(QStringLiteral("Unsupported keyed archive version."));
    const Index top = m_list.valueForKey(root, u"$top");
    if (top == PropertyList::kNoNode || m_list.kind(top) != PropertyList::Kind::Dict)
        corrupt(QStringLiteral("The archive has no top dictionary."));
    const Index objects = m_list.valueForKey(root, u"$objects");
    if (objects == PropertyList::kNoNode || m_list.kind(objects) != PropertyList::Kind::Array
        || m_list.count(objects) < 1)
        corrupt(QStringLiteral("The archive has no object table."));
    m_objects = m_list.items(objects);
    m_entries.resize(m_objects.size());
    m_frames.push_back(top);
    // A well-formed archive touches each container entry about once; repeated restricted checks
    // of shared collections are memoised, so several times that is only reached by fan-out.
    m_budget = 4 * m_list.totalEntries() + (quint64(1) << 20);
}

Value KeyedUnarchiver::unarchive(const QByteArray& data, const QStringList& allowedRootClasses)
{
    KeyedUnarchiver unarchiver(data);
    return unarchiver.decodeObjectOfClasses(allowedRootClasses, QStringLiteral("root"));
}

Value KeyedUnarchiver::unarchiveAnyClass(const QByteArray& data)
{
    KeyedUnarchiver unarchiver(data);
    return unarchiver.decodeObjectForKey(QStringLiteral("root"));
}

void KeyedUnarchiver::spend(quint64 work)
{
    if (work > m_budget)
        corrupt(QStringLiteral("The archive shares collections beyond any sensible use."));
    m_budget -= work;
}

PropertyList::Index KeyedUnarchiver::lookup(const QString& key) const
{
    const Index dict = m_frames.back();
    const QString escaped = escapedKey(key);
    if (m_list.count(dict) <= 16)
        return m_list.valueForKey(dict, escaped);
    // Large records get an index once, so that a hostile record with many keys cannot make
    // every lookup slow.
    auto [it, inserted] = m_keyIndex.try_emplace(dict);
    if (inserted) {
        const auto keys = m_list.keys(dict);
        const auto values = m_list.values(dict);
        for (size_t i = keys.size(); i > 0; --i)
            it->second.insert(m_list.string(keys[i - 1]), values[i - 1]);
    }
    return it->second.value(escaped, PropertyList::kNoNode);
}

PropertyList::Index KeyedUnarchiver::objectNode(quint64 uid) const
{
    if (uid >= m_objects.size())
        corrupt(QStringLiteral("An object reference points outside the archive."));
    return m_objects[uid];
}

bool KeyedUnarchiver::isDecoding(const ObjectPtr& object) const
{
    return object && std::find(m_decoding.begin(), m_decoding.end(), object.get()) != m_decoding.end();
}

bool KeyedUnarchiver::containsValueForKey(const QString& key) const
{
    return lookup(key) != PropertyList::kNoNode;
}

// The number at a scalar key, following a reference to a bare number as lenient readers do.
PropertyList::Index KeyedUnarchiver::scalarNode(const QString& key) const
{
    Index node = lookup(key);
    if (node == PropertyList::kNoNode)
        return node;
    if (m_list.kind(node) == PropertyList::Kind::Uid) {
        if (m_list.uid(node) == 0)
            return PropertyList::kNoNode;
        node = objectNode(m_list.uid(node));
    }
    if (m_list.kind(node) == PropertyList::Kind::Null)
        return PropertyList::kNoNode;
    if (!m_list.isNumber(node))
        corrupt(QStringLiteral("The value for \"%1\" is not a number.").arg(key));
    return node;
}

bool KeyedUnarchiver::decodeBoolForKey(const QString& key) const
{
    const Index node = scalarNode(key);
    return node != PropertyList::kNoNode && m_list.boolValue(node);
}

qint32 KeyedUnarchiver::decodeInt32ForKey(const QString& key) const
{
    const qint64 value = decodeIntegerForKey(key);
    return qint32(
        std::clamp<qint64>(value, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

qint64 KeyedUnarchiver::decodeIntForKey(const QString& key) const
{
    return decodeIntegerForKey(key);
}

qint64 KeyedUnarchiver::decodeIntegerForKey(const QString& key) const
{
    const Index node = scalarNode(key);
    return node == PropertyList::kNoNode ? 0 : m_list.intValue(node);
}

float KeyedUnarchiver::decodeFloatForKey(const QString& key) const
{
    return float(decodeDoubleForKey(key));
}

double KeyedUnarchiver::decodeDoubleForKey(const QString& key) const
{
    const Index node = scalarNode(key);
    return node == PropertyList::kNoNode ? 0.0 : m_list.realValue(node);
}

QByteArray KeyedUnarchiver::decodeBytesForKey(const QString& key)
{
    const Index node = lookup(key);
    if (node == PropertyList::kNoNode || m_list.kind(node) == PropertyList::Kind::Null)
        return {};
    if (m_list.kind(node) == PropertyList::Kind::Data)
        return m_list.data(node);
    if (m_list.kind(node) == PropertyList::Kind::Uid) {
        const Value value = decodeUid(m_list.uid(node), nullptr);
        if (value.isNull() || value.type() == Value::Type::Data)
            return value.toData();
    }
    corrupt(QStringLiteral("The value for \"%1\" is not data.").arg(key));
}

// Geometry text, inline or by reference; an NSValue of the kind is accepted as well.
QString KeyedUnarchiver::stringAt(const QString& key)
{
    const Index node = lookup(key);
    if (node == PropertyList::kNoNode || m_list.kind(node) == PropertyList::Kind::Null)
        return {};
    if (m_list.kind(node) == PropertyList::Kind::String)
        return m_list.string(node);
    if (m_list.kind(node) == PropertyList::Kind::Uid) {
        const Value value = decodeUid(m_list.uid(node), nullptr);
        switch (value.type()) {
        case Value::Type::Null:
            return {};
        case Value::Type::String:
            return value.toString();
        case Value::Type::Point:
            return archivetext::pointString(value.toPoint());
        case Value::Type::Size:
            return archivetext::sizeString(value.toSize());
        case Value::Type::Rect:
            return archivetext::rectString(value.toRect());
        default:
            break;
        }
    }
    corrupt(QStringLiteral("The value for \"%1\" is not geometry.").arg(key));
}

QPointF KeyedUnarchiver::decodePointForKey(const QString& key)
{
    return archivetext::parsePoint(stringAt(key));
}

QSizeF KeyedUnarchiver::decodeSizeForKey(const QString& key)
{
    return archivetext::parseSize(stringAt(key));
}

QRectF KeyedUnarchiver::decodeRectForKey(const QString& key)
{
    return archivetext::parseRect(stringAt(key));
}

Value KeyedUnarchiver::decodeObjectForKey(const QString& key)
{
    const Index node = lookup(key);
    return node == PropertyList::kNoNode ? Value() : decodeNode(node, nullptr);
}

Value KeyedUnarchiver::decodeObjectOfClasses(const QStringList& allowedClasses, const QString& key)
{
    const Index node = lookup(key);
    return node == PropertyList::kNoNode ? Value() : decodeNode(node, &allowedClasses);
}

Value KeyedUnarchiver::decodeObjectOfClass(const QString& className, const QString& key)
{
    return decodeObjectOfClasses(QStringList { className }, key);
}

// A value at an object key: normally a UID; bare scalars written inline are taken as they are.
Value KeyedUnarchiver::decodeNode(Index node, const QStringList* allowed)
{
    using Kind = PropertyList::Kind;
    const Kind kind = m_list.kind(node);
    if (kind == Kind::Uid)
        return decodeUid(m_list.uid(node), allowed);
    if (kind == Kind::Null || m_list.isContainer(node))
        return {};
    if (allowed && !classAllowed(node, *allowed))
        return {};
    switch (kind) {
    case Kind::Bool:
        return m_list.boolValue(node);
    case Kind::Int:
        return m_list.intValue(node);
    case Kind::Real32:
        return float(m_list.realValue(node));
    case Kind::Real64:
    case Kind::Date:
        return m_list.realValue(node);
    case Kind::String:
        return m_list.string(node);
    case Kind::Data:
        return m_list.data(node);
    default:
        return {};
    }
}

Value KeyedUnarchiver::decodeUid(quint64 uid, const QStringList* allowed)
{
    if (uid == 0)
        return {};
    const Index node = objectNode(uid);
    if (allowed && !classAllowed(node, *allowed))
        return {};
    Entry& entry = m_entries[uid];
    if (entry.state != State::NotDecoded)
        return entry.value;
    if (m_list.kind(node) == PropertyList::Kind::Dict)
        return decodeRecord(uid, node);
    if (m_list.isContainer(node) || m_list.kind(node) == PropertyList::Kind::Uid)
        corrupt(QStringLiteral("An archived object is neither a value nor a record."));
    entry.value = decodeNode(node, nullptr);
    entry.state = State::Done;
    return entry.value;
}

Value KeyedUnarchiver::decodeRecord(quint64 uid, Index record)
{
    const QString className = classNameOfRecord(record);
    Nesting nesting(*this);
    Entry& entry = m_entries[uid];

    // If decoding raises, the UID goes back to undecoded and the blank object is released.
    struct Rollback {
        Entry& entry;
        bool done = false;
        ~Rollback()
        {
            if (!done) {
                entry.state = State::NotDecoded;
                entry.value = Value();
            }
        }
    } rollback { entry };

    Value result;
    if (ClassRegistry::isValueClass(className)) {
        entry.state = State::InProgress;
        Frame frame(*this, record);
        result = decodeValueClass(className);
    } else {
        const ObjectPtr blank = ClassRegistry::shared().make(className);
        if (blank) {
            entry.state = State::InProgress;
            entry.value = Value(blank);
            Frame frame(*this, record);
            m_decoding.push_back(blank.get());
            struct Pop {
                std::vector<const Object*>& stack;
                ~Pop() { stack.pop_back(); }
            } pop { m_decoding };
            result = Value(blank->initWithCoder(*this));
        }
    }
    entry.value = result;
    entry.state = State::Done;
    rollback.done = true;
    return result;
}

ValueList KeyedUnarchiver::decodeMembers(const QString& key)
{
    const Index node = lookup(key);
    if (node == PropertyList::kNoNode)
        return {};
    const auto items = m_list.items(node);
    if (m_list.kind(node) != PropertyList::Kind::Array && m_list.kind(node) != PropertyList::Kind::Set)
        corrupt(QStringLiteral("The members of a collection are not an array."));
    spend(items.size());
    ValueList members;
    members.reserve(qsizetype(items.size()));
    // Members were checked with the collection when decoding is restricted.
    for (Index item : items)
        members.append(decodeNode(item, nullptr));
    return members;
}

Value KeyedUnarchiver::decodeValueClass(const QString& className)
{
    if (isArrayClass(className))
        return decodeMembers(QStringLiteral("NS.objects"));
    if (isDictionaryClass(className)) {
        const ValueList keys = decodeMembers(QStringLiteral("NS.keys"));
        const ValueList objects = decodeMembers(QStringLiteral("NS.objects"));
        if (keys.size() != objects.size())
            corrupt(QStringLiteral("A dictionary has different numbers of keys and values."));
        ValueMap map;
        for (qsizetype i = 0; i < keys.size(); ++i) {
            if (keys[i].type() == Value::Type::String)
                map.insert(keys[i].toString(), objects[i]);
        }
        return map;
    }
    if (className == QLatin1String("NSString") || className == QLatin1String("NSMutableString"))
        return stringAt(QStringLiteral("NS.string"));
    if (className == QLatin1String("NSData") || className == QLatin1String("NSMutableData"))
        return decodeBytesForKey(QStringLiteral("NS.data"));
    if (className == QLatin1String("NSNumber")) {
        if (containsValueForKey(QStringLiteral("NS.dblval")))
            return decodeDoubleForKey(QStringLiteral("NS.dblval"));
        if (containsValueForKey(QStringLiteral("NS.boolval")))
            return decodeBoolForKey(QStringLiteral("NS.boolval"));
        return decodeIntegerForKey(QStringLiteral("NS.intval"));
    }
    if (className == QLatin1String("NSValue")) {
        switch (decodeIntegerForKey(QStringLiteral("NS.special"))) {
        case 1:
            return decodePointForKey(QStringLiteral("NS.pointval"));
        case 2:
            return decodeSizeForKey(QStringLiteral("NS.sizeval"));
        case 3:
            return decodeRectForKey(QStringLiteral("NS.rectval"));
        default:
            return {};
        }
    }
    if (className == QLatin1String("NSColor"))
        return decodeColor();
    if (className == QLatin1String("NSAffineTransform")) {
        return QTransform(decodeDoubleForKey(QStringLiteral("m11")),
            decodeDoubleForKey(QStringLiteral("m12")), decodeDoubleForKey(QStringLiteral("m21")),
            decodeDoubleForKey(QStringLiteral("m22")), decodeDoubleForKey(QStringLiteral("tX")),
            decodeDoubleForKey(QStringLiteral("tY")));
    }
    return {};
}

// Calibrated and device RGB, white and CMYK colours; catalog and pattern colours have no
// counterpart here and decode as null.
Value KeyedUnarchiver::decodeColor()
{
    const qint64 space = decodeIntegerForKey(QStringLiteral("NSColorSpace"));
    auto components = [this](const char* key, int count, float* out, float* alpha) {
        const QByteArray text = decodeBytesForKey(QString::fromLatin1(key));
        const auto values = archivetext::scanFloats<5>(text);
        for (int i = 0; i < count; ++i)
            out[i] = unitComponent(values[size_t(i)]);
        *alpha = archivetext::countNumbers(text) > count ? unitComponent(values[size_t(count)]) : 1.0f;
    };
    float c[4] = {};
    float alpha = 1;
    switch (space) {
    case 1:
    case 2:
        components("NSRGB", 3, c, &alpha);
        return QColor::fromRgbF(c[0], c[1], c[2], alpha);
    case 3:
    case 4:
        components("NSWhite", 1, c, &alpha);
        return QColor::fromRgbF(c[0], c[0], c[0], alpha);
    case 5:
        components("NSCYMK", 4, c, &alpha);
        return QColor::fromCmykF(c[0], c[1], c[2], c[3], alpha).toRgb();
    default:
        return {};
    }
}

QString KeyedUnarchiver::classNameOfRecord(Index record) const
{
    const Index classRef = m_list.valueForKey(record, u"$class");
    if (classRef == PropertyList::kNoNode || m_list.kind(classRef) != PropertyList::Kind::Uid)
        corrupt(QStringLiteral("An archived object has no class."));
    const Index classRecord = objectNode(m_list.uid(classRef));
    const Index name = m_list.valueForKey(classRecord, u"$classname");
    if (name == PropertyList::kNoNode || m_list.kind(name) != PropertyList::Kind::String
        || m_list.string(name).isEmpty())
        corrupt(QStringLiteral("An archived class has no name."));
    return m_list.string(name);
}

// The class an archived value stands for; empty for nil.
QString KeyedUnarchiver::classOfNode(Index node) const
{
    using Kind = PropertyList::Kind;
    switch (m_list.kind(node)) {
    case Kind::String:
        return QStringLiteral("NSString");
    case Kind::Data:
        return QStringLiteral("NSData");
    case Kind::Bool:
    case Kind::Int:
    case Kind::Real32:
    case Kind::Real64:
        return QStringLiteral("NSNumber");
    case Kind::Date:
        return QStringLiteral("NSDate");
    case Kind::Dict:
        return classNameOfRecord(node);
    case Kind::Null:
    case Kind::Array:
    case Kind::Set:
        // Containers written inline at object keys are not objects; they decode as null.
        return {};
    default:
        corrupt(QStringLiteral("An archived object is neither a value nor a record."));
    }
}

// Checks the class of a value and, for collections, of every member, without decoding anything.
bool KeyedUnarchiver::classAllowed(Index node, const QStringList& allowed)
{
    const ClassRegistry& registry = ClassRegistry::shared();
    std::vector<Index> pending { node };
    std::vector<quint64> memoKeys;
    QSet<Index> seen;
    while (!pending.empty()) {
        const Index current = pending.back();
        pending.pop_back();
        if (m_list.kind(current) == PropertyList::Kind::Uid) {
            const quint64 uid = m_list.uid(current);
            if (uid == 0)
                continue;
            const Index target = objectNode(uid);
            // An object that is itself a reference would lead nowhere, or round in a circle.
            if (m_list.kind(target) == PropertyList::Kind::Uid)
                corrupt(QStringLiteral("An archived object is neither a value nor a record."));
            pending.push_back(target);
            continue;
        }
        if (seen.contains(current))
            continue;
        seen.insert(current);
        spend(1);
        const QString name = classOfNode(current);
        if (name.isEmpty())
            continue;
        if (!registry.isKindOfAny(name, allowed))
            return false;
        if (!isArrayClass(name) && !isDictionaryClass(name))
            continue;
        const auto memo = m_allowedMemo.find(current);
        if (memo != m_allowedMemo.end() && memo->second.first == allowed) {
            if (!memo->second.second)
                return false;
            continue;
        }
        memoKeys.push_back(current);
        // Looking the members up scans the record's keys; a record can have many.
        spend(quint64(m_list.count(current)));
        for (const char* key : { "NS.objects", "NS.keys" }) {
            const Index members = m_list.valueForKey(current, QString::fromLatin1(key));
            if (members == PropertyList::kNoNode)
                continue;
            const auto items = m_list.items(members);
            spend(items.size());
            pending.insert(pending.end(), items.begin(), items.end());
        }
    }
    for (quint64 key : memoKeys)
        m_allowedMemo[key] = { allowed, true };
    return true;
}

} // namespace zandrel
