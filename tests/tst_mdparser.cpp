// SPDX-License-Identifier: GPL-3.0-or-later
#include "markdown/mdparser.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// Blocks in one line: P‹text›, H2‹text›, C[lang]‹code›, B[indent‹text›,...],
// O[indent num‹text›,...], Q‹text›, T[‹cell›‹cell›/...], R, M‹TeX›; ⏎ is a line feed, ⇥ a tab, ␍ a
// CR.
QString shown(QString s)
{
    return u'‹' + s.replace(u'\n', u'⏎').replace(u'\t', u'⇥').replace(u'\r', u'␍') + u'›';
}

QString dump(const QList<MDBlock> &blocks)
{
    QStringList out;
    for (const MDBlock &b : blocks) {
        QStringList parts;
        for (const MDBlock::Item &item : b.items)
            parts << QString::number(item.indent) + (item.num.isEmpty() ? u""_s : u' ' + item.num) +
                         shown(item.text);
        for (const QStringList &row : b.rows) {
            QString cells;
            for (const QString &cell : row)
                cells += shown(cell);
            parts << cells;
        }
        switch (b.kind) {
        case MDBlock::Paragraph:
            out << u'P' + shown(b.text);
            break;
        case MDBlock::Heading:
            out << u'H' + QString::number(b.level) + shown(b.text);
            break;
        case MDBlock::Code:
            out << u"C["_s + b.lang + u']' + shown(b.code);
            break;
        case MDBlock::Quote:
            out << u'Q' + shown(b.text);
            break;
        case MDBlock::Rule:
            out << u"R"_s;
            break;
        case MDBlock::Math:
            out << u'M' + shown(b.text);
            break;
        case MDBlock::Bullets:
            out << u"B["_s + parts.join(u',') + u']';
            break;
        case MDBlock::Ordered:
            out << u"O["_s + parts.join(u',') + u']';
            break;
        case MDBlock::Table:
            out << u"T["_s + parts.join(u'/') + u']';
            break;
        }
    }
    return out.join(u" | ");
}

} // namespace

class TestMDParser : public QObject
{
    Q_OBJECT

private slots:
    // That every line inside a fence stays in its block, and that resuming a growing text gives
    // a full parse's blocks, the parser fuzzer checks on every input.
    void parse_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("blocks");
        // clang-format off
        // Nothing found: the whole input, unchanged.
        QTest::newRow("empty") << "" << "P‹›";
        QTest::newRow("blank lines only") << "\n  \n\t" << "P‹⏎  ⏎⇥›";

        QTest::newRow("headings") << "# Title\n#  T  \n###### x\n\t  ## y\n\u3000# 标题\u3000"
            << "H1‹Title› | H1‹T› | H6‹x› | H2‹y› | H1‹标题›";
        QTest::newRow("not headings") << "####### x\n#Title\n#\tT\n#\u00A0x\n#\n## "
            << "P‹####### x⏎#Title⏎#⇥T⏎#\u00A0x⏎#⏎##›";
        QTest::newRow("lines join, no setext heading") << "line one\nline two\n---"
            << "P‹line one⏎line two› | R";
        QTest::newRow("rules and look-alikes") << "***\n___\n----\n\n- - -\n\n* * *"
            << "R | R | P‹----› | B[0‹- -›] | B[0‹* *›]";

        QTest::newRow("unclosed fence keeps the last line") << "```\n  x\n" << "C[]‹  x⏎›";
        QTest::newRow("fence opened on the last line") << "```json" << "C[json]‹›";
        QTest::newRow("four backticks") << "````\nx" << "C[`]‹x›";
        QTest::newRow("language trimmed") << "```  c++ \t\nx\n```" << "C[c++]‹x›";
        QTest::newRow("fence closes a paragraph") << "para\n```\ncode\n```\nafter"
            << "P‹para› | C[]‹code› | P‹after›";
        QTest::newRow("indented marker with a tag closes") << "```\na\n   ```js\nb"
            << "C[]‹a› | P‹b›";

        QTest::newRow("bullets then ordered") << "- a\n* b\n+ c\n1. d"
            << "B[0‹a›,0‹b›,0‹c›] | O[0 1‹d›]";
        QTest::newRow("ordered then bullet") << "1. a\n  - b" << "O[0 1‹a›] | B[1‹b›]";
        QTest::newRow("indent levels") << "- a\n  - b\n   - c\n    - d\n        - e\n\t- f\n \t - g"
            << "B[0‹a›,1‹b›,1‹c›,2‹d›,3‹e›,0‹f›,0‹g›]";
        QTest::newRow("no lazy continuation") << "- a\ncontinued" << "B[0‹a›] | P‹continued›";
        QTest::newRow("marker spacing") << "-  x\n2.  y\n\n- " << "B[0‹ x›] | O[0 2‹ y›] | P‹-›";
        QTest::newRow("numbers") << "1) a\n007. b\n１２. c\n一. d\n①. e"
            << "O[0 1‹a›,0 007‹b›,0 １２‹c›,0 一‹d›,0 ①‹e›]";
        QTest::newRow("not numbers") << "1234. a\n1.a\n1.\n一二三四. x\n一、y\na. z"
            << "P‹1234. a⏎1.a⏎1.⏎一二三四. x⏎一、y⏎a. z›";

        QTest::newRow("quotes") << "> a\n>b\n>\n> > c\nd" << "Q‹a⏎b⏎⏎> c› | P‹d›";
        QTest::newRow("blank line splits quotes") << "> a\n\n> b" << "Q‹a› | Q‹b›";

        QTest::newRow("table cells")
            << "|a|b\n| a |  ||\n| `a|b` |\n| : |\n| -- | x |\n| --- | |\n||\n|\u3000a\t|\u00A0b |"
            << "T[‹a›‹b›/‹a›‹›‹›/‹`a›‹b`›/‹:›/‹--›‹x›/‹---›‹›/‹›/‹a›‹b›]";
        QTest::newRow("delimiter rows anywhere") << "|:-:|-|\n| x |\n| - | :--- |\n| y |"
            << "T[‹x›/‹y›]";
        QTest::newRow("delimiter rows only") << "|---|\n|:-:|" << "T[]";
        QTest::newRow("lone pipe") << "|" << "T[‹›]";
        QTest::newRow("table needs a leading pipe") << "a | b\n| c |" << "P‹a | b› | T[‹c›]";
        QTest::newRow("ragged rows, blank line splits") << "| a | b |\n| 1 |\n\n| c |"
            << "T[‹a›‹b›/‹1›] | T[‹c›]";

        QTest::newRow("no indented code, no tilde fence") << "    indented\n~~~\nx"
            << "P‹indented⏎~~~⏎x›";
        QTest::newRow("heading between bullets") << "- a\n# h\n- b" << "B[0‹a›] | H1‹h› | B[0‹b›]";

        // A carriage return before a line feed belongs to the line end.
        QTest::newRow("CRLF")
            << "# T\r\n\r\npara\r\nline\r\n---\r\n```js\r\ncode\r\n```\r\n- a\r\n"
               "\r\n| a |\r\n|---|\r\n"
            << "H1‹T› | P‹para⏎line› | R | C[js]‹code› | B[0‹a›] | T[‹a›]";
        QTest::newRow("CRLF only") << "\r\n" << "P‹␍⏎›";
        QTest::newRow("lone CRs stay") << "a\rb\r" << "P‹a␍b␍›";

        // Markers are whole user-perceived characters.
        QTest::newRow("emoji next to markers") << "- 👍 ok\n## 👨‍👩‍👧 家"
            << "B[0‹👍 ok›] | H2‹👨‍👩‍👧 家›";
        QTest::newRow("combining marks and joiners on markers")
            << "-\u0301 x\n- \u0301x\n- \u200Dx\n#\u0301 x\n# \u0301x\n>\u0338 a\n|\u0301 a |\n"
               "1.\u0301 a\n``\u0060\u0301x\n \u0301- a"
            << "P‹-\u0301 x⏎- \u0301x⏎- \u200Dx⏎#\u0301 x⏎# \u0301x⏎>\u0338 a⏎|\u0301 a |⏎"
               "1.\u0301 a⏎``\u0060\u0301x⏎\u0301- a›";
        QTest::newRow("accented digit is numeric") << "1\u0301. a" << "O[0 1\u0301‹a›]";
        // clang-format on
    }

    void parse()
    {
        QFETCH(QString, text);
        QFETCH(QString, blocks);
        QCOMPARE(dump(MDParser::parse(text)), blocks);
    }

    // Display formulas become blocks of their own; without math the same texts parse as
    // before. An open formula holds the lines after it only while it can close: when its
    // closer follows before a blank line or a fence, or, while the reply streams, when the
    // text ends first. A finished text whose formula never closes reads as without math.
    void math_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("withMath");
        QTest::addColumn<QString>("streaming"); // with math, still arriving; "=": as withMath
        QTest::addColumn<QString>("withoutMath"); // "=": as withMath
        // clang-format off
        QTest::newRow("both display forms split a paragraph") << "前文 $$x$$ 后文\n\\[ y \\]"
            << "P‹前文› | M‹x› | P‹后文› | M‹y›" << "=" << "P‹前文 $$x$$ 后文⏎\\[ y \\]›";
        QTest::newRow("inline forms stay in the paragraph") << "a $x$ and \\(y\\)"
            << "P‹a $x$ and \\(y\\)›" << "=" << "=";
        QTest::newRow("an open formula takes the lines of other blocks") << "$$\n\\begin{matrix}\n- a\n# b\n| c |\n\\end{matrix}\n$$\nafter"
            << "M‹\\begin{matrix}⏎- a⏎# b⏎| c |⏎\\end{matrix}› | P‹after›" << "=" << "P‹$$⏎\\begin{matrix}› | B[0‹a›] | H1‹b› | T[‹c›] | P‹\\end{matrix}⏎$$⏎after›";
        QTest::newRow("unclosed at a blank line") << "\\[\na\n- b\n\n- c"
            << "P‹\\[⏎a› | B[0‹b›] | B[0‹c›]" << "=" << "=";
        QTest::newRow("unclosed before a fence") << "$$ a\n# b\n```\nc\n```"
            << "P‹$$ a› | H1‹b› | C[]‹c›" << "=" << "=";
        QTest::newRow("unclosed at the end") << "Total: $$ saved\n- apples\n- pears\n## Next\n> quoted"
            << "P‹Total: $$ saved› | B[0‹apples›,0‹pears›] | H2‹Next› | Q‹quoted›" << "P‹Total: $$ saved⏎- apples⏎- pears⏎## Next⏎> quoted›" << "=";
        QTest::newRow("unclosed bracket on one line") << "see \\[ here\n# h"
            << "P‹see \\[ here› | H1‹h›" << "P‹see \\[ here⏎# h›" << "=";
        QTest::newRow("one closes, the next does not") << "$$ a\n# h\n$$ b $$\n# c"
            << "M‹a⏎# h› | P‹b $$› | H1‹c›" << "M‹a⏎# h› | P‹b $$⏎# c›" << "P‹$$ a› | H1‹h› | P‹$$ b $$› | H1‹c›";
        QTest::newRow("an inline formula does not close a display one") << "a \\( b $$ c\n# h \\) d"
            << "P‹a \\( b $$ c› | H1‹h \\) d›" << "P‹a \\( b $$ c⏎# h \\) d›" << "=";
        QTest::newRow("a code span that comes later hides the opener") << "x `` y\n$$ a\n# h\n$$\nz `` w"
            << "P‹x `` y⏎$$ a› | H1‹h› | P‹$$⏎z `` w›" << "=" << "=";
        QTest::newRow("plain lines of an unclosed formula") << "x\n$$\na^2" << "P‹x⏎$$⏎a^2›"
            << "=" << "=";
        QTest::newRow("code spans and fences keep their dollars") << "`$$x$$`\n```\n$$y$$\n```"
            << "P‹`$$x$$`› | C[]‹$$y$$›" << "=" << "=";
        QTest::newRow("items, quotes and cells typeset inline") << "- $$x$$\n> $$y$$\n| $$z$$ |"
            << "B[0‹$$x$$›] | Q‹$$y$$› | T[‹$$z$$›]" << "=" << "=";
        QTest::newRow("escaped and empty are no formulas") << "\\$$x$$ $$ $$" << "P‹\\$$x$$ $$ $$›"
            << "=" << "=";
        // clang-format on
    }

    void math()
    {
        QFETCH(QString, text);
        QFETCH(QString, withMath);
        QFETCH(QString, streaming);
        QFETCH(QString, withoutMath);
        QCOMPARE(dump(MDParser::parse(text)), withMath);
        QCOMPARE(dump(MDParser::parse(text, true, true)), streaming == u"=" ? withMath : streaming);
        const QString without = withoutMath == u"=" ? withMath : withoutMath;
        QCOMPARE(dump(MDParser::parse(text, false)), without);
        QCOMPARE(dump(MDParser::parse(text, false, true)), without);
    }

    void resumeInsideFence_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qsizetype>("offset");
        QTest::addColumn<qsizetype>("blocks");
        QTest::addColumn<QString>("code");
        QTest::newRow("growing block") << u"intro\n\n```cpp\na\nb\nc"_s << qsizetype(18)
                                       << qsizetype(1) << u"a\nb"_s;
        QTest::newRow("after a line end") << u"```\na\r\n"_s << qsizetype(7) << qsizetype(0)
                                          << u"a"_s;
        QTest::newRow("fence line last") << u"```py"_s << qsizetype(0) << qsizetype(0) << QString();
    }

    // A code block still arriving is read again from its last line, not from its fence: the
    // point lies inside the fence with what it has gathered.
    void resumeInsideFence()
    {
        QFETCH(QString, text);
        QFETCH(qsizetype, offset);
        QFETCH(qsizetype, blocks);
        QFETCH(QString, code);
        MDParser::ResumePoint point;
        MDParser::parseTail(text, {}, &point, true, true);
        QCOMPARE(point.offset, offset);
        QCOMPARE(point.blocks, blocks);
        QCOMPARE(point.fence.has_value(), offset > 0);
        if (point.fence)
            QCOMPARE(point.fence->code, code);
    }

    // Resuming at the last resume point of any prefix, after any change behind that point, gives
    // exactly the blocks of a full parse.
    void resumeMatchesFullParse()
    {
        const QString text =
            u"# Title\r\n\r\nintro\nsecond\n\n- a\n  - b\n1. c\n> q\n> r\n\n| a | b |\n"
            "|---|---|\n| 1 | 2 |\n---\n```py\nx = 1\n\n# no heading\n```\ntail\n\n"
            "$$\n- x\n$$ y $z$\n\n"
            "```\nunclosed\n"_s;
        const QStringList inserts{"\n",    "\n\n", "```", "# ",   "- ", "$$",
                                  "| x |", "> ",   "---", "\r\n", "w",  "\\["};
        QRandomGenerator rng(20240605);
        for (qsizetype k = 0; k <= text.size(); ++k) {
            MDParser::ResumePoint point;
            const QList<MDBlock> before = MDParser::parseTail(text.left(k), {}, &point);
            QVERIFY(point.offset <= k && point.blocks <= before.size());
            QString edited = text;
            edited.insert(point.offset + rng.bounded(int(text.size() - point.offset) + 1),
                          inserts[rng.bounded(int(inserts.size()))]);
            for (const QString &after : {text, edited, text.left(point.offset) + u'x'}) {
                const QList<MDBlock> tail = MDParser::parseTail(after, point, nullptr);
                QCOMPARE(dump(before.first(point.blocks) + tail), dump(MDParser::parse(after)));
            }
        }
    }

    void pathological_data()
    {
        QTest::addColumn<int>("n");
        QTest::newRow("1000") << 1000;
        QTest::newRow("100000") << 100000;
    }

    // Each input must finish (the parser is linear) and give the expected blocks.
    void pathological()
    {
        QFETCH(int, n);
        QList<MDBlock> b = MDParser::parse(u"> "_s.repeated(n) + u'x');
        QCOMPARE(b.size(), 1);
        QCOMPARE(b[0].text, u"> "_s.repeated(n - 1) + u'x');

        b = MDParser::parse(u">\n"_s.repeated(n));
        QCOMPARE(b.size(), 1);
        QCOMPARE(b[0].text, QString(n - 1, u'\n'));

        QCOMPARE(MDParser::parse(u"- a\n1. b\n"_s.repeated(n / 2)).size(), n / 2 * 2);
        QCOMPARE(MDParser::parse(QString(n, u'|')).value(0).rows.value(0).size(), n - 1);
        QCOMPARE(MDParser::parse(QString(n, u'#') + u" x"_s).value(0).kind, MDBlock::Paragraph);
        QCOMPARE(MDParser::parse(u"```\n"_s + u"`\n"_s.repeated(n)).value(0).code.size(), 2 * n);

        // One user-perceived character of any length before the marker.
        b = MDParser::parse(u'1' + QString(n, u'\u0301') + u". a"_s);
        QCOMPARE(b[0].items.value(0).num.size(), n + 1);
    }
};

QTEST_GUILESS_MAIN(TestMDParser)
#include "tst_mdparser.moc"
