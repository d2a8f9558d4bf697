#pragma once

#include <csignal>
#include <qglobal.h>
#include <sys/resource.h>

namespace zandrel::test {

// Files may not grow past the size while it stands: a write beyond it fails as on a full disk.
// Check ok: a system may refuse the limit.
class FileSizeLimit {
public:
    explicit FileSizeLimit(qint64 bytes)
        : m_handler(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &m_previous);
        rlimit small = m_previous;
        small.rlim_cur = static_cast<rlim_t>(bytes);
        ok = setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool ok = false;

private:
    rlimit m_previous {};
    void (*m_handler)(int);
};

} // namespace zandrel::test
