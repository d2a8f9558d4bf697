#pragma once

#include "support/TestSupport.h"

#include <QFile>
#include <QHash>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QSslSocket>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <memory>

namespace zandrel::test {

// A web server on the loopback interface that answers each path with a canned response, so that
// downloads are tested without a network: any status, a body, a stated length that lies, a body
// that stops part way and never ends, one that trickles in, or one that never stops coming. It
// speaks plain http, or https with a self-signed certificate for 127.0.0.1 and localhost that the
// test trusts (trustCertificate).
class HttpStub : public QObject {
public:
    enum class Kind { Plain, Tls };

    struct Response {
        int status = 200;
        QByteArray body;
        // -1: the body's own length; otherwise the Content-Length stated.
        qint64 statedLength = -1;
        bool sendsLength = true;
        // Sends this much of the body, then nothing more, never closing.
        qint64 stallAfter = -1;
        QByteArray location = {};
        // Sends the body this many bytes at a time, one piece per tick of trickleMs.
        qint64 trickleBytes = 0;
        int trickleMs = 0;
        // Sends the body over and over, without a length, until the client hangs up.
        bool endless = false;
        // Reads the request and never answers.
        bool silent = false;
    };

    explicit HttpStub(Kind kind = Kind::Plain)
        : m_kind(kind)
    {
        if (kind == Kind::Tls) {
            auto* server = new QSslServer(this);
            QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
            configuration.setLocalCertificate(certificate());
            configuration.setPrivateKey(privateKey());
            configuration.setPeerVerifyMode(QSslSocket::VerifyNone);
            server->setSslConfiguration(configuration);
            m_server = server;
        } else {
            m_server = new QTcpServer(this);
        }
        m_server->listen(QHostAddress::LocalHost);
        connect(m_server, &QTcpServer::pendingConnectionAvailable, this, &HttpStub::accept);
    }

    // The certificate of the https server; downloads trust it once this was called.
    static QSslCertificate certificate()
    {
        return QSslCertificate(readSource("tests/app/windows/data/loopback-server-cert.pem"));
    }
    static void trustCertificate()
    {
        QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
        if (!configuration.caCertificates().contains(certificate())) {
            configuration.addCaCertificate(certificate());
            QSslConfiguration::setDefaultConfiguration(configuration);
        }
    }

    void route(const QString& path, const Response& response) { m_routes.insert(path, response); }
    quint16 serverPort() const { return m_server->serverPort(); }
    QString url(const QString& path, const QString& host = QStringLiteral("127.0.0.1")) const
    {
        return QStringLiteral("%1://%2:%3%4")
            .arg(m_kind == Kind::Tls ? QStringLiteral("https") : QStringLiteral("http"), host)
            .arg(serverPort())
            .arg(path);
    }
    // The connections still open, those that hang included.
    int openConnections() const { return int(m_sockets.size()); }
    QStringList requested;

private:
    static QByteArray readSource(const char* relative)
    {
        QFile file(sourcePath(QString::fromLatin1(relative)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static QSslKey privateKey()
    {
        return QSslKey(readSource("tests/app/windows/data/loopback-server-key.pem"), QSsl::Ec);
    }

    void accept()
    {
        while (QTcpSocket* socket = m_server->nextPendingConnection()) {
            m_sockets.append(socket);
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, [this, socket] {
                m_sockets.removeAll(socket);
                socket->deleteLater();
            });
        }
    }
    void answer(QTcpSocket* socket)
    {
        QByteArray& request = m_requests[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        const QString path = QString::fromLatin1(request.split(' ').value(1));
        m_requests.remove(socket);
        requested.append(path);
        const Response response = m_routes.value(path, Response { 404, "<html>no such page</html>" });
        if (response.silent)
            return;
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\n";
        if (response.sendsLength && !response.endless)
            head += "Content-Length: "
                + QByteArray::number(
                    response.statedLength >= 0 ? response.statedLength : response.body.size())
                + "\r\n";
        if (!response.location.isEmpty())
            head += "Location: " + response.location + "\r\n";
        head += "Connection: close\r\n\r\n";
        socket->write(head);
        if (response.endless) {
            // Another piece whenever the last ones have gone out, for as long as the client reads.
            auto* timer = new QTimer(socket);
            connect(timer, &QTimer::timeout, socket, [socket, piece = response.body] {
                const auto* secure = qobject_cast<QSslSocket*>(socket);
                if (socket->bytesToWrite() + (secure ? secure->encryptedBytesToWrite() : 0) < piece.size())
                    socket->write(piece);
            });
            timer->start(1);
            return;
        }
        if (response.stallAfter >= 0) {
            socket->write(response.body.left(response.stallAfter));
            return;
        }
        if (response.trickleBytes > 0) {
            auto* timer = new QTimer(socket);
            auto sent = std::make_shared<qint64>(0);
            connect(timer, &QTimer::timeout, socket, [socket, timer, sent, response] {
                socket->write(response.body.mid(*sent, response.trickleBytes));
                *sent += response.trickleBytes;
                if (*sent >= response.body.size()) {
                    timer->stop();
                    socket->disconnectFromHost();
                }
            });
            timer->start(response.trickleMs);
            return;
        }
        socket->write(response.body);
        socket->disconnectFromHost();
    }

    Kind m_kind;
    QTcpServer* m_server = nullptr;
    QHash<QString, Response> m_routes;
    QHash<QTcpSocket*, QByteArray> m_requests;
    QList<QTcpSocket*> m_sockets;
};

} // namespace zandrel::test
