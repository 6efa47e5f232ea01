#include "loopbackhttpserver.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QMutexLocker>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

namespace {

QByteArray reasonOf(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

// One connection: reads the request head, then writes the reply, at once or
// piece by piece. Lives on the serving thread.
class Connection : public QObject
{
public:
    Connection(QTcpSocket *socket, LoopbackHttpServer &server, const QElapsedTimer &clock)
        : QObject(socket)
        , m_socket(socket)
        , m_server(server)
        , m_clock(clock)
    {
        connect(socket, &QTcpSocket::readyRead, this, &Connection::read);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(&m_timer, &QTimer::timeout, this, &Connection::writePiece);
    }

private:
    void read()
    {
        if (m_answered)
            return;
        m_head += m_socket->readAll();
        const int end = m_head.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        m_answered = true;
        const QList<QByteArray> lines = m_head.left(end).split('\n');
        LoopbackHttpServer::Request request;
        const QList<QByteArray> words = lines.value(0).trimmed().split(' ');
        request.target = words.value(1);
        for (const QByteArray &line : lines) {
            if (line.toLower().startsWith("user-agent:"))
                request.userAgent = line.mid(11).trimmed();
        }
        request.msecs = m_clock.elapsed();
        m_reply = m_server.replyFor(request);

        QByteArray head = "HTTP/1.1 " + QByteArray::number(m_reply.status) + ' '
                          + reasonOf(m_reply.status) + "\r\nConnection: close\r\n";
        for (const auto &h : m_reply.headers)
            head += h.first + ": " + h.second + "\r\n";
        if (!m_reply.endless)
            head += "Content-Length: " + QByteArray::number(m_reply.body.size()) + "\r\n";
        m_socket->write(head + "\r\n");
        if (m_reply.pieceDelayMs > 0 || m_reply.endless) {
            m_timer.start(qMax(m_reply.pieceDelayMs, 1));
            return;
        }
        m_socket->write(m_reply.body);
        m_socket->disconnectFromHost();
    }

    void writePiece()
    {
        if (m_socket->state() != QAbstractSocket::ConnectedState) {
            m_timer.stop();
            return;
        }
        if (m_sent < m_reply.body.size()) {
            const QByteArray piece = m_reply.body.mid(m_sent, m_reply.pieceBytes);
            m_sent += piece.size();
            m_socket->write(piece);
        } else if (m_reply.endless) {
            m_socket->write(QByteArray(m_reply.pieceBytes, 'x'));
        } else {
            m_timer.stop();
            m_socket->disconnectFromHost();
        }
    }

    QTcpSocket *m_socket;
    LoopbackHttpServer &m_server;
    const QElapsedTimer &m_clock;
    QTimer m_timer;
    QByteArray m_head;
    bool m_answered = false;
    LoopbackHttpServer::Reply m_reply;
    qsizetype m_sent = 0;
};

class ServingThread : public QThread
{
public:
    ServingThread(LoopbackHttpServer &server, quint16 &port)
        : m_server(server)
        , m_port(port)
    {}

    void waitUntilListening() { m_listening.acquire(); }

protected:
    void run() override
    {
        QElapsedTimer clock;
        clock.start();
        QTcpServer tcp;
        if (!tcp.listen(QHostAddress::LocalHost))
            qFatal("the loopback server cannot listen: %s", qPrintable(tcp.errorString()));
        m_port = tcp.serverPort();
        QObject::connect(&tcp, &QTcpServer::newConnection, &tcp, [&] {
            while (QTcpSocket *socket = tcp.nextPendingConnection())
                new Connection(socket, m_server, clock);
        });
        m_listening.release();
        exec();
    }

private:
    LoopbackHttpServer &m_server;
    quint16 &m_port;
    QSemaphore m_listening;
};

} // namespace

LoopbackHttpServer::LoopbackHttpServer()
{
    auto *thread = new ServingThread(*this, m_port);
    m_thread.reset(thread);
    thread->start();
    thread->waitUntilListening();
}

LoopbackHttpServer::~LoopbackHttpServer()
{
    m_thread->quit();
    m_thread->wait();
}

quint16 LoopbackHttpServer::port() const
{
    return m_port;
}

QString LoopbackHttpServer::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
}

void LoopbackHttpServer::route(const QByteArray &match, const QList<Reply> &replies)
{
    QMutexLocker lock(&m_mutex);
    m_routes.append(Route{match, replies, 0});
}

QList<LoopbackHttpServer::Request> LoopbackHttpServer::requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

void LoopbackHttpServer::reset()
{
    QMutexLocker lock(&m_mutex);
    m_routes.clear();
    m_requests.clear();
}

LoopbackHttpServer::Reply LoopbackHttpServer::replyFor(const Request &request)
{
    QMutexLocker lock(&m_mutex);
    m_requests.append(request);
    for (Route &r : m_routes) {
        if (!request.target.contains(r.match) || r.replies.isEmpty())
            continue;
        const int index = qMin(r.served, int(r.replies.size()) - 1);
        ++r.served;
        return r.replies[index];
    }
    return text(404, "no such page\n");
}

LoopbackHttpServer::Reply LoopbackHttpServer::text(int status, const QByteArray &body)
{
    Reply r;
    r.status = status;
    r.body = body;
    r.headers.append(qMakePair(QByteArray("Content-Type"), QByteArray("text/plain; charset=utf-8")));
    return r;
}
