#include "app/core/CharacterFileFormats.h"

#include "app/core/ComicFileFormat.h"
#include "charmodel/CharXMLParserController.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/PartsFile.h"
#include "platform/Localization.h"

namespace zandrel {

QStringList PartsFileFormat::extensions() const
{
    return { kPartsFileExtension };
}

QString PartsFileFormat::nameFilter() const
{
    return localized("Parts files (*.parts)");
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
