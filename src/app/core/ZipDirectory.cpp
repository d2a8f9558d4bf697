#include "app/core/ZipDirectory.h"

#include <QtEndian>

namespace zandrel {

namespace {

constexpr quint32 kEndSignature = 0x06054b50;
constexpr quint32 kCentralSignature = 0x02014b50;
constexpr qsizetype kEndRecordSize = 22;
constexpr qsizetype kCentralHeaderSize = 46;
constexpr qsizetype kMaxCommentSize = 0xffff;
constexpr quint32 kZip64Marker = 0xffffffff;
constexpr quint32 kFileTypeMask = 0170000;
constexpr quint32 kRegularFile = 0100000;
constexpr quint32 kDirectory = 0040000;
constexpr quint32 kSymlink = 0120000;
constexpr quint16 kEncryptedFlag = 0x0001;
constexpr quint16 kUtf8NameFlag = 0x0800;

quint16 u16(const char* p)
{
    return qFromLittleEndian<quint16>(p);
}

quint32 u32(const char* p)
{
    return qFromLittleEndian<quint32>(p);
}

// The end-of-central-directory record: the last signature whose comment reaches exactly to the end.
qsizetype findEndRecord(const QByteArray& data)
{
    const qsizetype last = data.size() - kEndRecordSize;
    const qsizetype first = std::max<qsizetype>(0, last - kMaxCommentSize);
    for (qsizetype at = last; at >= first; --at) {
        const char* p = data.constData() + at;
        if (u32(p) == kEndSignature && at + kEndRecordSize + u16(p + 20) == data.size())
            return at;
    }
    return -1;
}

} // namespace

std::optional<QList<ZipEntry>> listZipEntries(const QByteArray& data, QString* error, const ZipLimits& limits)
{
    QString scratch;
    if (!error)
        error = &scratch;
    const qsizetype end = findEndRecord(data);
    if (end < 0) {
        *error = QStringLiteral("it is not a zip archive");
        return std::nullopt;
    }
    const char* record = data.constData() + end;
    const quint16 disk = u16(record + 4);
    const quint16 directoryDisk = u16(record + 6);
    const quint16 entriesOnDisk = u16(record + 8);
    const quint16 entryCount = u16(record + 10);
    const quint32 directorySize = u32(record + 12);
    const quint32 directoryOffset = u32(record + 16);
    if (disk != 0 || directoryDisk != 0 || entriesOnDisk != entryCount) {
        *error = QStringLiteral("it spans several disks");
        return std::nullopt;
    }
    if (directorySize == kZip64Marker || directoryOffset == kZip64Marker || entryCount == 0xffff) {
        *error = QStringLiteral("it is a ZIP64 archive");
        return std::nullopt;
    }
    if (qint64(directoryOffset) + directorySize > end) {
        *error = QStringLiteral("its directory lies outside it");
        return std::nullopt;
    }
    if (entryCount > limits.maxEntries) {
        *error = QStringLiteral("it has more than %1 entries").arg(limits.maxEntries);
        return std::nullopt;
    }

    QList<ZipEntry> entries;
    entries.reserve(entryCount);
    qsizetype at = directoryOffset;
    const qsizetype directoryEnd = qsizetype(directoryOffset) + directorySize;
    for (int i = 0; i < entryCount; ++i) {
        if (directoryEnd - at < kCentralHeaderSize || u32(data.constData() + at) != kCentralSignature) {
            *error = QStringLiteral("entry %1 is damaged").arg(i + 1);
            return std::nullopt;
        }
        const char* header = data.constData() + at;
        const quint16 flags = u16(header + 8);
        const qsizetype nameLength = u16(header + 28);
        const qsizetype variableLength = nameLength + u16(header + 30) + u16(header + 32);
        if (directoryEnd - at - kCentralHeaderSize < variableLength) {
            *error = QStringLiteral("entry %1 is damaged").arg(i + 1);
            return std::nullopt;
        }
        ZipEntry entry;
        entry.compressedSize = u32(header + 20);
        entry.uncompressedSize = u32(header + 24);
        if (entry.compressedSize == kZip64Marker || entry.uncompressedSize == kZip64Marker) {
            *error = QStringLiteral("it is a ZIP64 archive");
            return std::nullopt;
        }
        const char* name = header + kCentralHeaderSize;
        entry.name = (flags & kUtf8NameFlag) ? QString::fromUtf8(name, nameLength)
                                             : QString::fromLatin1(name, nameLength);
        entry.isEncrypted = flags & kEncryptedFlag;
        entry.isDirectory = entry.name.endsWith(QLatin1Char('/'));
        // The high half of the external attributes is a Unix mode whatever system the archive
        // names: unzip honours it for several (BeOS, AtheOS, Atari, VMS and others), and zippers on
        // other systems write it too. A mode that says link or device is believed wherever it
        // comes from.
        const quint32 type = (u32(header + 38) >> 16) & kFileTypeMask;
        entry.isSymlink = type == kSymlink;
        entry.isSpecial = type != 0 && type != kRegularFile && type != kDirectory && type != kSymlink;
        if (type == kDirectory)
            entry.isDirectory = true;
        entries.append(entry);
        at += kCentralHeaderSize + variableLength;
    }
    return entries;
}

qint64 statedUnpackedBytes(const QList<ZipEntry>& entries)
{
    qint64 total = 0;
    for (const ZipEntry& entry : entries)
        total += entry.uncompressedSize;
    return total;
}

bool entriesAreSafeToUnpack(const QList<ZipEntry>& entries, QString* error, const ZipLimits& limits)
{
    QString scratch;
    if (!error)
        error = &scratch;
    if (entries.size() > limits.maxEntries) {
        *error = QStringLiteral("it has more than %1 entries").arg(limits.maxEntries);
        return false;
    }
    qint64 total = 0;
    for (const ZipEntry& entry : entries) {
        const QString& name = entry.name;
        auto refuse = [&](const QString& why) {
            *error = QStringLiteral("“%1” %2").arg(name, why);
            return false;
        };
        if (name.isEmpty() || name.startsWith(QLatin1Char('/')) || name.contains(QLatin1Char('\\'))
            || (name.size() >= 2 && name.at(1) == QLatin1Char(':')))
            return refuse(QStringLiteral("is not a relative name"));
        for (const QChar c : name) {
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                return refuse(QStringLiteral("has a control character in its name"));
        }
        const QStringList components = name.split(QLatin1Char('/'));
        for (qsizetype i = 0; i < components.size(); ++i) {
            const QString& component = components.at(i);
            const bool trailing = i == components.size() - 1 && entry.isDirectory && component.isEmpty();
            if ((component.isEmpty() && !trailing) || component == QStringLiteral(".")
                || component == QStringLiteral(".."))
                return refuse(QStringLiteral("leaves its folder"));
        }
        if (entry.isSymlink)
            return refuse(QStringLiteral("is a link"));
        if (entry.isSpecial)
            return refuse(QStringLiteral("is not a file or a folder"));
        if (entry.isEncrypted)
            return refuse(QStringLiteral("is encrypted"));
        total += entry.uncompressedSize;
        if (total > limits.maxTotalBytes) {
            *error = QStringLiteral("it unpacks to more than %1 bytes").arg(limits.maxTotalBytes);
            return false;
        }
    }
    return true;
}

} // namespace zandrel
