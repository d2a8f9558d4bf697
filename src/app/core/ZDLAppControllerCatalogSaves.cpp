#include "app/core/ArtProductInstaller.h"
#include "app/core/CatalogFiles.h"
#include "app/core/CatalogManifest.h"
#include "app/core/CharacterDocument.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/PartsFile.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "platform/Localization.h"
#include "platform/Log.h"
#include "platform/NotificationCenter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace zandrel {

namespace {

// The position of the entry of the file name in the manifest's items, or -1.
int entryIndexNamed(const QVariantMap& manifest, const QString& fileName)
{
    const QVariantList entries = manifest.value(CatalogManifest::kCatalogItemsKey).toList();
    for (int i = 0; i < entries.size(); ++i) {
        if (CatalogManifest::stringValue(entries[i].toMap(), CatalogManifest::kPartsFilenameKey) == fileName)
            return i;
    }
    return -1;
}

} // namespace

bool ZDLAppController::saveCharacter(CharacterDocument& document, int catalog, const QString& fileName,
    int replacing, QVariantMap manifest, QObject* window)
{
    const QString folder = getCatalogFolderURL(catalog);
    if (!QDir().mkpath(folder)) {
        showAlertMessage(
            localized("The catalog folder “%1” could not be made.").arg(QDir::toNativeSeparators(folder)),
            QString(), window);
        return false;
    }
    DocumentError error;
    const SaveOperation operation
        = document.filePath().isEmpty() ? SaveOperation::SaveAs : SaveOperation::SaveTo;
    if (!document.saveToFile(QDir(folder).filePath(fileName), operation, &error)) {
        if (!error.isUserCancelled())
            showAlertMessage(localized("The character file “%1” could not be saved.").arg(fileName),
                error.failureReason, window);
        return false;
    }
    return saveCatalogAssociatedFilesFor(
        *document.model(), catalog, fileName, replacing, manifest, window, true);
}

void ZDLAppController::saveCharacter(
    CharacterDocument& document, QObject* window, int catalog, const QString& fileName)
{
    if (catalog == CharacterLibraryItem::BuiltInCatalog || !document.model())
        return;
    if (!CatalogManifest::isPlainFileName(fileName) || fileName.startsWith(QLatin1Char('.'))) {
        showAlertMessage(
            localized("“%1” cannot be the name of a catalog file.").arg(fileName), QString(), window);
        return;
    }
    const std::optional<QVariantMap> manifest = getCatalogManifestFromFolder(getCatalogFolderURL(catalog));
    if (!manifest)
        return;
    const int existing = entryIndexNamed(*manifest, fileName);
    if (existing < 0) {
        saveCharacter(document, catalog, fileName, -1, *manifest, window);
        return;
    }
    ModalAlert alert;
    alert.message = localized("Do you want to replace the existing %1 file named “%2”?")
                        .arg(catalogShelfName(document.model()->partsKind()), fileName);
    alert.buttons = { localized("Replace"), localized("Cancel") };
    CharacterDocument* target = &document;
    showAlert(
        alert, window, [this, target, catalog, fileName, existing, manifest = *manifest, window](int code) {
            if (code == ModalAlert::kFirstButton)
                saveCharacter(*target, catalog, fileName, existing, manifest, window);
        });
}

bool ZDLAppController::savePartsFile(const QString& path, int catalog)
{
    if (catalog == CharacterLibraryItem::BuiltInCatalog)
        return false;
    const QString folder = getCatalogFolderURL(catalog);
    if (!QDir().mkpath(folder))
        return false;
    const std::optional<QVariantMap> manifest = getCatalogManifestFromFolder(folder);
    if (!manifest)
        return false;
    QList<CatalogPartsFile> files { CatalogPartsFile::read(path) };
    CatalogPartsFile::chooseFileNames(files, *manifest, folder, QString());
    const CatalogPartsFile& file = files.first();
    if (file.refusal != CatalogPartsFile::Refusal::None)
        return false;
    // The files go in whole or not at all: what this made anew goes again on a failure.
    QStringList created;
    QString reason;
    const QByteArray data = readCatalogFile(path, &reason);
    bool written = !data.isEmpty();
    for (const auto& [name, bytes] :
        { std::pair { file.fileName, data }, std::pair { file.thumbnailFileName(), file.thumbnail } }) {
        const QString target = QDir(folder).filePath(name);
        const bool isNew = !QFileInfo::exists(target);
        written = written && writeCatalogFile(target, bytes, &reason);
        if (written && isNew)
            created.append(target);
    }
    if (written && addInstalledPartsFiles(catalog, files, QString(), &reason))
        return true;
    zdlLog(QStringLiteral("Parts file %1 not installed: %2").arg(path, reason));
    for (const QString& target : std::as_const(created))
        QFile::remove(target);
    return false;
}

void ZDLAppController::copyCharacterLibraryItem(
    const std::shared_ptr<CharacterLibraryItem>& item, QObject* window)
{
    if (!item
        || (item->fromCatalog() != CharacterLibraryItem::BuiltInCatalog
            && item->fromCatalog() != CharacterLibraryItem::PurchasedCatalog))
        return;
    const QString folder = getCatalogFolderURL(CharacterLibraryItem::UserCatalog);
    if (!QDir().mkpath(folder)) {
        showAlertMessage(
            localized("The catalog folder “%1” could not be made.").arg(QDir::toNativeSeparators(folder)),
            QString(), window);
        return;
    }
    const std::optional<QVariantMap> manifest = getCatalogManifestFromFolder(folder);
    if (!manifest)
        return;

    // The copy goes in whole or not at all; the entry and thumbnail follow only a copy that is there.
    auto copyAs = [this, item, folder, window](const QString& fileName, int replacing, QVariantMap manifest) {
        const CharacterModelPtr model = item->character();
        QString reason;
        const QByteArray data = model ? readCatalogFile(item->characterFileURL(), &reason) : QByteArray();
        if (!model && reason.isEmpty())
            reason = localized("It is not a parts file this version can read.");
        if (data.isEmpty() || !writeCatalogFile(QDir(folder).filePath(fileName), data, &reason)) {
            showAlertMessage(localized("The character file “%1” could not be copied to the user catalog.")
                                 .arg(item->characterFileName()),
                reason, window);
            return;
        }
        saveCatalogAssociatedFilesFor(
            *model, CharacterLibraryItem::UserCatalog, fileName, replacing, manifest, window, true);
    };

    const QString fileName = item->characterFileName();
    if (!getCharacterFromCatalogByFilename(fileName, CharacterLibraryItem::UserCatalog)) {
        copyAs(fileName, entryIndexNamed(*manifest, fileName), *manifest);
        return;
    }
    ModalAlert alert;
    alert.message = localized("There is already a parts file in the user catalog with the same name.");
    alert.buttons = { localized("Replace"), localized("Make a New Copy"), localized("Cancel") };
    showAlert(alert, window, [this, copyAs, fileName, manifest = *manifest](int code) {
        if (code == ModalAlert::kFirstButton) {
            copyAs(fileName, entryIndexNamed(manifest, fileName), manifest);
        } else if (code == ModalAlert::kSecondButton) {
            const QString folder = getCatalogFolderURL(CharacterLibraryItem::UserCatalog);
            // A file of the name on disk that the list does not know is not overwritten either.
            const QString copyName = numberedFileName(fileName, [&](const QString& candidate) {
                return getCharacterFromCatalogByFilename(candidate, CharacterLibraryItem::UserCatalog)
                    || QFileInfo::exists(QDir(folder).filePath(candidate));
            });
            if (!copyName.isEmpty())
                copyAs(copyName, -1, manifest);
        }
    });
}

bool ZDLAppController::deleteCharacter(const std::shared_ptr<CharacterLibraryItem>& item, bool movingToTrash)
{
    if (!item || item->fromCatalog() == CharacterLibraryItem::BuiltInCatalog
        || item->fromCatalog() == CharacterLibraryItem::NotFromCatalog)
        return false;
    characterCatalog();
    const auto listed = std::find(m_characterCatalog.begin(), m_characterCatalog.end(), item);
    if (listed == m_characterCatalog.end())
        return false;
    const QString folder = getCatalogFolderURL(item->fromCatalog());
    std::optional<QVariantMap> manifest = getCatalogManifestFromFolder(folder);
    if (!manifest)
        return false;
    const int index = entryIndexNamed(*manifest, item->characterFileName());
    if (index < 0)
        return false;
    QVariantList entries = manifest->value(CatalogManifest::kCatalogItemsKey).toList();
    const QString thumbnailName
        = CatalogManifest::stringValue(entries[index].toMap(), CatalogManifest::kThumbnailFileNameKey);
    entries.removeAt(index);
    manifest->insert(CatalogManifest::kCatalogItemsKey, entries);
    // The manifest goes first: should it fail, the files are still there for the entry it keeps.
    if (!saveCatalogManifest(*manifest, folder))
        return false;
    m_characterCatalog.erase(listed);
    const QString path = QDir(folder).filePath(item->characterFileName());
    // A file that cannot go to the trash stays rather than being lost for good.
    if (movingToTrash ? !QFile::moveToTrash(path) : !QFile::remove(path))
        zdlLog(QStringLiteral("Catalog file %1 could not be removed").arg(path));
    if (!thumbnailName.isEmpty())
        QFile::remove(QDir(folder).filePath(thumbnailName));
    NotificationCenter::defaultCenter().post(
        kCatalogCharacterDeletedNotification, this, { { CatalogManifest::kCatalogFileKey, path } });
    return true;
}

} // namespace zandrel
