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
    const Index classRef = m_list.valueForKey(record, ArchiveLayoutKey::kClass);
    if (classRef == PropertyList::kNoNode || m_list.kind(classRef) != PropertyList::Kind::Uid)
        corrupt(QStringLiteral("An archived object has no class."));
    const Index classRecord = objectNode(m_list.uid(classRef));
    const auto known = m_classInfo.find(classRecord);
    if (known != m_classInfo.end())
        return known->second;
    const Index name = m_list.valueForKey(classRecord, ArchiveLayoutKey::kClassName);
    if (name == PropertyList::kNoNode || m_list.kind(name) != PropertyList::Kind::String
        || m_list.string(name).isEmpty())
        corrupt(QStringLiteral("An archived class has no name."));
    const QString& className = m_list.string(name);
    const bool valueClass = ClassRegistry::isValueClass(className);
    return m_classInfo
        .emplace(classRecord,
            ClassInfo { className, valueClass,
                valueClass ? ClassRegistry::Factory() : ClassRegistry::shared().factory(className) })
        .first->second;
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
        for (const QString* key : { &ArchiveLayoutKey::kMembers, &ArchiveLayoutKey::kKeys }) {
            const Index members = m_list.valueForKey(current, *key);
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
