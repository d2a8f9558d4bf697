#pragma once

#include "charmodel/CharacterModel.h"
#include "platform/KeyedArchiver.h"

#include <QByteArray>
#include <QString>

namespace zandrel {

// A parts file holds one character: a keyed archive whose root object is a CharacterModel.
inline const QString kPartsFileExtension = QStringLiteral("parts");

// The bytes of a parts file holding the model.
QByteArray archivedPartsFile(const CharacterModel& model);
// The same archive before it is encoded into bytes.
KeyedArchive partsFileArchive(const CharacterModel& model);

// Reads a parts file. Raises "fileTooNew" for a newer format and "userCancelled" when the user
// declines a lossy read; any other failure (malformed data, a root that is no character) raises
// the archive layer's exception, so that nothing half-read is ever returned.
CharacterModelPtr readPartsFile(const QByteArray& data);
// The reason of that exception when the archive is sound but its root is no character (a comic).
inline const QString kNotACharacterReason = QStringLiteral("The root object is not a character.");

} // namespace zandrel
