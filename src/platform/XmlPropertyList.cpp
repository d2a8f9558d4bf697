#include "platform/XmlPropertyList.h"

#include <QDateTime>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>
#include <cmath>
#include <vector>

namespace zandrel {

namespace {

// A container being read: its values so far and, in a dictionary, the key waiting for its value.
struct Frame {
    bool isDict = false;
    QVariantList items;
    QVariantMap map;
    QString pendingKey;
    bool hasKey = false;
};

QString describe(const QXmlStreamReader& reader, const QString& what)
{
    return QStringLiteral("%1 (line %2)").arg(what).arg(reader.lineNumber());
}

// Four digits of year are all that readers take.
bool hasWritableYear(const QDateTime& utc)
{
    return utc.date().year() >= 1 && utc.date().year() <= 9999;
}

const QString kDateOutsideYears = QStringLiteral("a date outside the years 1 to 9999");

std::optional<QVariant> leafValue(QXmlStreamReader& reader, QStringView name, QString* error)
{
    const QString text = reader.readElementText();
    if (reader.hasError())
        return std::nullopt;
    if (name == u"string")
        return QVariant(text);
    if (name == u"integer") {
        bool ok = false;
        const qint64 value = text.trimmed().toLongLong(&ok, 10);
        if (ok)
            return QVariant(value);
        *error = describe(reader, QStringLiteral("an integer that is not a number"));
        return std::nullopt;
    }
    if (name == u"real") {
        bool ok = false;
        const double value = text.trimmed().toDouble(&ok);
        if (ok)
            return QVariant(value);
        *error = describe(reader, QStringLiteral("a real that is not a number"));
        return std::nullopt;
    }
    if (name == u"data") {
        QByteArray base64 = text.toLatin1();
        base64.replace(' ', "").replace('\n', "").replace('\t', "").replace('\r', "");
        const auto decoded = QByteArray::fromBase64Encoding(base64, QByteArray::AbortOnBase64DecodingErrors);
        if (decoded)
            return QVariant(*decoded);
        *error = describe(reader, QStringLiteral("data that is not base 64"));
        return std::nullopt;
    }
    // A date, taken only where it can be written back: an offset can move a date of year 1 or 9999
    // out of the years a property list holds.
    const QDateTime date = QDateTime::fromString(text.trimmed(), Qt::ISODate).toUTC();
    if (!date.isValid()) {
        *error = describe(reader, QStringLiteral("a date that cannot be read"));
        return std::nullopt;
    }
    if (!hasWritableYear(date)) {
        *error = describe(reader, kDateOutsideYears);
        return std::nullopt;
    }
    return QVariant(date);
}

bool isLeaf(QStringView name)
{
    return name == u"string" || name == u"integer" || name == u"real" || name == u"data" || name == u"date";
}

// Places a finished value into the container on top, or makes it the root.
bool place(std::vector<Frame>& stack, QVariant value, std::optional<QVariant>& root,
    const QXmlStreamReader& reader, QString* error)
{
    if (stack.empty()) {
        if (root) {
            *error = describe(reader, QStringLiteral("more than one value at the root"));
            return false;
        }
        root = std::move(value);
        return true;
    }
    Frame& top = stack.back();
    if (!top.isDict) {
        top.items.append(std::move(value));
        return true;
    }
    if (!top.hasKey) {
        *error = describe(reader, QStringLiteral("a dictionary value without its key"));
        return false;
    }
    top.map.insert(top.pendingKey, std::move(value));
    top.hasKey = false;
    return true;
}

bool isXmlCharacter(char32_t c)
{
    return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
        || (c >= 0x10000 && c <= 0x10FFFF);
}

bool isWritableText(const QString& text)
{
    for (const char32_t c : text.toUcs4()) {
        if (!isXmlCharacter(c))
            return false;
    }
    return true;
}

bool writeValue(QXmlStreamWriter& writer, const QVariant& value, int depth, QString* error)
{
    // Only what this program builds is written, never deeper than a reader would accept.
    if (depth > XmlPropertyListLimits().maxDepth) {
        *error = QStringLiteral("values nested too deeply");
        return false;
    }
    switch (value.typeId()) {
    case QMetaType::QVariantMap: {
        writer.writeStartElement(QStringLiteral("dict"));
        const QVariantMap map = value.toMap();
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            if (!isWritableText(it.key())) {
                *error = QStringLiteral("a key with characters a property list cannot hold");
                return false;
            }
            writer.writeTextElement(QStringLiteral("key"), it.key());
            if (!writeValue(writer, it.value(), depth + 1, error))
                return false;
        }
        writer.writeEndElement();
        return true;
    }
    case QMetaType::QVariantList:
    case QMetaType::QStringList: {
        writer.writeStartElement(QStringLiteral("array"));
        for (const QVariant& item : value.toList()) {
            if (!writeValue(writer, item, depth + 1, error))
                return false;
        }
        writer.writeEndElement();
        return true;
    }
    case QMetaType::QString:
        if (!isWritableText(value.toString())) {
            *error = QStringLiteral("a string with characters a property list cannot hold");
            return false;
        }
        writer.writeTextElement(QStringLiteral("string"), value.toString());
        return true;
    case QMetaType::Bool:
        writer.writeEmptyElement(value.toBool() ? QStringLiteral("true") : QStringLiteral("false"));
        return true;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Long:
        writer.writeTextElement(QStringLiteral("integer"), QString::number(value.toLongLong()));
        return true;
    case QMetaType::Double:
    case QMetaType::Float: {
        const double real = value.toDouble();
        if (!std::isfinite(real)) {
            *error = QStringLiteral("a number that is not finite");
            return false;
        }
        // The shortest text spells no sign for zero; a negative zero keeps its own.
        writer.writeTextElement(QStringLiteral("real"),
            real == 0 && std::signbit(real) ? QStringLiteral("-0") : QString::number(real, 'g', 17));
        return true;
    }
    case QMetaType::QByteArray:
        writer.writeTextElement(QStringLiteral("data"), QString::fromLatin1(value.toByteArray().toBase64()));
        return true;
    case QMetaType::QDateTime: {
        const QDateTime date = value.toDateTime().toUTC();
        if (!date.isValid() || !hasWritableYear(date)) {
            *error = kDateOutsideYears;
            return false;
        }
        writer.writeTextElement(
            QStringLiteral("date"), date.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ")));
        return true;
    }
    default:
        *error = QStringLiteral("a value of a kind a property list cannot hold (%1)")
                     .arg(QString::fromLatin1(value.typeName() ? value.typeName() : "none"));
        return false;
    }
}

} // namespace

std::optional<QVariant> readXmlPropertyList(
    const QByteArray& data, QString* error, const XmlPropertyListLimits& limits)
{
    QString scratch;
    if (!error)
        error = &scratch;
    error->clear();
    if (data.size() > limits.maxBytes) {
        *error = QStringLiteral("the file is larger than %1 bytes").arg(limits.maxBytes);
        return std::nullopt;
    }
    QXmlStreamReader reader(data);
    std::vector<Frame> stack;
    std::optional<QVariant> root;
    bool inPlist = false;
    bool plistClosed = false;
    qint64 values = 0;
    while (!reader.atEnd()) {
        const auto token = reader.readNext();
        if (token == QXmlStreamReader::DTD) {
            // Declared entities could expand far beyond the file; a property list declares none.
            if (!reader.entityDeclarations().isEmpty() || !reader.notationDeclarations().isEmpty()) {
                *error = describe(reader, QStringLiteral("declarations in the document type"));
                return std::nullopt;
            }
            continue;
        }
        if (token == QXmlStreamReader::EntityReference) {
            *error = describe(reader, QStringLiteral("an entity reference"));
            return std::nullopt;
        }
        if (token == QXmlStreamReader::StartElement) {
            const QStringView name = reader.name();
            if (!inPlist) {
                if (name != u"plist" || plistClosed) {
                    *error = describe(reader, QStringLiteral("not a property list"));
                    return std::nullopt;
                }
                inPlist = true;
                continue;
            }
            if (++values > limits.maxValues) {
                *error = QStringLiteral("more than %1 values").arg(limits.maxValues);
                return std::nullopt;
            }
            if (name == u"key") {
                if (stack.empty() || !stack.back().isDict || stack.back().hasKey) {
                    *error = describe(reader, QStringLiteral("a key out of place"));
                    return std::nullopt;
                }
                Frame& top = stack.back();
                top.pendingKey = reader.readElementText();
                top.hasKey = !reader.hasError();
                continue;
            }
            if (name == u"dict" || name == u"array") {
                if (int(stack.size()) >= limits.maxDepth) {
                    *error = describe(reader, QStringLiteral("containers nested too deeply"));
                    return std::nullopt;
                }
                Frame frame;
                frame.isDict = name == u"dict";
                stack.push_back(std::move(frame));
                continue;
            }
            std::optional<QVariant> value;
            if (name == u"true" || name == u"false") {
                value = QVariant(name == u"true");
                reader.skipCurrentElement();
            } else if (isLeaf(name)) {
                value = leafValue(reader, name, error);
            } else {
                *error = describe(reader, QStringLiteral("an unknown element <%1>").arg(name));
                return std::nullopt;
            }
            if (!value) {
                if (error->isEmpty())
                    *error = describe(reader, reader.errorString());
                return std::nullopt;
            }
            if (!place(stack, std::move(*value), root, reader, error))
                return std::nullopt;
            continue;
        }
        if (token == QXmlStreamReader::EndElement) {
            if (stack.empty()) {
                // The end of the plist element itself.
                inPlist = false;
                plistClosed = true;
                continue;
            }
            Frame frame = std::move(stack.back());
            stack.pop_back();
            if (frame.isDict && frame.hasKey) {
                *error = describe(reader, QStringLiteral("a key without its value"));
                return std::nullopt;
            }
            QVariant value = frame.isDict ? QVariant(std::move(frame.map)) : QVariant(std::move(frame.items));
            if (!place(stack, std::move(value), root, reader, error))
                return std::nullopt;
            continue;
        }
        if (token == QXmlStreamReader::Characters && !reader.isWhitespace()) {
            *error = describe(reader, QStringLiteral("text outside the values"));
            return std::nullopt;
        }
    }
    if (reader.hasError()) {
        *error = describe(reader, reader.errorString());
        return std::nullopt;
    }
    if (!root) {
        *error = QStringLiteral("no value in the property list");
        return std::nullopt;
    }
    return root;
}

QByteArray writeXmlPropertyList(const QVariant& root, QString* error)
{
    QString scratch;
    if (!error)
        error = &scratch;
    error->clear();
    QByteArray out;
    QXmlStreamWriter writer(&out);
    writer.setAutoFormatting(true);
    writer.setAutoFormattingIndent(-1);
    writer.writeStartDocument(QStringLiteral("1.0"));
    writer.writeDTD(QStringLiteral("<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                                   "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">"));
    writer.writeStartElement(QStringLiteral("plist"));
    writer.writeAttribute(QStringLiteral("version"), QStringLiteral("1.0"));
    if (!writeValue(writer, root, 0, error))
        return {};
    writer.writeEndElement();
    writer.writeEndDocument();
    if (writer.hasError()) {
        *error = QStringLiteral("the text could not be written");
        return {};
    }
    return out;
}

} // namespace zandrel
