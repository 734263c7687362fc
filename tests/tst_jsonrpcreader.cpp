// SPDX-License-Identifier: GPL-3.0-or-later
#include "mcp/jsonrpcreader.h"

#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

/// Every message as compact JSON, and a "!" for each skipped line, in order.
QStringList readAll(const QByteArray &input, qsizetype limit, const QList<qsizetype> &pieces)
{
    JsonRpcReader reader(limit);
    QStringList out;
    const auto take = [&out](const JsonRpcReader::Item &item) {
        out.append(
            item.problem.isEmpty()
                ? QString::fromUtf8(QJsonDocument(item.message).toJson(QJsonDocument::Compact))
                : u"!"_s);
    };
    qsizetype at = 0;
    for (qsizetype i = 0; at < input.size(); ++i) {
        const qsizetype n = std::min(pieces.at(i % pieces.size()), input.size() - at);
        reader.append(QByteArrayView(input).sliced(at, n));
        at += n;
        while (const auto item = reader.next())
            take(*item);
    }
    if (const auto item = reader.finish())
        take(*item);
    return out;
}

} // namespace

class TestJsonRpcReader : public QObject
{
    Q_OBJECT

private slots:
    void framing_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QStringList>("expected");

        const QString ping = u"{\"id\":1,\"jsonrpc\":\"2.0\",\"method\":\"ping\"}"_s;
        const QByteArray pingLine = ping.toUtf8() + '\n';
        const QByteArray big = "{\"a\":\"" + QByteArray(100, 'x') + "\"}";
        // clang-format off
        QTest::newRow("one")                << pingLine << 1024 << QStringList{ping};
        QTest::newRow("two, CRLF")          << ping.toUtf8() + "\r\n" + pingLine << 1024 << QStringList{ping, ping};
        QTest::newRow("no final newline")   << ping.toUtf8() << 1024 << QStringList{ping};
        QTest::newRow("blank lines")        << "\n  \n" + pingLine + "\t\n" << 1024 << QStringList{ping};
        QTest::newRow("spaces around")      << "  " + ping.toUtf8() + "  \n" << 1024 << QStringList{ping};
        QTest::newRow("garbage between")    << "npm WARN something\n" + pingLine + "{broken\n" << 1024 << QStringList{u"!"_s, ping, u"!"_s};
        QTest::newRow("not an object")      << "[1,2]\n\"x\"\n42\nnull\n" + pingLine << 1024 << QStringList{u"!"_s, u"!"_s, u"!"_s, u"!"_s, ping};
        QTest::newRow("UTF-8 kept")         << "{\"t\":\"你好😀\"}\n"_ba << 1024 << QStringList{u"{\"t\":\"你好😀\"}"_s};
        QTest::newRow("overlong dropped")   << big + "\n" + pingLine << 64 << QStringList{u"!"_s, ping};
        QTest::newRow("overlong, at the end") << pingLine + big << 64 << QStringList{ping, u"!"_s};
        QTest::newRow("exactly the limit")  << big + "\n" << int(big.size()) << QStringList{QString::fromUtf8(big)};
        // clang-format on
    }

    void framing()
    {
        QFETCH(QByteArray, input);
        QFETCH(int, limit);
        QFETCH(QStringList, expected);
        QCOMPARE(readAll(input, limit, {input.size() + 1}), expected);
        QCOMPARE(readAll(input, limit, {1}), expected);
        for (int round = 0; round < 20; ++round) {
            QList<qsizetype> pieces;
            for (int i = 0; i < 8; ++i)
                pieces.append(QRandomGenerator::global()->bounded(1, 12));
            QCOMPARE(readAll(input, limit, pieces), expected);
        }
    }

    // An endless line costs no more memory than the limit allows, and what follows it is read.
    void endlessLineStaysBounded()
    {
        JsonRpcReader reader(4096);
        const QByteArray chunk(1000, 'x');
        for (int i = 0; i < 10000; ++i) {
            reader.append(chunk);
            QVERIFY(!reader.next());
        }
        reader.append("\n{\"id\":2}\n");
        const auto skipped = reader.next();
        QVERIFY(skipped && !skipped->problem.isEmpty());
        QVERIFY(skipped->problem.size() < 400);
        const auto message = reader.next();
        QVERIFY(message && message->problem.isEmpty());
        QCOMPARE(message->message.value("id"_L1).toInt(), 2);
    }
};

QTEST_GUILESS_MAIN(TestJsonRpcReader)
#include "tst_jsonrpcreader.moc"
