#include "app/core/CatalogManifest.h"

#include "platform/AtomicFile.h"
#include "platform/RegularFile.h"
#include "platform/XmlPropertyList.h"

#include <QDir>
#include <new>

namespace zandrel::CatalogManifest {

namespace {

// A manifest lists file names; a few thousand entries take well under a megabyte.
constexpr qint64 kMaxManifestBytes = qint64(8) << 20;

bool isNumber(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::LongLong:
    case QMetaType::Int:
    case QMetaType::Double:
    case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

// Checks one entry and fills in what a reader may leave out; false with the reason otherwise.
bool checkEntry(QVariantMap& entry, int index, QString* error)
{
    for (const QString& key : { kPartsFilenameKey, kThumbnailFileNameKey }) {
        const auto it = entry.constFind(key);
        if (it == entry.cend())
            continue;
        if (it->typeId() != QMetaType::QString || !isPlainFileName(it->toString())) {
            *error = QStringLiteral("entry %1 names a file outside the catalog").arg(index + 1);
            return false;
        }
    }
    const auto kind = entry.constFind(kPartsKindKey);
    if (kind == entry.cend() || !isNumber(*kind))
        entry.insert(kPartsKindKey, qint64(0));
    return true;
}

} // namespace

bool isPlainFileName(const QString& name)
{
    return !name.isEmpty() && name != QStringLiteral(".") && name != QStringLiteral("..")
        && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !name.contains(QChar(0));
}

QString stringValue(const QVariantMap& entry, const QString& key)
{
    const auto it = entry.constFind(key);
    return it != entry.cend() && it->typeId() == QMetaType::QString ? it->toString() : QString();
}

std::optional<QVariantMap> read(const QString& folder, QString* error)
{
    QString scratch;
    if (!error)
        error = &scratch;
    const QString path = QDir(folder).filePath(kFileName);
    FileReadError readError;
    const std::optional<QByteArray> data = readRegularFile(path, kMaxManifestBytes, &readError);
    if (readError.kind == FileReadError::NoSuchFile) {
        QVariantMap empty;
        empty.insert(kCatalogItemsKey, QVariantList());
        return empty;
    }
    if (readError.kind == FileReadError::OutOfMemory)
        throw std::bad_alloc();
    if (!data) {
        *error = readError.kind == FileReadError::NotRegularFile ? QStringLiteral("it is not a regular file")
            : readError.kind == FileReadError::SystemFile
            ? QStringLiteral("it is one of the system's own files")
            : readError.kind == FileReadError::TooLarge
            ? QStringLiteral("it is not a file of a catalog's size")
            : qt_error_string(readError.systemError);
        return std::nullopt;
    }
    return parse(*data, error);
}

std::optional<QVariantMap> parse(const QByteArray& data, QString* error)
{
    QString scratch;
    if (!error)
        error = &scratch;
    XmlPropertyListLimits limits;
    limits.maxBytes = kMaxManifestBytes;
    const std::optional<QVariant> root = readXmlPropertyList(data, error, limits);
    if (!root)
        return std::nullopt;
    if (root->typeId() != QMetaType::QVariantMap) {
        *error = QStringLiteral("it is not a dictionary");
        return std::nullopt;
    }
    QVariantMap manifest = root->toMap();
    const auto items = manifest.constFind(kCatalogItemsKey);
    if (items == manifest.cend() || items->typeId() != QMetaType::QVariantList) {
        *error = QStringLiteral("it has no list of catalog items");
        return std::nullopt;
    }
    QVariantList entries = items->toList();
    for (int i = 0; i < entries.size(); ++i) {
        if (entries[i].typeId() != QMetaType::QVariantMap) {
            *error = QStringLiteral("entry %1 is not a dictionary").arg(i + 1);
            return std::nullopt;
        }
        QVariantMap entry = entries[i].toMap();
        if (!checkEntry(entry, i, error))
            return std::nullopt;
        entries[i] = entry;
    }
    manifest.insert(kCatalogItemsKey, entries);
    return manifest;
}

bool write(const QVariantMap& manifest, const QString& folder, QString* error)
{
    QString scratch;
    if (!error)
        error = &scratch;
    QVariantMap stored = manifest;
    QVariantList entries = stored.value(kCatalogItemsKey).toList();
    for (QVariant& entry : entries) {
        if (entry.typeId() != QMetaType::QVariantMap)
            continue;
        QVariantMap map = entry.toMap();
        map.remove(kCatalogFileKey);
        entry = map;
    }
    stored.insert(kCatalogItemsKey, entries);
    const QByteArray data = writeXmlPropertyList(stored, error);
    if (data.isEmpty())
        return false;
    return writeFileAtomically(QDir(folder).filePath(kFileName), data, error);
}

} // namespace zandrel::CatalogManifest
