#include "platform/RegularFile.h"

#include "platform/Localization.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zandrel {

namespace {

// What the buffer starts with when the file's stated size says nothing (files of the kernel's own
// folders state 0), and at least how much it grows each time.
constexpr qint64 kFirstChunk = qint64(64) << 10;
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

std::optional<QByteArray> readRegularFile(const QString& path, qint64 maxBytes, FileReadError* error)
{
    if (error)
        *error = FileReadError();
    if (path.isEmpty())
        return fail(error, FileReadError::NoSuchFile, ENOENT, path);
    maxBytes = std::clamp<qint64>(maxBytes, 0, qint64(1) << 62);
    const QByteArray native = QFile::encodeName(path);
    // The type first, without opening: opening a pipe waits for a writer, opening a device may
    // have effects of its own.
    struct stat info { };
    if (::stat(native.constData(), &info) != 0)
        return failForSystem(error, errno, path);
    if (!S_ISREG(info.st_mode))
        return failForType(error, info, path);
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
    if (info.st_size > maxBytes)
        return fail(error, FileReadError::TooLarge, 0, path);

    // One byte past the limit tells a file at the limit from a longer one.
    const qint64 limit = maxBytes + 1;
    QByteArray data;
    data.resize(qsizetype(std::min(limit, info.st_size > 0 ? qint64(info.st_size) + 1 : kFirstChunk)));
    qint64 filled = 0;
    for (;;) {
        if (filled == data.size()) {
            if (filled >= limit)
                break;
            data.resize(qsizetype(std::min(limit, filled + std::max(filled, kFirstChunk))));
        }
        const ssize_t count = ::read(fd, data.data() + filled, size_t(data.size() - filled));
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return failForSystem(error, errno, path);
        }
        if (count == 0)
            break;
        filled += count;
    }
    if (filled > maxBytes)
        return fail(error, FileReadError::TooLarge, 0, path);
    data.truncate(qsizetype(filled));
    if (data.capacity() - data.size() > kSlackBytes)
        data.squeeze();
    return data;
}

} // namespace zandrel
