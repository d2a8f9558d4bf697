#include "TestSupport.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace zandrel::test {

QString sourcePath(const QString& relative)
{
    return QStringLiteral(ZANDREL_SOURCE_DIR "/") + relative;
}

QString python3()
{
    const QString configured = QStringLiteral(ZANDREL_PYTHON3);
    if (!configured.isEmpty() && QFileInfo(configured).isExecutable())
        return configured;
    return QStandardPaths::findExecutable("python3");
}

int runPython(const QString& script, const QByteArray& data, QString* output)
{
    const QString interpreter = python3();
    if (interpreter.isEmpty())
        return -1;
    QTemporaryFile file;
    if (!file.open())
        return -1;
    file.write(data);
    file.flush();

    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(interpreter, { "-", file.fileName() });
    if (!process.waitForStarted())
        return -1;
    process.write(script.toUtf8());
    process.closeWriteChannel();
    process.waitForFinished(60000);
    if (output)
        *output = QString::fromUtf8(process.readAll());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace zandrel::test
