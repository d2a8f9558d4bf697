#include "app/core/ArtProductInstaller.h"

#include "app/core/ArtStore.h"
#include "app/core/CatalogFiles.h"
#include "app/core/CatalogManifest.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/PartsFile.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "platform/AtomicFile.h"
#include "platform/Exception.h"
#include "platform/Localization.h"
#include "platform/Log.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QProcess>
#include <QSet>
#include <QStorageInfo>
#include <QTimer>
#include <algorithm>
#include <new>
#include <sys/resource.h>

namespace zandrel {

namespace {

const QString kZipPattern = QStringLiteral("art download %1.zip");
const QString kFolderPattern = QStringLiteral("art folder %1");
const QString kPartsExtension = QStringLiteral("parts");
const QString kThumbnailExtension = QStringLiteral("jpg");
// Names tried before giving up on finding a free one.
constexpr int kMaxNameAttempts = 10000;
// How often the unpack folder is measured while the tool runs.
constexpr int kWatchIntervalMs = 50;
// How often the writes tell how far they are.
constexpr int kWritesPerReport = 25;
// Renamed files named in the notes; the rest are counted.
constexpr int kMaxNamedRenames = 5;

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

QString holdsMoreThanItDeclares()
{
    return QStringLiteral("the archive holds more than it declares");
}

// What the unzip tool's exit code comes to: its own codes for a full disk and for want of memory,
// and a damaged archive for the rest (a format error, a bad checksum, data cut short).
QString whyUnzipFailed(int exitCode)
{
    constexpr int kFirstMemoryError = 4;
    constexpr int kLastMemoryError = 8;
    constexpr int kDiskFull = 50;
    if (exitCode == kDiskFull)
        return QStringLiteral("there was no space left on the disk to unpack it");
    if (exitCode >= kFirstMemoryError && exitCode <= kLastMemoryError)
        return QStringLiteral("there was not enough memory to unpack it");
    return QStringLiteral("the archive is damaged");
}

bool exists(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// "1 could not be read", "3 could not be read": the singular phrase, or the plural one with the
// count.
QString counted(qsizetype count, const char* one, const char* many)
{
    return count == 1 ? localized(one) : localized(many).arg(count);
}

} // namespace

// --- The files of a catalog install ---

CatalogPartsFile CatalogPartsFile::read(const QString& path)
{
    CatalogPartsFile file;
    file.source = path;
    QString reason;
    const QByteArray data = readCatalogFile(path, &reason);
    CharacterModelPtr model;
    try {
        model = data.isEmpty() ? nullptr : readPartsFile(data);
    } catch (const Exception& exception) {
        file.refusal = exception.name() == kFileTooNewException ? Refusal::TooNew
            : exception.reason() == kNotACharacterReason        ? Refusal::NotACharacter
                                                                : Refusal::Unreadable;
        reason = exception.reason();
    } catch (const std::exception& exception) {
        file.refusal = Refusal::Unreadable;
        reason = QString::fromUtf8(exception.what());
    }
    if (!model) {
        if (file.refusal == Refusal::None)
            file.refusal = Refusal::Unreadable;
        zdlLog(QStringLiteral("Parts file %1 not installed: %2").arg(path, reason));
        return file;
    }
    file.characterName = model->characterName();
    file.creatorName = model->creator();
    file.partsKind = model->partsKind();
    file.wantedFileName = fileNameFor(file.characterName, kPartsExtension);
    if (file.wantedFileName.isEmpty()) {
        file.refusal = Refusal::NoUsableName;
        zdlLog(QStringLiteral("Parts file %1 not installed: its character has no usable name").arg(path));
        return file;
    }
    file.thumbnail = catalogThumbnailData(model->getThumbnail(), &reason);
    return file;
}

QString CatalogPartsFile::thumbnailFileName() const
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return (dot > 0 ? fileName.left(dot) : fileName) + QLatin1Char('.') + kThumbnailExtension;
}

void CatalogPartsFile::chooseFileNames(
    QList<CatalogPartsFile>& files, const QVariantMap& manifest, const QString& folder, const QString& owner)
{
    // Who holds each name: the product of the entry that names the file (empty for one installed
    // without a product). Any other name that the list or the folder holds, or one that would pass
    // for it, is taken: a thumbnail's, a file no entry names, a lookalike of another's.
    QHash<QString, QString> ownerOfPartsFile;
    QSet<QString> taken = fileNameKeysIn(folder);
    for (const QVariant& value : manifest.value(CatalogManifest::kCatalogItemsKey).toList()) {
        const QVariantMap entry = value.toMap();
        const QString partsFile = CatalogManifest::stringValue(entry, CatalogManifest::kPartsFilenameKey);
        ownerOfPartsFile.insert(
            partsFile, CatalogManifest::stringValue(entry, CatalogManifest::kProductCodeKey));
        taken.insert(fileNameKey(partsFile));
        taken.insert(
            fileNameKey(CatalogManifest::stringValue(entry, CatalogManifest::kThumbnailFileNameKey)));
    }
    QSet<QString> claimed;
    auto isTaken = [&](const QString& name) {
        CatalogPartsFile probe;
        probe.fileName = name;
        const QString key = fileNameKey(name);
        const QString thumbnail = fileNameKey(probe.thumbnailFileName());
        if (claimed.contains(key) || claimed.contains(thumbnail))
            return true;
        // A product replaces its own files; nobody's else.
        if (const auto it = ownerOfPartsFile.constFind(name); it != ownerOfPartsFile.cend())
            return *it != owner;
        return taken.contains(key) || taken.contains(thumbnail);
    };
    for (CatalogPartsFile& file : files) {
        if (file.refusal != CatalogPartsFile::Refusal::None)
            continue;
        file.fileName = isTaken(file.wantedFileName) ? numberedFileName(file.wantedFileName, isTaken)
                                                     : file.wantedFileName;
        if (file.fileName.isEmpty()) {
            file.refusal = CatalogPartsFile::Refusal::NoFreeName;
            continue;
        }
        claimed.insert(fileNameKey(file.fileName));
        claimed.insert(fileNameKey(file.thumbnailFileName()));
    }
}

// --- What the user is told ---

QString ArtProductInstallResult::notes() const
{
    QStringList sentences;
    if (!leftOut.isEmpty()) {
        using Refusal = CatalogPartsFile::Refusal;
        auto count = [this](Refusal refusal) {
            return std::count_if(leftOut.cbegin(), leftOut.cend(),
                [refusal](const CatalogPartsFile& file) { return file.refusal == refusal; });
        };
        QStringList reasons;
        const std::tuple<Refusal, const char*, const char*> phrases[] = {
            { Refusal::Unreadable, "1 could not be read", "%1 could not be read" },
            { Refusal::NotACharacter, "1 holds no character", "%1 hold no character" },
            { Refusal::TooNew, "1 needs a newer version of Zandrel", "%1 need a newer version of Zandrel" },
            { Refusal::NoUsableName, "1 has a character name that cannot name a file",
                "%1 have character names that cannot name a file" },
            { Refusal::NoFreeName, "1 found no free file name", "%1 found no free file name" },
        };
        for (const auto& [refusal, one, many] : phrases) {
            if (const qsizetype n = count(refusal))
                reasons.append(counted(n, one, many));
        }
        sentences.append((leftOut.size() == 1 ? localized("%1 of its %2 parts files was left out: %3.")
                                              : localized("%1 of its %2 parts files were left out: %3."))
                             .arg(leftOut.size())
                             .arg(partsFiles)
                             .arg(reasons.join(QStringLiteral(", "))));
    }
    if (renamed.size() == 1) {
        sentences.append(localized(
            "The purchased catalog already had a file “%1”, so this product's character went in as “%2”.")
                             .arg(renamed.first().wantedFileName, renamed.first().fileName));
    } else if (!renamed.isEmpty()) {
        QStringList names;
        for (const CatalogPartsFile& file : renamed.mid(0, kMaxNamedRenames))
            names.append(localized("“%1” as “%2”").arg(file.wantedFileName, file.fileName));
        if (renamed.size() > kMaxNamedRenames)
            names.append(localized("%1 more").arg(renamed.size() - kMaxNamedRenames));
        sentences.append(localized("The purchased catalog already had files of the names of %1 of its "
                                   "characters, so they went in under new names: %2.")
                             .arg(renamed.size())
                             .arg(names.join(QStringLiteral(", "))));
    }
    return sentences.join(QLatin1Char(' '));
}

// --- The install ---

QString ArtProductInstaller::firstFreeName(const QString& folder, const QString& pattern)
{
    const QDir dir(folder);
    for (int number = 1; number <= kMaxNameAttempts; ++number) {
        const QString path = dir.filePath(pattern.arg(number));
        if (!exists(path))
            return path;
    }
    return QString();
}

ArtProductInstaller::ArtProductInstaller(ZDLAppController& controller, const QString& temporaryFolder,
    const QByteArray& archive, const QString& productCode, const QString& name)
    : m_controller(controller)
    , m_temporaryFolder(temporaryFolder)
    , m_archive(archive)
    , m_productCode(productCode)
    , m_name(name)
{
}

ArtProductInstaller::~ArtProductInstaller()
{
    m_cancelled = true;
    if (m_thread.joinable())
        m_thread.join();
    removeTemporaryFiles();
    if (m_ended)
        return;
    // Stopped before its manifest entries were written: the files it made are nobody's.
    for (const QString& path : std::as_const(m_created))
        QFile::remove(path);
    m_controller.workEnded(this);
}

void ArtProductInstaller::start(std::function<void(const Result&)> done)
{
    m_done = std::move(done);
    showProgress(0, 0);
    QString reason;
    m_catalogFolder = m_controller.getCatalogFolderURL(CharacterLibraryItem::PurchasedCatalog);
    if (!ArtStore::isSafeProductCode(m_productCode)) {
        m_result.error = QStringLiteral("the product code “%1” is not one of the store's").arg(m_productCode);
    } else if (const auto entries = listZipEntries(m_archive, &reason, m_limits);
               !entries || !entriesAreSafeToUnpack(*entries, &reason, m_limits)) {
        m_result.error = QStringLiteral("the archive was refused: %1").arg(reason);
    } else if (m_entries = *entries; !QDir().mkpath(m_temporaryFolder)) {
        m_result.error = QStringLiteral("the temporary folder could not be made");
    } else if (!fitsItsSizeAndTheDisks(m_archive.size(), statedUnpackedBytes(m_entries), &reason)) {
        m_result.error = QStringLiteral("the archive was refused: %1").arg(reason);
    }
    if (!m_result.error.isEmpty()) {
        // Ends from the event loop, as every install does.
        QTimer::singleShot(0, this, [this] { finish(); });
        return;
    }
    runOnThread(&ArtProductInstaller::unpackOnThread, &ArtProductInstaller::afterUnpack);
}

void ArtProductInstaller::runOnThread(
    void (ArtProductInstaller::*work)(), void (ArtProductInstaller::*next)())
{
    m_thread = std::thread([this, work, next] {
        // An exception leaving the thread would end the program; memory running out ends the install.
        try {
            (this->*work)();
        } catch (const std::bad_alloc&) {
            m_result.error = localized("There is not enough memory to install it.");
        }
        // Dropped when the installer is gone by then.
        QMetaObject::invokeMethod(
            this,
            [this, next] {
                m_thread.join();
                (this->*next)();
            },
            Qt::QueuedConnection);
    });
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
    for (const QString& folder : { m_temporaryFolder, m_catalogFolder }) {
        const qint64 free = freeBytesOf ? freeBytesOf(folder) : diskFreeBytes(folder);
        if (free >= 0 && free < needed) {
            *error = QStringLiteral("it unpacks to %1, and the disk of %2 has only %3 free")
                         .arg(dataSize(unpackedBytes), QDir::toNativeSeparators(folder), dataSize(free));
            return false;
        }
    }
    return true;
}

// On the installer's thread.
void ArtProductInstaller::unpackOnThread()
{
    m_zipPath = firstFreeName(m_temporaryFolder, kZipPattern);
    if (m_zipPath.isEmpty() || !writeFileAtomically(m_zipPath, m_archive)) {
        m_zipPath.clear();
        m_result.error = QStringLiteral("the archive could not be written to the temporary folder");
        return;
    }
    m_archive.clear();
    // A folder made here and now, so that nothing was in it before the tool ran.
    const QString folder = firstFreeName(m_temporaryFolder, kFolderPattern);
    if (folder.isEmpty() || !QDir().mkdir(folder)) {
        m_result.error = QStringLiteral("the unpack folder could not be made");
        return;
    }
    m_unpackFolder = folder;
    QString reason;
    if (!unpack(m_zipPath, folder, &reason) || !checkUnpacked(folder, &reason)) {
        m_result.error = reason;
        return;
    }
    const QDir unpacked(folder);
    for (const QFileInfo& info : unpacked.entryInfoList(QDir::Files | QDir::NoSymLinks, QDir::Name)) {
        if (info.suffix() == kPartsExtension)
            m_partsPaths.append(info.absoluteFilePath());
    }
    // A manifest that is there is read now, to be judged before anything is installed.
    const QFileInfo manifest(unpacked.filePath(ArtStore::manifestFileName(m_productCode)));
    if (exists(manifest.filePath())) {
        QFile file(manifest.filePath());
        if (!manifest.isFile() || manifest.isSymLink() || manifest.size() > ArtStore::kMaxManifestBytes
            || !file.open(QIODevice::ReadOnly))
            m_productManifest = QByteArray();
        else
            m_productManifest = file.readAll();
    }
}

void ArtProductInstaller::afterUnpack()
{
    if (!m_result.error.isEmpty()) {
        finish();
        return;
    }
    QString reason;
    // The manifest says a product is installed; a product whose manifest is refused would be
    // offered again and again, so none of it goes in.
    if (m_productManifest && !ArtStore::parseProductManifest(*m_productManifest, m_productCode, &reason)) {
        m_result.error = QStringLiteral("its manifest “%1” was refused: %2")
                             .arg(ArtStore::manifestFileName(m_productCode), reason);
        finish();
        return;
    }
    m_result.partsFiles = int(m_partsPaths.size());
    readSlice();
}

void ArtProductInstaller::readSlice()
{
    QElapsedTimer clock;
    clock.start();
    while (m_nextToRead < m_partsPaths.size() && clock.elapsed() < kSliceMs)
        m_files.append(CatalogPartsFile::read(m_partsPaths[m_nextToRead++]));
    showProgress(m_nextToRead, 2 * qint64(m_partsPaths.size()));
    if (m_nextToRead < m_partsPaths.size())
        QTimer::singleShot(0, this, [this] { readSlice(); });
    else
        chooseNames();
}

void ArtProductInstaller::chooseNames()
{
    if (!QDir().mkpath(m_catalogFolder)) {
        m_result.error = QStringLiteral("the purchased catalog's folder could not be made");
        finish();
        return;
    }
    const std::optional<QVariantMap> manifest = m_controller.getCatalogManifestFromFolder(m_catalogFolder);
    if (!manifest) {
        m_result.error = QStringLiteral("the purchased catalog's list of parts files cannot be read");
        finish();
        return;
    }
    CatalogPartsFile::chooseFileNames(m_files, *manifest, m_catalogFolder, m_productCode);
    QList<CatalogPartsFile> installing;
    for (CatalogPartsFile& file : m_files) {
        if (file.refusal != CatalogPartsFile::Refusal::None) {
            m_result.leftOut.append(file);
            continue;
        }
        if (file.fileName != file.wantedFileName)
            m_result.renamed.append(file);
        installing.append(std::move(file));
    }
    m_files = std::move(installing);
    if (m_files.isEmpty()) {
        m_result.error = QStringLiteral("the archive held no parts file this version can read");
        finish();
        return;
    }
    runOnThread(&ArtProductInstaller::writeOnThread, &ArtProductInstaller::afterWrite);
}

// On the installer's thread.
void ArtProductInstaller::writeOnThread()
{
    const QDir catalog(m_catalogFolder);
    const qint64 total = 2 * qint64(m_partsPaths.size());
    const qint64 read = m_partsPaths.size();
    for (const CatalogPartsFile& file : std::as_const(m_files)) {
        if (m_cancelled) {
            m_result.error = QStringLiteral("the install was stopped");
            break;
        }
        QString reason;
        const QByteArray data = readCatalogFile(file.source, &reason);
        for (const auto& [name, bytes] :
            { std::pair { file.fileName, data }, std::pair { file.thumbnailFileName(), file.thumbnail } }) {
            const QString path = catalog.filePath(name);
            const bool isNew = !exists(path);
            if (bytes.isEmpty() || !writeCatalogFile(path, bytes, &reason)) {
                m_result.error = QStringLiteral("“%1” could not be written: %2").arg(name, reason);
                break;
            }
            if (isNew)
                m_created.append(path);
        }
        if (!m_result.error.isEmpty())
            break;
        if (const int written = ++m_written; written % kWritesPerReport == 0) {
            QMetaObject::invokeMethod(
                this, [this, written, read, total] { showProgress(read + written, total); },
                Qt::QueuedConnection);
        }
    }
}

void ArtProductInstaller::afterWrite()
{
    if (m_result.error.isEmpty()
        && !m_controller.addInstalledPartsFiles(
            CharacterLibraryItem::PurchasedCatalog, m_files, m_productCode, &m_result.error)) {
        if (m_result.error.isEmpty())
            m_result.error
                = QStringLiteral("the purchased catalog's list of parts files could not be written");
    }
    if (!m_result.error.isEmpty()) {
        // What this install made goes again; files it replaced were its own product's.
        for (const QString& path : std::as_const(m_created))
            QFile::remove(path);
        finish();
        return;
    }
    m_result.installedFiles = int(m_files.size());
    // The manifest says a product is installed, so it follows only an install that happened.
    if (m_productManifest
        && writeFileAtomically(
            QDir(m_catalogFolder).filePath(ArtStore::manifestFileName(m_productCode)), *m_productManifest))
        m_result.manifestInstalled = true;
    finish();
}

void ArtProductInstaller::finish()
{
    removeTemporaryFiles();
    m_ended = true;
    m_controller.workEnded(this);
    if (auto done = std::exchange(m_done, {}))
        done(m_result);
}

void ArtProductInstaller::removeTemporaryFiles()
{
    if (!m_zipPath.isEmpty())
        QFile::remove(std::exchange(m_zipPath, QString()));
    if (!m_unpackFolder.isEmpty())
        QDir(std::exchange(m_unpackFolder, QString())).removeRecursively();
}

void ArtProductInstaller::showProgress(qint64 done, qint64 total)
{
    m_controller.showWorkProgress(this, m_name, done, total);
}

bool ArtProductInstaller::unpack(const QString& zipPath, const QString& folder, QString* error) const
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
    // few kilobytes can fill gigabytes. No file it writes may grow more than a byte past the
    // largest stated size, which the system enforces (without a core file): a file that reached
    // that byte holds more than its entry declared, and so does a folder that the watch finds
    // larger than the archive said.
    const rlim_t maxFileBytes = rlim_t(largestStatedSize(m_entries)) + 1;
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
    const qint64 stated = statedUnpackedBytes(m_entries);
    QElapsedTimer clock;
    clock.start();
    while (!process.waitForFinished(kWatchIntervalMs) && process.state() != QProcess::NotRunning) {
        QString why;
        if (m_cancelled)
            why = QStringLiteral("the install was stopped");
        else if (clock.elapsed() > unzipTimeoutMs)
            why = QStringLiteral("the unzip tool took too long");
        else if (unpackedBytes(folder) > stated)
            why = holdsMoreThanItDeclares();
        if (!why.isEmpty()) {
            process.kill();
            process.waitForFinished();
            *error = why;
            return false;
        }
    }
    // A file cut at its limit makes the tool fail too: the archive's lie is the reason to give.
    QString lie;
    if (!checkUnpacked(folder, &lie) && lie == holdsMoreThanItDeclares()) {
        *error = lie;
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        // The tool's own words name the temporary folder and mean little to the user: they go to the
        // log, and the user learns what they come to.
        zdlLog(QStringLiteral("The unzip tool failed (%1) on %2: %3")
                   .arg(process.exitCode())
                   .arg(zipPath, QString::fromLocal8Bit(process.readAll().left(400)).trimmed()));
        *error = whyUnzipFailed(process.exitCode());
        return false;
    }
    return true;
}

bool ArtProductInstaller::checkUnpacked(const QString& folder, QString* error) const
{
    QHash<QString, qint64> statedSizes;
    for (const ZipEntry& entry : m_entries)
        statedSizes.insert(QDir::cleanPath(entry.name), entry.uncompressedSize);
    const qint64 stated = statedUnpackedBytes(m_entries);
    const QDir dir(folder);
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
                         .arg(dir.relativeFilePath(info.filePath()));
            return false;
        }
        // A file larger than its entry says, or more than all of them, came of data that the
        // table of contents did not declare.
        const auto statedSize = statedSizes.constFind(dir.relativeFilePath(info.filePath()));
        total += info.isFile() ? info.size() : 0;
        if (++count > m_limits.maxEntries || total > stated
            || (info.isFile() && statedSize != statedSizes.cend() && info.size() > *statedSize)) {
            *error = holdsMoreThanItDeclares();
            return false;
        }
    }
    return true;
}

} // namespace zandrel
