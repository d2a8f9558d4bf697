#include "app/core/CharacterFileFormats.h"

#include "app/core/ComicFileFormat.h"
#include "charmodel/CharXMLParserController.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/PartsFile.h"
#include "platform/Localization.h"
#include "platform/PropertyList.h"

#include <algorithm>

namespace zandrel {

namespace {

// Whether the text, in code units of the width and byte order, is white space as far as it goes,
// or white space and then "<".
bool beginsWithMarkup(QByteArrayView text, qsizetype width, bool bigEndian)
{
    for (qsizetype at = 0; at + width <= text.size(); at += width) {
        char32_t unit = 0;
        for (qsizetype i = 0; i < width; ++i)
            unit = (unit << 8) | uchar(text[bigEndian ? at + i : at + width - 1 - i]);
        if (unit == U'<')
            return true;
        if (unit != U' ' && unit != U'\t' && unit != U'\r' && unit != U'\n')
            return false;
    }
    return true;
}

// Whether the bytes may begin a document of the XML stream reader: a byte order mark maybe, then
// white space and the "<" of a declaration, a comment, a doctype or the root element, in UTF-8, or
// in UTF-16 or UTF-32 of either order, which the reader tells by the mark or by that first "<".
bool canBeginXml(QByteArrayView head)
{
    struct Encoding {
        qsizetype width;
        bool bigEndian;
        QByteArrayView mark;
    };
    static const Encoding encodings[] = {
        { 1, false, QByteArrayView("\xEF\xBB\xBF", 3) },
        { 2, false, QByteArrayView("\xFF\xFE", 2) },
        { 2, true, QByteArrayView("\xFE\xFF", 2) },
        { 4, false, QByteArrayView("\xFF\xFE\0\0", 4) },
        { 4, true, QByteArrayView("\0\0\xFE\xFF", 4) },
    };
    return std::any_of(std::begin(encodings), std::end(encodings), [head](const Encoding& encoding) {
        const QByteArrayView text = head.startsWith(encoding.mark) ? head.sliced(encoding.mark.size()) : head;
        return beginsWithMarkup(text, encoding.width, encoding.bigEndian);
    });
}

} // namespace

QStringList PartsFileFormat::extensions() const
{
    return { kPartsFileExtension };
}

QString PartsFileFormat::nameFilter() const
{
    return localized("Parts files (*.parts)");
}

bool PartsFileFormat::canBeginFile(QByteArrayView head) const
{
    return PropertyList::canBeginBinary(head);
}

ObjectPtr PartsFileFormat::read(const QByteArray& data, DocumentError* error, const QString& sourcePath) const
{
    return guardedRead([&] { return ObjectPtr(readPartsFile(data)); }, error);
}

QByteArray PartsFileFormat::write(const Object& model, DocumentError* error) const
{
    const auto* character = dynamic_cast<const CharacterModel*>(&model);
    if (!character)
        return FileFormat::write(model, error);
    return guardedWrite([&] { return archivedPartsFile(*character); }, error);
}

FileFormat::Encoder PartsFileFormat::prepareWrite(const Object& model, DocumentError* error) const
{
    const auto* character = dynamic_cast<const CharacterModel*>(&model);
    if (!character)
        return FileFormat::prepareWrite(model, error);
    return guardedPrepare([&] { return partsFileArchive(*character); }, error);
}

QString CharacterXMLFormat::nameFilter() const
{
    return localized("XML character files (*.char)");
}

bool CharacterXMLFormat::canBeginFile(QByteArrayView head) const
{
    return canBeginXml(head);
}

ObjectPtr CharacterXMLFormat::read(
    const QByteArray& data, DocumentError* error, const QString& sourcePath) const
{
    return guardedRead(
        [&]() -> ObjectPtr {
            QString reason;
            CharacterModelPtr model = importCharacterXML(data, &reason, sourcePath);
            if (!model && error)
                *error = DocumentError::unreadableFile(localized("The data is corrupted."));
            return model;
        },
        error);
}

QString LegacyPartsFormat::nameFilter() const
{
    return localized("Legacy parts files (*.zdlprt)");
}

ObjectPtr LegacyPartsFormat::read(
    const QByteArray& data, DocumentError* error, const QString& sourcePath) const
{
    return guardedRead(
        [&]() -> ObjectPtr {
            CharacterModelPtr model = CharacterModel::initWithParts86Data(data);
            if (!model && error)
                *error = DocumentError::unreadableFile(localized("The data is corrupted."));
            return model;
        },
        error);
}

void registerStandardFileFormats()
{
    auto& registry = FileFormatRegistry::shared();
    registry.registerFormat(std::make_shared<PartsFileFormat>());
    registry.registerFormat(std::make_shared<CharacterXMLFormat>());
    registry.registerFormat(std::make_shared<LegacyPartsFormat>());
    registry.registerFormat(std::make_shared<ComicFileFormat>());
}

} // namespace zandrel
