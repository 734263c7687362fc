// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>
#include <utility>

class QTcpServer;
class QTcpSocket;

/**
 * A scripted HTTP/1.1 server on 127.0.0.1 for tests.
 *
 * Each incoming request is recorded as received and answered with the next queued Reply: raw
 * bytes written in pieces, each after its own delay, then the connection is closed or left
 * open (a stall). The bytes are sent exactly as scripted, so a test can play any status
 * line, header, framing or malformed stream. A request with nothing queued gets the default reply.
 */
class TestGateway : public QObject
{
    Q_OBJECT

public:
    using Header = std::pair<QByteArray, QByteArray>;

    struct Request
    {
        QByteArray method;
        QByteArray target; ///< the request line's path (with query), e.g. "/v1/chat/completions"
        QList<Header> headers; ///< in order, names as sent
        QByteArray body;

        /// The first value of a header, names compared case-insensitively; empty if absent.
        QByteArray header(QByteArrayView name) const;
    };

    struct Reply
    {
        enum class End {
            Close, ///< close the connection after the last piece
            Stall, ///< keep the connection open and send nothing more
            Reset, ///< reset the connection (TCP RST) after the last piece
        };
        struct Piece
        {
            QByteArray bytes;
            int delayMs = 0;
        };

        QList<Piece> pieces;
        End end = End::Close;

        /// Appends a piece written delayMs after the previous one.
        Reply &then(const QByteArray &bytes, int delayMs = 0)
        {
            pieces.append(Piece{bytes, delayMs});
            return *this;
        }
        Reply &stall() { return ending(End::Stall); }
        Reply &reset() { return ending(End::Reset); }
        Reply &ending(End e)
        {
            end = e;
            return *this;
        }
    };

    explicit TestGateway(QObject *parent = nullptr);
    ~TestGateway() override;

    /// Listens on 127.0.0.1 at a free port.
    bool listen();
    quint16 port() const;
    /// "http://127.0.0.1:<port>" followed by path.
    QString url(const QString &path = QString()) const;

    /// The answer to the next request that has none yet.
    void enqueue(const Reply &reply) { m_queue.append(reply); }
    /// Decides the answer to each request before the queue is asked; a request it returns nothing
    /// for gets the queue's next answer. For exchanges whose requests come in no fixed order.
    using Responder = std::function<std::optional<Reply>(const Request &)>;
    void setResponder(Responder responder) { m_responder = std::move(responder); }
    /// The answer once the queue is empty; at first a 500 with the body "no scripted reply".
    void setDefaultReply(const Reply &reply) { m_defaultReply = reply; }

    const QList<Request> &requests() const { return m_requests; }
    int connectionCount() const { return m_connections; }

    // Building blocks for replies.

    /// Status line, the given headers and the blank line. The reason phrase is fixed ("X").
    static QByteArray head(int status, const QList<Header> &headers = {});
    /// A whole response: Content-Length and "Connection: close" are added.
    static Reply response(int status, const QByteArray &body, QList<Header> headers = {});
    /// A 200 event stream delimited by the connection's end, with the given body pieces.
    static Reply eventStream(const QList<QByteArray> &pieces, int delayMs = 0);
    /// "data: " + an event whose first choice's delta has this content, LF LF.
    static QByteArray deltaEvent(const QString &content);
    /// One chunk of the chunked transfer coding.
    static QByteArray chunk(QByteArrayView data);
    /// data compressed in the gzip format.
    static QByteArray gzip(QByteArrayView data);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void play(QTcpSocket *socket, const Reply &reply, qsizetype index);

    QTcpServer *m_server;
    QList<Reply> m_queue;
    Reply m_defaultReply;
    Responder m_responder;
    QList<Request> m_requests;
    int m_connections = 0;
};
