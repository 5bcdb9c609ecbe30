// A tile server on the loopback interface for tests, reached through an application-wide HTTP
// proxy so that "a.", "b." and "c." host names all arrive here and nothing leaves the machine.
// Runs in the test's thread: the test must process events while it waits (waitUntil).
#ifndef KOLVEX_TESTS_LOOPBACKTILESERVER_H
#define KOLVEX_TESTS_LOOPBACKTILESERVER_H

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QNetworkProxy>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QUrl>

#include <functional>
#include <vector>

/// Processes events until `done` holds or `ms` milliseconds pass; whether it held.
inline bool waitUntil(const std::function<bool()> &done, int ms = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    return true;
}

/// Processes events for `ms` milliseconds.
inline void settle(int ms)
{
    waitUntil([] { return false; }, ms);
}

/// A minimal valid 1 × 1 PNG.
inline QByteArray tinyPng()
{
    return QByteArray::fromBase64(
        "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==");
}

class LoopbackTileServer
{
public:
    struct Request
    {
        QString host;
        QString path;
        QByteArray userAgent;
    };
    /// What the server does with a request: `hold` keeps the connection open without an answer.
    struct Answer
    {
        int status = 200;
        QByteArray body = tinyPng();
        bool hold = false;
    };
    using Handler = std::function<Answer(const Request &)>;

    LoopbackTileServer()
    {
        server.listen(QHostAddress::LocalHost);
        QObject::connect(&server, &QTcpServer::newConnection, [this] { accept(); });
        previousProxy = QNetworkProxy::applicationProxy();
        QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, "127.0.0.1", server.serverPort()));
    }
    ~LoopbackTileServer()
    {
        QNetworkProxy::setApplicationProxy(previousProxy);
        for (const auto &socket : held)
            if (socket)
                socket->abort();
    }

    void setHandler(Handler h) { handler = std::move(h); }
    const std::vector<Request> &requests() const { return seen; }
    /// Answers every held request with a tile.
    void releaseHeld()
    {
        std::vector<QPointer<QTcpSocket>> waiting;
        waiting.swap(held);
        for (const auto &socket : waiting)
            if (socket)
                respond(socket, Answer());
    }

private:
    void accept()
    {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { read(socket); });
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void read(QTcpSocket *socket)
    {
        QByteArray &buffer = pending[socket];
        buffer += socket->readAll();
        int end;
        while ((end = buffer.indexOf("\r\n\r\n")) >= 0) {
            const QList<QByteArray> lines = buffer.left(end).split('\n');
            buffer.remove(0, end + 4);
            Request request;
            const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
            const QUrl url(QString::fromLatin1(first.value(1)));
            request.host = url.host();
            request.path = url.path();
            for (const QByteArray &line : lines)
                if (line.toLower().startsWith("user-agent:"))
                    request.userAgent = line.mid(11).trimmed();
            seen.push_back(request);
            const Answer answer = handler ? handler(request) : Answer();
            if (answer.hold)
                held.emplace_back(socket);
            else
                respond(socket, answer);
        }
    }

    static void respond(QTcpSocket *socket, const Answer &answer)
    {
        QByteArray head = "HTTP/1.1 " + QByteArray::number(answer.status) + " X\r\n";
        head += "Content-Type: image/png\r\nContent-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
        head += "Cache-Control: no-store\r\n\r\n";
        socket->write(head);
        socket->write(answer.body);
    }

    QTcpServer server;
    QNetworkProxy previousProxy;
    Handler handler;
    std::vector<Request> seen;
    std::vector<QPointer<QTcpSocket>> held;
    QHash<QTcpSocket *, QByteArray> pending;
};

#endif
