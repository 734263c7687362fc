// SPDX-License-Identifier: GPL-3.0-or-later
#include "testproxy.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

TestProxy::TestProxy(QObject *parent) : QObject(parent), m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &TestProxy::onNewConnection);
}

TestProxy::~TestProxy() = default;

void TestProxy::onNewConnection()
{
    while (QTcpSocket *client = m_server->nextPendingConnection()) {
        client->setParent(this);
        connect(client, &QTcpSocket::readyRead, this, [this, client] { onClientData(client); });
        connect(client, &QTcpSocket::disconnected, client, &QObject::deleteLater);
    }
}

void TestProxy::onClientData(QTcpSocket *client)
{
    // The head is read whole before anything is forwarded; the rest is piped as it comes.
    QByteArray buffer = client->property("head").toByteArray() + client->readAll();
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0) {
        client->setProperty("head", buffer);
        return;
    }
    client->setProperty("head", QVariant());
    disconnect(client, &QTcpSocket::readyRead, this, nullptr);

    const qsizetype lineEnd = buffer.indexOf("\r\n");
    const QByteArray requestLine = buffer.left(lineEnd);
    m_requests.append(requestLine);
    if (m_mode == Mode::Close) {
        client->close();
        return;
    }
    const QList<QByteArray> parts = requestLine.split(' ');
    const QUrl target(QString::fromLatin1(parts.value(1)));
    const auto port = m_hosts.constFind(target.host().toLatin1().toLower());
    if (m_mode == Mode::AuthRequired || port == m_hosts.constEnd()) {
        client->write(m_mode == Mode::AuthRequired
                          ? "HTTP/1.1 407 Proxy Authentication Required\r\n"
                            "Proxy-Authenticate: Basic realm=\"test\"\r\n"
                          : "HTTP/1.1 502 Bad Gateway\r\n");
        client->write("Content-Length: 0\r\nConnection: close\r\n\r\n");
        client->disconnectFromHost();
        return;
    }

    // The request goes on in origin form; both directions are then piped until either closes.
    QByteArray path = target.path(QUrl::FullyEncoded).toLatin1();
    if (target.hasQuery())
        path += '?' + target.query(QUrl::FullyEncoded).toLatin1();
    const QByteArray forwarded = parts.value(0) + ' ' + (path.isEmpty() ? "/" : path) + ' ' +
                                 parts.value(2) + buffer.sliced(lineEnd);
    auto *upstream = new QTcpSocket(client);
    connect(upstream, &QTcpSocket::connected, upstream,
            [upstream, forwarded] { upstream->write(forwarded); });
    connect(upstream, &QTcpSocket::readyRead, client,
            [upstream, client] { client->write(upstream->readAll()); });
    connect(client, &QTcpSocket::readyRead, upstream,
            [upstream, client] { upstream->write(client->readAll()); });
    connect(upstream, &QTcpSocket::disconnected, client,
            [client] { client->disconnectFromHost(); });
    connect(upstream, &QTcpSocket::errorOccurred, client,
            [client] { client->disconnectFromHost(); });
    upstream->connectToHost(QHostAddress::LocalHost, *port);
}
