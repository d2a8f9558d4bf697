#include "platform/AtomicFile.h"

#include <cerrno>

namespace zandrel {

AtomicFile::AtomicFile(const QString& path)
    : m_file(path)
{
}

AtomicFile::~AtomicFile()
{
    if (!m_done && m_file.isOpen())
        m_file.cancelWriting();
}

bool AtomicFile::open()
{
    errno = 0;
    if (m_file.open(QIODevice::WriteOnly))
        return true;
    m_systemError = errno;
    m_error = m_file.errorString();
    m_done = true;
    return false;
}

bool AtomicFile::write(const QByteArray& data)
{
    errno = 0;
    if (m_file.write(data) == data.size())
        return true;
    return fail();
}

bool AtomicFile::commit()
{
    if (m_done)
        return false;
    // The position is how far the content reached; the size on disk must reach as far.
    errno = 0;
    const qint64 written = m_file.pos();
    if (!m_file.flush() || m_file.error() != QFileDevice::NoError || m_file.size() < written)
        return fail();
    errno = 0;
    m_done = true;
    if (m_file.commit())
        return true;
    m_systemError = errno;
    m_error = m_file.errorString();
    return false;
}

void AtomicFile::cancel(const QString& reason)
{
    const int systemError = errno;
    if (!m_done) {
        // The system's own words where it said something: a write that the system cut short (a
        // disk filling up) leaves the device with no text of its own, only "Unknown error".
        m_error = !reason.isEmpty() ? reason
            : systemError           ? qt_error_string(systemError)
                                    : m_file.errorString();
        m_systemError = reason.isEmpty() ? systemError : 0;
        m_file.cancelWriting();
    }
    m_done = true;
}

// Keeps what the system said before cancelling, which makes system calls of its own.
bool AtomicFile::fail()
{
    cancel();
    return false;
}

bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error, int* systemError)
{
    AtomicFile file(path);
    if (file.open() && file.write(data) && file.commit())
        return true;
    if (error)
        *error = file.errorString();
    if (systemError)
        *systemError = file.systemError();
    return false;
}

} // namespace zandrel
