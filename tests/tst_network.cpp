// SPDX-License-Identifier: GPL-3.0-or-later
// Proxies and the Chinese descriptions of connection failures, against the loopback gateway
// and a loopback forward proxy.
#include "api/chatapi.h"
#include "app/translations.h"
#include "streamrun.h"
#include "testgateway.h"
#include "testproxy.h"

#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

namespace {

// A name no resolver knows: only the test proxy can reach it.
const QByteArray hiddenHost = "gateway.corvane.invalid";

quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort(); // closed again when the server goes
}

} // namespace

class TestNetwork : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        for (const char *name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
                                 "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"})
            qunsetenv(name);
        // Qt's own texts in Chinese, as the program shows them by default (the user's own
        // choice of language is not read: the settings are the test's own).
        QStandardPaths::setTestModeEnabled(true);
        QCOMPARE(Language::instance()->code(), Language::chinese);
        QCOMPARE(Language::instance()->catalogueCount(), 3);
    }

    void cleanup() { qunsetenv("http_proxy"); }

    void failures_data()
    {
        QTest::addColumn<QString>("proxy"); // "": none; "forward", "407", "close", "refused"
        // %1: the gateway's port, %2: a closed port, %3: a server that speaks plain HTTP at once
        QTest::addColumn<QString>("baseURL");
        QTest::addColumn<QString>("error"); // null: the reply arrives

        using E = QNetworkReply;
        const auto net = &ChatAPIError::networkDescription;
        const QString hidden = "http://" + QString::fromLatin1(hiddenHost) + ":%1/v1";
        // clang-format off
        QTest::newRow("through the proxy") << "forward" << hidden << QString();
        QTest::newRow("no proxy: the name is unknown") << "" << hidden << net(E::HostNotFoundError);
        QTest::newRow("loopback bypasses the proxy") << "refused" << "http://127.0.0.1:%1/v1" << QString();
        QTest::newRow("proxy refuses") << "refused" << hidden << net(E::ProxyConnectionRefusedError);
        QTest::newRow("proxy asks for a password") << "407" << hidden << net(E::ProxyAuthenticationRequiredError);
        QTest::newRow("proxy closes") << "close" << hidden << net(E::RemoteHostClosedError);
        QTest::newRow("connection refused") << "" << "http://127.0.0.1:%2/v1" << net(E::ConnectionRefusedError);
        QTest::newRow("TLS to a plain server") << "" << "https://127.0.0.1:%3/v1" << net(E::SslHandshakeFailedError);
        // clang-format on
    }

    void failures()
    {
        QFETCH(QString, proxy);
        QFETCH(QString, baseURL);
        QFETCH(QString, error);
        TestGateway gateway;
        QVERIFY(gateway.listen());
        gateway.setDefaultReply(TestGateway::eventStream({TestGateway::deltaEvent("好")}));
        TestProxy forwarder;
        QVERIFY(forwarder.listen());
        forwarder.addHost(hiddenHost, gateway.port());
        if (proxy == u"407")
            forwarder.setMode(TestProxy::Mode::AuthRequired);
        else if (proxy == u"close")
            forwarder.setMode(TestProxy::Mode::Close);
        if (proxy == u"refused")
            qputenv("http_proxy", "http://127.0.0.1:" + QByteArray::number(closedPort()));
        else if (!proxy.isEmpty())
            qputenv("http_proxy", forwarder.url().toLatin1());

        QTcpServer plain;
        QVERIFY(plain.listen(QHostAddress::LocalHost, 0));
        connect(&plain, &QTcpServer::newConnection, &plain, [&plain] {
            while (QTcpSocket *s = plain.nextPendingConnection())
                s->write("HTTP/1.1 400 Bad Request\r\nContent-Length: 0\r\n\r\n");
        });
        const Gateway target{baseURL.replace("%1", QString::number(gateway.port()))
                                 .replace("%2", QString::number(closedPort()))
                                 .replace("%3", QString::number(plain.serverPort())),
                             QStringLiteral("sk-test")};
        const StreamOutcome out = runStream(ChatAPI(target, QStringLiteral("m")));
        QCOMPARE(out.error, error);
        QCOMPARE(out.deltas, error.isNull() ? QStringList{"好"} : QStringList{});
        if (proxy == u"forward") {
            QCOMPARE(forwarder.requests().size(), 1);
            QCOMPARE(forwarder.requests().first(), "POST http://" + hiddenHost + ':' +
                                                       QByteArray::number(gateway.port()) +
                                                       "/v1/chat/completions HTTP/1.1");
            QCOMPARE(gateway.requests().first().header("Authorization"), "Bearer sk-test");
        } else if (proxy != u"refused") {
            QCOMPARE(gateway.requests().size(), 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestNetwork)
#include "tst_network.moc"
