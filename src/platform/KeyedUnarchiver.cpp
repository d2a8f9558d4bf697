#include "platform/KeyedUnarchiver.h"

#include "platform/ArchiveNames.h"
#include "platform/Exception.h"
#include "platform/KeyedArchiveText.h"
#include "platform/KeyedUnarchiverScopes.h"
#include "platform/Object.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <pthread.h>

namespace zandrel {

namespace {

// Room left for the decoding class's own work and for unwinding when the nesting stops.
constexpr size_t kStackReserve = 512 * 1024;

[[noreturn]] void corrupt(const QString& reason)
{
    Exception::raise(kInvalidArchiveException, reason);
}

// The bounds of the calling thread's stack, or nulls where they cannot be learnt.
std::pair<const char*, const char*> stackBounds()
{
    thread_local const std::pair<const char*, const char*> bounds = [] {
        std::pair<const char*, const char*> result { nullptr, nullptr };
        pthread_attr_t attr;
        if (pthread_getattr_np(pthread_self(), &attr) == 0) {
            void* address = nullptr;
            size_t size = 0;
            if (pthread_attr_getstack(&attr, &address, &size) == 0)
                result = { static_cast<const char*>(address), static_cast<const char*>(address) + size };
            pthread_attr_destroy(&attr);
        }
        return result;
    }();
    return bounds;
}

QString escapedKey(const QString& key)
{
    return key.startsWith(QLatin1Char('$')) ? QLatin1Char('$') + key : key;
}

} // namespace

KeyedUnarchiver::Nesting::Nesting(KeyedUnarchiver& owner)
    : m_owner(owner)
{
    if (owner.m_depth >= owner.m_limits.maxDepth)
        corrupt(QStringLiteral("Archived objects are nested too deeply."));
    // Code running on a stack of its own (a coroutine) is outside the bounds; only the depth
    // limit applies there.
    const auto [low, high] = stackBounds();
    const char* here = static_cast<const char*>(__builtin_frame_address(0));
    if (low && here >= low && here < high && size_t(here - low) < kStackReserve)
        corrupt(QStringLiteral("Archived objects are nested too deeply for the stack."));
    if (++owner.m_decoded > owner.m_limits.maxDecodedObjects)
        corrupt(QStringLiteral("The archive holds more objects than allowed."));
    ++owner.m_depth;
}

KeyedUnarchiver::KeyedUnarchiver(const QByteArray& data)
    : KeyedUnarchiver(data, Limits())
{
}

KeyedUnarchiver::KeyedUnarchiver(const QByteArray& data, const Limits& limits)
    : m_list(PropertyListView::fromBinary(data, limits.plist))
    , m_limits(limits)
    , m_decodingBudget(data.size())
{
    m_classInfoMemo.fill({ PropertyList::kNoNode, nullptr });
    m_classKeyId = internKey(ArchiveLayoutKey::kClass);
    m_membersKeyId = internKey(ArchiveLayoutKey::kMembers);
    m_keysKeyId = internKey(ArchiveLayoutKey::kKeys);
    checkHeader();
}

KeyedUnarchiver::~KeyedUnarchiver() = default;

void KeyedUnarchiver::checkHeader()
{
    const Index root = m_list.root();
    if (m_list.kind(root) != PropertyList::Kind::Dict)
        corrupt(QStringLiteral("The archive is not a dictionary."));
    const Index archiver = m_list.valueForKey(root, ArchiveLayoutKey::kArchiver);
    if (archiver == PropertyList::kNoNode || m_list.string(archiver) != ArchiveLayoutKey::kArchiverName)
        corrupt(QStringLiteral("The archive was not written by a keyed archiver."));
    const Index version = m_list.valueForKey(root, ArchiveLayoutKey::kVersion);
    if (version == PropertyList::kNoNode || m_list.kind(version) != PropertyList::Kind::Int
        || m_list.intValue(version) != 100000)
        corrupt(QStringLiteral("Unsupported keyed archive version."));
    const Index top = m_list.valueForKey(root, ArchiveLayoutKey::kTop);
    if (top == PropertyList::kNoNode || m_list.kind(top) != PropertyList::Kind::Dict)
        corrupt(QStringLiteral("The archive has no top dictionary."));
    const Index objects = m_list.valueForKey(root, ArchiveLayoutKey::kObjects);
    if (objects == PropertyList::kNoNode || m_list.kind(objects) != PropertyList::Kind::Array
        || m_list.count(objects) < 1)
        corrupt(QStringLiteral("The archive has no object table."));
    m_objects = m_list.items(objects);
    m_entries.resize(m_objects.size());
    pushFrame(top);
    // A well-formed archive touches each container entry about once; repeated restricted checks
    // of shared collections are memoised, so several times that is only reached by fan-out.
    m_budget = 4 * m_list.totalEntries() + (quint64(1) << 20);
}

Value KeyedUnarchiver::unarchive(const QByteArray& data, const QStringList& allowedRootClasses)
{
    KeyedUnarchiver unarchiver(data);
    return unarchiver.decodeObjectOfClasses(allowedRootClasses, ArchiveLayoutKey::kRoot);
}

Value KeyedUnarchiver::unarchiveAnyClass(const QByteArray& data)
{
    KeyedUnarchiver unarchiver(data);
    return unarchiver.decodeObjectForKey(ArchiveLayoutKey::kRoot);
}

void KeyedUnarchiver::spend(quint64 work)
{
    if (work > m_budget)
        corrupt(QStringLiteral("The archive shares collections beyond any sensible use."));
    m_budget -= work;
}

quint32 KeyedUnarchiver::internKey(const QString& escaped) const
{
    auto it = m_keyIds.find(escaped);
    if (it == m_keyIds.end())
        it = m_keyIds.insert(escaped, quint32(m_keyIds.size() + 1));
    return it.value();
}

quint32 KeyedUnarchiver::keyId(const QString& key) const
{
    // Callers ask with a few texts they keep, so where the characters are picks the place.
    const auto at = reinterpret_cast<quintptr>(key.constData());
    AskedKey& asked = m_askedKeys[((at >> 3) * 0x9E3779B97F4A7C15ull >> 32) % m_askedKeys.size()];
    if (asked.id != 0 && asked.text == key)
        return asked.id;
    asked.text = key;
    asked.id = internKey(escapedKey(key));
    return asked.id;
}

quint32 KeyedUnarchiver::keyIdOfNode(Index keyNode) const
{
    auto& set = m_keyNodes[(keyNode * 0x9E3779B1u >> 16) % m_keyNodes.size()];
    if (set[0].node == keyNode)
        return set[0].id;
    if (set[1].node == keyNode) {
        std::swap(set[0], set[1]);
        return set[0].id;
    }
    // Keys are strings (the container check saw to it); a file that writes each key anew only
    // comes here more often.
    set[1] = set[0];
    set[0] = { keyNode, internKey(m_list.decodeString(keyNode)) };
    return set[0].id;
}

PropertyList::Index KeyedUnarchiver::valueForKeyId(Index dict, quint32 id) const
{
    const auto keys = m_list.keys(dict);
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keyIdOfNode(keys[i]) == id)
            return m_list.values(dict)[i];
    }
    return PropertyList::kNoNode;
}

void KeyedUnarchiver::pushFrame(Index record)
{
    if (m_frameDepth == m_frames.size())
        m_frames.emplace_back();
    FrameKeys& frame = m_frames[m_frameDepth++];
    frame.record = record;
    frame.read = false;
}

void KeyedUnarchiver::readFrameKeys(FrameKeys& frame) const
{
    const auto keys = m_list.keys(frame.record);
    frame.read = true;
    frame.cursor = 0;
    frame.count = quint32(keys.size());
    frame.values = m_list.values(frame.record);
    frame.repeats = false;
    if (keys.size() > kFrameKeys)
        return;
    quint64 seen = 0;
    for (size_t i = 0; i < keys.size(); ++i) {
        const quint32 id = keyIdOfNode(keys[i]);
        frame.ids[i] = id;
        const quint64 bit = quint64(1) << (id % 64);
        if (seen & bit)
            frame.repeats = frame.repeats
                || std::find(frame.ids.begin(), frame.ids.begin() + i, id) != frame.ids.begin() + i;
        seen |= bit;
    }
}

PropertyList::Index KeyedUnarchiver::lookup(const QString& key) const
{
    FrameKeys& frame = m_frames[m_frameDepth - 1];
    if (!frame.read)
        readFrameKeys(frame);
    const quint32 id = keyId(key);
    const quint32 count = frame.count;
    if (count <= kFrameKeys) {
        // From the key after the last one found, round to it; from the first when a key repeats.
        const quint32 start = frame.repeats || frame.cursor >= count ? 0 : frame.cursor;
        for (quint32 n = 0; n < count; ++n) {
            const quint32 i = start + n < count ? start + n : start + n - count;
            if (frame.ids[i] == id) {
                frame.cursor = i + 1;
                return frame.values[i];
            }
        }
        return PropertyList::kNoNode;
    }
    auto [it, inserted] = m_keyIndex.try_emplace(frame.record);
    if (inserted) {
        const auto keys = m_list.keys(frame.record);
        for (size_t i = keys.size(); i > 0; --i)
            it->second[keyIdOfNode(keys[i - 1])] = frame.values[i - 1];
    }
    const auto found = it->second.find(id);
    return found == it->second.end() ? PropertyList::kNoNode : found->second;
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

void KeyedUnarchiver::noteAdopted(const ObjectPtr& object)
{
    if (object)
        m_adopted.insert(object.get(), {});
}

bool KeyedUnarchiver::wasAdopted(const ObjectPtr& object) const
{
    return object && m_adopted.find(object.get()) != nullptr;
}

bool KeyedUnarchiver::claim(const ObjectPtr& object)
{
    return object && m_claimed.insert(object.get(), {});
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
    if (allowed && !classAllowed(node, 0, *allowed))
        return {};
    switch (kind) {
    case Kind::Bool:
        return m_list.boolValue(node);
    case Kind::Int:
        if (m_list.isUnsignedInt(node))
            return m_list.unsignedIntValue(node);
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
    if (allowed && !classAllowed(node, uid, *allowed))
        return decodeAllowedMembers(uid, node, *allowed);
    Entry& entry = m_entries[uid];
    if (entry.state != State::NotDecoded)
        return valueOf(uid, entry);
    if (m_list.kind(node) == PropertyList::Kind::Dict)
        return decodeRecord(uid, node);
    if (m_list.isContainer(node) || m_list.kind(node) == PropertyList::Kind::Uid)
        corrupt(QStringLiteral("An archived object is neither a value nor a record."));
    const Value value = decodeNode(node, nullptr);
    store(uid, entry, value);
    entry.state = State::Done;
    return value;
}

// A list of an allowed class that holds members of other classes keeps the members it may hold:
// one stray element in a document must not cost all the others. The filtered list depends on the
// allowed classes, so it is not cached. Anything else refused decodes as null.
Value KeyedUnarchiver::decodeAllowedMembers(quint64 uid, Index node, const QStringList& allowed)
{
    if (m_list.kind(node) != PropertyList::Kind::Dict)
        return {};
    const QString name = classNameOfRecord(node);
    if (!isArrayClass(name) || !ClassRegistry::shared().isKindOfAny(name, allowed))
        return {};
    // A list that holds itself would filter itself without end.
    if (m_filtering.contains(uid))
        return {};
    // A list shared many times is filtered once per set of allowed classes.
    const auto memo = m_filteredMemo.find(uid);
    if (memo != m_filteredMemo.end() && memo->second.first == allowed)
        return memo->second.second;
    m_filtering.insert(uid);
    struct Done {
        QSet<quint64>& set;
        quint64 uid;
        ~Done() { set.remove(uid); }
    } done { m_filtering, uid };
    Nesting nesting(*this);

    ValueList kept;
    const Index members = valueForKeyId(node, m_membersKeyId);
    if (members == PropertyList::kNoNode)
        return Value(kept);
    if (m_list.kind(members) != PropertyList::Kind::Array && m_list.kind(members) != PropertyList::Kind::Set)
        corrupt(QStringLiteral("The members of a collection are not an array."));
    const auto items = m_list.items(members);
    spend(items.size());
    m_decodingBudget.spend(qint64(items.size()) * qint64(sizeof(Value)));
    // Made at the size charged: a list grown by appending would hold up to twice that meanwhile.
    kept.reserve(qsizetype(items.size()));
    for (Index item : items) {
        Value member = decodeNode(item, &allowed);
        if (!member.isNull())
            kept.append(std::move(member));
    }
    m_filteredMemo[uid] = { allowed, Value(kept) };
    return kept;
}

Value KeyedUnarchiver::decodeRecord(quint64 uid, Index record)
{
    const ClassInfo& info = classInfoOfRecord(record);
    Nesting nesting(*this);
    Entry& entry = m_entries[uid];

    // If decoding raises, the UID goes back to undecoded and the blank object is released.
    struct Rollback {
        KeyedUnarchiver& owner;
        quint64 uid;
        Entry& entry;
        bool done = false;
        ~Rollback()
        {
            if (!done) {
                entry.state = State::NotDecoded;
                owner.store(uid, entry, Value());
            }
        }
    } rollback { *this, uid, entry };

    // The classes' decoders charge this archive's budget.
    std::optional<DecodingBudget::Scope> budgetScope;
    if (DecodingBudget::current() != &m_decodingBudget)
        budgetScope.emplace(m_decodingBudget);
    Value result;
    if (info.valueClass) {
        entry.state = State::InProgress;
        Frame frame(*this, record);
        result = decodeValueClass(info.name);
    } else {
        const ObjectPtr blank = info.factory ? info.factory() : nullptr;
        if (blank) {
            entry.state = State::InProgress;
            entry.object = blank;
            Frame frame(*this, record);
            m_decoding.push_back(blank.get());
            struct Pop {
                std::vector<const Object*>& stack;
                ~Pop() { stack.pop_back(); }
            } pop { m_decoding };
            result = Value(blank->initWithCoder(*this));
        }
    }
    store(uid, entry, result);
    entry.state = State::Done;
    rollback.done = true;
    return result;
}

Value KeyedUnarchiver::valueOf(quint64, const Entry& entry) const
{
    if (entry.object)
        return Value(entry.object);
    return entry.otherValue ? m_otherValues[entry.otherValue - 1].second : Value();
}

void KeyedUnarchiver::store(quint64 uid, Entry& entry, const Value& value)
{
    entry.object.reset();
    if (entry.otherValue) {
        auto& [owner, kept] = m_otherValues[entry.otherValue - 1];
        m_listsKept -= kept.type() == Value::Type::List ? 1 : 0;
        kept = Value();
        m_freeOtherValues.push_back(entry.otherValue - 1);
        entry.otherValue = 0;
    }
    if (value.type() == Value::Type::Object) {
        entry.object = value.toObject();
    } else if (!value.isNull()) {
        if (m_freeOtherValues.empty()) {
            m_otherValues.emplace_back(uid, value);
            entry.otherValue = quint32(m_otherValues.size());
        } else {
            entry.otherValue = m_freeOtherValues.back() + 1;
            m_freeOtherValues.pop_back();
            m_otherValues[entry.otherValue - 1] = { uid, value };
        }
        if (value.type() == Value::Type::List && ++m_listsKept > m_listsKeptLimit)
            forgetUnsharedLists();
    }
}

// A list is kept so that every reference to it gets the same list, charged once. Most lists are
// taken apart by their owner (a curve keeps its points, not the list), and keeping those would
// cost a value a member for the whole read: once nothing but this table holds a list, it is
// forgotten, and a later reference decodes it anew (and is charged anew). The table is swept
// when it has doubled, so that sweeping costs a constant per list.
void KeyedUnarchiver::forgetUnsharedLists()
{
    for (size_t i = 0; i < m_otherValues.size(); ++i) {
        auto& [uid, kept] = m_otherValues[i];
        if (!kept.holdsUnsharedList())
            continue;
        Entry& entry = m_entries[uid];
        entry.otherValue = 0;
        entry.state = State::NotDecoded;
        --m_listsKept;
        kept = Value();
        m_freeOtherValues.push_back(quint32(i));
    }
    m_listsKeptLimit = std::max(kListsKeptAtLeast, 2 * m_listsKept);
}

} // namespace zandrel
