// SPDX-License-Identifier: GPL-3.0-or-later
// The pieces a long code block is drawn in: where they begin and end, how they follow a block
// that grows (or changes), and the block's one token list coloured across their boundaries.
#include "markdown/quick/codehighlighter.h"
#include "markdown/quick/codesource.h"

#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <memory>

namespace {

/// "start-end" of each piece, and "+" where a line break separates it from the next.
QString describe(const QList<CodePieces::Piece> &pieces)
{
    QStringList out;
    for (const CodePieces::Piece &p : pieces)
        out << QStringLiteral("%1-%2%3").arg(p.start).arg(p.end).arg(p.next > p.end ? "+" : "");
    return out.join(u' ');
}

/// `count` lines "x" (or of `width` x's), each ended by a line break.
QString lines(int count, int width = 1)
{
    return (QString(width, u'x') + u'\n').repeated(count);
}

/// Cuts text into deltas of these lengths, repeated until it is used up.
QStringList cut(const QString &text, const QList<int> &lengths)
{
    QStringList parts;
    for (qsizetype at = 0, i = 0; at < text.size(); ++i) {
        const qsizetype n = lengths.at(i % lengths.size());
        parts << text.mid(at, n);
        at += n;
    }
    return parts;
}

/// The foreground colour a highlighter gave the document at position pos.
QColor colourAt(const QTextDocument &doc, int pos)
{
    const QTextBlock block = doc.findBlock(pos);
    for (const QTextLayout::FormatRange &r : block.layout()->formats())
        if (r.start <= pos - block.position() && pos - block.position() < r.start + r.length)
            return r.format.foreground().color();
    return {};
}

} // namespace

class TstCodePieces : public QObject
{
    Q_OBJECT

private slots:
    // Where the pieces of a text end: after maxLines lines, at the last line break before
    // maxChars characters, or inside a line longer than that.
    void split_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("pieces");
        constexpr int maxLines = int(CodePieces::maxLines);
        constexpr int maxChars = int(CodePieces::maxChars);
        const int longLength = 2 * maxChars + 7000;
        const QString long1 = QString(longLength, u'a');
        QString surrogateAtCut = QString(maxChars - 1, u'a') + QStringLiteral("😀") + "b";

        const int n = 2 * maxLines; // the characters of a piece of lines "x"
        // Lines of 200 characters: the last line break within maxChars ends the piece.
        const int wideBreak = (maxChars + 1) / 200 * 200 - 1;
        const auto range = [](int a, int b, bool broken) {
            return QStringLiteral("%1-%2%3").arg(a).arg(b).arg(broken ? "+" : "");
        };
        // clang-format off
        QTest::newRow("empty") << QString() << "0-0";
        QTest::newRow("below one piece") << lines(10) << "0-20";
        QTest::newRow("one line short of a piece") << lines(maxLines - 1) + "x"
                                                   << range(0, n - 1, false);
        QTest::newRow("exactly one piece, then an empty last line")
            << lines(maxLines) << range(0, n - 1, true) + u' ' + range(n, n, false);
        QTest::newRow("across one")
            << lines(maxLines + 5) << range(0, n - 1, true) + u' ' + range(n, n + 10, false);
        QTest::newRow("across two") << lines(2 * maxLines + 1)
            << range(0, n - 1, true) + u' ' + range(n, 2 * n - 1, true) + u' ' +
               range(2 * n, 2 * n + 2, false);
        QTest::newRow("long lines end at the last break within maxChars")
            << lines(maxLines / 2, 199)
            << range(0, wideBreak, true) + u' ' + range(wideBreak + 1, maxLines * 100, false);
        QTest::newRow("a line longer than a piece is cut") << long1
            << range(0, maxChars, false) + u' ' + range(maxChars, 2 * maxChars, false) + u' ' +
               range(2 * maxChars, longLength, false);
        QTest::newRow("after short lines, the long line begins a piece") << "ab\n" + long1
            << QStringLiteral("0-2+ ") + range(3, 3 + maxChars, false) + u' ' +
               range(3 + maxChars, 3 + 2 * maxChars, false) + u' ' +
               range(3 + 2 * maxChars, 3 + longLength, false);
        QTest::newRow("never between the halves of a character") << surrogateAtCut
            << range(0, maxChars - 1, false) + u' ' + range(maxChars - 1, maxChars + 2, false);
        // clang-format on
    }

    void split()
    {
        QFETCH(QString, code);
        QTEST(describe(CodePieces::split(code)), "pieces");
    }

    // A block that grows, in deltas of every size, has the pieces the whole text would have; a
    // piece once closed never changes; rows are only added at the end, and only the last piece
    // before them is told of a change.
    void grows_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QList<int>>("deltas");
        QTest::addColumn<int>("count");
        const QString mixed =
            lines(150, 30) + QString(20'000, u'b') + u'\n' + lines(250, 3) + QString(100, u'c');
        constexpr int maxLines = int(CodePieces::maxLines);
        // -1: as many as the whole text has.
        QTest::newRow("line by line across one") << lines(maxLines + 10) << QList<int>{2} << 2;
        QTest::newRow("ends exactly at one") << lines(maxLines) << QList<int>{2} << 2;
        QTest::newRow("one delta across two")
            << lines(2 * maxLines + 50) << QList<int>{20, 4 * maxLines} << 3;
        QTest::newRow("shared deltas' lengths") << mixed << QList<int>{1, 7, 3, 40, 12} << -1;
        QTest::newRow("a long line in big deltas") << mixed << QList<int>{5000} << -1;
    }

    void grows()
    {
        QFETCH(QString, code);
        QFETCH(QList<int>, deltas);
        CodePieces pieces;
        QList<CodePieces::Piece> closed;
        int before = 0;
        int inserted = 0;
        connect(&pieces, &QAbstractItemModel::rowsInserted, this,
                [&](const QModelIndex &, int first, int last) {
                    QCOMPARE(first, before);
                    inserted += last - first + 1;
                });
        connect(&pieces, &QAbstractItemModel::rowsRemoved, this,
                [] { QFAIL("a growing block lost a piece"); });
        connect(&pieces, &QAbstractItemModel::dataChanged, this,
                [&](const QModelIndex &from, const QModelIndex &) {
                    QVERIFY(from.row() >= closed.size()); // a closed piece stays as it is
                });
        QString text;
        for (const QString &delta : cut(code, deltas)) {
            text += delta;
            pieces.setCode(text);
            QCOMPARE(pieces.pieces().first(closed.size()), closed);
            closed = pieces.pieces().first(pieces.count() - 1);
            before = pieces.count();
        }
        QCOMPARE(describe(pieces.pieces()), describe(CodePieces::split(code)));
        QFETCH(int, count);
        if (count >= 0)
            QCOMPARE(pieces.count(), count);
        QVERIFY(pieces.count() > 2 || count >= 0);
        QCOMPARE(inserted, pieces.count());
    }

    // Code that changes anywhere but at its end (a line taken back, a fence closed) has the
    // pieces of its new text; the pieces before the change are left alone.
    void changes()
    {
        CodePieces pieces;
        const QString code = lines(4 * int(CodePieces::maxLines) + 50);
        pieces.setCode(code);
        QSignalSpy changed(&pieces, &QAbstractItemModel::dataChanged);
        QSignalSpy removed(&pieces, &QAbstractItemModel::rowsRemoved);
        QString shorter = code;
        shorter.remove(6 * int(CodePieces::maxLines) + 50, 20); // ten lines of the fourth piece
        pieces.setCode(shorter);
        QCOMPARE(describe(pieces.pieces()), describe(CodePieces::split(shorter)));
        QCOMPARE(changed.size(), 1);
        // The fourth piece keeps its range (its text changed); the last one is shorter.
        QCOMPARE(changed.first().first().toModelIndex().row(), pieces.count() - 1);
        pieces.setCode(lines(10));
        QCOMPARE(describe(pieces.pieces()), QStringLiteral("0-20"));
        QCOMPARE(removed.size(), 1);
        QCOMPARE(pieces.pieceAt(0), 0);
    }

    // The block's one token list colours each piece: a string that opens in one piece and
    // closes in the next is a string on both sides, and a piece's first line takes the tokens
    // of its place in the block. A search's first match is found in whichever piece it is.
    void coloursAcrossPieces()
    {
        HighlightService service;
        CodeSource source;
        source.setService(&service);
        source.classBegin();
        source.setLanguage(QStringLiteral("python"));
        // Line 200 (the first of the second piece) is inside a string opened on line 199.
        const QString code = QStringLiteral("x = 1\n").repeated(int(CodePieces::maxLines) - 1) +
                             QStringLiteral("s = \"\"\"open\nstill inside\"\"\"\ny = 2\n") +
                             QStringLiteral("z = 3\n").repeated(int(CodePieces::maxLines) + 50) +
                             QStringLiteral("needle");
        source.setCode(code);
        source.componentComplete();
        QCOMPARE(source.pieces()->count(), 3);

        std::vector<std::unique_ptr<QTextDocument>> docs;
        std::vector<std::unique_ptr<CodeHighlighter>> pieces;
        for (const CodePieces::Piece &p : source.pieces()->pieces()) {
            docs.push_back(std::make_unique<QTextDocument>());
            auto h = std::make_unique<CodeHighlighter>();
            h->classBegin();
            h->attach(docs.back().get());
            h->setSource(&source);
            h->setStart(int(p.start));
            h->setEnd(int(p.end));
            h->componentComplete();
            pieces.push_back(std::move(h));
        }
        QCOMPARE(docs[1]->toPlainText(),
                 code.mid(source.pieces()->pieces().at(1).start, source.pieces()->text(1).size()));
        QTRY_VERIFY(pieces[0]->highlighted() && pieces[1]->highlighted());
        QVERIFY(pieces[2]->highlighted());

        const QColor string = syntaxColor(SyntaxKind::String, SyntaxPalette::Light);
        const QColor number = syntaxColor(SyntaxKind::Number, SyntaxPalette::Light);
        const QTextDocument &first = *docs[0];
        QCOMPARE(colourAt(first, first.lastBlock().position() + 6), string); // "open
        QCOMPARE(colourAt(*docs[1], 0), string);                             // still inside
        QCOMPARE(colourAt(*docs[1], docs[1]->findBlockByNumber(1).position() + 4), number);

        const int needle = source.firstMatch(QStringLiteral("NEEDLE"));
        QCOMPARE(needle, int(code.size() - 6));
        QCOMPARE(source.pieces()->pieceAt(needle), 2);
    }
};

QTEST_MAIN(TstCodePieces)
#include "tst_codepieces.moc"
