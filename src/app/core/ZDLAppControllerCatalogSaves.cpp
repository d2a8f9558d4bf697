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

// The name of a character as a file name of a catalog.
QString partsFileNameFor(const QString& characterName)
{
    QString name = characterName;
    name.replace(QLatin1Char('/'), QLatin1Char('-'));
    return name + QStringLiteral(".parts");
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
    if (!CatalogManifest::isPlainFileName(fileName)) {
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
    std::optional<QVariantMap> manifest = getCatalogManifestFromFolder(folder);
    if (!manifest)
        return false;
    QString reason;
    const QByteArray data = readCatalogFile(path, &reason);
    if (data.isEmpty())
        return false;
    CharacterModelPtr model;
    try {
        model = readPartsFile(data);
    } catch (const std::exception& exception) {
        // An undecodable file is left out of the catalog.
        zdlLog(
            QStringLiteral("Parts file %1 not installed: %2").arg(path, QString::fromUtf8(exception.what())));
        return false;
    }
    if (!model)
        return false;
    const QString fileName = partsFileNameFor(model->characterName());
    if (!CatalogManifest::isPlainFileName(fileName) || fileName.startsWith(QLatin1Char('.'))) {
        zdlLog(QStringLiteral("Parts file %1 not installed: its character has no usable name").arg(path));
        return false;
    }
    if (!writeCatalogFile(QDir(folder).filePath(fileName), data, &reason)) {
        zdlLog(QStringLiteral("Parts file %1 not installed: %2").arg(path, reason));
        return false;
    }
    return saveCatalogAssociatedFilesFor(
        *model, catalog, fileName, entryIndexNamed(*manifest, fileName), *manifest, nullptr, false);
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
            // "Bob 3" numbers on from 4; a larger number or none starts again at 1.
            const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
            QString base = dot > 0 ? fileName.left(dot) : fileName;
            qint64 number = 1;
            const QStringList words = base.split(QLatin1Char(' '));
            if (words.size() >= 2) {
                bool ok = false;
                const qint64 n = words.last().toLongLong(&ok);
                if ((ok && n >= 1 && n <= 9999) || words.last() == QStringLiteral("0")) {
                    base.chop(words.last().size() + 1);
                    number = n <= 10 ? n + 1 : 1;
                }
            }
            const QString folder = getCatalogFolderURL(CharacterLibraryItem::UserCatalog);
            auto candidate = [&] { return QStringLiteral("%1 %2.parts").arg(base).arg(number); };
            // A file of the name on disk that the list does not know is not overwritten either.
            while (getCharacterFromCatalogByFilename(candidate(), CharacterLibraryItem::UserCatalog)
                || QFileInfo::exists(QDir(folder).filePath(candidate())))
                ++number;
            copyAs(candidate(), -1, manifest);
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
