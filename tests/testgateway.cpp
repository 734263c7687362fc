// SPDX-License-Identifier: GPL-3.0-or-later
#include "testgateway.h"

#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <zlib.h>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#endif

QByteArray TestGateway::Request::header(QByteArrayView name) const
{
    for (const Header &h : headers) {
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    }
    return {};
}

TestGateway::TestGateway(QObject *parent)
    : QObject(parent), m_server(new QTcpServer(this)),
      m_defaultReply(response(500, "no scripted reply"))
{
    connect(m_server, &QTcpServer::newConnection, this, &TestGateway::onNewConnection);
}

TestGateway::~TestGateway() = default;

bool TestGateway::listen()
{
    return m_server->listen(QHostAddress::LocalHost, 0);
}

quint16 TestGateway::port() const
{
    return m_server->serverPort();
}

QString TestGateway::url(const QString &path) const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(port()) + path;
}

void TestGateway::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        ++m_connections;
        socket->setParent(this);
        // Pieces go out as written, without waiting for the peer's delayed acknowledgement.
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void TestGateway::onReadyRead(QTcpSocket *socket)
{
    // Requests are parsed from what the connection has sent so far, kept on the socket.
    QByteArray buffer = socket->property("pending").toByteArray() + socket->readAll();
    for (qsizetype headEnd; (headEnd = buffer.indexOf("\r\n\r\n")) >= 0;) {
        const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
        const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
        Request request{requestLine.value(0), requestLine.value(1), {}, {}};
        for (QByteArray line : lines.mid(1)) {
            line.chop(line.endsWith('\r') ? 1 : 0);
            const qsizetype colon = line.indexOf(':');
            // The value is kept as sent apart from the space after the colon.
            qsizetype value = colon + 1;
            while (value < line.size() && (line[value] == ' ' || line[value] == '\t'))
                ++value;
            if (colon >= 0)
                request.headers.append({line.left(colon), line.sliced(value)});
        }
        const qsizetype length = request.header("Content-Length").trimmed().toLongLong();
        if (buffer.size() < headEnd + 4 + length)
            break;
        request.body = buffer.mid(headEnd + 4, length);
        buffer.remove(0, headEnd + 4 + length);
        m_requests.append(request);
        std::optional<Reply> reply = m_responder ? m_responder(request) : std::nullopt;
        if (!reply)
            reply = m_queue.isEmpty() ? m_defaultReply : m_queue.takeFirst();
        play(socket, *reply, 0);
    }
    socket->setProperty("pending", buffer);
}

void TestGateway::play(QTcpSocket *socket, const Reply &reply, qsizetype index)
{
    if (index == reply.pieces.size()) {
        if (reply.end == Reply::End::Close) {
            socket->disconnectFromHost();
        } else if (reply.end == Reply::End::Reset) {
#ifdef Q_OS_UNIX
            // A zero linger time makes the close send RST instead of FIN.
            const linger noLinger{1, 0};
            setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &noLinger,
                       sizeof noLinger);
#endif
            socket->abort();
        }
        return;
    }
    const Reply::Piece &piece = reply.pieces.at(index);
    auto write = [this, socket, reply, index] {
        if (socket->state() != QAbstractSocket::ConnectedState)
            return;
        socket->write(reply.pieces.at(index).bytes);
        socket->flush();
        play(socket, reply, index + 1);
    };
    if (piece.delayMs > 0)
        QTimer::singleShot(piece.delayMs, socket, write);
    else
        write();
}

QByteArray TestGateway::head(int status, const QList<Header> &headers)
{
    QByteArray out = "HTTP/1.1 " + QByteArray::number(status) + " X\r\n";
    for (const Header &h : headers)
        out += h.first + ": " + h.second + "\r\n";
    return out + "\r\n";
}

TestGateway::Reply TestGateway::response(int status, const QByteArray &body, QList<Header> headers)
{
    headers.append(Header{"Content-Length", QByteArray::number(body.size())});
    headers.append(Header{"Connection", "close"});
    return Reply().then(head(status, headers) + body);
}

TestGateway::Reply TestGateway::eventStream(const QList<QByteArray> &pieces, int delayMs)
{
    Reply reply;
    reply.then(head(200, {{"Content-Type", "text/event-stream"}, {"Connection", "close"}}));
    for (const QByteArray &piece : pieces)
        reply.then(piece, delayMs);
    return reply;
}

QByteArray TestGateway::deltaEvent(const QString &content)
{
    const QJsonObject delta{{QStringLiteral("content"), content}};
    const QJsonObject choice{{QStringLiteral("index"), 0}, {QStringLiteral("delta"), delta}};
    const QJsonObject event{{QStringLiteral("choices"), QJsonArray{choice}}};
    return "data: " + QJsonDocument(event).toJson(QJsonDocument::Compact) + "\n\n";
}

QByteArray TestGateway::chunk(QByteArrayView data)
{
    return QByteArray::number(data.size(), 16) + "\r\n" + data.toByteArray() + "\r\n";
}

QByteArray TestGateway::gzip(QByteArrayView data)
{
    z_stream z{};
    // 16 + MAX_WBITS asks zlib for the gzip wrapper.
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 16 + MAX_WBITS, 8,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    QByteArray out(qsizetype(deflateBound(&z, uLong(data.size()))) + 32, Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    const int result = deflate(&z, Z_FINISH);
    out.truncate(qsizetype(z.total_out));
    deflateEnd(&z);
    return result == Z_STREAM_END ? out : QByteArray();
}
