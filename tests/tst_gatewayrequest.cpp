// SPDX-License-Identifier: GPL-3.0-or-later
// The one way to a gateway: what each kind of request puts on the wire, its time limits, and
// when a refused request says so. The address, key and redirect rules are proven through the
// chat and the model list, which must read alike.
#include "api/gatewayrequest.h"
#include "testgateway.h"

#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>

using namespace std::chrono_literals;

using Headers = QList<GatewayRequest::Header>;

namespace {

// Runs one turn of the event loop: whatever was already on its way has been delivered.
void oneTurn(QObject *context)
{
    bool turned = false;
    QMetaObject::invokeMethod(
        context, [&turned] { turned = true; }, Qt::QueuedConnection);
    QTRY_VERIFY(turned);
}

} // namespace

class TestGatewayRequest : public QObject
{
    Q_OBJECT

private slots:
    void send_data()
    {
        QTest::addColumn<QByteArray>("verb");
        QTest::addColumn<Headers>("headers");
        QTest::addColumn<QByteArray>("body");

        // clang-format off
        QTest::newRow("GET") << QByteArray("GET") << Headers{} << QByteArray();
        QTest::newRow("POST of JSON") << QByteArray("POST") << Headers{{"Content-Type", "application/json"}} << QByteArray(R"({"a":1})");
        QTest::newRow("another verb, extra headers") << QByteArray("DELETE") << Headers{{"X-Session", "s-1"}, {"Accept", "text/event-stream"}} << QByteArray();
        // The key is the gateway's, whatever the caller adds.
        QTest::newRow("an Authorization of its own") << QByteArray("GET") << Headers{{"Authorization", "Bearer other"}} << QByteArray();
        // clang-format on
    }

    void send()
    {
        QFETCH(QByteArray, verb);
        QFETCH(Headers, headers);
        QFETCH(QByteArray, body);
        TestGateway gateway;
        QVERIFY(gateway.listen());
        gateway.enqueue(TestGateway::response(200, "ok"));

        GatewayRequest request(Gateway{gateway.url(QStringLiteral("/v1/")), QStringLiteral("sk")});
        QSignalSpy finished(&request, &GatewayRequest::finished);
        request.send(verb, u"/things", headers, body);
        QVERIFY(finished.wait(5000));
        QCOMPARE(request.reply()->readAll(), QByteArray("ok"));

        QCOMPARE(gateway.requests().size(), 1);
        const TestGateway::Request &r = gateway.requests().first();
        QCOMPARE(r.method, verb);
        QCOMPARE(r.target, QByteArray("/v1/things"));
        QCOMPARE(r.body, body);
        for (const auto &[name, value] : std::as_const(headers)) {
            if (name != "Authorization")
                QCOMPARE(r.header(name), value);
        }
        QCOMPARE(std::ranges::count_if(r.headers,
                                       [](const auto &h) {
                                           return h.first.compare("Authorization",
                                                                  Qt::CaseInsensitive) == 0;
                                       }),
                 1);
        QCOMPARE(r.header("Authorization"), QByteArray("Bearer sk"));
    }

    // A slow but steady reply: within a limit on silence, beyond a limit on the whole.
    void timeLimits_data()
    {
        QTest::addColumn<GatewayRequest::TimeLimit>("kind");
        QTest::newRow("idle") << GatewayRequest::TimeLimit::Idle;
        QTest::newRow("total") << GatewayRequest::TimeLimit::Total;
    }

    void timeLimits()
    {
        QFETCH(GatewayRequest::TimeLimit, kind);
        TestGateway gateway;
        QVERIFY(gateway.listen());
        TestGateway::Reply reply;
        reply.then(TestGateway::head(200, {{"Connection", "close"}}));
        for (int i = 0; i < 12; ++i)
            reply.then("x", 100);
        gateway.enqueue(reply);

        GatewayRequest request(Gateway{gateway.url(), QStringLiteral("sk")});
        request.setTimeLimit(600ms, kind);
        QSignalSpy finished(&request, &GatewayRequest::finished);
        QSignalSpy failed(&request, &GatewayRequest::failed);
        request.send("GET", u"/slow");
        QTRY_VERIFY_WITH_TIMEOUT(finished.size() + failed.size() > 0, 10'000);
        if (kind == GatewayRequest::TimeLimit::Idle) {
            QCOMPARE(failed.size(), 0);
            QCOMPARE(request.reply()->readAll(), QByteArray(12, 'x'));
        } else {
            QCOMPARE(finished.size(), 0);
            QCOMPARE(failed.first().first().value<ChatAPIError>(), ChatAPIError::timedOut());
            QVERIFY(!request.reply());
        }
    }

    // A refusal comes from the event loop, so the caller may connect after send(); stop()
    // before it arrives drops it like any other signal.
    void refusal_data()
    {
        QTest::addColumn<bool>("stop");
        QTest::newRow("delivered") << false;
        QTest::newRow("stopped first") << true;
    }

    void refusal()
    {
        QFETCH(bool, stop);
        GatewayRequest request(
            Gateway{QStringLiteral("http://127.0.0.1:9/v1"), QStringLiteral(" ")});
        QSignalSpy failed(&request, &GatewayRequest::failed);
        request.send("GET", u"/models");
        QCOMPARE(failed.size(), 0);
        QVERIFY(!request.reply());
        if (stop)
            request.stop();
        oneTurn(&request);
        QCOMPARE(failed.size(), stop ? 0 : 1);
        if (!stop)
            QCOMPARE(failed.first().first().value<ChatAPIError>(), ChatAPIError::noKey());
    }
};

QTEST_GUILESS_MAIN(TestGatewayRequest)
#include "tst_gatewayrequest.moc"
