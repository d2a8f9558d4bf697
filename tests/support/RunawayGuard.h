#pragma once

#include <QFile>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace zandrel::test {

// Ends the test program with a message when what it guards hangs (a pipe opened for reading waits
// for a writer) or takes memory without end (a device read to its end): either would otherwise
// hold the run until its timeout or take the machine's memory with it.
class RunawayGuard {
public:
    explicit RunawayGuard(const char* what)
        : m_thread([this, what, start = kilobytes()] {
            for (int tick = 0; !m_done; ++tick) {
                if (tick > 3000 || kilobytes() - start > 512 * 1024) {
                    std::fprintf(stderr, "%s: hangs or takes memory without end\n", what);
                    std::_Exit(86);
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        })
    {
    }
    ~RunawayGuard()
    {
        m_done = true;
        m_thread.join();
    }

private:
    // Resident memory now, not at its peak, which an earlier test may have set high.
    static long kilobytes()
    {
        QFile statm(QStringLiteral("/proc/self/statm"));
        // Pages of 4 KiB.
        return statm.open(QIODevice::ReadOnly) ? statm.readLine().split(' ').value(1).toLong() * 4 : 0;
    }

    std::atomic<bool> m_done { false };
    std::thread m_thread;
};

} // namespace zandrel::test
