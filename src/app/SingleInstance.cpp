#include "app/SingleInstance.h"

#include "app/core/FileFormat.h"

#include <QDataStream>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QUrl>
#include <memory>
#include <unistd.h>

namespace zandrel {

namespace {

const QByteArray kAcknowledgement = "ok\n";
// The first line of every message, so that even an empty argument list ends with a blank line.
const QByteArray kGreeting = "zandrel-arguments";

QByteArray encode(const QStringList& arguments)
{
    QByteArray message = kGreeting + '\n';
    for (const QString& argument : arguments)
        message += argument.toUtf8().toBase64() + '\n';
    return message + '\n';
}

QStringList decode(const QByteArray& message)
{
    QStringList arguments;
    QList<QByteArray> lines = message.split('\n');
    if (lines.isEmpty() || lines.takeFirst() != kGreeting)
        return arguments;
    for (const QByteArray& line : std::as_const(lines)) {
        if (!line.isEmpty())
            arguments.append(QString::fromUtf8(QByteArray::fromBase64(line)));
    }
    return arguments;
}

} // namespace

SingleInstance::SingleInstance(QObject* parent)
    : QObject(parent)
{
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::displayName(
    const QString& platformName, const QString& waylandDisplay, const QString& x11Display)
{
    if (platformName.startsWith(QLatin1String("wayland")))
        return waylandDisplay.isEmpty() ? QStringLiteral("wayland-0") : waylandDisplay;
    if (!x11Display.isEmpty()) {
        // "host:display.screen": the local host may be written as nothing or "unix", and every
        // screen of a display belongs to it.
        static const QRegularExpression display(QStringLiteral("^(.*):(\\d+)(\\.\\d+)?$"));
        const QRegularExpressionMatch match = display.match(x11Display);
        if (match.hasMatch()) {
            const QString host = match.captured(1) == QLatin1String("unix") ? QString() : match.captured(1);
            return host + QLatin1Char(':') + match.captured(2);
        }
        return x11Display;
    }
    return platformName;
}

QString SingleInstance::displayName()
{
    return displayName(QGuiApplication::platformName(), qEnvironmentVariable("WAYLAND_DISPLAY"),
        qEnvironmentVariable("DISPLAY"));
}

QString SingleInstance::serverName()
{
    QString base = qEnvironmentVariable("ZANDREL_INSTANCE_NAME");
    if (base.isEmpty())
        base = QStringLiteral("%1-%2").arg(kBundleIdentifier).arg(getuid());
    // The name becomes a file name: anything but letters, digits, dots and dashes is spelled out.
    QString display;
    for (const QChar c : displayName()) {
        if ((c.isLetterOrNumber() && c.unicode() < 128) || c == QLatin1Char('.') || c == QLatin1Char('-'))
            display += c;
        else
            display += QStringLiteral("_%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
    }
    return base + QLatin1Char('-') + display;
}

QStringList SingleInstance::absoluteArguments(const QStringList& arguments)
{
    static const QRegularExpression link(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    QStringList result;
    for (const QString& argument : arguments) {
        // The desktop hands files over as "file://" links; they are files like any other.
        const QUrl url(argument);
        if (url.isLocalFile())
            result.append(url.toLocalFile());
        else
            result.append(
                link.match(argument).hasMatch() ? argument : QFileInfo(argument).absoluteFilePath());
    }
    return result;
}

bool SingleInstance::forwardToRunningInstance(const QStringList& arguments, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(encode(absoluteArguments(arguments)));
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    // The running instance answers once it has the whole message.
    while (socket.bytesAvailable() < kAcknowledgement.size()) {
        if (!socket.waitForReadyRead(timeoutMs))
            return false;
    }
    return socket.readAll().startsWith(kAcknowledgement);
}

bool SingleInstance::listen(std::function<void(const QStringList&)> onArguments)
{
    m_onArguments = std::move(onArguments);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(serverName())) {
        // A socket left by an instance that crashed: nobody answers on it any more.
        QLocalServer::removeServer(serverName());
        if (!m_server->listen(serverName()))
            return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            auto buffer = std::make_shared<QByteArray>();
            connect(socket, &QLocalSocket::readyRead, socket, [this, socket, buffer] {
                *buffer += socket->readAll();
                if (buffer->size() > kMaxMessageBytes) {
                    socket->abort();
                    return;
                }
                // A blank line ends the message.
                if (!buffer->endsWith("\n\n"))
                    return;
                const QStringList arguments = decode(*buffer);
                buffer->clear();
                socket->write(kAcknowledgement);
                socket->flush();
                if (m_onArguments)
                    m_onArguments(arguments);
            });
        }
    });
    return true;
}

} // namespace zandrel
