#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>
#include <optional>

namespace zandrel {

// Why a file named by the user could not be read.
struct FileReadError {
    enum Kind {
        None,
        // Nothing of that name, or a link leading nowhere.
        NoSuchFile,
        // A folder, a pipe, a socket or a device: not something with a content of its own.
        NotRegularFile,
        // More bytes than the reader takes.
        TooLarge,
        // The system refused to open or read it (permission, input/output error).
        Unreadable,
        // A file the kernel makes up as it is read (of /proc, /sys and the like): whatever its name
        // says, it holds no document, and it may state no size and never end.
        SystemFile,
        // Its first bytes cannot begin a file of the kind the reader wants.
        WrongKind,
        // The memory to hold it could not be had.
        OutOfMemory,
    };
    Kind kind = None;
    // What the system said, 0 when the refusal is ours.
    int systemError = 0;
    // A sentence for the user that names the file.
    QString message;

    // The error of a file whose content ran out of memory once read (while it was decoded).
    static FileReadError outOfMemory(const QString& path);
};

// How many bytes of a file a head check sees at most; all of a shorter file.
inline constexpr qsizetype kFileHeadBytes = 64;
// Whether a file beginning with these bytes may be of the kind wanted. When unsure, yes.
using FileHeadCheck = std::function<bool(QByteArrayView head)>;

// Reads every byte of a regular file of at most maxBytes, following links. Every file the user
// names goes through here, because a name proves nothing about what is behind it: a pipe blocks the
// opening until a writer comes, and a device reports a size of 0 and never ends. Those, folders and
// the kernel's own files are refused before anything is read; a regular file is read to at most
// one byte past the limit whatever size it reports, so a file that grows while it is read is
// refused too, and one stating no size at all is read only to a few megabytes. With a head check,
// the first bytes are judged before room for the rest is taken, so that a large file of another
// kind costs no memory. Nothing is thrown: memory that cannot be had is an error like the others.
std::optional<QByteArray> readRegularFile(
    const QString& path, qint64 maxBytes, FileReadError* error = nullptr, const FileHeadCheck& canBegin = {});

} // namespace zandrel
