#include "app/core/ArtProductInstaller.h"

#include "app/core/ArtStore.h"
#include "app/core/ZDLAppController.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "platform/AtomicFile.h"
#include "platform/Log.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QProcess>
#include <QStorageInfo>
#include <algorithm>
#include <sys/resource.h>

namespace zandrel {

namespace {

const QString kZipPattern = QStringLiteral("art download %1.zip");
const QString kFolderPattern = QStringLiteral("art folder %1");
const QString kPartsExtension = QStringLiteral("parts");
// Names tried before giving up on finding a free one.
constexpr int kMaxNameAttempts = 10000;

// Removes the path when it goes out of scope, whatever happened in between.
struct RemoveOnExit {
    QString path;
    bool folder = false;
    ~RemoveOnExit()
    {
        if (path.isEmpty())
            return;
        if (folder)
            QDir(path).removeRecursively();
        else
            QFile::remove(path);
    }
};

// How often the unpack folder is measured while the tool runs.
constexpr int kWatchIntervalMs = 50;

// The free bytes of the disk of the folder, or of its nearest existing ancestor; -1 when unknown.
qint64 diskFreeBytes(const QString& folder)
{
    QFileInfo existing(folder);
    for (int up = 0; up < 64 && !existing.exists() && !existing.isRoot(); ++up)
        existing = QFileInfo(existing.absolutePath());
    const QStorageInfo storage(existing.absoluteFilePath());
    return storage.isValid() ? storage.bytesAvailable() : -1;
}

QString dataSize(qint64 bytes)
{
    return QLocale().formattedDataSize(bytes, 1);
}

qint64 largestStatedSize(const QList<ZipEntry>& entries)
{
    qint64 largest = 0;
    for (const ZipEntry& entry : entries)
        largest = std::max<qint64>(largest, entry.uncompressedSize);
    return largest;
}

// The bytes of the files under the folder, links not followed.
qint64 unpackedBytes(const QString& folder)
{
    qint64 total = 0;
    QDirIterator it(
        folder, QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        total += it.fileInfo().size();
    }
    return total;
}

} // namespace

QString ArtProductInstaller::firstFreeName(const QString& folder, const QString& pattern)
{
    const QDir dir(folder);
    for (int number = 1; number <= kMaxNameAttempts; ++number) {
        const QString path = dir.filePath(pattern.arg(number));
        if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
            return path;
    }
    return QString();
}

ArtProductInstaller::Result ArtProductInstaller::install(
    const QByteArray& archive, const QString& productCode)
{
    Result result;
    if (!ArtStore::isSafeProductCode(productCode)) {
        result.error = QStringLiteral("the product code “%1” is not one of the store's").arg(productCode);
        return result;
    }
    QString reason;
    const std::optional<QList<ZipEntry>> entries = listZipEntries(archive, &reason, m_limits);
    if (!entries || !entriesAreSafeToUnpack(*entries, &reason, m_limits)) {
        result.error = QStringLiteral("the archive was refused: %1").arg(reason);
        return result;
    }
    if (!QDir().mkpath(m_temporaryFolder)) {
        result.error = QStringLiteral("the temporary folder could not be made");
        return result;
    }
    if (!fitsItsSizeAndTheDisks(archive.size(), statedUnpackedBytes(*entries), &reason)) {
        result.error = QStringLiteral("the archive was refused: %1").arg(reason);
        return result;
    }

    RemoveOnExit zip { firstFreeName(m_temporaryFolder, kZipPattern) };
    if (zip.path.isEmpty() || !writeFileAtomically(zip.path, archive)) {
        zip.path.clear();
        result.error = QStringLiteral("the archive could not be written to the temporary folder");
        return result;
    }
    // A folder made here and now, so that nothing was in it before the tool ran.
    const QString folderPath = firstFreeName(m_temporaryFolder, kFolderPattern);
    if (folderPath.isEmpty() || !QDir().mkdir(folderPath)) {
        result.error = QStringLiteral("the unpack folder could not be made");
        return result;
    }
    RemoveOnExit folder { folderPath, true };
    if (!unpack(zip.path, folder.path, *entries, &reason) || !checkUnpacked(folder.path, *entries, &reason)) {
        result.error = reason;
        return result;
    }

    const QDir unpacked(folder.path);
    const QFileInfoList topLevel = unpacked.entryInfoList(QDir::Files | QDir::NoSymLinks, QDir::Name);
    for (const QFileInfo& info : topLevel) {
        if (info.suffix() == kPartsExtension
            && m_controller.savePartsFile(info.absoluteFilePath(), CharacterLibraryItem::PurchasedCatalog))
            ++result.installedFiles;
    }

    if (result.installedFiles == 0) {
        result.error = QStringLiteral("the archive held no parts file this version can read");
        return result;
    }
    // The manifest says a product is installed, so it follows only an install that happened.
    const QString manifestName = ArtStore::manifestFileName(productCode);
    const QFileInfo manifestInfo(unpacked.filePath(manifestName));
    if (manifestInfo.isFile() && !manifestInfo.isSymLink()
        && manifestInfo.size() <= ArtStore::kMaxManifestBytes) {
        QFile file(manifestInfo.absoluteFilePath());
        const QByteArray data = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        const QString catalog = m_controller.getCatalogFolderURL(CharacterLibraryItem::PurchasedCatalog);
        if (!ArtStore::parseProductManifest(data, productCode, &reason))
            zdlLog(QStringLiteral("Manifest of art product %1 refused: %2").arg(productCode, reason));
        else if (QDir().mkpath(catalog) && writeFileAtomically(QDir(catalog).filePath(manifestName), data))
            result.manifestInstalled = true;
    }
    return result;
}

bool ArtProductInstaller::fitsItsSizeAndTheDisks(
    qint64 archiveBytes, qint64 unpackedBytes, QString* error) const
{
    if (unpackedBytes > m_limits.allowanceFor(archiveBytes)) {
        *error = QStringLiteral("it unpacks to %1, more than %2 times its own size of %3")
                     .arg(dataSize(unpackedBytes))
                     .arg(m_limits.maxExpansionRatio)
                     .arg(dataSize(archiveBytes));
        return false;
    }
    // The archive and what it unpacks to lie in the temporary folder at once; the catalog then
    // takes the parts files and their thumbnails.
    const qint64 needed = archiveBytes + unpackedBytes + kDiskReserveBytes;
    const QString catalog = m_controller.getCatalogFolderURL(CharacterLibraryItem::PurchasedCatalog);
    for (const QString& folder : { m_temporaryFolder, catalog }) {
        const qint64 free = freeBytesOf ? freeBytesOf(folder) : diskFreeBytes(folder);
        if (free >= 0 && free < needed) {
            *error = QStringLiteral("it unpacks to %1, and the disk of %2 has only %3 free")
                         .arg(dataSize(unpackedBytes), QDir::toNativeSeparators(folder), dataSize(free));
            return false;
        }
    }
    return true;
}

bool ArtProductInstaller::unpack(
    const QString& zipPath, const QString& folder, const QList<ZipEntry>& entries, QString* error) const
{
    if (!QFileInfo(unzipProgram).isExecutable()) {
        *error = QStringLiteral("the unzip tool %1 is missing").arg(unzipProgram);
        return false;
    }
    QProcess process;
    process.setProgram(unzipProgram);
    // -qq quiet, -o never stop to ask about a name met twice; the folder is given as well as being
    // the working folder.
    process.setArguments(
        { QStringLiteral("-qq"), QStringLiteral("-o"), zipPath, QStringLiteral("-d"), folder });
    process.setWorkingDirectory(folder);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::MergedChannels);
    // The tool inflates an entry to whatever its data holds, whatever size the archive states: a
    // few kilobytes can fill gigabytes. No file it writes may grow past the largest stated size,
    // which the system enforces (without a core file), and the folder is watched while it runs, so
    // that what is written stays within what the archive said it holds.
    const rlim_t maxFileBytes = rlim_t(largestStatedSize(entries));
    process.setChildProcessModifier([maxFileBytes] {
        const rlimit limit { maxFileBytes, maxFileBytes };
        setrlimit(RLIMIT_FSIZE, &limit);
        const rlimit noCore { 0, 0 };
        setrlimit(RLIMIT_CORE, &noCore);
    });
    process.start();
    if (!process.waitForStarted()) {
        *error = QStringLiteral("the unzip tool could not be started");
        return false;
    }
    const qint64 stated = statedUnpackedBytes(entries);
    QElapsedTimer clock;
    clock.start();
    while (!process.waitForFinished(kWatchIntervalMs) && process.state() != QProcess::NotRunning) {
        QString why;
        if (clock.elapsed() > unzipTimeoutMs)
            why = QStringLiteral("the unzip tool took too long");
        else if (unpackedBytes(folder) > stated)
            why = QStringLiteral("the archive unpacked to more than it said");
        if (!why.isEmpty()) {
            process.kill();
            process.waitForFinished();
            *error = why;
            return false;
        }
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *error = QStringLiteral("the unzip tool failed (%1): %2")
                     .arg(process.exitCode())
                     .arg(QString::fromLocal8Bit(process.readAll().left(400)).trimmed());
        return false;
    }
    return true;
}

bool ArtProductInstaller::checkUnpacked(
    const QString& folder, const QList<ZipEntry>& entries, QString* error) const
{
    const qint64 stated = statedUnpackedBytes(entries);
    qint64 total = 0;
    int count = 0;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
        QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        // Judged by the entry itself, never by what a link points at.
        const QFileInfo info = it.fileInfo();
        if (info.isSymLink() || (!info.isFile() && !info.isDir())) {
            *error = QStringLiteral("the archive unpacked to “%1”, which is not a file or a folder")
                         .arg(QDir(folder).relativeFilePath(info.filePath()));
            return false;
        }
        total += info.isFile() ? info.size() : 0;
        if (total > stated || ++count > m_limits.maxEntries) {
            *error = QStringLiteral("the archive unpacked to more than it said");
            return false;
        }
    }
    return true;
}

} // namespace zandrel
