#pragma once

#include "app/core/ZipDirectory.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

namespace zandrel {

class ZDLAppController;

// Unpacks a downloaded art product into the purchased catalog. The archive comes from the network,
// so it is judged before anything is unpacked: its table of contents is read and any entry that
// could leave the unpack folder (an absolute or ".." name, a link, a device) refuses the whole
// archive, and so does one that says it unpacks to far more than its own size or than its disks
// have free. What remains is unpacked by the system's unzip tool (argument list, no shell, no
// terminal, a time limit, a per-file size limit, and a watch that stops it once it writes more than
// the archive stated) into a folder made fresh for it, the result is walked without following
// links (only files and folders, within the stated size), and only then do its top-level parts
// files and the product manifest go into the catalog. The temporary archive and folder are always
// removed.
class ArtProductInstaller {
public:
    struct Result {
        // Parts files that went into the catalog; an install of none failed.
        int installedFiles = 0;
        bool manifestInstalled = false;
        // Why the product was not installed, for the log and the user.
        QString error;
        bool succeeded() const { return installedFiles > 0; }
    };

    // The tool; tests may point at another or at none.
    static inline QString unzipProgram = QStringLiteral("/usr/bin/unzip");
    // How long the tool may take for one product.
    static inline int unzipTimeoutMs = 120000;
    // The bytes free on the disk that holds a folder, -1 when unknown; tests may pretend a disk is
    // nearly full.
    static inline std::function<qint64(const QString& folder)> freeBytesOf;
    // Left free on a disk after an install, so that an install never fills one.
    static constexpr qint64 kDiskReserveBytes = qint64(16) << 20;

    ArtProductInstaller(ZDLAppController& controller, const QString& temporaryFolder)
        : m_controller(controller)
        , m_temporaryFolder(temporaryFolder)
    {
    }

    void setLimits(const ZipLimits& limits) { m_limits = limits; }

    Result install(const QByteArray& archive, const QString& productCode);

    // The first of "<template with 1>", "<template with 2>", ... that names nothing in the folder.
    static QString firstFreeName(const QString& folder, const QString& pattern);

private:
    // Whether what the archive unpacks to fits its size and the disks it goes to; the reason
    // otherwise.
    bool fitsItsSizeAndTheDisks(qint64 archiveBytes, qint64 unpackedBytes, QString* error) const;
    bool unpack(
        const QString& zipPath, const QString& folder, const QList<ZipEntry>& entries, QString* error) const;
    // Only files and folders, no more entries than allowed and no more bytes than the archive stated.
    bool checkUnpacked(const QString& folder, const QList<ZipEntry>& entries, QString* error) const;

    ZDLAppController& m_controller;
    QString m_temporaryFolder;
    ZipLimits m_limits;
};

} // namespace zandrel
