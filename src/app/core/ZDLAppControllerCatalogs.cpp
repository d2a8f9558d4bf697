#include "app/core/ArtProductInstaller.h"
#include "app/core/CatalogFiles.h"
#include "app/core/CatalogManifest.h"
#include "app/core/CharacterDocument.h"
#include "app/core/DocumentHost.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/CharacterModel.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "platform/DeferredCalls.h"
#include "platform/Localization.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QPointer>
#include <QStandardPaths>
#include <algorithm>
#include <new>

namespace zandrel {

namespace {

const QString kCatalogFolderName = QStringLiteral("Catalog");
const QString kUserCatalogFolderName = QStringLiteral("User Catalog");
const QString kPurchasedCatalogFolderName = QStringLiteral("Purchased Catalog");
const QString kSavedAlertKey = QStringLiteral("catalogSavedAlert");
// The saved message waits for the sheet or save panel that led to it to go away.
constexpr int kSavedAlertDelayMs = 100;

bool holdsPartsFiles(const QString& folder)
{
    return !folder.isEmpty()
        && !QDir(folder).entryList({ QStringLiteral("*.parts") }, QDir::Files | QDir::Readable).isEmpty();
}

// Notifications carry the entry as the platform's values: strings and numbers, as manifests hold.
ValueMap entryUserInfo(const QVariantMap& entry)
{
    ValueMap info;
    for (auto it = entry.cbegin(); it != entry.cend(); ++it) {
        switch (it->typeId()) {
        case QMetaType::QString:
            info.insert(it.key(), Value(it->toString()));
            break;
        case QMetaType::LongLong:
        case QMetaType::Int:
            info.insert(it.key(), Value(it->toLongLong()));
            break;
        case QMetaType::Double:
            info.insert(it.key(), Value(it->toDouble()));
            break;
        case QMetaType::Bool:
            info.insert(it.key(), Value(it->toBool()));
            break;
        default:
            break;
        }
    }
    return info;
}

// The folder given, else the one beside the program (run from its build or an unpacked archive),
// else the installed one; empty when none holds a parts file.
QString findBuiltInCatalogFolder(const QString& given)
{
    if (!given.isEmpty())
        return holdsPartsFiles(given) ? given : QString();
    const QString programFolder = QCoreApplication::applicationDirPath();
    const QString program = QFileInfo(QCoreApplication::applicationFilePath()).fileName().toLower();
    const QStringList candidates = {
        QDir(programFolder).filePath(kCatalogFolderName),
        QDir(programFolder).filePath(QStringLiteral("../share/%1/%2").arg(program, kCatalogFolderName)),
        QStringLiteral("/usr/share/%1/%2").arg(program, kCatalogFolderName),
    };
    for (const QString& candidate : candidates) {
        if (holdsPartsFiles(candidate))
            return QDir::cleanPath(candidate);
    }
    return QString();
}

} // namespace

// --- Folders and manifests ---

QString ZDLAppController::getMyAppSupportFolderURL()
{
    QString folder = m_appSupportFolder;
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(folder);
    return folder;
}

QString ZDLAppController::getCatalogFolderURL(int catalog)
{
    if (catalog == CharacterLibraryItem::BuiltInCatalog) {
        // Looked for once: every item of the catalog asks.
        if (!m_resolvedBuiltInCatalogFolder)
            m_resolvedBuiltInCatalogFolder = findBuiltInCatalogFolder(m_builtInCatalogFolder);
        return *m_resolvedBuiltInCatalogFolder;
    }
    const QString name
        = catalog == CharacterLibraryItem::UserCatalog ? kUserCatalogFolderName : kPurchasedCatalogFolderName;
    return QDir(getMyAppSupportFolderURL()).filePath(name);
}

std::optional<QVariantMap> ZDLAppController::getCatalogManifestFromFolder(const QString& folder)
{
    QString reason;
    std::optional<QVariantMap> manifest;
    try {
        manifest = CatalogManifest::read(folder, &reason);
    } catch (const std::bad_alloc&) {
        zdlLog(QStringLiteral("Catalog manifest in %1 not read: out of memory").arg(folder));
        showAlertMessage(
            localized("The catalog in “%1” cannot be read.").arg(QDir::toNativeSeparators(folder)),
            localized("There is not enough memory to read its list of parts files."));
        return std::nullopt;
    }
    if (!manifest) {
        zdlLog(QStringLiteral("Catalog manifest in %1 refused: %2").arg(folder, reason));
        showAlertMessage(
            localized("The catalog in “%1” cannot be read.").arg(QDir::toNativeSeparators(folder)),
            localized("Its list of parts files is damaged: %1.").arg(reason));
    }
    return manifest;
}

bool ZDLAppController::saveCatalogManifest(const QVariantMap& manifest, const QString& folder)
{
    QString reason;
    if (CatalogManifest::write(manifest, folder, &reason))
        return true;
    showAlertMessage(
        localized("The catalog in “%1” could not be saved.").arg(QDir::toNativeSeparators(folder)), reason);
    return false;
}

// --- The list ---

const ZDLAppController::CatalogList& ZDLAppController::characterCatalog()
{
    if (!m_catalogBuilt) {
        m_catalogBuilt = true;
        for (const int catalog : { CharacterLibraryItem::BuiltInCatalog,
                 CharacterLibraryItem::PurchasedCatalog, CharacterLibraryItem::UserCatalog })
            addCatalogItemsTo(m_characterCatalog, catalog);
        sortCatalog();
    }
    return m_characterCatalog;
}

void ZDLAppController::addCatalogItemsTo(CatalogList& list, int catalog)
{
    const QString folder = getCatalogFolderURL(catalog);
    if (folder.isEmpty())
        return;
    const std::optional<QVariantMap> manifest = getCatalogManifestFromFolder(folder);
    if (!manifest)
        return;
    for (const QVariant& entry : manifest->value(CatalogManifest::kCatalogItemsKey).toList()) {
        if (auto item = CharacterLibraryItem::initWithManifestDictionary(entry.toMap(), catalog))
            list.push_back(std::move(item));
    }
}

void ZDLAppController::sortCatalog()
{
    std::stable_sort(m_characterCatalog.begin(), m_characterCatalog.end(), [](const auto& a, const auto& b) {
        if (a->fromCatalog() != b->fromCatalog())
            return a->fromCatalog() < b->fromCatalog();
        return a->characterName().compare(b->characterName()) < 0;
    });
}

std::shared_ptr<CharacterLibraryItem> ZDLAppController::getCharacterFromCatalogByURL(const QString& path)
{
    if (path.isEmpty())
        return nullptr;
    for (const auto& item : characterCatalog()) {
        if (item->characterFileURL() == path)
            return item;
    }
    return nullptr;
}

std::shared_ptr<CharacterLibraryItem> ZDLAppController::getCharacterFromCatalogByFilename(
    const QString& fileName, int catalog)
{
    for (const auto& item : characterCatalog()) {
        if (item->fromCatalog() == catalog && item->characterFileName() == fileName)
            return item;
    }
    return nullptr;
}

bool ZDLAppController::isCatalogFile(const QString& path)
{
    return getCharacterFromCatalogByURL(path) != nullptr;
}

bool ZDLAppController::openCharacterFileToEdit(const QString&)
{
    return false;
}

void ZDLAppController::addCatalogEntry(const QVariantMap& entry, int catalog)
{
    auto item = CharacterLibraryItem::initWithManifestDictionary(entry, catalog);
    // A list first built from the manifest just written holds the entry already.
    if (const auto listed = item ? getCharacterFromCatalogByURL(item->characterFileURL()) : nullptr)
        listed->resetWithManifestDictionary(entry);
    else if (item)
        m_characterCatalog.push_back(std::move(item));
    sortCatalog();
    NotificationCenter::defaultCenter().post(kCharacterCatalogUpdateNotification, this, entryUserInfo(entry));
}

void ZDLAppController::updateCatalogEntry(const QVariantMap& entry, const QString& folder, int catalog)
{
    const QString path
        = QDir(folder).filePath(CatalogManifest::stringValue(entry, CatalogManifest::kPartsFilenameKey));
    if (const auto item = getCharacterFromCatalogByURL(path)) {
        item->resetWithManifestDictionary(entry);
        sortCatalog();
        NotificationCenter::defaultCenter().post(
            kCharacterCatalogUpdateNotification, this, entryUserInfo(entry));
    } else {
        // The file was in the manifest but not listed (the list is read once): it joins now.
        addCatalogEntry(entry, catalog);
    }
}

// --- Parts files installed together ---

bool ZDLAppController::addInstalledPartsFiles(
    int catalog, const QList<CatalogPartsFile>& files, const QString& owner, QString* error)
{
    const QString folder = getCatalogFolderURL(catalog);
    std::optional<QVariantMap> manifest = getCatalogManifestFromFolder(folder);
    if (!manifest) {
        *error = QStringLiteral("the catalog's list of parts files cannot be read");
        return false;
    }
    QVariantList entries = manifest->value(CatalogManifest::kCatalogItemsKey).toList();
    QHash<QString, qsizetype> entryNamed;
    for (qsizetype i = entries.size() - 1; i >= 0; --i)
        entryNamed.insert(
            CatalogManifest::stringValue(entries[i].toMap(), CatalogManifest::kPartsFilenameKey), i);
    QList<QVariantMap> changed;
    for (const CatalogPartsFile& file : files) {
        const auto existing = entryNamed.constFind(file.fileName);
        QVariantMap entry = existing == entryNamed.cend() ? QVariantMap() : entries[*existing].toMap();
        entry.insert(CatalogManifest::kPartsFilenameKey, file.fileName);
        entry.insert(CatalogManifest::kThumbnailFileNameKey, file.thumbnailFileName());
        entry.insert(CatalogManifest::kCharacterNameKey, file.characterName);
        entry.insert(CatalogManifest::kCreatorNameKey, file.creatorName);
        entry.insert(CatalogManifest::kPartsKindKey, file.partsKind);
        if (!owner.isEmpty())
            entry.insert(CatalogManifest::kProductCodeKey, owner);
        if (existing == entryNamed.cend()) {
            entryNamed.insert(file.fileName, entries.size());
            entries.append(entry);
        } else {
            entries[*existing] = entry;
        }
        changed.append(entry);
    }
    manifest->insert(CatalogManifest::kCatalogItemsKey, entries);
    if (!saveCatalogManifest(*manifest, folder)) {
        *error = QStringLiteral("the catalog's list of parts files could not be written");
        return false;
    }

    // The list learns of them all, is sorted once, and then each is announced.
    QHash<QString, std::shared_ptr<CharacterLibraryItem>> listed;
    for (const auto& item : characterCatalog())
        listed.insert(item->characterFileURL(), item);
    for (QVariantMap& entry : changed) {
        const QString path
            = QDir(folder).filePath(CatalogManifest::stringValue(entry, CatalogManifest::kPartsFilenameKey));
        entry.insert(CatalogManifest::kCatalogFileKey, path);
        if (const auto item = listed.value(path))
            item->resetWithManifestDictionary(entry);
        else if (auto item = CharacterLibraryItem::initWithManifestDictionary(entry, catalog))
            m_characterCatalog.push_back(std::move(item));
    }
    sortCatalog();
    for (const QVariantMap& entry : std::as_const(changed))
        NotificationCenter::defaultCenter().post(
            kCharacterCatalogUpdateNotification, this, entryUserInfo(entry));
    return true;
}

// --- Thumbnail and manifest entry of a saved parts file ---

bool ZDLAppController::saveCatalogAssociatedFilesFor(const CharacterModel& model, int catalog,
    const QString& fileName, int replacing, QVariantMap& manifest, QObject* window, bool showAlert)
{
    const QString folder = getCatalogFolderURL(catalog);
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString thumbnailName = (dot > 0 ? fileName.left(dot) : fileName) + QStringLiteral(".jpg");
    QString reason;
    if (!writeCatalogThumbnail(model.getThumbnail(), QDir(folder).filePath(thumbnailName), &reason)) {
        showAlertMessage(
            localized("The thumbnail of “%1” could not be saved.").arg(fileName), reason, window);
        return false;
    }

    QVariantList entries = manifest.value(CatalogManifest::kCatalogItemsKey).toList();
    const bool isNew = replacing < 0 || replacing >= entries.size();
    QVariantMap entry = isNew ? QVariantMap() : entries[replacing].toMap();
    if (isNew)
        entry.insert(CatalogManifest::kPartsFilenameKey, fileName);
    entry.insert(CatalogManifest::kThumbnailFileNameKey, thumbnailName);
    entry.insert(CatalogManifest::kCharacterNameKey, model.characterName());
    entry.insert(CatalogManifest::kCreatorNameKey, model.creator());
    entry.insert(CatalogManifest::kPartsKindKey, qint64(model.partsKind()));
    if (isNew)
        entries.append(entry);
    else
        entries[replacing] = entry;
    QVariantMap updated = manifest;
    updated.insert(CatalogManifest::kCatalogItemsKey, entries);
    if (!saveCatalogManifest(updated, folder))
        return false;
    manifest = updated;

    entry.insert(CatalogManifest::kCatalogFileKey,
        QDir(folder).filePath(CatalogManifest::stringValue(entry, CatalogManifest::kPartsFilenameKey)));
    if (isNew)
        addCatalogEntry(entry, catalog);
    else
        updateCatalogEntry(entry, folder, catalog);

    if (showAlert) {
        const QString shelf = model.partsKind() == 0 ? localized("Vivaviv Izazuda") : localized("Scenery");
        const QString message = localized("The character file “%1” was saved to %2.").arg(fileName, shelf);
        // The window can close before the alert shows; then the alert shows on its own.
        DeferredCalls::perform(
            this, kSavedAlertKey, kSavedAlertDelayMs, [this, message, window = QPointer<QObject>(window)] {
                showAlertMessage(message, QString(), window.data(), ModalAlert::Style::Informational);
            });
    }
    return true;
}

// --- Saves of the user ---

void ZDLAppController::characterDocSavedByUser(CharacterDocument& document)
{
    const QString path = document.filePath();
    if (const auto item = getCharacterFromCatalogByURL(path); item && document.model()) {
        item->characterFileUpdated(path);
        const QString folder = QFileInfo(path).absolutePath();
        if (std::optional<QVariantMap> manifest = getCatalogManifestFromFolder(folder)) {
            const QString fileName = QFileInfo(path).fileName();
            const QVariantList entries = manifest->value(CatalogManifest::kCatalogItemsKey).toList();
            int replacing = -1;
            for (int i = 0; i < entries.size() && replacing < 0; ++i) {
                if (CatalogManifest::stringValue(entries[i].toMap(), CatalogManifest::kPartsFilenameKey)
                    == fileName)
                    replacing = i;
            }
            QObject* window = document.host() ? document.host()->alertWindow() : nullptr;
            saveCatalogAssociatedFilesFor(
                *document.model(), item->fromCatalog(), fileName, replacing, *manifest, window, false);
        }
    }
    NotificationCenter::defaultCenter().post(
        kUpdateCharacterFileNotification, this, { { kCharacterFileKey, path } });
}

} // namespace zandrel
