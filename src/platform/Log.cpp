#include "platform/Log.h"

#include <QMutex>
#include <QMutexLocker>
#include <cstdio>

namespace zandrel {

namespace {

QMutex& sinkMutex()
{
    static QMutex mutex;
    return mutex;
}

Log::Sink& currentSink()
{
    static Log::Sink sink;
    return sink;
}

} // namespace

void Log::write(const QString& line)
{
    Sink sink;
    {
        QMutexLocker lock(&sinkMutex());
        sink = currentSink();
    }
    if (sink) {
        sink(line);
        return;
    }
    const QByteArray bytes = line.toUtf8();
    std::fprintf(stderr, "Zandrel: %s\n", bytes.constData());
}

Log::Sink Log::setSink(Sink sink)
{
    QMutexLocker lock(&sinkMutex());
    Sink previous = std::move(currentSink());
    currentSink() = std::move(sink);
    return previous;
}

struct Log::Capture::Lines {
    mutable QMutex mutex;
    QStringList lines;
};

Log::Capture::Capture()
    : m_lines(std::make_shared<Lines>())
{
    std::shared_ptr<Lines> lines = m_lines;
    m_previous = setSink([lines](const QString& line) {
        QMutexLocker lock(&lines->mutex);
        lines->lines.append(line);
    });
}

Log::Capture::~Capture()
{
    setSink(std::move(m_previous));
}

QStringList Log::Capture::lines() const
{
    QMutexLocker lock(&m_lines->mutex);
    return m_lines->lines;
}

void Log::Capture::clear()
{
    QMutexLocker lock(&m_lines->mutex);
    m_lines->lines.clear();
}

} // namespace zandrel
