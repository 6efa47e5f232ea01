#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QPair>
#include <QString>

#include <memory>

class QThread;

// A small HTTP/1.1 server on 127.0.0.1 with canned replies, serving on its
// own thread so that a test may block in a client meanwhile. Every
// connection gets one reply and is then closed. Thread-safe.
class LoopbackHttpServer
{
public:
    struct Reply
    {
        int status = 200;
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
        // > 0: the body goes out in pieces of `pieceBytes`, this far apart.
        int pieceDelayMs = 0;
        int pieceBytes = 16;
        // After the body, bytes keep coming until the client hangs up (no
        // Content-Length then).
        bool endless = false;
    };

    struct Request
    {
        QByteArray target; // "/path?query"
        QByteArray userAgent;
        qint64 msecs = 0; // since the server started
    };

    // Listens on a free port; fails the process when it cannot.
    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer &) = delete;
    LoopbackHttpServer &operator=(const LoopbackHttpServer &) = delete;

    quint16 port() const;
    // "http://127.0.0.1:<port>" + path
    QString url(const QString &path) const;

    // Requests whose target contains `match` get these replies in turn, the
    // last one again and again. Earlier routes win; a request no route takes
    // gets a 404.
    void route(const QByteArray &match, const QList<Reply> &replies);
    void route(const QByteArray &match, const Reply &reply) { route(match, QList<Reply>{reply}); }

    QList<Request> requests() const;
    // Forgets the routes and the requests.
    void reset();

    // The reply for a request; used by the serving thread.
    Reply replyFor(const Request &request);

    // A reply with a text body.
    static Reply text(int status, const QByteArray &body);

private:
    struct Route
    {
        QByteArray match;
        QList<Reply> replies;
        int served = 0;
    };

    mutable QMutex m_mutex;
    QList<Route> m_routes;
    QList<Request> m_requests;
    std::unique_ptr<QThread> m_thread;
    quint16 m_port = 0;
};
