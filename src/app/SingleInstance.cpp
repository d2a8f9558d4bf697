#include "app/SingleInstance.h"

#include "app/core/FileFormat.h"

#include <QDataStream>
#include <QFileInfo>
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

QString SingleInstance::serverName()
{
    const QString overridden = qEnvironmentVariable("ZANDREL_INSTANCE_NAME");
    if (!overridden.isEmpty())
        return overridden;
    return QStringLiteral("%1-%2").arg(kBundleIdentifier).arg(getuid());
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
