#include "comicmodel/ComicFile.h"

#include "comicmodel/ComicModelClasses.h"
#include "platform/ClassRegistry.h"
#include "platform/Exception.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

namespace zandrel {

QByteArray archivedComicFile(const ComicModel& model)
{
    return comicFileArchive(model).encodedData();
}

KeyedArchive comicFileArchive(const ComicModel& model)
{
    // The class chains written in the file come from the registry too.
    ClassRegistry::shared().registerOnce(&registerComicModelClasses);
    return KeyedArchiver::archiveWithRootObject(std::const_pointer_cast<Object>(model.shared_from_this()));
}

ComicModelPtr readComicFile(const QByteArray& data)
{
    ClassRegistry::shared().registerOnce(&registerComicModelClasses);
    const Value root = KeyedUnarchiver::unarchive(data, { ComicModel::kClassName });
    ComicModelPtr model = root.toObject<ComicModel>();
    if (!model)
        Exception::raise(kInvalidArchiveException, QStringLiteral("The root object is not a comic."));
    return model;
}

} // namespace zandrel
