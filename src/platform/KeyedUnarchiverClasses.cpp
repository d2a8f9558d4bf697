#include "platform/ArchiveNames.h"
#include "platform/Exception.h"
#include "platform/KeyedArchiveText.h"
#include "platform/KeyedUnarchiver.h"

#include <QSet>
#include <algorithm>
#include <cmath>

// The platform value classes (collections, strings, data, numbers, geometry, colours,
// transforms) and the class checks of restricted decoding.

namespace zandrel {

namespace {

[[noreturn]] void corrupt(const QString& reason)
{
    Exception::raise(kInvalidArchiveException, reason);
}

// Colour components from other writers may be anything; an infinite one counts as missing.
double finiteComponent(double value)
{
    return std::isfinite(value) ? value : 0.0;
}

} // namespace

bool KeyedUnarchiver::isDictionaryClass(const QString& name)
{
    return name == PlatformClass::kDictionary || name == PlatformClass::kMutableDictionary;
}

bool KeyedUnarchiver::isArrayClass(const QString& name)
{
    return name == PlatformClass::kArray || name == PlatformClass::kMutableArray
        || name == PlatformClass::kSet || name == PlatformClass::kMutableSet;
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
    m_decodingBudget.spend(qint64(items.size()) * qint64(sizeof(Value)));
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
        return decodeMembers(ArchiveLayoutKey::kMembers);
    if (isDictionaryClass(className)) {
        const ValueList keys = decodeMembers(ArchiveLayoutKey::kKeys);
        const ValueList objects = decodeMembers(ArchiveLayoutKey::kMembers);
        if (keys.size() != objects.size())
            corrupt(QStringLiteral("A dictionary has different numbers of keys and values."));
        ValueMap map;
        for (qsizetype i = 0; i < keys.size(); ++i) {
            if (keys[i].type() == Value::Type::String)
                map.insert(keys[i].toString(), objects[i]);
        }
        return map;
    }
    if (className == PlatformClass::kString || className == PlatformClass::kMutableString)
        return stringAt(ArchiveLayoutKey::kStringText);
    if (className == PlatformClass::kData || className == PlatformClass::kMutableData)
        return decodeBytesForKey(ArchiveLayoutKey::kDataBytes);
    if (className == PlatformClass::kNumber) {
        if (containsValueForKey(ArchiveLayoutKey::kDoubleValue))
            return decodeDoubleForKey(ArchiveLayoutKey::kDoubleValue);
        if (containsValueForKey(ArchiveLayoutKey::kBoolValue))
            return decodeBoolForKey(ArchiveLayoutKey::kBoolValue);
        const Index integer = scalarNode(ArchiveLayoutKey::kIntegerValue);
        if (integer != PropertyList::kNoNode && m_list.isUnsignedInt(integer))
            return m_list.unsignedIntValue(integer);
        return decodeIntegerForKey(ArchiveLayoutKey::kIntegerValue);
    }
    if (className == PlatformClass::kValue) {
        switch (decodeIntegerForKey(ArchiveLayoutKey::kSpecial)) {
        case 1:
            return decodePointForKey(ArchiveLayoutKey::kPointValue);
        case 2:
            return decodeSizeForKey(ArchiveLayoutKey::kSizeValue);
        case 3:
            return decodeRectForKey(ArchiveLayoutKey::kRectValue);
        default:
            return {};
        }
    }
    if (className == PlatformClass::kColor)
        return decodeColor();
    if (ClassRegistry::shared().isKindOf(className, PlatformClass::kAttributedString))
        return decodeAttributedString();
    if (className == PlatformClass::kAffineTransform) {
        return QTransform(decodeDoubleForKey(ArchiveLayoutKey::kTransformM11),
            decodeDoubleForKey(ArchiveLayoutKey::kTransformM12),
            decodeDoubleForKey(ArchiveLayoutKey::kTransformM21),
            decodeDoubleForKey(ArchiveLayoutKey::kTransformM22),
            decodeDoubleForKey(ArchiveLayoutKey::kTransformTX),
            decodeDoubleForKey(ArchiveLayoutKey::kTransformTY));
    }
    return {};
}

// Calibrated and device RGB, white and CMYK colours; catalog and pattern colours have no
// counterpart here and decode as null.
Value KeyedUnarchiver::decodeColor()
{
    const qint64 space = decodeIntegerForKey(ArchiveLayoutKey::kColorSpace);
    // The components are kept as written: the text is read as doubles, not rounded to floats.
    auto components = [this](const QString& key, int count, double* out, double* alpha) {
        const QByteArray text = decodeBytesForKey(key);
        const auto values = archivetext::scanDoubles<5>(text);
        for (int i = 0; i < count; ++i)
            out[i] = finiteComponent(values[size_t(i)]);
        *alpha = archivetext::countNumbers(text) > count ? finiteComponent(values[size_t(count)]) : 1.0;
    };
    double c[4] = {};
    double alpha = 1;
    switch (space) {
    case 1:
    case 2:
        components(ArchiveLayoutKey::kRGB, 3, c, &alpha);
        return RgbColor(c[0], c[1], c[2], alpha);
    case 3:
    case 4:
        components(ArchiveLayoutKey::kWhite, 1, c, &alpha);
        return RgbColor(c[0], c[0], c[0], alpha);
    case 5: {
        components(ArchiveLayoutKey::kCMYK, 4, c, &alpha);
        const auto unit = [](double v) { return std::clamp(v, 0.0, 1.0); };
        const double black = 1.0 - unit(c[3]);
        return RgbColor(
            (1.0 - unit(c[0])) * black, (1.0 - unit(c[1])) * black, (1.0 - unit(c[2])) * black, alpha);
    }
    default:
        return {};
    }
}

QString KeyedUnarchiver::classNameOfRecord(Index record) const
{
    return classInfoOfRecord(record).name;
}

const KeyedUnarchiver::ClassInfo& KeyedUnarchiver::classInfoOfRecord(Index record) const
{
    const Index classRef = valueForKeyId(record, m_classKeyId);
    if (classRef == PropertyList::kNoNode || m_list.kind(classRef) != PropertyList::Kind::Uid)
        corrupt(QStringLiteral("An archived object has no class."));
    const Index classRecord = objectNode(m_list.uid(classRef));
    auto& memo = m_classInfoMemo[classRecord % m_classInfoMemo.size()];
    if (memo.first == classRecord)
        return *memo.second;
    const auto known = m_classInfo.find(classRecord);
    if (known != m_classInfo.end()) {
        memo = { classRecord, &known->second };
        return known->second;
    }
    const Index name = m_list.valueForKey(classRecord, ArchiveLayoutKey::kClassName);
    if (name == PropertyList::kNoNode || m_list.kind(name) != PropertyList::Kind::String
        || m_list.string(name).isEmpty())
        corrupt(QStringLiteral("An archived class has no name."));
    const QString& className = m_list.string(name);
    const bool valueClass = ClassRegistry::isValueClass(className);
    const ClassInfo& info
        = m_classInfo
              .emplace(classRecord,
                  ClassInfo { className, valueClass, isArrayClass(className) || isDictionaryClass(className),
                      valueClass ? ClassRegistry::Factory() : ClassRegistry::shared().factory(className),
                      {} })
              .first->second;
    memo = { classRecord, &info };
    return info;
}

// The class an archived value stands for; empty for nil.
QString KeyedUnarchiver::classOfNode(Index node) const
{
    using Kind = PropertyList::Kind;
    switch (m_list.kind(node)) {
    case Kind::String:
        return PlatformClass::kString;
    case Kind::Data:
        return PlatformClass::kData;
    case Kind::Bool:
    case Kind::Int:
    case Kind::Real32:
    case Kind::Real64:
        return PlatformClass::kNumber;
    case Kind::Date:
        return PlatformClass::kDate;
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

quint32 KeyedUnarchiver::allowedSetNumber(const QStringList& allowed)
{
    // Callers name a handful of sets, most often from one list they keep.
    for (size_t i = m_allowedSets.size(); i > 0; --i) {
        if (m_allowedSets[i - 1] == allowed)
            return quint32(i - 1);
    }
    m_allowedSets.push_back(allowed);
    return quint32(m_allowedSets.size() - 1);
}

// Whether the class is of a kind of one of the allowed classes, asked of the registry once per
// class record and allowed set.
bool KeyedUnarchiver::kindAllowed(
    const QString& name, const ClassInfo* info, quint32 allowedSet, const QStringList& allowed)
{
    if (!info)
        return ClassRegistry::shared().isKindOfAny(name, allowed);
    if (info->allowedBy.size() <= allowedSet)
        info->allowedBy.resize(allowedSet + 1, 0);
    quint8& known = info->allowedBy[allowedSet];
    if (known == 0)
        known = ClassRegistry::shared().isKindOfAny(name, allowed) ? 2 : 1;
    return known == 2;
}

// Checks the class of a value and, for collections, of every member, without decoding anything.
// The node is the object of the UID given, or a value written in place (UID 0).
bool KeyedUnarchiver::classAllowed(Index node, quint64 uid, const QStringList& allowed)
{
    const quint32 allowedSet = allowedSetNumber(allowed);
    // The memo of a collection's entry holds the number of the set plus one in 16 bits.
    const quint16 memoValue = allowedSet < 0xffffu ? quint16(allowedSet + 1) : 0;
    const auto memoOf = [&](quint64 at, Index current) -> bool {
        if (at != 0)
            return memoValue != 0 && m_entries[at].allowedMemo == memoValue;
        const auto memo = m_allowedMemo.find(current);
        return memo != m_allowedMemo.end() && memo->second == allowedSet;
    };

    // A record that is not a collection, the most common case, needs no walk.
    if (m_list.kind(node) == PropertyList::Kind::Dict) {
        const ClassInfo& info = classInfoOfRecord(node);
        if (!info.collection) {
            spend(1);
            return kindAllowed(info.name, &info, allowedSet, allowed);
        }
        if (memoOf(uid, node))
            return true;
    }

    // Collections already walked in this check, by UID or (for those written in place) by node
    // with the top bit set: few, so searched in order until there are many.
    std::vector<quint64> walked;
    QSet<quint64> walkedSet;
    const auto firstVisit = [&](quint64 key) {
        if (walkedSet.isEmpty()) {
            if (std::find(walked.begin(), walked.end(), key) != walked.end())
                return false;
            walked.push_back(key);
            if (walked.size() > 32)
                walkedSet = QSet<quint64>(walked.begin(), walked.end());
            return true;
        }
        if (walkedSet.contains(key))
            return false;
        walkedSet.insert(key);
        walked.push_back(key);
        return true;
    };

    std::vector<std::pair<Index, quint64>> pending { { node, uid } };
    while (!pending.empty()) {
        auto [current, at] = pending.back();
        pending.pop_back();
        if (m_list.kind(current) == PropertyList::Kind::Uid) {
            at = m_list.uid(current);
            if (at == 0)
                continue;
            const Index target = objectNode(at);
            // An object that is itself a reference would lead nowhere, or round in a circle.
            if (m_list.kind(target) == PropertyList::Kind::Uid)
                corrupt(QStringLiteral("An archived object is neither a value nor a record."));
            pending.emplace_back(target, at);
            continue;
        }
        spend(1);
        const ClassInfo* info
            = m_list.kind(current) == PropertyList::Kind::Dict ? &classInfoOfRecord(current) : nullptr;
        const QString name = info ? info->name : classOfNode(current);
        if (name.isEmpty())
            continue;
        if (!kindAllowed(name, info, allowedSet, allowed))
            return false;
        if (!info || !info->collection)
            continue;
        if (memoOf(at, current) || !firstVisit(at != 0 ? at : (quint64(1) << 63) | current))
            continue;
        // Looking the members up scans the record's keys; a record can have many.
        spend(quint64(m_list.count(current)));
        for (const quint32 key : { m_membersKeyId, m_keysKeyId }) {
            const Index members = valueForKeyId(current, key);
            if (members == PropertyList::kNoNode)
                continue;
            const auto items = m_list.items(members);
            spend(items.size());
            for (Index item : items)
                pending.emplace_back(item, 0);
        }
    }
    for (quint64 key : walked) {
        if (key >> 63)
            m_allowedMemo[Index(key)] = allowedSet;
        else if (memoValue != 0)
            m_entries[key].allowedMemo = memoValue;
    }
    return true;
}

} // namespace zandrel
