#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <algorithm>
#include <optional>

namespace zandrel {

// The table of contents of a zip archive, read from its central directory without unpacking
// anything, so that an archive from the network can be judged before any of it reaches the disk.
// Reading is bounded: every offset and length is checked against the archive, the number of
// entries is capped, and nothing recurses. ZIP64 and multi-disk archives are refused.
struct ZipEntry {
    QString name;
    bool isDirectory = false;
    bool isSymlink = false;
    // A device, a pipe or a socket as the archive's Unix mode describes it.
    bool isSpecial = false;
    bool isEncrypted = false;
    quint32 compressedSize = 0;
    quint32 uncompressedSize = 0;
};

struct ZipLimits {
    int maxEntries = 4096;
    // What all entries unpack to, together.
    qint64 maxTotalBytes = qint64(512) << 20;
    // Parts files deflate to a half or a fifth of their size: an archive that says it unpacks to
    // far more than this many times its own size is made to fill a disk, not to be read. Small
    // archives may always unpack to the floor.
    qint64 maxExpansionRatio = 100;
    qint64 expansionFloorBytes = qint64(16) << 20;

    // What an archive of this many bytes may unpack to.
    qint64 allowanceFor(qint64 archiveBytes) const
    {
        const qint64 byRatio = archiveBytes > maxTotalBytes / std::max<qint64>(1, maxExpansionRatio)
            ? maxTotalBytes
            : archiveBytes * maxExpansionRatio;
        return std::min(maxTotalBytes, std::max(expansionFloorBytes, byRatio));
    }
};

// What the entries say they unpack to, together.
qint64 statedUnpackedBytes(const QList<ZipEntry>& entries);

// The entries, or nothing with the reason for data that is not a sound zip archive.
std::optional<QList<ZipEntry>> listZipEntries(
    const QByteArray& data, QString* error, const ZipLimits& limits = {});

// Whether every entry is one an unpacking may make inside its folder: a plain relative name (no
// absolute path, no "." or ".." component, no backslash, no control character), a regular file or
// a folder (no link, no device), not encrypted, and all of them within the limits. False with the
// reason otherwise.
bool entriesAreSafeToUnpack(const QList<ZipEntry>& entries, QString* error, const ZipLimits& limits = {});

} // namespace zandrel
