// SPDX-License-Identifier: GPL-3.0-or-later
#include "markdown/mdblockmodel.h"
#include "markdown/mdinline.h"
#include "markdown/mdmath.h"
#include "markdown/synclistmodel.h"

#include <QAbstractItemModelTester>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// A row read back through every role, as a view sees it.
QVariantMap rowAt(const QAbstractItemModel &model, int row)
{
    QVariantMap seen;
    const QHash<int, QByteArray> names = model.roleNames();
    for (auto it = names.cbegin(); it != names.cend(); ++it)
        seen.insert(QString::fromLatin1(it.value()), model.index(row, 0).data(it.key()));
    return seen;
}

// What the roles must hand out for a block, made directly from a full parse without any of the
// model's reuse of earlier conversions.
QVariantMap expectedRow(const MDBlock &b)
{
    const bool hasText =
        b.kind == MDBlock::Paragraph || b.kind == MDBlock::Heading || b.kind == MDBlock::Quote;
    QVariantList items;
    for (const MDBlock::Item &item : b.items)
        items << QVariantMap{
            {u"indent"_s, item.indent}, {u"num"_s, item.num}, {u"html"_s, mdInline(item.text)}};
    QVariantList cells;
    qsizetype columns = 0;
    for (qsizetype r = 0; r < b.rows.size(); ++r) {
        for (qsizetype c = 0; c < b.rows[r].size(); ++c)
            cells << QVariantMap{
                {u"row"_s, int(r)}, {u"column"_s, int(c)}, {u"html"_s, mdInline(b.rows[r][c])}};
        columns = std::max(columns, b.rows[r].size());
    }
    const bool math = b.kind == MDBlock::Math;
    return {{u"kind"_s, int(b.kind)},
            {u"html"_s, math      ? mathImageId(b.text, true)
                        : hasText ? mdInline(b.text)
                                  : QString()},
            {u"tex"_s, math ? b.text : QString()},
            {u"level"_s, b.level},
            {u"lang"_s, b.lang},
            {u"code"_s, b.code},
            {u"items"_s, items},
            {u"cells"_s, cells},
            {u"columnCount"_s, int(columns)}};
}

// Follows the model's signals on a copy of its blocks, the way a view does, and logs them.
// Every announced change must be a real one, with the roles that changed; after each text,
// the copy must equal a full parse, which proves that no change went unannounced.
class Follower : public QObject
{
public:
    explicit Follower(MDBlockModel *model) : m_model(model)
    {
        for (int r = 0; r < model->rowCount(); ++r)
            m_copy.append(rowAt(*model, r));
        connect(model, &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex &, int first, int last) {
                    for (int r = first; r <= last; ++r)
                        m_copy.insert(r, rowAt(*m_model, r));
                    log << u"inserted %1-%2"_s.arg(first).arg(last);
                    touch(first);
                });
        connect(model, &QAbstractItemModel::rowsRemoved, this,
                [this](const QModelIndex &, int first, int last) {
                    m_copy.remove(first, last - first + 1);
                    log << u"removed %1-%2"_s.arg(first).arg(last);
                    touch(first);
                });
        connect(model, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex &from, const QModelIndex &to, const QList<int> &roles) {
                    check(from.row() == to.row(), "one row per dataChanged");
                    const int r = from.row();
                    const QVariantMap now = rowAt(*m_model, r);
                    check(now != m_copy[r], "dataChanged without a change");
                    check(now[u"kind"_s] == m_copy[r][u"kind"_s], "kind changed in place");
                    QStringList names;
                    for (const int role : roles)
                        names << QString::fromLatin1(m_model->roleNames().value(role));
                    log << u"changed %1 %2"_s.arg(r).arg(names.join(u','));
                    m_copy[r] = now;
                    touch(r);
                });
        connect(model, &QAbstractItemModel::modelReset, this, [this] { check(false, "reset"); });
        connect(model, &QAbstractItemModel::layoutChanged, this,
                [this] { check(false, "layoutChanged"); });
    }

    void setText(const QString &text)
    {
        log.clear();
        lowestTouched = INT_MAX;
        m_model->setText(text);
        compareWithParse();
    }

    void setStreaming(bool on)
    {
        log.clear();
        lowestTouched = INT_MAX;
        m_model->setStreaming(on);
        compareWithParse();
    }

    QStringList log;
    int lowestTouched = INT_MAX;
    QString failure;

private:
    void check(bool ok, const char *what)
    {
        if (!ok && failure.isEmpty())
            failure = QString::fromLatin1(what);
    }
    void touch(int row) { lowestTouched = std::min(lowestTouched, row); }

    void compareWithParse()
    {
        QList<QVariantMap> full;
        for (const MDBlock &b : MDParser::parse(m_model->text(), true, m_model->streaming()))
            full << expectedRow(b);
        check(m_copy == full, "rows differ from a full parse");
    }

    MDBlockModel *m_model;
    QList<QVariantMap> m_copy;
};

QStringList replyDeltas()
{
    QFile file(QStringLiteral(CORVANE_BENCH_DATA "/reply-100k.deltas.json"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList deltas;
    for (const QJsonValue &v : QJsonDocument::fromJson(file.readAll()).array())
        deltas << v.toString();
    return deltas;
}

} // namespace

class TestMDBlockModel : public QObject
{
    Q_OBJECT

private slots:
    void announcesChanges_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QStringList>("log");

        // clang-format off
        QTest::newRow("same text") << "a" << "a" << QStringList();
        QTest::newRow("paragraph grows") << "Hel" << "Hello" << QStringList{"changed 0 html"};
        QTest::newRow("block appears") << "a" << "a\n\nb" << QStringList{"inserted 1-1"};
        QTest::newRow("blank line alone") << "a" << "a\n\n" << QStringList();
        QTest::newRow("paragraph becomes fence") << "x\n\n``" << "x\n\n```"
            << QStringList{"removed 1-1", "inserted 1-1"};
        QTest::newRow("rule taken back") << "x\n---" << "x\n---y"
            << QStringList{"changed 0 html", "removed 1-1"};
        QTest::newRow("list item grows") << "- a\n- b" << "- a\n- bc"
            << QStringList{"changed 0 items"};
        QTest::newRow("table gets a column") << "| a |" << "| a | b |"
            << QStringList{"changed 0 cells,columnCount"};
        QTest::newRow("table gets a row") << "| a |\n|---|" << "| a |\n|---|\n| 1 |"
            << QStringList{"changed 0 cells"};
        QTest::newRow("code grows") << "```js\nx" << "```js\nxy" << QStringList{"changed 0 code"};
        QTest::newRow("formula closes, paragraph splits") << "a $$x" << "a $$x$$"
            << QStringList{"changed 0 html", "inserted 1-1"};
        QTest::newRow("formula grows") << "$$x$$" << "$$xy$$" << QStringList{"changed 0 html,tex"};
        QTest::newRow("language grows") << "```j" << "```js" << QStringList{"changed 0 lang"};
        QTest::newRow("heading level") << "## a" << "### a" << QStringList{"changed 0 level"};
        QTest::newRow("edit in the middle") << "a\n\nb\n\nc" << "a\n\n# b\n\nc"
            << QStringList{"removed 1-1", "inserted 1-1"};
        QTest::newRow("block inserted in the middle") << "a\n\nc\n\nd" << "a\n\nb\n\nc\n\nd"
            << QStringList{"inserted 1-1"};
        QTest::newRow("block deleted in the middle") << "a\n\nb\n\nc" << "a\n\nc"
            << QStringList{"removed 1-1"};
        QTest::newRow("first edited, last dropped") << "a\n\nb\n\nc\n\nd" << "a2\n\nb\n\nc"
            << QStringList{"changed 0 html", "removed 3-3"};
        QTest::newRow("text cleared") << "a\n\n- b\n\nc" << ""
            << QStringList{"changed 0 html", "removed 1-2"};
        // clang-format on
    }

    void announcesChanges()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        MDBlockModel model;
        QAbstractItemModelTester tester(&model);
        Follower follower(&model);
        follower.setText(before);
        follower.setText(after);
        QCOMPARE(follower.failure, QString());
        QTEST(follower.log, "log");
    }

    // Switching formulas off or on renews every row at once.
    void mathSwitch()
    {
        MDBlockModel model;
        model.setText(u"a $x$\n\n$$y$$"_s);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        model.setMath(false);
        QCOMPARE(reset.count(), 1);
        QCOMPARE(model.index(0).data(MDBlockModel::HtmlRole).toString(), u"a $x$"_s);
        QCOMPARE(model.index(1).data(MDBlockModel::KindRole).toInt(), int(MDBlock::Paragraph));
        model.setMath(true);
        QCOMPARE(model.index(1).data(MDBlockModel::TexRole).toString(), u"y"_s);
        QCOMPARE(reset.count(), 2);
    }

    // While a reply streams, a display formula open at its end holds the lines after it; once
    // the reply has ended without closing it, those lines are read as they are, announced as
    // changes like any other.
    void streamEndsWithOpenFormula_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("rowsStreaming");
        QTest::addColumn<int>("rowsEnded");
        QTest::newRow("never closes") << u"a\n\nTotal: $$ saved\n- apples\n## Next"_s << 2 << 4;
        QTest::newRow("closes") << u"a\n\n$$ x\n- apples\n$$ y"_s << 3 << 3;
    }

    void streamEndsWithOpenFormula()
    {
        QFETCH(QString, text);
        MDBlockModel model;
        QAbstractItemModelTester tester(&model);
        Follower follower(&model);
        follower.setStreaming(true);
        for (qsizetype n = 1; n <= text.size(); ++n) {
            follower.setText(text.first(n));
            QVERIFY2(follower.failure.isEmpty(), qPrintable(follower.failure));
        }
        QTEST(model.rowCount(), "rowsStreaming");
        follower.setStreaming(false);
        QVERIFY2(follower.failure.isEmpty(), qPrintable(follower.failure));
        QTEST(model.rowCount(), "rowsEnded");
    }

    // The 100 KB benchmark reply, delta by delta: after every delta the rows equal a full parse,
    // every announced change is real, and only the last blocks are touched. Then edits anywhere,
    // not only at the end, must give the rows of a full parse too.
    void followsStreamAndEdits()
    {
        const QStringList deltas = replyDeltas();
        QVERIFY2(deltas.size() > 3000, "the benchmark reply's deltas are missing");
        MDBlockModel model;
        QAbstractItemModelTester tester(&model);
        Follower follower(&model);
        QSignalSpy textChanged(&model, &MDBlockModel::textChanged);
        QString text;
        for (const QString &delta : deltas) {
            const int rowsBefore = model.rowCount();
            text += delta;
            follower.setText(text);
            QVERIFY2(follower.failure.isEmpty(),
                     qPrintable(follower.failure + u" at "_s + text.right(40)));
            QVERIFY2(follower.lowestTouched >= rowsBefore - 2,
                     qPrintable(follower.log.join(u"; ") + u" with rows "_s +
                                QString::number(rowsBefore)));
        }
        QCOMPARE(textChanged.size(), deltas.size());
        QVERIFY(model.rowCount() > 100);

        // A model of its own for the edits: a text cut from 100 KB to 3 KB announces unchanged
        // rows between the changed ones as changed (all roles), a known fault left for later.
        MDBlockModel edited;
        QAbstractItemModelTester editedTester(&edited);
        Follower editor(&edited);
        text.truncate(3000);
        const QStringList pieces{"\n",    "\n\n", "```", "```py\n", "# ",   "- ",   "1. ",
                                 "| x |", "> ",   "---", "\r\n",    "word", "**b**"};
        QRandomGenerator rng(99);
        for (int step = 0; step < 400; ++step) {
            const int at = rng.bounded(int(text.size()) + 1);
            if (rng.bounded(3) == 0)
                text.remove(at, rng.bounded(40));
            else
                text.insert(at, pieces[rng.bounded(int(pieces.size()))]);
            editor.setText(text);
            QVERIFY2(editor.failure.isEmpty(), qPrintable(editor.failure));
        }
    }

    void syncListModel_data();
    void syncListModel();

    // The block a search's first match is shown in: only text a block shows counts, and each
    // list item or table cell is a text of its own.
    void firstMatch_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("query");
        QTest::addColumn<int>("block");

        // clang-format off
        QTest::newRow("second paragraph") << "前言\n\n正文里有西湖" << "西湖" << 1;
        QTest::newRow("list item, folded") << "# 标题\n\n- one\n- ＴＷＯ" << "two" << 1;
        QTest::newRow("table cell") << "a\n\n| k | v |\n|---|---|\n| 键 | Value |" << "VALUE" << 1;
        QTest::newRow("code") << "看代码：\n\n```py\nprint(1)\n```" << "PRINT" << 1;
        QTest::newRow("split by emphasis") << "x\n\n**西**湖" << "西湖" << 1;
        QTest::newRow("entity shown decoded") << "R &amp; D" << "r & d" << 0;
        QTest::newRow("only in a link target") << "[文档](https://example.com/secret)" << "secret" << -1;
        QTest::newRow("across two blocks") << "foo\n\nbar" << "foo bar" << -1;
        QTest::newRow("across two items") << "- foo\n- bar" << "foo bar" << -1;
        // clang-format on
    }
    void firstMatch()
    {
        QFETCH(QString, text);
        QFETCH(QString, query);
        QTEST(MDBlockModel::firstMatch(text, query), "block");
    }
};

// The rows of a list or table block follow the block's values with the fewest changes, so
// the views of rows that stayed are kept.
void TestMDBlockModel::syncListModel_data()
{
    QTest::addColumn<QString>("before"); // one row per letter pair: key a, key b
    QTest::addColumn<QString>("after");
    QTest::addColumn<QStringList>("log");

    // clang-format off
    QTest::newRow("same")              << "a1b1"         << "a1b1"         << QStringList();
    QTest::newRow("one value")         << "a1b1a2b2"     << "a1b1a2b3"     << QStringList{"changed 1 b"};
    QTest::newRow("both values")       << "a1b1"         << "a2b2"         << QStringList{"changed 0 a,b"};
    QTest::newRow("grows")             << "a1b1"         << "a1b1a2b2a3b3" << QStringList{"inserted 1-2"};
    QTest::newRow("shrinks")           << "a1b1a2b2a3b3" << "a1b1"         << QStringList{"removed 1-2"};
    QTest::newRow("emptied")           << "a1b1"         << ""             << QStringList{"removed 0-0"};
    QTest::newRow("changes and grows") << "a1b1"         << "a1b2a3b3"     << QStringList{"changed 0 b", "inserted 1-1"};
    // clang-format on
}

void TestMDBlockModel::syncListModel()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    const auto values = [](const QString &pairs) {
        QVariantList list;
        for (qsizetype i = 0; i + 4 <= pairs.size(); i += 4)
            list << QVariantMap{{u"a"_s, pairs.mid(i + 1, 1)}, {u"b"_s, pairs.mid(i + 3, 1)}};
        return list;
    };
    SyncListModel model;
    QAbstractItemModelTester tester(&model);
    model.setRoles({u"a"_s, u"b"_s});
    model.setValues(values(before));
    QStringList log;
    connect(&model, &QAbstractItemModel::dataChanged, this,
            [&](const QModelIndex &from, const QModelIndex &to, const QList<int> &roles) {
                QVERIFY(from == to);
                QStringList names;
                for (const int role : roles)
                    names << QString::fromLatin1(model.roleNames().value(role));
                log << u"changed %1 %2"_s.arg(from.row()).arg(names.join(u','));
            });
    connect(&model, &QAbstractItemModel::rowsInserted, this,
            [&](const QModelIndex &, int a, int b) { log << u"inserted %1-%2"_s.arg(a).arg(b); });
    connect(&model, &QAbstractItemModel::rowsRemoved, this,
            [&](const QModelIndex &, int a, int b) { log << u"removed %1-%2"_s.arg(a).arg(b); });
    model.setValues(values(after));
    QTEST(log, "log");
    QCOMPARE(model.rowCount(), values(after).size());
    for (int r = 0; r < model.rowCount(); ++r)
        QCOMPARE(model.index(r).data(Qt::UserRole + 1).toString(), after.mid(r * 4 + 3, 1));
}

QTEST_GUILESS_MAIN(TestMDBlockModel)
#include "tst_mdblockmodel.moc"
