// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/searchresultsmodel.h"
#include "model/conversationsearch.h"
#include "storetestutil.h"

#include <QAbstractItemModelTester>
#include <QTemporaryDir>
#include <QTest>

using namespace StoreTest;

namespace {

// a: "Rust lifetimes" with an English reply; b: Chinese; c: full-width letters and a long text.
QList<Conversation> history()
{
    static const QList<Conversation> list = [] {
        Conversation a = conv(u'a');
        a.title = QStringLiteral("Rust lifetimes");
        a.messages = {Message::make(Message::Role::User, QStringLiteral("Explain BORROWING")),
                      Message::make(Message::Role::Assistant, QStringLiteral("References..."))};
        Conversation b = conv(u'b');
        b.title = QStringLiteral("周末旅行计划");
        b.messages = {Message::make(Message::Role::User, QStringLiteral("杭州两日游怎么安排？")),
                      Message::make(Message::Role::Assistant,
                                    QStringLiteral("第一天：西湖、灵隐寺。\n第二天：千岛湖。"))};
        Conversation c = conv(u'c');
        c.title = QStringLiteral("ＡＢＣ笔记");
        c.messages = {Message::make(Message::Role::User,
                                    QString(40, u'x') + QStringLiteral(" needle in\nthe middle ") +
                                        QString(200, u'y'))};
        return QList<Conversation>{a, b, c};
    }();
    return list;
}

// The first letters of the listed conversations (a, b, c of history()), in order.
QString letters(const QList<QUuid> &ids)
{
    QString out;
    for (const QUuid &id : ids) {
        for (int i = 0; i < history().size(); ++i) {
            if (history().at(i).id == id)
                out += QChar(u'a' + i);
        }
    }
    return out;
}

QString letters(const QList<ConversationSearch::Hit> &hits)
{
    QList<QUuid> ids;
    for (const auto &hit : hits)
        ids << hit.id;
    return letters(ids);
}

QString listed(const SearchResultsModel &model)
{
    QList<QUuid> ids;
    for (int row = 0; row < model.rowCount(); ++row)
        ids << QUuid(model.idAt(row));
    return letters(ids);
}

} // namespace

class TstConversationSearch : public QObject
{
    Q_OBJECT

private slots:

    // The fast walk over plain text gives what normalising and folding the whole text gives.
    void key_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("ascii and chinese") << QStringLiteral("Hello 世界 ABC xyz");
        QTest::newRow("full-width") << QStringLiteral("ＡＢＣ，中文！１２３");
        QTest::newRow("combining after ascii") << QStringLiteral("Cafe\u0301 E\u0301");
        QTest::newRow("combining first") << QStringLiteral("\u0301a");
        QTest::newRow("folding changes length") << QStringLiteral("Straße ﬁle İ");
        QTest::newRow("ideographic space, compat ideographs") << QStringLiteral("一\u3000二\uF900");
        QTest::newRow("emoji and hangul") << QStringLiteral("😀 \u1100\u1161 한국");
        QTest::newRow("half-width kana with voicing") << QStringLiteral("ｶﾞｷﾞ ﾊﾟ");
    }

    void key()
    {
        QFETCH(QString, text);
        QCOMPARE(ConversationSearch::key(text),
                 text.normalized(QString::NormalizationForm_KC).toCaseFolded());
    }

    // The ranges of the text itself that the query matches, as "start+length", however the folding
    // changes lengths before them.
    void matches_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("spans");

        // clang-format off
    QTest::newRow("chinese, twice") << "西湖边，西湖醋鱼" << "西湖" << "0+2 4+2";
    QTest::newRow("mixed case") << "Qt, QT and qt" << " qT " << "0+2 4+2 11+2";
    QTest::newRow("full-width query") << "run npm now" << "ｎｐｍ" << "4+3";
    QTest::newRow("full-width text") << "规格ＡＢＣ，abc" << "abc" << "2+3 6+3";
    QTest::newRow("after a folding that grows") << "ﬁle Straße FILE" << "file" << "0+3 11+4";
    QTest::newRow("part of a grown character") << "a ﬁx" << "F" << "2+1";
    QTest::newRow("combining mark kept whole") << "cafe\u0301 cafe" << "café" << "0+5";
    QTest::newRow("emoji before") << "😀😀 ok" << "OK" << "5+2";
    QTest::newRow("adjacent join") << "aaaa" << "aa" << "0+4";
    QTest::newRow("none") << "西湖" << "东湖" << "";
    QTest::newRow("blank query") << "abc" << "   " << "";
        // clang-format on
    }

    void matches()
    {
        QFETCH(QString, text);
        QFETCH(QString, query);
        QStringList spans;
        for (const ConversationSearch::Span &s : ConversationSearch::matches(text, query))
            spans << QStringLiteral("%1+%2").arg(s.start).arg(s.length);
        QTEST(spans.join(u' '), "spans");
    }

    void find_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("titles");  // first letters of the hits' conversations, in order
        QTest::addColumn<QString>("snippet"); // of the first hit

        // clang-format off
    QTest::newRow("title, any case") << "LIFETIMES" << "a" << "";
    QTest::newRow("body, folded") << "borrowing" << "a" << "Explain BORROWING";
    QTest::newRow("chinese body") << "西湖" << "b" << "第一天：西湖、灵隐寺。 第二天：千岛湖。";
    QTest::newRow("chinese title") << "旅行" << "b" << "";
    QTest::newRow("full-width query, half-width text") << "ｅｘｐｌａｉｎ" << "a" << "Explain BORROWING";
    QTest::newRow("half-width query, full-width title") << "abc" << "c" << "";
    QTest::newRow("several") << "e" << "ac" << "Explain BORROWING";
    QTest::newRow("cut snippet on one line") << "Needle" << "c"
        << QStringLiteral("…xxxxxxxxxxxxxxx needle in the middle ") + QString(43, u'y') + u'…';
    QTest::newRow("no match") << "不存在" << "" << "";
    QTest::newRow("blank query") << "  " << "" << "";
        // clang-format on
    }

    void find()
    {
        QFETCH(QString, query);
        QFETCH(QString, titles);
        const QList<ConversationSearch::Hit> hits = ConversationSearch::find(history(), query);
        QCOMPARE(letters(hits), titles);
        if (!hits.isEmpty())
            QTEST(hits.first().snippet, "snippet");
        // The kept index finds the same, and again from what it kept.
        ConversationSearch::Index index;
        for (int pass = 0; pass < 2; ++pass) {
            const QList<ConversationSearch::Hit> kept = index.find(history(), query);
            QCOMPARE(kept.size(), hits.size());
            for (qsizetype i = 0; i < hits.size(); ++i) {
                QCOMPARE(kept[i].id, hits[i].id);
                QCOMPARE(kept[i].snippet, hits[i].snippet);
            }
        }
        // A second conversation with a kept id is read on its own, not from the first one's keys.
        Conversation twin = history().at(1);
        twin.messages[0].content = query; // as many messages as the first, so only its id tells
        QCOMPARE(index.find(history() + QList{twin}, query).size(),
                 hits.size() + (query.trimmed().isEmpty() ? 0 : 1));
    }

    // The model lists the hits of its query, and a newer query wins over one still running (the
    // history's changes: indexFollowsChanges).
    void modelFollowsQueryAndHistory()
    {
        QTemporaryDir dir;
        Store store(dir.path());
        store.addConversationsAtTop(history());
        SearchResultsModel model;
        QAbstractItemModelTester tester(&model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setStore(&store);

        model.setQuery(QStringLiteral("e"));
        model.setQuery(QStringLiteral("湖"));
        QTRY_VERIFY(!model.busy());
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.idAt(0), canonicalUuidString(history().at(1).id));
        QCOMPARE(model.data(model.index(0), SearchResultsModel::SnippetRole).toString(),
                 QStringLiteral("第一天：西湖、灵隐寺。 第二天：千岛湖。"));

        model.setQuery(QString());
        QCOMPARE(model.rowCount(), 0);
        QVERIFY(!model.busy());
    }

    // The worker's index follows the Store's changes of one conversation, even those that keep its
    // message count (a streamed delta, an edit), and forgets a deleted one.
    void indexFollowsChanges_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");

        // clang-format off
    QTest::newRow("edit") << "edit" << "灵隐" << "b" << "";
    QTest::newRow("streamed delta") << "delta" << "断桥" << "" << "b";
    QTest::newRow("append") << "append" << "雷峰塔" << "" << "a";
    QTest::newRow("delete") << "delete" << "e" << "ac" << "c";
    QTest::newRow("rename") << "rename" << "笔记" << "c" << "";
        // clang-format on
    }

    void indexFollowsChanges()
    {
        QFETCH(QString, change);
        QFETCH(QString, query);
        QTemporaryDir dir;
        Store store(dir.path());
        store.addConversationsAtTop(history());
        SearchResultsModel model;
        model.setStore(&store);
        model.setQuery(query);
        QTRY_VERIFY(!model.busy());
        QTEST(listed(model), "before");

        const Conversation &a = history().at(0);
        const Conversation &b = history().at(1);
        if (change == u"edit")
            store.setMessageContent(b.id, b.messages.at(1).id, QStringLiteral("第一天：西湖。"));
        else if (change == u"delta")
            store.appendToMessage(b.id, b.messages.at(1).id, u"断桥");
        else if (change == u"append")
            store.appendMessage(a.id, Message::make(Message::Role::User, QStringLiteral("雷峰塔")));
        else if (change == u"delete")
            store.remove(a.id);
        else if (change == u"rename")
            store.setTitle(history().at(2).id, QStringLiteral("Notes"));
        QFETCH(QString, after);
        QTRY_COMPARE(listed(model), after);
        QCOMPARE(letters(ConversationSearch::find(store.conversations(), query)), after);
    }
};

QTEST_MAIN(TstConversationSearch)
#include "tst_conversationsearch.moc"
