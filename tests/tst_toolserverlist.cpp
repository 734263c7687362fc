// SPDX-License-Identifier: GPL-3.0-or-later
// The Settings window's tool servers: the form's fields read back as they were written, what
// is wrong with a field is said and changes nothing, and imports replace by name.
#include "app/toolserverlist.h"
#include "store/store.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestToolServerList : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Store> m_store;
    std::unique_ptr<ToolServerListModel> m_model;

    QList<McpServer> saved() const
    {
        m_store->flush();
        return Store(m_dir.path()).settings().mcpServers;
    }

private slots:
    void init()
    {
        QFile::remove(m_dir.filePath(QStringLiteral("data.json")));
        m_store = std::make_unique<Store>(m_dir.path());
        McpServer files;
        files.name = QStringLiteral("files");
        files.command = QStringLiteral("npx");
        files.args = {QStringLiteral("-y"), QStringLiteral("server-filesystem"),
                      QStringLiteral("/home/me/My Documents")};
        McpServer search;
        search.name = QStringLiteral("search");
        search.url = QStringLiteral("https://search.example/mcp");
        AppSettings s = m_store->settings();
        s.mcpServers = {files, search};
        m_store->setSettings(s);
        m_store->save();
        m_model = std::make_unique<ToolServerListModel>();
        new QAbstractItemModelTester(m_model.get(), m_model.get());
        m_model->setStore(m_store.get());
    }

    // A command line shows quoted where a word needs it and reads back to the same words.
    void commandLines_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::newRow("plain") << QStringList{"uvx", "mcp-server-git", "--repository", "/src/a"};
        QTest::newRow("a space") << QStringList{"node", "/home/me/My Servers/index.js"};
        QTest::newRow("quotes") << QStringList{"python3", "-c", "print(\"hi\")"};
        QTest::newRow("Chinese") << QStringList{"npx", "服务器", "--名字=工具"};
    }
    void commandLines()
    {
        QFETCH(QStringList, words);
        const QString line = ToolServerListModel::joinCommand(words.first(), words.mid(1));
        QCOMPARE(ToolServerListModel::splitCommand(line), words);
    }

    // Each field is stored as the form gives it; a value that cannot be read is refused with
    // a reason, and the server stays as it was.
    void fields_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QString>("shown"); // the form's field afterwards

        QTest::newRow("command") << "commandLine" << QVariant("uvx \"my server\" --x") << false
                                 << "uvx \"my server\" --x";
        QTest::newRow("environment") << "env" << QVariant("API_KEY = sk-1\n\nHOME_DIR=/a=b\n")
                                     << false << "API_KEY=sk-1\nHOME_DIR=/a=b";
        QTest::newRow("a variable without =") << "env" << QVariant("API_KEY") << true << "";
        QTest::newRow("a variable without a name") << "env" << QVariant("=x") << true << "";
        QTest::newRow("rename") << "name" << QVariant(" docs ") << false << "docs";
        QTest::newRow("empty name") << "name" << QVariant("  ") << true << "files";
        QTest::newRow("a name taken") << "name" << QVariant("search") << true << "files";
        QTest::newRow("approval") << "approval" << QVariant(2) << false << "2";
        QTest::newRow("off") << "enabled" << QVariant(false) << false << "false";
    }
    void fields()
    {
        QFETCH(QString, field);
        QFETCH(QVariant, value);
        QFETCH(bool, refused);
        QFETCH(QString, shown);
        const QList<McpServer> before = saved();
        const QString error = m_model->setField(QStringLiteral("files"), field, value);
        QCOMPARE(!error.isEmpty(), refused);
        if (refused) {
            QCOMPARE(saved(), before);
            return;
        }
        const QString name = field == u"name" ? shown : QStringLiteral("files");
        const QVariantMap form = m_model->server(name);
        QCOMPARE(form.value(field).toString(), shown);
        QCOMPARE(saved().size(), 2);
        QCOMPARE(saved().first().name, name);
    }

    // Headers are "Name: value" lines; a header's value may hold colons.
    void headers()
    {
        QVERIFY(m_model
                    ->setField(QStringLiteral("search"), QStringLiteral("headers"),
                               QStringLiteral("Authorization: Bearer a:b\nX-Team: 7"))
                    .isEmpty());
        const McpServer::Pairs expected{{"Authorization", "Bearer a:b"}, {"X-Team", "7"}};
        QCOMPARE(saved().at(1).headers, expected);
        QVERIFY(!m_model
                     ->setField(QStringLiteral("search"), QStringLiteral("headers"),
                                QStringLiteral("no colon here"))
                     .isEmpty());
        QCOMPARE(saved().at(1).headers, expected);
    }

    // Switching a server's kind drops the other kind's address; a new server's kind holds
    // before it has either.
    void kinds()
    {
        QVERIFY(m_model->setField(QStringLiteral("files"), QStringLiteral("http"), true).isEmpty());
        QVERIFY(saved().first().command.isEmpty());
        QVERIFY(saved().first().args.isEmpty());
        QCOMPARE(m_model->server(QStringLiteral("files")).value("http").toBool(), true);

        const QString added = m_model->add(true);
        QCOMPARE(m_model->server(added).value("http").toBool(), true);
        const QString second = m_model->add(false);
        QVERIFY(second != added);
        QCOMPARE(m_model->server(second).value("http").toBool(), false);
        QCOMPARE(m_model->rowCount(), 4);
    }

    // A tool switched off is stored once, and switched on again it is gone from the list.
    void toolSwitches()
    {
        const QString files = QStringLiteral("files");
        m_model->setToolEnabled(files, QStringLiteral("write_file"), false);
        m_model->setToolEnabled(files, QStringLiteral("write_file"), false);
        QCOMPARE(saved().first().disabledTools, QList<QString>{"write_file"});
        m_model->setToolEnabled(files, QStringLiteral("write_file"), true);
        QVERIFY(saved().first().disabledTools.isEmpty());
    }

    // An import adds new servers after the others and replaces one of the same name in place;
    // text that is not a server list changes nothing.
    void imports()
    {
        QSignalSpy imported(m_model.get(), &ToolServerListModel::imported);
        const QString error = m_model->importJson(QStringLiteral(
            R"({"mcpServers": {"search": {"command": "search-mcp"}, "git": {"command": "uvx", "args": ["mcp-server-git"]}}})"));
        QVERIFY2(error.isEmpty(), qPrintable(error));
        const QList<McpServer> servers = saved();
        QCOMPARE(servers.size(), 3);
        QCOMPARE(servers.at(1).name, QStringLiteral("search"));
        QCOMPARE(servers.at(1).command, QStringLiteral("search-mcp"));
        QVERIFY(servers.at(1).url.isEmpty());
        QCOMPARE(servers.at(2).name, QStringLiteral("git"));
        QCOMPARE(imported.size(), 1);
        QCOMPARE(imported.first().first().toStringList(), (QStringList{"search", "git"}));

        QVERIFY(!m_model->importJson(QStringLiteral("not json")).isEmpty());
        QVERIFY(!m_model->importJson(QStringLiteral("{}")).isEmpty());
        QCOMPARE(saved(), servers);
    }

    void remove()
    {
        m_model->remove(QStringLiteral("files"));
        QCOMPARE(saved().size(), 1);
        QCOMPARE(m_model->rowCount(), 1);
        QCOMPARE(m_model->rowOf(QStringLiteral("search")), 0);
    }
};

QTEST_GUILESS_MAIN(TestToolServerList)
#include "tst_toolserverlist.moc"
