#pragma once

#include <QString>
#include <QVariantMap>
#include <optional>

namespace zandrel {

// The "manifest.plist" of a catalog folder: an XML property list whose "catalogItems" array holds
// one dictionary per parts file of the folder. The file may have been written by anyone (an art
// product, another program, a damaged disk), so reading checks it whole: a manifest that is not
// such a dictionary, or that names a file outside its folder, is refused and nothing is done with
// the folder. Writing replaces the file in one step, so a failed write leaves the old manifest.
namespace CatalogManifest {

inline const QString kFileName = QStringLiteral("manifest.plist");
inline const QString kCatalogItemsKey = QStringLiteral("catalogItems");
inline const QString kPartsFilenameKey = QStringLiteral("partsFilename");
inline const QString kThumbnailFileNameKey = QStringLiteral("thumbnailFileName");
inline const QString kCharacterNameKey = QStringLiteral("characterName");
inline const QString kCreatorNameKey = QStringLiteral("creatorName");
inline const QString kPartsKindKey = QStringLiteral("partsKind");
// The code of the art product that installed the entry's file; entries of other files have none.
inline const QString kProductCodeKey = QStringLiteral("productCode");
// In memory only: the path of the entry's parts file, added once the manifest is written.
inline const QString kCatalogFileKey = QStringLiteral("catalogFile");

// A name that stays inside the folder it is appended to: not empty, no separator, not "." or "..".
bool isPlainFileName(const QString& name);

// The manifest of the folder; a folder without one has an empty "catalogItems". Every entry has a
// "partsKind" (0 when it had none or one that is not a number). Nothing, with the reason in
// error, for a manifest that cannot be read or is not a sound manifest. Throws std::bad_alloc when
// there is not the memory to read it, which is no fault of the manifest's.
std::optional<QVariantMap> read(const QString& folder, QString* error);

// The manifest held by the bytes of a "manifest.plist", checked as read() checks it.
std::optional<QVariantMap> parse(const QByteArray& data, QString* error);

// Writes the manifest, without the in-memory "catalogFile" keys, through a temporary file renamed
// over the old one. False, with the reason in error, when nothing was written.
bool write(const QVariantMap& manifest, const QString& folder, QString* error);

// The string under the key of an entry; empty when it is missing or not a string.
QString stringValue(const QVariantMap& entry, const QString& key);

} // namespace CatalogManifest

} // namespace zandrel
