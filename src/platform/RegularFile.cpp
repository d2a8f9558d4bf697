#include "platform/RegularFile.h"

#include "platform/Localization.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <new>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace zandrel {

namespace {

// What the buffer starts with when the file's stated size says nothing, and at least how much it
// grows each time.
constexpr qint64 kFirstChunk = qint64(64) << 10;
// A regular file stating a size of 0 may still hold bytes (a file system that learns sizes only
// as it reads, as some in user space do). Such a file is taken only to this size, so that nothing
// of the kind can make the buffer grow towards the reader's limit.
constexpr qint64 kUnstatedLimit = qint64(16) << 20;
// A file that was shorter than it stated keeps no more unused room than this.
constexpr qint64 kSlackBytes = 4096;

// Closes the file however the reading ends.
class Descriptor {
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    {
    }
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

private:
    int m_fd;
};

// The file as messages name it.
QString displayName(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? path : name;
}

// File systems whose files the kernel makes up as they are read: its state, its settings, its
// controls. Those magic.h does not name are spelled out.
bool isKernelFileSystem(const struct statfs& info)
{
    constexpr quint32 kConfigFsMagic = 0x62656570;
    constexpr quint32 kMessageQueueMagic = 0x19800202;
    constexpr quint32 kFuseControlMagic = 0x65735543;
    switch (quint32(info.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case SELINUX_MAGIC:
    case SMACK_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case RDTGROUP_SUPER_MAGIC:
    case BPF_FS_MAGIC:
    case PSTOREFS_MAGIC:
    case EFIVARFS_MAGIC:
    case BINFMTFS_MAGIC:
    case NSFS_MAGIC:
    case kConfigFsMagic:
    case kMessageQueueMagic:
    case kFuseControlMagic:
        return true;
    default:
        return false;
    }
}

// Reads until the room is full or the file ends; the bytes read, or -1 with errno set.
qint64 readInto(int fd, char* room, qint64 size)
{
    qint64 filled = 0;
    while (filled < size) {
        const ssize_t count = ::read(fd, room + filled, size_t(size - filled));
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return -1;
        }
        if (count == 0)
            break;
        filled += count;
    }
    return filled;
}

std::nullopt_t fail(FileReadError* error, FileReadError::Kind kind, int systemError, const QString& path)
{
    if (!error)
        return std::nullopt;
    const QString name = displayName(path);
    error->kind = kind;
    error->systemError = systemError;
    switch (kind) {
    case FileReadError::NoSuchFile:
        error->message = localized("The file “%1” doesn’t exist.").arg(name);
        break;
    case FileReadError::NotRegularFile:
        error->message
            = localized("“%1” is a device, a pipe or a socket, not a file that can be read.").arg(name);
        break;
    case FileReadError::TooLarge:
        error->message = localized("The file “%1” is too large to read.").arg(name);
        break;
    case FileReadError::SystemFile:
        error->message = localized("“%1” is one of the system’s own files, not a document.").arg(name);
        break;
    case FileReadError::WrongKind:
        error->message = localized("The data in the file “%1” is corrupted.").arg(name);
        break;
    case FileReadError::OutOfMemory:
        error->message = localized("There is not enough memory to read the file “%1”.").arg(name);
        break;
    case FileReadError::Unreadable:
    case FileReadError::None:
        error->message
            = localized("The file “%1” could not be read: %2.").arg(name, qt_error_string(systemError));
        break;
    }
    return std::nullopt;
}

std::nullopt_t failForSystem(FileReadError* error, int systemError, const QString& path)
{
    const bool missing = systemError == ENOENT || systemError == ENOTDIR;
    return fail(error, missing ? FileReadError::NoSuchFile : FileReadError::Unreadable, systemError, path);
}

std::nullopt_t failForType(FileReadError* error, const struct stat& info, const QString& path)
{
    std::nullopt_t result = fail(error, FileReadError::NotRegularFile, 0, path);
    if (error && S_ISDIR(info.st_mode))
        error->message = localized("“%1” is a folder, not a file.").arg(displayName(path));
    return result;
}

} // namespace

FileReadError FileReadError::outOfMemory(const QString& path)
{
    FileReadError error;
    fail(&error, OutOfMemory, 0, path);
    return error;
}

std::optional<QByteArray> readRegularFile(
    const QString& path, qint64 maxBytes, FileReadError* error, const FileHeadCheck& canBegin)
{
    if (error)
        *error = FileReadError();
    if (path.isEmpty())
        return fail(error, FileReadError::NoSuchFile, ENOENT, path);
    maxBytes = std::clamp<qint64>(maxBytes, 0, qint64(1) << 62);
    const QByteArray native = QFile::encodeName(path);
    // The type first, without opening: opening a pipe waits for a writer, opening a device or a
    // file of the kernel's may have effects of its own.
    struct stat info { };
    if (::stat(native.constData(), &info) != 0)
        return failForSystem(error, errno, path);
    if (!S_ISREG(info.st_mode))
        return failForType(error, info, path);
    struct statfs fileSystem { };
    if (::statfs(native.constData(), &fileSystem) == 0 && isKernelFileSystem(fileSystem))
        return fail(error, FileReadError::SystemFile, 0, path);
    if (info.st_size > maxBytes)
        return fail(error, FileReadError::TooLarge, 0, path);
    // Something else may have taken the name meanwhile: the opening must not wait, and what was
    // opened is asked again.
    int fd;
    do
        fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return failForSystem(error, errno, path);
    const Descriptor file(fd);
    if (::fstat(fd, &info) != 0)
        return failForSystem(error, errno, path);
    if (!S_ISREG(info.st_mode))
        return failForType(error, info, path);
    if (::fstatfs(fd, &fileSystem) == 0 && isKernelFileSystem(fileSystem))
        return fail(error, FileReadError::SystemFile, 0, path);
    if (info.st_size > maxBytes)
        return fail(error, FileReadError::TooLarge, 0, path);

    char head[kFileHeadBytes];
    qint64 filled = 0;
    if (canBegin) {
        filled = readInto(fd, head, kFileHeadBytes);
        if (filled < 0)
            return failForSystem(error, errno, path);
        if (!canBegin(QByteArrayView(head, filled)))
            return fail(error, FileReadError::WrongKind, 0, path);
    }
    const qint64 stated = info.st_size;
    // One byte past the limit tells a file at the limit from a longer one.
    const qint64 limit = (stated > 0 ? maxBytes : std::min(maxBytes, kUnstatedLimit)) + 1;
    if (filled >= limit)
        return fail(error, FileReadError::TooLarge, 0, path);
    try {
        // Room of exactly the size asked for: resizing a byte array rounds its room up to a power
        // of two, which for a large file is near twice its size.
        QByteArray data(qsizetype(std::max(filled, std::min(limit, stated > 0 ? stated + 1 : kFirstChunk))),
            Qt::Uninitialized);
        std::memcpy(data.data(), head, size_t(filled));
        for (;;) {
            const qint64 count = readInto(fd, data.data() + filled, data.size() - filled);
            if (count < 0)
                return failForSystem(error, errno, path);
            filled += count;
            if (filled < data.size() || filled >= limit)
                break;
            // By half again, and never past the limit: a file longer than it stated needs no room
            // much beyond its size.
            const qint64 grown = std::min(limit, filled + std::max(filled / 2, kFirstChunk));
            data.reserve(qsizetype(grown));
            data.resize(qsizetype(grown));
        }
        if (filled >= limit)
            return fail(error, FileReadError::TooLarge, 0, path);
        data.truncate(qsizetype(filled));
        if (data.capacity() - data.size() > kSlackBytes)
            data.squeeze();
        return data;
    } catch (const std::bad_alloc&) {
        // The buffer is gone by now; what is left is enough for the message.
        return fail(error, FileReadError::OutOfMemory, 0, path);
    }
}

} // namespace zandrel
