// SPDX-License-Identifier: GPL-3.0-or-later
// Code highlighting: fence labels to grammars, tokens to colours, the worker's queue, cache and
// time box, and a block that grows while it streams.
#include "markdown/highlighter.h"
#include "markdown/mdinline.h"
#include "markdown/quick/codehighlighter.h"
#include "markdown/quick/matchhighlighter.h"

#include <QAbstractTextDocumentLayout>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>

#include <memory>

namespace {

// The colours of a search mark, as the views give them.
const QColor markBackground(0xff, 0xd6, 0x0a);
const QColor markText(0x1d, 0x1d, 0x1f);

/// Gives a highlighter the mark's colours, as the views do.
void setMarkColours(MatchHighlighter &h)
{
    h.setMatchBackground(markBackground);
    h.setMatchText(markText);
}

/// The kind of the span covering the first occurrence of needle in code, or Plain.
SyntaxKind kindOf(const SyntaxSpans &spans, const QString &code, const QString &needle)
{
    const int at = int(code.indexOf(needle));
    for (const SyntaxSpan &s : spans)
        if (s.start <= at && at + needle.size() <= s.start + s.length)
            return s.kind;
    return SyntaxKind::Plain;
}

/// The format a highlighter gave the document at position pos.
QTextCharFormat formatAt(const QTextDocument &doc, int pos)
{
    const QTextBlock block = doc.findBlock(pos);
    for (const QTextLayout::FormatRange &r : block.layout()->formats())
        if (r.start <= pos - block.position() && pos - block.position() < r.start + r.length)
            return r.format;
    return {};
}

/// A colour of that format, or an invalid colour where it sets none.
QColor brushColour(const QTextCharFormat &format, QTextFormat::Property property)
{
    return format.hasProperty(property) ? format.brushProperty(property).color() : QColor();
}

/// The foreground colour the highlighter gave the document at position pos.
QColor colourAt(const QTextDocument &doc, int pos)
{
    return brushColour(formatAt(doc, pos), QTextFormat::ForegroundBrush);
}

/// The document's ranges marked as search matches, as "start+length" in document positions.
QString marked(const QTextDocument &doc)
{
    QList<std::pair<int, int>> ranges;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (const QTextLayout::FormatRange &r : b.layout()->formats()) {
            if (r.format.background().color() != markBackground)
                continue;
            const int start = b.position() + r.start;
            if (!ranges.isEmpty() && ranges.last().first + ranges.last().second == start)
                ranges.last().second += r.length;
            else
                ranges.append({start, r.length});
        }
    }
    QStringList out;
    for (const auto &[start, length] : ranges)
        out << QStringLiteral("%1+%2").arg(start).arg(length);
    return out.join(u' ');
}

/// A highlighter on its own document and service, set up as QML does; code, when given, is
/// set before the set-up completes.
struct Block
{
    HighlightService service;
    QTextDocument doc;
    CodeHighlighter h;

    explicit Block(const QString &language, const QString *code = nullptr)
    {
        h.setService(&service);
        setMarkColours(h);
        h.classBegin();
        h.attach(&doc);
        h.setLanguage(language);
        if (code)
            h.setCode(*code);
        h.componentComplete();
    }
};

} // namespace

class TstHighlighter : public QObject
{
    Q_OBJECT

private slots:
    void labels_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("grammar");
        // label>grammar; an empty grammar is plain text.
        const QString rows =
            QStringLiteral("python>python;py>python;JavaScript>javascript;C++>cpp;"
                           "shell>bash;c#>csharp;python title=\"a.py\">python;"
                           "js{1,3}>javascript;  rust >rust;>;no-such-language>;text>");
        for (const QString &row : rows.split(u';')) {
            const QStringList r = row.split(u'>');
            QTest::addRow("[%s]", qPrintable(r[0])) << r[0] << r[1];
        }
    }

    void labels()
    {
        QFETCH(QString, label);
        QFETCH(QString, grammar);
        QCOMPARE(HighlightEngine::grammarFor(label), grammar);
    }

    void tokens_data()
    {
        QTest::addColumn<QString>("grammar");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("needle");
        QTest::addColumn<int>("kind");

        const QString py = "def 问候(name):\n    # 说你好\n    return f\"你好 {name}\" + str(42)\n";
        // Surrogate pairs count as two positions, as in the text the view holds.
        const QString js = "const s = \"😀\"; // 😀😀\nlet n = 0x1F;\n";
        // A grammar that needs others loaded first (cpp needs c, which needs clike).
        const QString cpp = "#include <vector>\ntemplate <class T> class Box { T v; };\n";
        using K = SyntaxKind;
        // clang-format off
        QTest::newRow("python keyword")         << "python" << py << "def" << int(K::Keyword);
        QTest::newRow("python comment")         << "python" << py << "# 说你好" << int(K::Comment);
        QTest::newRow("python number")          << "python" << py << "42" << int(K::Number);
        QTest::newRow("python f-string")        << "python" << py << "你好 " << int(K::String);
        QTest::newRow("python plain name")      << "python" << py << "name)" << int(K::Plain);
        QTest::newRow("js string with emoji")   << "javascript" << js << "\"😀\"" << int(K::String);
        QTest::newRow("js number after emoji")  << "javascript" << js << "0x1F" << int(K::Number);
        QTest::newRow("cpp keyword")            << "cpp" << cpp << "template" << int(K::Keyword);
        QTest::newRow("cpp class name")         << "cpp" << cpp << "Box" << int(K::Type);
        QTest::newRow("bash")                   << "bash" << "echo \"$HOME\" # x" << "# x" << int(K::Comment);
        QTest::newRow("diff inserted")          << "diff" << "-a\n+b\n" << "+b" << int(K::Inserted);
        QTest::newRow("php after markup-templating") << "php" << "<?php echo 'x'; ?>" << "'x'" << int(K::String);
        // clang-format on
    }

    void tokens()
    {
        QFETCH(QString, grammar);
        QFETCH(QString, code);
        QFETCH(QString, needle);
        QFETCH(int, kind);
        const SyntaxSpans spans = m_engine.highlight(grammar, code);
        QVERIFY(!spans.isEmpty());
        QCOMPARE(int(kindOf(spans, code, needle)), kind);
        // Sorted, inside the text, never overlapping.
        int end = 0;
        for (const SyntaxSpan &s : spans) {
            QVERIFY(s.start >= end && s.length > 0);
            end = s.start + s.length;
        }
        QVERIFY(end <= code.size());
    }

    void limits()
    {
        QVERIFY(m_engine.highlight(QStringLiteral("no-such"), QStringLiteral("x = 1")).isEmpty());
        QVERIFY(m_engine.highlight(QString(), QStringLiteral("x = 1")).isEmpty());
        // Beyond the size cap the block stays plain instead of tokenising for seconds.
        const QString big =
            QStringLiteral("x = 1\n").repeated(HighlightEngine::maxCodeSize / 6 + 1);
        QVERIFY(m_engine.highlight(QStringLiteral("python"), big).isEmpty());
        QVERIFY(!m_engine.highlight(QStringLiteral("python"), big.left(600)).isEmpty());
    }

    // Waiting jobs of one requester collapse to the newest text; a text seen before is answered
    // from the cache without the worker.
    void serviceQueueAndCache()
    {
        HighlightService service;
        QObject a, b;
        QStringList doneA, doneB;
        const auto record = [](QStringList &into) {
            return [&into](const QString &code, const SyntaxSpans &) { into << code; };
        };
        service.request(&a, "python", "a = 1", record(doneA));  // starts at once
        service.request(&a, "python", "a = 12", record(doneA)); // waits
        service.request(&b, "python", "b = 1", record(doneB));
        service.request(&a, "python", "a = 123", record(doneA)); // replaces "a = 12"
        QTRY_COMPARE(doneB.size(), 1);
        QTRY_COMPARE(doneA, QStringList({"a = 1", "a = 123"}));
        QVERIFY(service.cached("python", "a = 123"));
        QVERIFY(!service.cached("python", "a = 12"));
        QVERIFY(!service.cached("javascript", "a = 123"));

        // A requester that is gone is not called back.
        {
            QObject gone;
            service.request(&gone, "python", "c = 1", [](const QString &, const SyntaxSpans &) {
                QFAIL("called back after its requester was destroyed");
            });
        }
        service.request(&a, "python", "d = 1", record(doneA));
        QTRY_COMPARE(doneA.last(), QStringLiteral("d = 1"));
    }

    // A job that runs past the time limit is interrupted: the block stays plain, and the worker
    // goes on with the next job.
    void timeBox()
    {
        HighlightService service;
        QObject requester;
        // The spans of code once the service has answered; none if it never does.
        const auto answer = [&](const QString &code) {
            auto spans = std::make_shared<std::optional<SyntaxSpans>>();
            service.request(&requester, "javascript", code,
                            [spans](const QString &, const SyntaxSpans &s) { *spans = s; });
            (void)QTest::qWaitFor([&] { return spans->has_value(); });
            return *spans;
        };
        // The engine and the grammar first, so that the limit falls on the tokenising.
        QVERIFY(answer(QStringLiteral("let w = 0;")));
        service.setTimeLimit(1);
        const auto big = answer(QStringLiteral("let s = `${a + \"b\"}`; // c\n").repeated(5000));
        QVERIFY(big && big->isEmpty());
        service.setTimeLimit(5000);
        const auto small = answer(QStringLiteral("let x = 1;"));
        QVERIFY(small && !small->isEmpty());
    }

    // The colours in a document, light and dark and on the bubble; switching off leaves it plain.
    void documentColours()
    {
        const QString code = QStringLiteral("int main() { return 0; }");
        Block block(QStringLiteral("c++"), &code);
        QTextDocument &doc = block.doc;
        CodeHighlighter &h = block.h;
        QTRY_VERIFY(h.highlighted());

        const QColor light = syntaxColor(SyntaxKind::Keyword, SyntaxPalette::Light);
        QCOMPARE(colourAt(doc, 0), light);
        h.setPalette(CodeHighlighter::Dark);
        const QColor dark = syntaxColor(SyntaxKind::Keyword, SyntaxPalette::Dark);
        QVERIFY(dark != light);
        QCOMPARE(colourAt(doc, 0), dark);
        QVERIFY(dark.lightness() > 128); // readable on a dark box
        h.setPalette(CodeHighlighter::OnAccent);
        QVERIFY(colourAt(doc, 0).lightness() > 160); // readable on the bubble's blue

        h.setActive(false);
        QVERIFY(!h.highlighted());
        QCOMPARE(colourAt(doc, 0), QColor());
        QCOMPARE(doc.toPlainText(), QStringLiteral("int main() { return 0; }"));
        h.setActive(true);
        QTRY_VERIFY(h.highlighted()); // from the cache
    }

    // Code that grows is appended: the lines already in the document keep their colours and
    // spacing without waiting for anything, and the new line is coloured when its tokens come.
    // Other code replaces the text; a changed line loses its colours, the others keep theirs.
    void streamingBlock()
    {
        const QString start = QStringLiteral("import os\n");
        Block block(QStringLiteral("python"), &start);
        QTextDocument &doc = block.doc;
        CodeHighlighter &h = block.h;
        h.setLineSpacing(2.5);
        QCOMPARE(doc.toPlainText(), start);
        QTRY_VERIFY(h.highlighted());
        const QColor keyword = syntaxColor(SyntaxKind::Keyword, SyntaxPalette::Light);

        QTextCursor inFirstLine(&doc);
        inFirstLine.setPosition(5);
        h.setCode(QStringLiteral("import os\nfor x in y:"));
        QCOMPARE(doc.toPlainText(), QStringLiteral("import os\nfor x in y:"));
        QCOMPARE(inFirstLine.position(), 5); // appended: setting the whole text would reset it
        QVERIFY(!h.highlighted());
        QCOMPARE(colourAt(doc, 0), keyword);
        QCOMPARE(colourAt(doc, 10), QColor());
        QCOMPARE(doc.lastBlock().blockFormat().lineHeight(), 2.5);
        QTRY_COMPARE(colourAt(doc, 10), keyword);

        h.setCode(QStringLiteral("impart os\nfor x in y:"));
        QCoreApplication::processEvents();
        QCOMPARE(colourAt(doc, 0), QColor());
        QCOMPARE(colourAt(doc, 10), keyword);

        // The line spacing holds for every line of every new text, highlighted or not.
        h.setActive(false);
        h.setCode(QStringLiteral("a\nb\nc"));
        for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
            QCOMPARE(b.blockFormat().lineHeight(), 2.5);
            QCOMPARE(b.blockFormat().lineHeightType(), int(QTextBlockFormat::LineDistanceHeight));
        }
    }

    // The colours of many new lines reach the layout as one change: one per line made each line
    // walk the whole document's layout again, which stalled a long streamed block for seconds.
    void manyLinesColouredAtOnce()
    {
        QString code;
        for (int i = 0; i < 200; ++i)
            code += QStringLiteral("x = %1\n").arg(i);
        Block block(QStringLiteral("python"), &code);
        QTextDocument &doc = block.doc;
        doc.setTextWidth(400); // laid out, as a TextEdit's document is
        QTRY_VERIFY(block.h.highlighted());
        const QColor number = colourAt(doc, 4);
        QVERIFY(number.isValid());
        int layoutChanges = 0;
        connect(doc.documentLayout(), &QAbstractTextDocumentLayout::update, this,
                [&layoutChanges] { ++layoutChanges; });
        for (int i = 200; i < 400; ++i)
            code += QStringLiteral("x = %1\n").arg(i);
        block.h.setCode(code);
        QCOMPARE(layoutChanges, 1); // the text appended
        QTRY_VERIFY(block.h.highlighted());
        QCOMPARE(layoutChanges, 2);
        QCOMPARE(colourAt(doc, doc.findBlockByNumber(399).position() + 4), number);
    }

    // Search matches are marked on the text the block shows (its rich text, or its code under
    // the code's colours), never across a line or a block, and go when the query does.
    void marks_data()
    {
        QTest::addColumn<QString>("language"); // "-": inline Markdown shown as rich text
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("marked");

        // clang-format off
        QTest::newRow("chinese across bold") << "-" << "西湖边的**西**湖醋鱼" << "西湖" << "0+2 4+2";
        QTest::newRow("full-width query") << "-" << "run `npm` now" << "ｎｐｍ" << "4+3";
        QTest::newRow("mixed case in a link") << "-" << "[Rust](https://r.rs) RUST" << "rust" << "0+4 5+4";
        QTest::newRow("entity shown") << "-" << "a &amp; b" << "A & B" << "0+5";
        QTest::newRow("across a line break none") << "-" << "foo\nbar" << "foo bar" << "";
        QTest::newRow("code under colours") << "py" << "def Main():\n    return main()" << "MAIN" << "4+4 23+4";
        QTest::newRow("code across lines none") << "" << "let a\n= 1" << "a =" << "";
        // clang-format on
    }

    void marks()
    {
        QFETCH(QString, language);
        QFETCH(QString, source);
        QFETCH(QString, query);
        const bool rich = language == u"-";
        std::unique_ptr<Block> code;
        QTextDocument text;
        MatchHighlighter plain;
        MatchHighlighter *h = &plain;
        if (rich) {
            text.setHtml(QStringLiteral("<p>") + mdInline(source) + QStringLiteral("</p>"));
            setMarkColours(plain);
            plain.attach(&text);
        } else {
            code = std::make_unique<Block>(language, &source);
            h = &code->h;
            if (!language.isEmpty())
                QTRY_VERIFY(code->h.highlighted());
        }
        const QTextDocument &doc = rich ? text : code->doc;
        h->setQuery(query);
        QTEST(marked(doc), "marked");
        if (!language.isEmpty() && !rich) // the code's own colours stay beside the marks
            QCOMPARE(colourAt(doc, 0), syntaxColor(SyntaxKind::Keyword, SyntaxPalette::Light));
        h->setQuery(QString());
        QCOMPARE(marked(doc), QString());
    }

    // A mark takes the colours given, whether they come before the query or after it (QML sets
    // properties in no fixed order); without colours it leaves the text's own, rather than
    // drawing black.
    void markColours_data()
    {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QColor>("background");
        QTest::addColumn<QColor>("text");
        QTest::newRow("colours, then query") << "colours query" << markBackground << markText;
        QTest::newRow("query, then colours") << "query colours" << markBackground << markText;
        QTest::newRow("no colours") << "query" << QColor() << QColor();
    }

    void markColours()
    {
        QFETCH(QString, steps);
        QTextDocument doc;
        doc.setPlainText(QStringLiteral("find me"));
        MatchHighlighter h;
        h.attach(&doc);
        for (const QString &step : steps.split(u' ')) {
            if (step == u"query")
                h.setQuery(QStringLiteral("me"));
            else
                setMarkColours(h);
        }
        QFETCH(QColor, background);
        QFETCH(QColor, text);
        const QTextCharFormat mark = formatAt(doc, 5);
        QCOMPARE(mark.hasProperty(QTextFormat::BackgroundBrush), background.isValid());
        QCOMPARE(mark.hasProperty(QTextFormat::ForegroundBrush), text.isValid());
        QCOMPARE(brushColour(mark, QTextFormat::BackgroundBrush), background);
        QCOMPARE(brushColour(mark, QTextFormat::ForegroundBrush), text);
        QVERIFY(!formatAt(doc, 0).hasProperty(QTextFormat::BackgroundBrush));
    }

private:
    HighlightEngine m_engine;
};

QTEST_MAIN(TstHighlighter)
#include "tst_highlighter.moc"
