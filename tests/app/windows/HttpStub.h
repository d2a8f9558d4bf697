#pragma once

#include <QHash>
#include <QTcpServer>
#include <QTcpSocket>

namespace zandrel::test {

// A web server on the loopback interface that answers each path with a canned response, so that
// downloads are tested without a network: any status, a body, a stated length that lies, or a
// body that stops part way and never ends.
class HttpStub : public QTcpServer {
public:
    struct Response {
        int status = 200;
        QByteArray body;
        // -1: the body's own length; otherwise the Content-Length stated.
        qint64 statedLength = -1;
        bool sendsLength = true;
        // Sends this much of the body, then nothing more, never closing.
        qint64 stallAfter = -1;
        QByteArray location;
    };

    HttpStub()
    {
        listen(QHostAddress::LocalHost);
        connect(this, &QTcpServer::newConnection, this, &HttpStub::accept);
    }

    void route(const QString& path, const Response& response) { m_routes.insert(path, response); }
    QString url(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(serverPort()).arg(path);
    }
    QStringList requested;

private:
    void accept()
    {
        while (QTcpSocket* socket = nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { answer(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
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
        QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + " Status\r\n";
        if (response.sendsLength)
            head += "Content-Length: "
                + QByteArray::number(
                    response.statedLength >= 0 ? response.statedLength : response.body.size())
                + "\r\n";
        if (!response.location.isEmpty())
            head += "Location: " + response.location + "\r\n";
        head += "Connection: close\r\n\r\n";
        socket->write(head);
        if (response.stallAfter >= 0) {
            socket->write(response.body.left(response.stallAfter));
            return;
        }
        socket->write(response.body);
        socket->disconnectFromHost();
    }

    QHash<QString, Response> m_routes;
    QHash<QTcpSocket*, QByteArray> m_requests;
};

} // namespace zandrel::test
