// SPDX-License-Identifier: GPL-3.0-or-later
// The Settings window's gateways: the list and its edits, the form and the model checklist
// following the chosen gateway, and the connection test against the loopback gateway.
#include "app/gatewaylist.h"
#include "app/modelcatalog.h"
#include "app/settingsform.h"
#include "store/store.h"
#include "testgateway.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString idOf(const Provider &p)
{
    return GatewayListModel::idString(p.id);
}

Provider gateway(const char *name, const QString &baseURL, QList<QString> models = {})
{
    Provider p;
    p.id = QUuid::createUuid();
    p.name = QString::fromUtf8(name);
    p.baseURL = baseURL;
    p.apiKey = QStringLiteral("sk-") + p.name;
    p.models = std::move(models);
    return p;
}

int presetIndex(const char *name)
{
    const QList<GatewayPreset> &all = GatewayPreset::all();
    for (int i = 0; i < all.size(); ++i) {
        if (qstrcmp(all.at(i).name, name) == 0)
            return i;
    }
    return -1;
}

} // namespace

class TestGatewayList;
using ListEdit = std::function<void(GatewayListModel &, TestGatewayList &)>;
Q_DECLARE_METATYPE(ListEdit)
Q_DECLARE_METATYPE(TestGateway::Reply)

class TestGatewayList : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Store> m_store;
    Provider m_a;
    Provider m_b;

    // The data file as saved, read back.
    AppSettings saved() const
    {
        m_store->flush();
        return Store(m_dir.path()).settings();
    }

private slots:
    void init()
    {
        QFile::remove(m_dir.filePath(QStringLiteral("data.json")));
        m_store = std::make_unique<Store>(m_dir.path());
        m_a = gateway("A", QStringLiteral("http://a.example/v1"), {"a1", "a2"});
        m_b = gateway("B", QStringLiteral("http://b.example/v1"));
        AppSettings s = m_store->settings();
        s.providers = {m_a, m_b};
        s.defaultProvider = m_b.id;
        m_store->setSettings(s);
        QList<Conversation> conversations{Conversation::make(), Conversation::make(),
                                          Conversation::make()};
        conversations[0].provider = conversations[1].provider = m_b.id;
        m_store->addConversationsAtTop(conversations);
    }

    // Every edit of the list reaches the file at once; the first gateway is never removed or
    // moved, and whatever goes wrong leaves the list as it was.
    void edits_data()
    {
        QTest::addColumn<ListEdit>("edit");
        QTest::addColumn<QStringList>("names"); // the further gateways, in order
        QTest::addColumn<QString>("defaultName");

        using Edit = ListEdit;
        QTest::newRow("remove the default") << Edit([](auto &m, auto &t) { m.remove(idOf(t.m_b)); })
                                            << QStringList{"A"} << QString();
        QTest::newRow("remove another")
            << Edit([](auto &m, auto &t) { m.remove(idOf(t.m_a)); }) << QStringList{"B"} << "B";
        QTest::newRow("the first stays")
            << Edit([](auto &m, auto &) { m.remove(QString()); }) << QStringList{"A", "B"} << "B";
        QTest::newRow("an unknown id")
            << Edit([](auto &m, auto &) { m.remove(QStringLiteral("x")); }) << QStringList{"A", "B"}
            << "B";
        QTest::newRow("down") << Edit([](auto &m, auto &t) { m.move(idOf(t.m_a), 1); })
                              << QStringList{"B", "A"} << "B";
        QTest::newRow("past the end") << Edit([](auto &m, auto &t) { m.move(idOf(t.m_a), 5); })
                                      << QStringList{"B", "A"} << "B";
        QTest::newRow("not above the first")
            << Edit([](auto &m, auto &t) { m.move(idOf(t.m_a), -1); }) << QStringList{"A", "B"}
            << "B";
        QTest::newRow("first as default") << Edit([](auto &m, auto &) { m.setDefault(QString()); })
                                          << QStringList{"A", "B"} << QString();
        QTest::newRow("another default")
            << Edit([](auto &m, auto &t) { m.setDefault(idOf(t.m_a)); }) << QStringList{"A", "B"}
            << "A";
        QTest::newRow("gone, not default")
            << Edit([](auto &m, auto &) { m.setDefault(QUuid::createUuid().toString()); })
            << QStringList{"A", "B"} << "B";
    }

    void edits()
    {
        QFETCH(ListEdit, edit);
        QFETCH(QStringList, names);
        QFETCH(QString, defaultName);

        GatewayListModel model;
        QAbstractItemModelTester tester(&model);
        model.setStore(m_store.get());
        edit(model, *this);

        const AppSettings s = saved();
        QStringList shown;
        for (int row = 1; row < model.rowCount(); ++row)
            shown.append(model.index(row).data(GatewayListModel::NameRole).toString());
        QCOMPARE(shown, names);
        QCOMPARE(model.index(0).data(GatewayListModel::FirstRole), true);
        QStringList stored;
        for (const Provider &p : s.providers)
            stored.append(p.name);
        QCOMPARE(stored, names);
        const Provider *def = s.provider(s.defaultProvider);
        QCOMPARE(def ? def->name : QString(), defaultName);
        // Conversations keep their gateway's id even when it goes: they are never moved.
        QCOMPARE(model.conversationsUsing(idOf(m_b)), 2);
        QCOMPARE(model.conversationsUsing(QString()), 1);
    }

    // A preset fills the name, the address and the flags; the rows follow.
    void addFromPresets()
    {
        GatewayListModel model;
        QAbstractItemModelTester tester(&model);
        model.setStore(m_store.get());
        const QString deepseek = model.add(presetIndex("DeepSeek"));
        const QString ollama = model.add(presetIndex("Ollama"));
        QCOMPARE(model.add(-1), QString());
        QCOMPARE(model.rowCount(), 5);
        QCOMPARE(model.rowOf(ollama), 4);

        const AppSettings s = saved();
        const Provider *d = s.provider(GatewayListModel::idFromString(deepseek));
        const Provider *o = s.provider(GatewayListModel::idFromString(ollama));
        QVERIFY(d && o);
        QCOMPARE(d->baseURL, QStringLiteral("https://api.deepseek.com"));
        QVERIFY(!d->noKey && d->streamUsage);
        QCOMPARE(o->name, QStringLiteral("Ollama"));
        QVERIFY(o->noKey);
        QVERIFY(o->apiKey.isEmpty());
        // Every preset but the custom one, last, has a web address with a host.
        const QList<GatewayPreset> &all = GatewayPreset::all();
        for (qsizetype i = 0; i < all.size(); ++i) {
            const QUrl url(QString::fromLatin1(all.at(i).baseURL), QUrl::StrictMode);
            QCOMPARE(url.scheme().startsWith(u"http") && !url.host().isEmpty(), i + 1 < all.size());
        }
    }

    // The form edits the chosen gateway only; the first gateway's fields stay as they are.
    void formFollowsGateway()
    {
        SettingsForm form;
        form.setStore(m_store.get());
        const AppSettings before = m_store->settings();
        QVERIFY(form.isFirstGateway());
        QCOMPARE(form.name(), QString()); // "默认" is no name of the user's
        QCOMPARE(form.namePlaceholder(), QStringLiteral("默认"));

        form.setGateway(idOf(m_a));
        QVERIFY(!form.isFirstGateway());
        QCOMPARE(form.baseURL(), m_a.baseURL);
        QCOMPARE(form.modelsText(), QStringLiteral("a1\na2"));
        form.setBaseURL(QStringLiteral("http://a2.example/v1"));
        form.setApiKey(QStringLiteral("sk-new"));
        form.setName(QString());
        form.setNoKey(true);
        form.setModelsText(QStringLiteral(" x \n\ny"));
        QCOMPARE(form.namePlaceholder(), QStringLiteral("http://a2.example/v1"));

        form.flush();
        const AppSettings s = saved();
        const Provider *a = s.provider(m_a.id);
        QCOMPARE(a->baseURL, QStringLiteral("http://a2.example/v1"));
        QCOMPARE(a->apiKey, QStringLiteral("sk-new"));
        QCOMPARE(a->models, (QList<QString>{"x", "y"}));
        QVERIFY(a->noKey);
        QVERIFY(a->name.isEmpty());
        QCOMPARE(s.baseURL, before.baseURL);
        QCOMPARE(s.apiKey, before.apiKey);
        QCOMPARE(s.models, before.models);
        QCOMPARE(*s.provider(m_b.id), m_b);

        // A gateway removed meanwhile takes no edits.
        GatewayListModel list;
        list.setStore(m_store.get());
        list.remove(idOf(m_a));
        form.setBaseURL(QStringLiteral("http://lost.example"));
        QCOMPARE(form.baseURL(), QString());
        QVERIFY(!m_store->settings().provider(m_a.id));
        QCOMPARE(m_store->settings().baseURL, before.baseURL);
    }

    // The checklist asks the chosen gateway with its own key, and adds to its own list; "设为默认"
    // sets the first gateway's default, and puts another gateway's model first.
    void catalogFollowsGateway()
    {
        TestGateway server;
        QVERIFY(server.listen());
        server.enqueue(
            TestGateway::response(200, R"({"data":[{"id":"a2"},{"id":"n1"},{"id":"n2"}]})"));
        AppSettings s = m_store->settings();
        s.providers[0].baseURL = server.url() + QStringLiteral("/v1");
        m_store->setSettings(s);

        ModelCatalog catalog;
        catalog.setStore(m_store.get());
        catalog.setGateway(idOf(m_a));
        QCOMPARE(catalog.defaultModel(), QStringLiteral("a1"));
        catalog.fetch();
        QTRY_VERIFY(catalog.isOpen());
        QCOMPARE(server.requests().first().header("Authorization"), QByteArray("Bearer sk-A"));
        QVERIFY(catalog.defaultMissing());
        catalog.toggle(1);
        catalog.setDefaultModel(2);
        QCOMPARE(catalog.defaultModel(), QStringLiteral("n2"));
        QVERIFY(!catalog.defaultMissing());
        QCOMPARE(catalog.newCount(), 1); // the check made before stays
        catalog.addChecked();
        QCOMPARE(saved().provider(m_a.id)->models, (QList<QString>{"n2", "a1", "a2", "n1"}));
        QCOMPARE(saved().models, AppSettings().models);

        catalog.setGateway(QString());
        catalog.setIds({"m1", "m2"});
        catalog.setDefaultModel(1);
        QCOMPARE(saved().model, QStringLiteral("m2"));
        QVERIFY(saved().models.isEmpty());
        // Another gateway's list is not this one's.
        catalog.setGateway(idOf(m_b));
        QVERIFY(!catalog.isOpen());
    }

    // "测试连接" names the number of models, or the failure with the advice of a failed reply.
    void testConnection_data()
    {
        QTest::addColumn<TestGateway::Reply>("reply");
        QTest::addColumn<QString>("apiKey");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("advised");

        using G = TestGateway;
        QTest::newRow("ok") << G::response(200, R"({"data":[{"id":"a"},{"id":"b"}]})") << "sk"
                            << "ok"
                            << "连接成功，服务器列出了 2 个模型。" << false;
        QTest::newRow("bad key") << G::response(401, R"({"error":{"message":"Invalid key"}})")
                                 << "sk"
                                 << "failed"
                                 << "请求失败（HTTP 401）：Invalid key" << true;
        QTest::newRow("no key") << G::Reply() << ""
                                << "failed"
                                << "还没填 API Key" << true;
        QTest::newRow("no list") << G::response(200, "<html></html>") << "sk"
                                 << "failed"
                                 << "服务器的回应不是模型列表，请检查 API 地址。" << false;
    }

    void testConnection()
    {
        QFETCH(TestGateway::Reply, reply);
        QFETCH(QString, apiKey);
        QFETCH(QString, outcome);
        QFETCH(QString, message);
        QFETCH(bool, advised);

        TestGateway server;
        QVERIFY(server.listen());
        server.enqueue(reply);
        AppSettings s = m_store->settings();
        s.providers[1].baseURL = server.url() + QStringLiteral("/v1");
        s.providers[1].apiKey = apiKey;
        m_store->setSettings(s);
        ModelCatalog catalog;
        catalog.setStore(m_store.get());
        catalog.setGateway(idOf(m_b));
        QSignalSpy changed(&catalog, &ModelCatalog::testChanged);
        catalog.testConnection();
        QVERIFY(catalog.testing());
        QTRY_VERIFY(!catalog.testing());
        QCOMPARE(catalog.testOutcome(), outcome);
        QVERIFY2(catalog.testMessage().startsWith(message), qPrintable(catalog.testMessage()));
        QCOMPARE(!catalog.testAdvice().isEmpty(), advised);
        QVERIFY(!catalog.isOpen()); // a test opens no list
    }
};

QTEST_GUILESS_MAIN(TestGatewayList)
#include "tst_gatewaylist.moc"
