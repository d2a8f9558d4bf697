#pragma once

#include <QByteArray>
#include <QString>

class QImage;

namespace zandrel {

// The name of the catalog shelf of a parts kind: "Vivaviv Izazuda" for characters (0), "Scenery"
// for anything else, as menus and messages name it.
QString catalogShelfName(int partsKind);

// No parts file is larger; reading one whole to copy it must stay within reason.
inline constexpr qint64 kMaxPartsFileBytes = qint64(1) << 30;

// The bytes of a parts file; empty, with the reason in error, when it cannot be read, is empty or is
// larger than any parts file.
QByteArray readCatalogFile(const QString& path, QString* error);
// Replaces the file at the path in one step: a failure leaves what was there.
bool writeCatalogFile(const QString& path, const QByteArray& data, QString* error);

// Writes a catalog thumbnail as a JPEG over white (the format keeps no transparency), replacing
// the file in one step. False, with the reason in error, when nothing was written.
bool writeCatalogThumbnail(const QImage& thumbnail, const QString& path, QString* error);

} // namespace zandrel
