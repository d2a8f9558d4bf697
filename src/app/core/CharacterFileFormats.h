#pragma once

#include "app/core/FileFormat.h"

namespace zandrel {

// The document type of parts files and of the documents made by the character imports.
inline const QString kCharacterDocumentType = kBundleIdentifier + QStringLiteral(".character");
inline const QString kXMLCharacterExtension = QStringLiteral("char");
inline const QString kLegacyPartsExtension = QStringLiteral("zdlprt");

// Parts files: the keyed archive of a CharacterModel, read and written whole.
class PartsFileFormat : public FileFormat {
public:
    QString typeName() const override { return kCharacterDocumentType; }
    QStringList extensions() const override;
    QString nameFilter() const override;
    bool canBeginFile(QByteArrayView head) const override;
    ObjectPtr read(const QByteArray& data, DocumentError* error, const QString& sourcePath) const override;
    QByteArray write(const Object& model, DocumentError* error) const override;
    Encoder prepareWrite(const Object& model, DocumentError* error) const override;
};

// The XML character files of an older drawing program; imported into a new, untitled character.
class CharacterXMLFormat : public FileFormat {
public:
    QString typeName() const override { return kCharacterDocumentType; }
    QStringList extensions() const override { return { kXMLCharacterExtension }; }
    QString nameFilter() const override;
    bool canWrite() const override { return false; }
    bool canBeginFile(QByteArrayView head) const override;
    ObjectPtr read(const QByteArray& data, DocumentError* error, const QString& sourcePath) const override;
};

// The legacy bitmap parts files; imported into a new, untitled character. Any bytes may begin one:
// a count of records, each of which reads whatever it holds.
class LegacyPartsFormat : public FileFormat {
public:
    QString typeName() const override { return kCharacterDocumentType; }
    QStringList extensions() const override { return { kLegacyPartsExtension }; }
    QString nameFilter() const override;
    bool canWrite() const override { return false; }
    ObjectPtr read(const QByteArray& data, DocumentError* error, const QString& sourcePath) const override;
};

// Registers the formats above and the comic file with the shared registry.
void registerStandardFileFormats();

} // namespace zandrel
