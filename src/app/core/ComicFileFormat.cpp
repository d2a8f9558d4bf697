#include "app/core/ComicFileFormat.h"

#include "comicmodel/ComicFile.h"
#include "platform/Localization.h"
#include "platform/PropertyList.h"

namespace zandrel {

QStringList ComicFileFormat::extensions() const
{
    return { kComicFileExtension };
}

QString ComicFileFormat::nameFilter() const
{
    return localized("Comic files (*.comic)");
}

bool ComicFileFormat::canBeginFile(QByteArrayView head) const
{
    return PropertyList::canBeginBinary(head);
}

ObjectPtr ComicFileFormat::read(const QByteArray& data, DocumentError* error, const QString&) const
{
    return guardedRead([&] { return ObjectPtr(readComicFile(data)); }, error);
}

QByteArray ComicFileFormat::write(const Object& model, DocumentError* error) const
{
    const auto* comic = dynamic_cast<const ComicModel*>(&model);
    if (!comic)
        return FileFormat::write(model, error);
    return guardedWrite([&] { return archivedComicFile(*comic); }, error);
}

FileFormat::Encoder ComicFileFormat::prepareWrite(const Object& model, DocumentError* error) const
{
    const auto* comic = dynamic_cast<const ComicModel*>(&model);
    if (!comic)
        return FileFormat::prepareWrite(model, error);
    return guardedPrepare([&] { return comicFileArchive(*comic); }, error);
}

} // namespace zandrel
