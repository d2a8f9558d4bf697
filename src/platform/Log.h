#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

namespace zandrel {

// The application's diagnostic log. Lines go to standard error unless a sink is installed, so that
// tests can check the exact lines the program writes.
class Log {
public:
    using Sink = std::function<void(const QString& line)>;

    static void write(const QString& line);
    // Installs a sink (an empty one restores standard error) and returns the previous one.
    static Sink setSink(Sink sink);

    // Collects the lines written during its lifetime instead of printing them.
    class Capture {
    public:
        Capture();
        ~Capture();
        Capture(const Capture&) = delete;
        Capture& operator=(const Capture&) = delete;

        QStringList lines() const;
        void clear();

    private:
        struct Lines;
        std::shared_ptr<Lines> m_lines;
        Sink m_previous;
    };
};

inline void zdlLog(const QString& line)
{
    Log::write(line);
}

} // namespace zandrel
