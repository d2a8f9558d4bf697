#pragma once

#include "comicmodel/ComicModel.h"
#include "platform/KeyedArchiver.h"

#include <QByteArray>
#include <QString>

namespace zandrel {

// A comic file holds one comic: a keyed archive whose root object is a ComicModel.
inline const QString kComicFileExtension = QStringLiteral("comic");

// The bytes of a comic file holding the model.
QByteArray archivedComicFile(const ComicModel& model);
// The same archive before it is encoded into bytes.
KeyedArchive comicFileArchive(const ComicModel& model);

// Reads a comic file. Raises "fileTooNew" for a newer format and "userCancelled" when the user
// declines a lossy read; any other failure (malformed data, a root that is no comic, a comic
// without pages) raises the archive layer's exception, so that nothing half-read is ever returned.
ComicModelPtr readComicFile(const QByteArray& data);

} // namespace zandrel
