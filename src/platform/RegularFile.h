#pragma once

#include <QByteArray>
#include <QString>
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
    };
    Kind kind = None;
    // What the system said, 0 when the refusal is ours.
    int systemError = 0;
    // A sentence for the user that names the file.
    QString message;
};

// Reads every byte of a regular file of at most maxBytes, following links. Every file the user
// names goes through here, because a name proves nothing about what is behind it: a pipe blocks the
// opening until a writer comes, and a device reports a size of 0 and never ends. Those, and
// folders, are refused before anything is read; a regular file is read to at most one byte past
// the limit whatever size it reports, so a file that grows while it is read is refused too.
std::optional<QByteArray> readRegularFile(
    const QString& path, qint64 maxBytes, FileReadError* error = nullptr);

} // namespace zandrel
