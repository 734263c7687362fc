// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>
#include <QString>

#include <QTcpServer>

class QTcpSocket;

/**
 * A tiny HTTP forward proxy on 127.0.0.1 for tests.
 *
 * It resolves host names only from its own table (name to a port on 127.0.0.1), so a request
 * for such a name can only succeed through the proxy. It forwards plain-HTTP requests in
 * absolute form, or plays a failing proxy.
 */
class TestProxy : public QObject
{
    Q_OBJECT

public:
    enum class Mode {
        Forward,      ///< forward to the host's port from the table; 502 for any other host
        AuthRequired, ///< answer every request with 407
        Close,        ///< close the connection as soon as a request has arrived
    };

    explicit TestProxy(QObject *parent = nullptr);
    ~TestProxy() override;

    bool listen() { return m_server->listen(QHostAddress::LocalHost, 0); }
    /// "http://127.0.0.1:<port>"
    QString url() const
    {
        return QStringLiteral("http://127.0.0.1:%1").arg(m_server->serverPort());
    }
    void addHost(const QByteArray &name, quint16 port) { m_hosts.insert(name.toLower(), port); }
    void setMode(Mode mode) { m_mode = mode; }
    /// The request lines received so far, e.g. "POST http://example.test/v1/x HTTP/1.1".
    const QList<QByteArray> &requests() const { return m_requests; }

private:
    void onNewConnection();
    void onClientData(QTcpSocket *client);

    QTcpServer *m_server;
    Mode m_mode = Mode::Forward;
    QHash<QByteArray, quint16> m_hosts;
    QList<QByteArray> m_requests;
};
