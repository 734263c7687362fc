// SPDX-License-Identifier: GPL-3.0-or-later
// The gateway's model list: the request against the loopback gateway, and the checklist that
// merges it into the settings.
#include "api/chatapierror.h"
#include "api/modellist.h"
#include "app/modelcatalog.h"
#include "store/store.h"
#include "testgateway.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

namespace {

QByteArray list(const QByteArray &entries)
{
    return R"({"object":"list","data":[)" + entries + "]}";
}

} // namespace

Q_DECLARE_METATYPE(TestGateway::Reply)

class TestModelCatalog : public QObject
{
    Q_OBJECT

private slots:
    void fetch_data()
    {
        QTest::addColumn<QString>("baseURL"); // %1: the gateway's origin
        QTest::addColumn<QString>("apiKey");
        QTest::addColumn<TestGateway::Reply>("reply"); // no pieces: nothing is asked
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<QString>("error");

        using G = TestGateway;
        const G::Reply none;
        const QString shape = QStringLiteral("服务器的回应不是模型列表，请检查 API 地址。");
        const QString address = QStringLiteral("API 地址无效，请到「设置」检查。");
        // clang-format off
        const QByteArray ids = list(R"({"id":" b "},{"id":"a"},{"id":"b"},{"id":""},{"x":1},7,{"id":"line\nbreak"},{"id":"模型-1"})");
        QTest::newRow("ids trimmed, once each, in order") << " %1/v1/ " << "sk" << G::response(200, ids) << QStringList{"b", "a", "模型-1"} << QString();
        QTest::newRow("same-origin redirect") << "%1/v1" << "sk" << G::response(307, "", {{"Location", "/v2/models"}}) << QStringList{"m"} << QString();
        // The key and the address are checked as for a chat request, with the same words.
        QTest::newRow("no key") << "%1/v1" << " \t" << none << QStringList{} << "还没填 API Key，请到「设置」里填写。";
        QTest::newRow("bad address") << "http://[::1" << "sk" << none << QStringList{} << address;
        QTest::newRow("ftp") << "ftp://127.0.0.1/v1" << "sk" << none << QStringList{} << "请求失败（HTTP -1）：\n无响应";
        QTest::newRow("empty address") << " // " << "sk" << none << QStringList{} << ChatAPIError::networkDescription(QNetworkReply::ProtocolUnknownError);
        QTest::newRow("401") << "%1/v1" << "sk" << G::response(401, "{\"error\":\n\"bad key\"}") << QStringList{} << "请求失败（HTTP 401）：\n{\"error\":\"bad key\"}";
        QTest::newRow("redirect elsewhere") << "%1/v1" << "sk" << G::response(302, "", {{"Location", "http://localhost:1/v1/models"}}) << QStringList{} << "请求失败（HTTP 302）";
        QTest::newRow("data not an array") << "%1/v1" << "sk" << G::response(200, R"({"data":{"id":"a"}})") << QStringList{} << shape;
        QTest::newRow("a web page") << "%1/v1" << "sk" << G::response(200, "<html></html>") << QStringList{} << shape;
        QTest::newRow("empty list") << "%1/v1" << "sk" << G::response(200, list("")) << QStringList{} << "服务器没有列出任何模型。";
        QTest::newRow("silence") << "%1/v1" << "sk" << G::Reply().then(G::head(200)).stall() << QStringList{} << "请求超时：服务器长时间没有回应，请稍后再试。";
        // clang-format on
    }

    void fetch()
    {
        QFETCH(QString, baseURL);
        QFETCH(QString, apiKey);
        QFETCH(TestGateway::Reply, reply);
        QFETCH(QStringList, ids);
        QFETCH(QString, error);
        TestGateway gateway;
        QVERIFY(gateway.listen());
        gateway.enqueue(reply);
        gateway.enqueue(TestGateway::response(200, list(R"({"id":"m"})")));

        ModelListRequest *request =
            ModelListRequest::start(Gateway{baseURL.arg(gateway.url()), apiKey}, this, 500ms);
        QSignalSpy finished(request, &ModelListRequest::finished);
        QVERIFY(finished.wait(5000));
        QCOMPARE(finished.first().at(0).toStringList(), ids);
        QCOMPARE(finished.first().at(1).toString(), error);
        // Whatever was on its way when the first one came is delivered before a call queued now.
        bool turned = false;
        QMetaObject::invokeMethod(
            request, [&turned] { turned = true; }, Qt::QueuedConnection);
        QTRY_VERIFY(turned);
        QCOMPARE(finished.size(), 1);
        delete request;

        if (reply.pieces.isEmpty()) {
            QCOMPARE(gateway.connectionCount(), 0);
            return;
        }
        const TestGateway::Request &first = gateway.requests().first();
        QCOMPARE(first.method, QByteArray("GET"));
        QCOMPARE(first.target, QByteArray("/v1/models"));
        QCOMPARE(first.header("Authorization"), "Bearer " + apiKey.toUtf8());
        if (gateway.requests().size() > 1)
            QCOMPARE(gateway.requests().at(1).header("Authorization"), "Bearer sk");
    }

    // Only ids the list lacks are added; the user's own lines stay as they are.
    void merge_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<QStringList>("merged");
        // clang-format off
        QTest::newRow("appended") << QStringList{"x"} << QStringList{"a", "b"} << QStringList{"x", "a", "b"};
        QTest::newRow("user's lines kept, duplicates too") << QStringList{" a\t", "a", "c"} << QStringList{"a", "b", "c", "b"} << QStringList{" a\t", "a", "c", "b"};
        // clang-format on
    }

    void merge()
    {
        QFETCH(QStringList, existing);
        QFETCH(QStringList, ids);
        QFETCH(QStringList, merged);
        QCOMPARE(ModelCatalog::merge(existing, ids), merged);
    }

    // The checklist: filtering, checking, and what reaches the settings. A failed fetch changes
    // nothing and keeps the open list as it was.
    void checklist()
    {
        QTemporaryDir dir;
        Store store(dir.path());
        AppSettings settings = store.settings();
        settings.baseURL = QStringLiteral("http://[::1");
        settings.apiKey = QStringLiteral("sk");
        settings.models = {"gpt-4o", " gpt-4o "};
        store.setSettings(settings);
        QSignalSpy saved(&store, &Store::saved);
        ModelCatalog catalog;
        QAbstractItemModelTester tester(&catalog);
        catalog.setStore(&store);
        catalog.setIds({"gpt-4o", "GPT-4.1", "deepseek-r1", "o3"});
        QVERIFY(catalog.isOpen());
        QCOMPARE(catalog.index(0).data(ModelCatalog::ListedRole), true);
        QCOMPARE(catalog.newCount(), 0);
        catalog.fetch();
        QVERIFY(catalog.busy());
        QTRY_VERIFY(!catalog.busy());
        QCOMPARE(catalog.error(), QStringLiteral("API 地址无效，请到「设置」检查。"));
        QCOMPARE(catalog.rowCount(), 4);

        catalog.setFilter(QStringLiteral("gpt"));
        QCOMPARE(catalog.rowCount(), 2);
        catalog.checkAll(true); // the listed one stays as it is
        QCOMPARE(catalog.newCount(), 1);
        catalog.setFilter(QString());
        catalog.toggle(3);
        catalog.toggle(0); // listed: no change
        QCOMPARE(catalog.newCount(), 2);
        QCOMPARE(store.settings(), settings); // nothing changes before confirming
        QCOMPARE(saved.size(), 0);

        catalog.addChecked();
        store.flush();
        QCOMPARE(store.settings().models, (QStringList{"gpt-4o", " gpt-4o ", "GPT-4.1", "o3"}));
        QCOMPARE(saved.size(), 1);
        QVERIFY(!catalog.isOpen());
        QCOMPARE(catalog.rowCount(), 0);
    }
};

QTEST_GUILESS_MAIN(TestModelCatalog)
#include "tst_modelcatalog.moc"
