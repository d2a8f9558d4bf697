#pragma once

#include "app/core/FileFormat.h"

namespace zandrel {

// Comic files: the keyed archive of a ComicModel, read and written whole.
class ComicFileFormat : public FileFormat {
public:
    QString typeName() const override { return kComicDocumentType; }
    QStringList extensions() const override;
    QString nameFilter() const override;
    bool canBeginFile(QByteArrayView head) const override;
    ObjectPtr read(const QByteArray& data, DocumentError* error, const QString& sourcePath) const override;
    QByteArray write(const Object& model, DocumentError* error) const override;
    Encoder prepareWrite(const Object& model, DocumentError* error) const override;
};

} // namespace zandrel
