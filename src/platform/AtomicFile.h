#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

namespace zandrel {

// A file written whole or not at all. The bytes go to a temporary file beside the target, which
// replaces the target only once every byte is on disk: a failure at any point (a full disk, a size
// limit, an encoder giving up) leaves the old file as it was and no temporary file behind.
//
// Renaming alone is not enough: a buffered write that the system cut short goes unnoticed by the
// rename, which would put a truncated file in place. So commit flushes first and checks that the
// file on disk holds everything written. Writers that take a device (images, PDF) must write it
// from start to end without seeking back.
class AtomicFile {
public:
    explicit AtomicFile(const QString& path);
    // Discards the temporary file unless committed.
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Makes the temporary file beside the target.
    bool open();
    // Where device writers put the content.
    QIODevice& device() { return m_file; }
    // Every byte or failure.
    bool write(const QByteArray& data);
    // Flushes, checks the size on disk and renames the temporary file over the target.
    bool commit();
    // Discards the temporary file, keeping the reason the caller gives (or the device's own).
    void cancel(const QString& reason = QString());

    // Why the last step failed, and the system's error number at that moment (0 when the system
    // said nothing, as for an encoder's refusal).
    const QString& errorString() const { return m_error; }
    int systemError() const { return m_systemError; }

private:
    bool fail();

    QSaveFile m_file;
    QString m_error;
    int m_systemError = 0;
    bool m_done = false;
};

// Writes the bytes to the path whole or not at all. On failure, the reason and the system's error
// number go to those given.
bool writeFileAtomically(
    const QString& path, const QByteArray& data, QString* error = nullptr, int* systemError = nullptr);

} // namespace zandrel
