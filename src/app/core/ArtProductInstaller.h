#pragma once

#include "app/core/ZipDirectory.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <atomic>
#include <functional>
#include <optional>
#include <thread>

namespace zandrel {

class ZDLAppController;

// A parts file read, named after its character and given its thumbnail, ready to go into a catalog.
struct CatalogPartsFile {
    // Why a parts file stays out of a catalog.
    enum class Refusal { None, Unreadable, NotACharacter, TooNew, NoUsableName, NoFreeName };

    QString source;
    QString characterName;
    QString creatorName;
    qint64 partsKind = 0;
    // The name the character's name gives, and the one the file goes in under: the same unless
    // that one was taken.
    QString wantedFileName;
    QString fileName;
    QByteArray thumbnail;
    Refusal refusal = Refusal::None;

    // Reads the file at the path, decodes its character and makes its thumbnail.
    static CatalogPartsFile read(const QString& path);
    QString thumbnailFileName() const;
    // Gives each file that can go in its file name in the catalog folder: the one its character's
    // name gives, else the first numbered one that is free. A name is free for the owner (a
    // product's code, empty for none) when no file has it, or when the manifest entry that has it
    // is the owner's own (an update replaces its files); a file no entry accounts for is nobody's
    // to replace. A file without a free name is refused.
    static void chooseFileNames(QList<CatalogPartsFile>& files, const QVariantMap& manifest,
        const QString& folder, const QString& owner);
};

// What became of an art product's install.
struct ArtProductInstallResult {
    // The top-level parts files of the archive, and those of them that went into the catalog; an
    // install of none failed.
    int partsFiles = 0;
    int installedFiles = 0;
    bool manifestInstalled = false;
    // Why the product was not installed, for the log and the user.
    QString error;
    // The files left out, each with the reason, and those installed under another name.
    QList<CatalogPartsFile> leftOut;
    QList<CatalogPartsFile> renamed;

    bool succeeded() const { return installedFiles > 0; }
    // What the user should know of an install that went in: the parts files left out and why, and
    // the characters that went in under another file name. Empty when everything went in as named.
    QString notes() const;
};

// Unpacks a downloaded art product into the purchased catalog. The archive comes from the network,
// so it is judged before anything is unpacked: its table of contents is read and any entry that
// could leave the unpack folder (an absolute or ".." name, a link, a device) refuses the whole
// archive, and so does one that says it unpacks to far more than its own size or than its disks
// have free. What remains is unpacked by the system's unzip tool (argument list, no shell, no
// terminal, a time limit, a per-file size limit, and a watch that stops it once it writes more than
// the archive stated) into a folder made fresh for it, the result is walked without following
// links (only files and folders, within the stated size), and only then do its top-level parts
// files and the product manifest go into the catalog. A manifest that is there but refused
// installs nothing. The temporary archive and folder are always removed.
//
// The interface goes on answering meanwhile: the tool runs and the files are written on a thread of
// the installer's own, and the characters are read on the interface thread a few at a time. The
// catalog's manifest is written once, when every file is in place; a file of another product, or
// one no manifest entry accounts for, is never replaced: the newcomer takes a free name.
class ArtProductInstaller : public QObject {
public:
    using Result = ArtProductInstallResult;

    // The tool; tests may point at another or at none.
    static inline QString unzipProgram = QStringLiteral("/usr/bin/unzip");
    // How long the tool may take for one product.
    static inline int unzipTimeoutMs = 120000;
    // The bytes free on the disk that holds a folder, -1 when unknown; tests may pretend a disk is
    // nearly full.
    static inline std::function<qint64(const QString& folder)> freeBytesOf;
    // Left free on a disk after an install, so that an install never fills one.
    static constexpr qint64 kDiskReserveBytes = qint64(16) << 20;
    // How long the interface thread reads characters before it lets other events in.
    static constexpr int kSliceMs = 15;

    // The name is what the download panel shows while the product installs.
    ArtProductInstaller(ZDLAppController& controller, const QString& temporaryFolder,
        const QByteArray& archive, const QString& productCode, const QString& name);
    // Stops the tool and the writes of an install still going on.
    ~ArtProductInstaller() override;

    void setLimits(const ZipLimits& limits) { m_limits = limits; }

    // Starts the install; the completion is called once, from the event loop, when it has ended.
    void start(std::function<void(const Result&)> done);

    // The first of "<template with 1>", "<template with 2>", ... that names nothing in the folder.
    static QString firstFreeName(const QString& folder, const QString& pattern);

private:
    // Whether what the archive unpacks to fits its size and the disks it goes to; the reason
    // otherwise.
    bool fitsItsSizeAndTheDisks(qint64 archiveBytes, qint64 unpackedBytes, QString* error) const;
    // The steps, in order; those on the installer's thread touch only the files and the fields
    // they fill.
    void unpackOnThread();
    void afterUnpack();
    void readSlice();
    void chooseNames();
    void writeOnThread();
    void afterWrite();
    void finish();
    bool unpack(const QString& zipPath, const QString& folder, QString* error) const;
    // Only files and folders, no more entries than allowed, and no file larger than its entry said.
    bool checkUnpacked(const QString& folder, QString* error) const;
    // Runs the work on the installer's thread, then the next step on the interface thread.
    void runOnThread(void (ArtProductInstaller::*work)(), void (ArtProductInstaller::*next)());
    void removeTemporaryFiles();
    void showProgress(qint64 done, qint64 total);

    ZDLAppController& m_controller;
    QString m_temporaryFolder;
    QByteArray m_archive;
    QString m_productCode;
    QString m_name;
    ZipLimits m_limits;
    QList<ZipEntry> m_entries;
    QString m_catalogFolder;
    std::function<void(const Result&)> m_done;
    Result m_result;

    QString m_zipPath;
    QString m_unpackFolder;
    QStringList m_partsPaths;
    std::optional<QByteArray> m_productManifest;
    QList<CatalogPartsFile> m_files;
    qsizetype m_nextToRead = 0;
    // Files this install made anew, taken away again should it fail.
    QStringList m_created;

    std::thread m_thread;
    std::atomic<bool> m_cancelled = false;
    std::atomic<int> m_written = 0;
    // Once ended, the installer no longer speaks to the controller, which may be gone.
    bool m_ended = false;
};

} // namespace zandrel
