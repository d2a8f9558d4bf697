// Attributed text in keyed archives, in the standard encoding so that any standard keyed-archive
// reader opens it:
//
//   NSMutableAttributedString {
//       "NSString":        the characters (a string object)
//       "NSAttributes":    one attribute dictionary when a single run covers the text, else a list
//                          of the distinct dictionaries
//       "NSAttributeInfo": with several runs, NSMutableData {"NS.data": run table}: per run its
//                          length in UTF-16 code units and its dictionary's index in the list,
//                          each an unsigned base-128 varint (low 7 bits first, high bit: more)
//   }
//   An empty text has only "NSString".
//
// Attribute dictionaries (NSDictionary, keyed by attribute name) hold:
//   "NSFont"            NSFont {"NSName": string, "NSSize": double, "NSfFlags": int when read}
//   "NSColor"           the platform colour encoding
//   "NSParagraphStyle"  NSMutableParagraphStyle {"NSAlignment": int (0 left, 1 right, 2 centre,
//                       3 justified, 4 natural; natural when absent), "NSLineHeightMultiple",
//                       "NSParagraphSpacing", "NSParagraphSpacingBefore": doubles written when not
//                       0, and every other key as read}
//   anything else       kept as its value when it is made of strings, numbers, data, lists,
//                       dictionaries, geometry and colours; dropped otherwise.
//
// Reading treats the data as hostile: a run table that does not cover the text exactly, names a
// dictionary that is not there or holds an absurd number raises the unarchiver's error; an
// attribute of an unexpected class is dropped. Work is linear in the size of the archive: each
// dictionary and paragraph style is decoded once however often it is referred to.
#include "platform/ArchiveNames.h"
#include "platform/AttributedText.h"
#include "platform/Exception.h"
#include "platform/FontRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/KeyedUnarchiverScopes.h"

#include <QSet>
#include <algorithm>
#include <cmath>

namespace zandrel {

namespace {

const QString kStringKey = QStringLiteral("NSString");
const QString kAttributesKey = QStringLiteral("NSAttributes");
const QString kAttributeInfoKey = QStringLiteral("NSAttributeInfo");
const QString kFontNameKey = QStringLiteral("NSName");
const QString kFontSizeKey = QStringLiteral("NSSize");
const QString kFontFlagsKey = QStringLiteral("NSfFlags");
const QString kAlignmentKey = QStringLiteral("NSAlignment");
const QString kLineHeightMultipleKey = QStringLiteral("NSLineHeightMultiple");
const QString kParagraphSpacingKey = QStringLiteral("NSParagraphSpacing");
const QString kParagraphSpacingBeforeKey = QStringLiteral("NSParagraphSpacingBefore");
const QString kObjectsKey = QStringLiteral("NS.objects");
const QString kKeysKey = QStringLiteral("NS.keys");
const QString kDataKey = QStringLiteral("NS.data");
const QString kFontClass = QStringLiteral("NSFont");
const QString kParagraphStyleClass = QStringLiteral("NSParagraphStyle");

[[noreturn]] void corrupt(const QString& reason)
{
    Exception::raise(kInvalidArchiveException, reason);
}

void appendVarint(QByteArray& bytes, quint64 value)
{
    do {
        const char low = char(value & 0x7f);
        value >>= 7;
        bytes.append(value ? char(low | 0x80) : low);
    } while (value);
}

// False when the number is cut off or does not fit in 64 bits.
bool readVarint(const QByteArray& bytes, qsizetype& position, quint64& value)
{
    value = 0;
    for (int shift = 0; position < bytes.size(); shift += 7) {
        const quint8 byte = quint8(bytes[position++]);
        if (shift == 63 && (byte & 0x7e))
            return false;
        value |= quint64(byte & 0x7f) << shift;
        if (!(byte & 0x80))
            return true;
        if (shift == 63)
            return false;
    }
    return false;
}

double finiteOrZero(double value)
{
    return std::isfinite(value) ? value : 0.0;
}

bool isModelledParagraphKey(const QString& key)
{
    return key == kAlignmentKey || key == kLineHeightMultipleKey || key == kParagraphSpacingKey
        || key == kParagraphSpacingBeforeKey;
}

bool isModelledAttribute(const QString& name)
{
    return name == kFontAttributeName || name == kForegroundColorAttributeName
        || name == kParagraphStyleAttributeName;
}

bool hasArchivedForm(const Value& value)
{
    return !value.isNull() && !(value.type() == Value::Type::Color && !value.toColor().isValid());
}

} // namespace

// ---- Writing

void KeyedArchiver::encodeAttributedTextFields(const AttributedText& text)
{
    encodeObject(Value(text.string()), kStringKey);
    if (text.isEmpty())
        return;
    if (text.runCount() == 1) {
        setEntry(kAttributesKey, uidNode(encodeTextAttributes(text.runAttributes(0))));
        return;
    }
    const quint32 listUid = reserveUid();
    beginObject(listUid, PlatformClass::kMutableArray);
    std::vector<Index> dictionaries;
    for (const TextAttributes& attributes : text.attributeTable())
        dictionaries.push_back(uidNode(encodeTextAttributes(attributes)));
    setEntry(kObjectsKey, m_list.addArray(dictionaries));
    endObject();
    setEntry(kAttributesKey, uidNode(listUid));

    QByteArray runs;
    for (qsizetype run = 0; run < text.runCount(); ++run) {
        appendVarint(runs, quint64(text.runRange(run).length));
        appendVarint(runs, quint64(text.runTableIndex(run)));
    }
    const quint32 infoUid = reserveUid();
    beginObject(infoUid, PlatformClass::kMutableData);
    encodeBytes(runs, kDataKey);
    endObject();
    setEntry(kAttributeInfoKey, uidNode(infoUid));
}

quint32 KeyedArchiver::encodeTextAttributes(const TextAttributes& attributes)
{
    const quint32 uid = reserveUid();
    beginObject(uid, PlatformClass::kDictionary);
    // Names in order, as the generic dictionary encoding writes them: all keys, then all values.
    QStringList names;
    if (attributes.font)
        names.append(kFontAttributeName);
    if (attributes.foregroundColor.isValid())
        names.append(kForegroundColorAttributeName);
    if (attributes.paragraphStyle)
        names.append(kParagraphStyleAttributeName);
    for (auto it = attributes.otherAttributes.cbegin(); it != attributes.otherAttributes.cend(); ++it) {
        if (!isModelledAttribute(it.key()) && hasArchivedForm(it.value()))
            names.append(it.key());
    }
    names.sort();
    std::vector<Index> keys;
    std::vector<Index> objects;
    for (const QString& name : names)
        keys.push_back(uidNode(encodeReference(name)));
    for (const QString& name : names) {
        quint32 valueUid = 0;
        if (name == kFontAttributeName)
            valueUid = encodeTextFont(*attributes.font);
        else if (name == kForegroundColorAttributeName)
            valueUid = encodeReference(attributes.foregroundColor);
        else if (name == kParagraphStyleAttributeName)
            valueUid = encodeParagraphStyle(*attributes.paragraphStyle);
        else
            valueUid = encodeReference(attributes.otherAttributes.value(name));
        objects.push_back(uidNode(valueUid));
    }
    setEntry(kKeysKey, m_list.addArray(keys));
    setEntry(kObjectsKey, m_list.addArray(objects));
    endObject();
    return uid;
}

quint32 KeyedArchiver::encodeTextFont(const TextFont& font)
{
    const quint32 uid = reserveUid();
    beginObject(uid, kFontClass);
    encodeObject(Value(font.name), kFontNameKey);
    encodeDouble(font.size, kFontSizeKey);
    if (font.flags)
        encodeInteger(*font.flags, kFontFlagsKey);
    endObject();
    return uid;
}

quint32 KeyedArchiver::encodeParagraphStyle(const TextParagraphStyle& style)
{
    const quint32 uid = reserveUid();
    beginObject(uid, PlatformClass::kMutableParagraphStyle);
    encodeInteger(int(style.alignment), kAlignmentKey);
    if (style.lineHeightMultiple != 0)
        encodeDouble(style.lineHeightMultiple, kLineHeightMultipleKey);
    if (style.paragraphSpacing != 0)
        encodeDouble(style.paragraphSpacing, kParagraphSpacingKey);
    if (style.paragraphSpacingBefore != 0)
        encodeDouble(style.paragraphSpacingBefore, kParagraphSpacingBeforeKey);
    for (const ArchivedField& field : style.otherFields) {
        if (isModelledParagraphKey(field.key) || field.key.startsWith(QLatin1Char('$')))
            continue;
        if (!field.inlineScalar) {
            encodeObject(field.value, field.key);
            continue;
        }
        switch (field.value.type()) {
        case Value::Type::Bool:
            encodeBool(field.value.toBool(), field.key);
            break;
        case Value::Type::Float:
            encodeFloat(field.value.toFloat(), field.key);
            break;
        case Value::Type::Double:
            encodeDouble(field.value.toDouble(), field.key);
            break;
        default:
            encodeInteger(field.value.toInteger(), field.key);
            break;
        }
    }
    endObject();
    return uid;
}

// ---- Reading

PropertyList::Index KeyedUnarchiver::referencedNode(Index node) const
{
    if (node == PropertyList::kNoNode || m_list.kind(node) != PropertyList::Kind::Uid)
        return node;
    const quint64 uid = m_list.uid(node);
    return uid == 0 ? PropertyList::kNoNode : objectNode(uid);
}

bool KeyedUnarchiver::isRecordOfKind(Index node, const QString& className) const
{
    return node != PropertyList::kNoNode && m_list.kind(node) == PropertyList::Kind::Dict
        && ClassRegistry::shared().isKindOf(classNameOfRecord(node), className);
}

Value KeyedUnarchiver::decodeAttributedString()
{
    const Value string = decodeObjectOfClass(PlatformClass::kString, kStringKey);
    if (string.type() != Value::Type::String && referencedNode(lookup(kStringKey)) != PropertyList::kNoNode)
        corrupt(QStringLiteral("The characters of an attributed string are not a string."));
    const QString characters = string.toString();
    if (characters.isEmpty())
        return AttributedText();
    const Index attributes = referencedNode(lookup(kAttributesKey));
    if (attributes == PropertyList::kNoNode)
        return AttributedText(characters);

    // The distinct dictionaries: the one dictionary, or the members of the list.
    std::vector<Index> dictionaries;
    if (m_list.kind(attributes) != PropertyList::Kind::Dict)
        corrupt(QStringLiteral("The attributes of an attributed string are not an object."));
    const QString className = classNameOfRecord(attributes);
    if (isDictionaryClass(className)) {
        dictionaries.push_back(attributes);
    } else if (isArrayClass(className)) {
        const Index members = m_list.valueForKey(attributes, kObjectsKey);
        if (members != PropertyList::kNoNode) {
            if (m_list.kind(members) != PropertyList::Kind::Array)
                corrupt(QStringLiteral("The attribute dictionaries of an attributed string are not a list."));
            const auto items = m_list.items(members);
            spend(items.size());
            for (Index item : items)
                dictionaries.push_back(referencedNode(item));
        }
    } else {
        corrupt(
            QStringLiteral("The attributes of an attributed string are neither a dictionary nor a list."));
    }

    AttributedText::Builder builder(characters);
    std::vector<qsizetype> entries(dictionaries.size(), -1);
    auto entryFor = [&](quint64 index) {
        qsizetype& entry = entries[size_t(index)];
        if (entry < 0)
            entry = builder.addAttributes(decodeTextAttributes(dictionaries[size_t(index)]));
        return entry;
    };

    if (!containsValueForKey(kAttributeInfoKey)) {
        if (dictionaries.size() != 1)
            corrupt(
                QStringLiteral("An attributed string has several attribute dictionaries but no run table."));
        builder.appendRun(characters.size(), entryFor(0));
    } else {
        // Each byte of the table is read once; what the runs refer to is decoded once.
        const QByteArray runs = decodeBytesForKey(kAttributeInfoKey);
        qsizetype position = 0;
        while (position < runs.size()) {
            quint64 length = 0;
            quint64 index = 0;
            if (!readVarint(runs, position, length) || !readVarint(runs, position, index))
                corrupt(QStringLiteral("The run table of an attributed string is cut off."));
            if (index >= dictionaries.size())
                corrupt(QStringLiteral("A run of an attributed string names a missing dictionary."));
            if (length > quint64(characters.size()) || !builder.appendRun(qsizetype(length), entryFor(index)))
                corrupt(QStringLiteral("The runs of an attributed string pass the end of its text."));
        }
    }
    std::optional<AttributedText> text = builder.finish();
    if (!text)
        corrupt(QStringLiteral("The runs of an attributed string do not cover its text."));
    return *text;
}

TextAttributes KeyedUnarchiver::decodeTextAttributes(Index record)
{
    const auto memo = m_textAttributesMemo.find(record);
    if (memo != m_textAttributesMemo.end())
        return memo->second;
    TextAttributes attributes;
    // A member that is not a dictionary gives the text no attributes rather than refusing it.
    if (record != PropertyList::kNoNode && m_list.kind(record) == PropertyList::Kind::Dict
        && isDictionaryClass(classNameOfRecord(record))) {
        Nesting nesting(*this);
        const Index keysNode = m_list.valueForKey(record, kKeysKey);
        const Index objectsNode = m_list.valueForKey(record, kObjectsKey);
        const auto keys
            = keysNode == PropertyList::kNoNode ? PropertyListView::Refs() : m_list.items(keysNode);
        const auto objects
            = objectsNode == PropertyList::kNoNode ? PropertyListView::Refs() : m_list.items(objectsNode);
        if (keys.size() != objects.size())
            corrupt(QStringLiteral("A dictionary has different numbers of keys and values."));
        spend(keys.size());
        const QStringList colorClass { PlatformClass::kColor };
        for (size_t i = 0; i < keys.size(); ++i) {
            const Index keyNode = referencedNode(keys[i]);
            if (keyNode == PropertyList::kNoNode || m_list.kind(keyNode) != PropertyList::Kind::String)
                continue;
            const QString& name = m_list.string(keyNode);
            const Index target = referencedNode(objects[i]);
            if (target == PropertyList::kNoNode)
                continue;
            if (name == kFontAttributeName) {
                if (isRecordOfKind(target, kFontClass))
                    attributes.font = decodeTextFont(target);
            } else if (name == kForegroundColorAttributeName) {
                attributes.foregroundColor = decodeNode(objects[i], &colorClass).toColor();
            } else if (name == kParagraphStyleAttributeName) {
                if (isRecordOfKind(target, kParagraphStyleClass))
                    attributes.paragraphStyle = decodeParagraphStyle(target);
            } else {
                Value value = decodeOpaqueValue(objects[i]);
                if (!value.isNull())
                    attributes.otherAttributes.insert(name, std::move(value));
            }
        }
    }
    m_textAttributesMemo.emplace(record, attributes);
    return attributes;
}

std::optional<TextFont> KeyedUnarchiver::decodeTextFont(Index record)
{
    Nesting nesting(*this);
    Frame frame(*this, record);
    const Value name = decodeObjectOfClass(PlatformClass::kString, kFontNameKey);
    if (name.type() != Value::Type::String || name.toString().isEmpty())
        return std::nullopt;
    TextFont font;
    font.name = name.toString();
    // Lettering is drawn at most kMaxFontSize high; a larger size would only be written back.
    font.size = std::min(finiteOrZero(decodeDoubleForKey(kFontSizeKey)), FontRegistry::kMaxFontSize);
    if (containsValueForKey(kFontFlagsKey))
        font.flags = decodeIntegerForKey(kFontFlagsKey);
    return font;
}

TextParagraphStyle KeyedUnarchiver::decodeParagraphStyle(Index record)
{
    const auto memo = m_paragraphStyleMemo.find(record);
    if (memo != m_paragraphStyleMemo.end())
        return memo->second;
    Nesting nesting(*this);
    Frame frame(*this, record);
    TextParagraphStyle style;
    if (containsValueForKey(kAlignmentKey))
        style.alignment = textAlignmentFromCode(decodeIntegerForKey(kAlignmentKey));
    style.lineHeightMultiple = finiteOrZero(decodeDoubleForKey(kLineHeightMultipleKey));
    style.paragraphSpacing = finiteOrZero(decodeDoubleForKey(kParagraphSpacingKey));
    style.paragraphSpacingBefore = finiteOrZero(decodeDoubleForKey(kParagraphSpacingBeforeKey));

    using Kind = PropertyList::Kind;
    const auto keys = m_list.keys(record);
    const auto values = m_list.values(record);
    spend(keys.size());
    // A key written twice counts once, with its first value, as keyed lookups have it.
    QSet<QString> seen;
    for (size_t i = 0; i < keys.size(); ++i) {
        if (m_list.kind(keys[i]) != Kind::String)
            continue;
        const QString& key = m_list.string(keys[i]);
        if (key.isEmpty() || key.startsWith(QLatin1Char('$')) || isModelledParagraphKey(key)
            || seen.contains(key))
            continue;
        seen.insert(key);
        const Index node = values[i];
        switch (m_list.kind(node)) {
        case Kind::Bool:
            style.otherFields.append({ key, m_list.boolValue(node), true });
            break;
        case Kind::Int:
            style.otherFields.append({ key, m_list.intValue(node), true });
            break;
        case Kind::Real32:
            style.otherFields.append({ key, float(m_list.realValue(node)), true });
            break;
        case Kind::Real64:
            style.otherFields.append({ key, m_list.realValue(node), true });
            break;
        case Kind::Uid: {
            Value value = decodeOpaqueValue(node);
            if (!value.isNull())
                style.otherFields.append({ key, std::move(value), false });
            break;
        }
        default:
            break;
        }
    }
    m_paragraphStyleMemo.emplace(record, style);
    return style;
}

// Values made only of platform value classes; anything else (model objects, nested attributed
// text, classes we do not know) is dropped, so an attribute cannot smuggle a graph in.
Value KeyedUnarchiver::decodeOpaqueValue(Index node)
{
    static const QStringList kOpaqueClasses { PlatformClass::kString, PlatformClass::kData,
        PlatformClass::kValue, PlatformClass::kArray, PlatformClass::kSet, PlatformClass::kDictionary,
        PlatformClass::kColor };
    if (!classAllowed(node, 0, kOpaqueClasses))
        return {};
    return decodeNode(node, nullptr);
}

} // namespace zandrel
