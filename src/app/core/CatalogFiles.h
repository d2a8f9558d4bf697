#pragma once

#include <QByteArray>
#include <QSet>
#include <QString>
#include <functional>

class QImage;

namespace zandrel {

// The name of the catalog shelf of a parts kind: "Vivaviv Izazuda" for characters (0), "Scenery"
// for anything else, as menus and messages name it.
QString catalogShelfName(int partsKind);

// The longest base of a file name made from a name, in bytes of UTF-8: the system allows 255, and
// room is left for a number that sets the file apart and for the extension.
inline constexpr int kMaxFileBaseNameBytes = 200;

// The base of a file name (without extension) made from a name that came from a person or from a
// file of anywhere, a character's or a comic's: every "/" and "\\" becomes "-", control characters
// and line breaks become spaces, format characters (invisible joiners and spaces, soft hyphens,
// direction marks: a name holding one looks like another or shows other than it is) go, accents
// take their composed form (NFC), leading dots (which would hide the file) go, and so do spaces at
// either end; what is left is cut to kMaxFileBaseNameBytes at a character boundary. Empty when
// nothing is left that could name a file.
QString fileBaseNameFor(const QString& name);
// The same followed by "." and the extension; empty when the name gives no base.
QString fileNameFor(const QString& name, const QString& extension);

// What a file name is compared by to tell whether it would pass for another: the rule above applied
// to the whole name, so that names that differ only by invisible characters or by how their accents
// are written have one key.
QString fileNameKey(const QString& fileName);
// The keys of every name in the folder, hidden ones and links included.
QSet<QString> fileNameKeysIn(const QString& folder);

// The first of "<base> 1.<ext>", "<base> 2.<ext>", ... that isTaken refuses, numbered as a copy
// is: a base that already ends in a small number ("Bob 3") goes on from it ("Bob 4"). Empty when
// none is free within reason.
QString numberedFileName(const QString& fileName, const std::function<bool(const QString&)>& isTaken);

// No parts file is larger; reading one whole to copy it must stay within reason.
inline constexpr qint64 kMaxPartsFileBytes = qint64(1) << 30;

// The bytes of a parts file; empty, with the reason in error, when it cannot be read, is empty, is
// larger than any parts file or does not begin as one.
QByteArray readCatalogFile(const QString& path, QString* error);
// Replaces the file at the path in one step: a failure leaves what was there.
bool writeCatalogFile(const QString& path, const QByteArray& data, QString* error);

// A catalog thumbnail as the bytes of a JPEG over white (the format keeps no transparency); empty,
// with the reason in error, when the encoder failed.
QByteArray catalogThumbnailData(const QImage& thumbnail, QString* error);
// Writes a catalog thumbnail as a JPEG over white (the format keeps no transparency), replacing
// the file in one step. False, with the reason in error, when nothing was written.
bool writeCatalogThumbnail(const QImage& thumbnail, const QString& path, QString* error);

} // namespace zandrel
