// SPDX-License-Identifier: GPL-3.0-or-later
#include "markdown/mdparser.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// One line per block kind, readable in a table: P‹text›, H2‹text›, C[lang]‹code›,
// B[indent‹text›,...], O[indent num‹text›,...], Q‹text›, T[‹cell›‹cell›/...], R.
// Line feeds show as ⏎, tabs as ⇥, carriage returns as ␍.
QString shown(QString s)
{
    return u'‹' + s.replace(u'\n', u'⏎').replace(u'\t', u'⇥').replace(u'\r', u'␍') + u'›';
}

QString dump(const QList<MDBlock> &blocks)
{
    QStringList out;
    for (const MDBlock &b : blocks) {
        QString s;
        QStringList parts;
        switch (b.kind) {
        case MDBlock::Paragraph:
            s = u'P' + shown(b.text);
            break;
        case MDBlock::Heading:
            s = u'H' + QString::number(b.level) + shown(b.text);
            break;
        case MDBlock::Code:
            s = u"C["_s + b.lang + u']' + shown(b.code);
            break;
        case MDBlock::Quote:
            s = u'Q' + shown(b.text);
            break;
        case MDBlock::Rule:
            s = u"R"_s;
            break;
        case MDBlock::Bullets:
        case MDBlock::Ordered:
            for (const MDBlock::Item &item : b.items) {
                parts << QString::number(item.indent) +
                             (item.num.isEmpty() ? QString() : u' ' + item.num) + shown(item.text);
            }
            s = (b.kind == MDBlock::Bullets ? u"B["_s : u"O["_s) + parts.join(u',') + u']';
            break;
        case MDBlock::Table:
            for (const QStringList &row : b.rows) {
                QString r;
                for (const QString &cell : row)
                    r += shown(cell);
                parts << r;
            }
            s = u"T["_s + parts.join(u'/') + u']';
            break;
        }
        out << s;
    }
    return out.join(u" | ");
}

QString fence(const QString &s)
{
    return QString(s).replace(u"⟨fence⟩"_s, u"```"_s);
}

} // namespace

class TestMDParser : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void tableRows_data();
    void tableRows();
    void listMarkers_data();
    void listMarkers();
    void resumeMatchesFullParse();
    void pathological_data();
    void pathological();
};

void TestMDParser::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("blocks");

    // Nothing found: the whole input, unchanged.
    QTest::newRow("empty") << ""
                           << "P‹›";
    QTest::newRow("blank lines only") << "\n\n"
                                      << "P‹⏎⏎›";
    QTest::newRow("spaces and tabs only") << "  \n\t"
                                          << "P‹  ⏎⇥›";

    QTest::newRow("heading") << "# Title"
                             << "H1‹Title›";
    QTest::newRow("heading trimmed") << "#  Title  "
                                     << "H1‹Title›";
    QTest::newRow("heading 6") << "###### x"
                               << "H6‹x›";
    QTest::newRow("heading 7 is text") << "####### x"
                                       << "P‹####### x›";
    QTest::newRow("no space after #") << "#Title"
                                      << "P‹#Title›";
    QTest::newRow("tab after #") << "#\tTitle"
                                 << "P‹#⇥Title›";
    QTest::newRow("no-break space after #") << "#\u00A0x"
                                            << "P‹#\u00A0x›";
    QTest::newRow("lone #") << "#"
                            << "P‹#›";
    QTest::newRow("## and space") << "## "
                                  << "P‹##›";
    QTest::newRow("ideographic spaces trimmed") << "\u3000# 标题\u3000"
                                                << "H1‹标题›";
    QTest::newRow("indented heading") << "\t  ## x"
                                      << "H2‹x›";

    QTest::newRow("lines join") << "line one\nline two"
                                << "P‹line one⏎line two›";
    QTest::newRow("no setext heading") << "text\n---"
                                       << "P‹text› | R";
    QTest::newRow("four dashes") << "----"
                                 << "P‹----›";
    QTest::newRow("rules") << "***\n___"
                           << "R | R";
    QTest::newRow("spaced dashes are a bullet") << "- - -"
                                                << "B[0‹- -›]";
    QTest::newRow("spaced stars are a bullet") << "* * *"
                                               << "B[0‹* *›]";

    QTest::newRow("fence") << fence("⟨fence⟩json\n{}\n⟨fence⟩") << "C[json]‹{}›";
    QTest::newRow("unclosed fence keeps last line") << fence("⟨fence⟩\n  x\n") << "C[]‹  x⏎›";
    QTest::newRow("fence opened on last line") << fence("⟨fence⟩json") << "C[json]‹›";
    QTest::newRow("four backticks") << "````\nx"
                                    << "C[`]‹x›";
    QTest::newRow("fence language trimmed") << fence("⟨fence⟩  c++ \t\nx\n⟨fence⟩") << "C[c++]‹x›";
    QTest::newRow("paragraph closed by fence")
        << fence("para\n⟨fence⟩\ncode\n⟨fence⟩\nafter") << "P‹para› | C[]‹code› | P‹after›";
    QTest::newRow("block syntax inside fence")
        << fence("⟨fence⟩\n# h\n- a\n---\n\n> q\n| t |\n⟨fence⟩") << "C[]‹# h⏎- a⏎---⏎⏎> q⏎| t |›";
    QTest::newRow("code lines verbatim") << fence("⟨fence⟩\n\t  a  \n⟨fence⟩") << "C[]‹⇥  a  ›";
    QTest::newRow("indented marker with tag closes")
        << fence("⟨fence⟩\na\n   ⟨fence⟩js\nb") << "C[]‹a› | P‹b›";
    QTest::newRow("fence inside list run")
        << fence("- a\n⟨fence⟩\nx\n⟨fence⟩\n- b") << "B[0‹a›] | C[]‹x› | B[0‹b›]";
    QTest::newRow("two fences") << fence("⟨fence⟩a\n⟨fence⟩\n⟨fence⟩b\n⟨fence⟩")
                                << "C[a]‹› | C[b]‹›";

    QTest::newRow("bullets then ordered") << "- a\n- b\n1. c"
                                          << "B[0‹a›,0‹b›] | O[0 1‹c›]";
    QTest::newRow("ordered then bullet") << "1. a\n  - b"
                                         << "O[0 1‹a›] | B[1‹b›]";
    QTest::newRow("bullet markers mix") << "- a\n* b\n+ c"
                                        << "B[0‹a›,0‹b›,0‹c›]";
    QTest::newRow("indent levels") << "- a\n  - b\n    - c\n        - d"
                                   << "B[0‹a›,1‹b›,2‹c›,3‹d›]";
    QTest::newRow("three spaces") << "   - a"
                                  << "B[1‹a›]";
    QTest::newRow("tab indent counts nothing") << "\t- a"
                                               << "B[0‹a›]";
    QTest::newRow("space after tab not counted") << " \t - a"
                                                 << "B[0‹a›]";
    QTest::newRow("no lazy continuation") << "- a\ncontinued"
                                          << "B[0‹a›] | P‹continued›";
    QTest::newRow("paren number") << "1) a"
                                  << "O[0 1‹a›]";
    QTest::newRow("leading zeros kept") << "007. a"
                                        << "O[0 007‹a›]";
    QTest::newRow("four digits") << "1234. a"
                                 << "P‹1234. a›";
    QTest::newRow("no space after dot") << "1.a"
                                        << "P‹1.a›";
    QTest::newRow("dot at end") << "1."
                                << "P‹1.›";
    QTest::newRow("full-width digits") << "１２. 项目"
                                       << "O[0 １２‹项目›]";
    QTest::newRow("CJK numeral") << "一. 第一"
                                 << "O[0 一‹第一›]";
    QTest::newRow("CJK numerals, four") << "一二三四. x"
                                        << "P‹一二三四. x›";
    QTest::newRow("CJK comma is no marker") << "一、第一"
                                            << "P‹一、第一›";
    QTest::newRow("dash and space trims to dash") << "- "
                                                  << "P‹-›";
    QTest::newRow("marker and two spaces") << "-  x"
                                           << "B[0‹ x›]";
    QTest::newRow("ordered item text untrimmed") << "2.  x"
                                                 << "O[0 2‹ x›]";

    QTest::newRow("quote lines") << "> a\n> b"
                                 << "Q‹a⏎b›";
    QTest::newRow("quote without space") << ">a"
                                         << "Q‹a›";
    QTest::newRow("one marker removed") << "> > a"
                                        << "Q‹> a›";
    QTest::newRow("quote then paragraph") << "> a\nb"
                                          << "Q‹a› | P‹b›";
    QTest::newRow("empty quote line") << "> a\n>\n> b"
                                      << "Q‹a⏎⏎b›";
    QTest::newRow("blank line splits quotes") << "> a\n\n> b"
                                              << "Q‹a› | Q‹b›";

    QTest::newRow("table") << "| a | b |\n|---|:-:|\n| 1 | 2 |"
                           << "T[‹a›‹b›/‹1›‹2›]";
    QTest::newRow("no leading pipe") << "a | b"
                                     << "P‹a | b›";
    QTest::newRow("lone pipe") << "|"
                               << "T[‹›]";
    QTest::newRow("delimiter rows only") << "|---|\n|:-:|"
                                         << "T[]";
    QTest::newRow("paragraph then table") << "text\n| a |"
                                          << "P‹text› | T[‹a›]";
    QTest::newRow("blank line splits tables") << "| a |\n\n| b |"
                                              << "T[‹a›] | T[‹b›]";
    QTest::newRow("ragged rows") << "| a | b | c |\n| 1 |"
                                 << "T[‹a›‹b›‹c›/‹1›]";

    QTest::newRow("indented text") << "    indented"
                                   << "P‹indented›";
    QTest::newRow("tildes are text") << "~~~\nx\n~~~"
                                     << "P‹~~~⏎x⏎~~~›";
    QTest::newRow("heading between bullets") << "- a\n# h\n- b"
                                             << "B[0‹a›] | H1‹h› | B[0‹b›]";

    // A carriage return before a line feed is part of the line end.
    QTest::newRow("CRLF blocks")
        << fence("# T\r\n\r\npara\r\nline\r\n---\r\n⟨fence⟩js\r\ncode\r\n⟨fence⟩\r\n- a\r\n")
        << "H1‹T› | P‹para⏎line› | R | C[js]‹code› | B[0‹a›]";
    QTest::newRow("CRLF blank line") << "a\r\n\r\nb"
                                     << "P‹a› | P‹b›";
    QTest::newRow("CRLF table") << "| a |\r\n|---|\r\n| 1 |\r\n"
                                << "T[‹a›/‹1›]";
    QTest::newRow("CRLF only") << "\r\n"
                               << "P‹␍⏎›";
    QTest::newRow("lone CR stays") << "a\rb"
                                   << "P‹a␍b›";
    QTest::newRow("CR at the very end stays") << "a\r"
                                              << "P‹a␍›";

    // Markers are whole user-perceived characters.
    QTest::newRow("emoji after bullet") << "- 👍 ok"
                                        << "B[0‹👍 ok›]";
    QTest::newRow("emoji sequence in heading") << "## 👨‍👩‍👧 家"
                                               << "H2‹👨‍👩‍👧 家›";
    QTest::newRow("combining mark on dash") << "-\u0301 x"
                                            << "P‹-\u0301 x›";
    QTest::newRow("combining mark on space after dash") << "- \u0301x"
                                                        << "P‹- \u0301x›";
    QTest::newRow("zero-width joiner after marker space") << "- \u200Dx"
                                                          << "P‹- \u200Dx›";
    QTest::newRow("combining mark on #") << "#\u0301 x"
                                         << "P‹#\u0301 x›";
    QTest::newRow("combining mark on space after #") << "# \u0301x"
                                                     << "P‹# \u0301x›";
    QTest::newRow("not-greater-than is no quote") << ">\u0338 a"
                                                  << "P‹>\u0338 a›";
    QTest::newRow("combining mark on pipe") << "|\u0301 a |"
                                            << "P‹|\u0301 a |›";
    QTest::newRow("combining mark on dot") << "1.\u0301 a"
                                           << "P‹1.\u0301 a›";
    QTest::newRow("accented digit is numeric") << "1\u0301. a"
                                               << "O[0 1\u0301‹a›]";
    QTest::newRow("combining mark on backtick") << "``\u0060\u0301x\ny"
                                                << "P‹``\u0060\u0301x⏎y›";
    QTest::newRow("combining mark after a marker space in the indent") << " \u0301- a"
                                                                       << "P‹\u0301- a›";
}

void TestMDParser::parse()
{
    QFETCH(QString, text);
    QFETCH(QString, blocks);
    QCOMPARE(dump(MDParser::parse(text)), blocks);
}

void TestMDParser::tableRows_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("rows");

    QTest::newRow("outer pipes") << QStringList{"| a | b |"} << "T[‹a›‹b›]";
    QTest::newRow("no trailing pipe") << QStringList{"|a|b"} << "T[‹a›‹b›]";
    QTest::newRow("empty cells kept") << QStringList{"| a |  ||"} << "T[‹a›‹›‹›]";
    QTest::newRow("pipe in code span splits") << QStringList{"| `a|b` |"} << "T[‹`a›‹b`›]";
    QTest::newRow("delimiter rows anywhere")
        << QStringList{"|:-:|-|", "| x |", "| - | :--- |", "| y |"} << "T[‹x›/‹y›]";
    QTest::newRow("colon alone is a row") << QStringList{"| : |"} << "T[‹:›]";
    QTest::newRow("dashes with text are a row") << QStringList{"| -- | x |"} << "T[‹--›‹x›]";
    QTest::newRow("empty cell makes a row") << QStringList{"| --- | |"} << "T[‹---›‹›]";
    QTest::newRow("double pipe") << QStringList{"||"} << "T[‹›]";
    QTest::newRow("cells trimmed by space class")
        << QStringList{"|\u3000a\t|\u00A0b |"} << "T[‹a›‹b›]";
}

void TestMDParser::tableRows()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, rows);
    MDBlock table;
    table.kind = MDBlock::Table;
    table.rows = MDParser::tableRows(lines);
    QCOMPARE(dump({table}), rows);
}

void TestMDParser::listMarkers_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("bullet");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("text");

    QTest::newRow("dash") << "- a"
                          << "a"
                          << ""
                          << "";
    QTest::newRow("plus, two spaces") << "+  a"
                                      << " a"
                                      << ""
                                      << "";
    QTest::newRow("no space") << "-a"
                              << "-"
                              << ""
                              << "";
    QTest::newRow("dot") << "12. x y"
                         << "-"
                         << "12"
                         << "x y";
    QTest::newRow("paren, leading zeros") << "001) x"
                                          << "-"
                                          << "001"
                                          << "x";
    QTest::newRow("circled digit") << "①. x"
                                   << "-"
                                   << "①"
                                   << "x";
    QTest::newRow("letters are no number") << "a. x"
                                           << "-"
                                           << ""
                                           << "";
}

// "-" in the bullet column and "" in the number column mean: not such an item.
void TestMDParser::listMarkers()
{
    QFETCH(QString, line);
    QFETCH(QString, bullet);
    QFETCH(QString, number);
    QFETCH(QString, text);
    const auto b = MDParser::bulletText(line);
    QCOMPARE(b.value_or(u"-"_s), bullet);
    const auto o = MDParser::orderedText(line);
    QCOMPARE(o.has_value(), !number.isEmpty());
    if (o) {
        QCOMPARE(o->first, number);
        QCOMPARE(o->second, text);
    }
}

// Resuming at the last resume point of any prefix, after any change behind that point, gives
// exactly the blocks of a full parse.
void TestMDParser::resumeMatchesFullParse()
{
    const QString text =
        fence("# Title\r\n\r\nintro line\nsecond line\n\n- a\n  - b\n1. c\n> q\n> r\n\n| a | b |\n"
              "|---|---|\n| 1 | 2 |\n---\n⟨fence⟩py\nx = 1\n\n# not a heading\n⟨fence⟩\ntail\n\n"
              "⟨fence⟩\nunclosed\n");
    QRandomGenerator rng(20240605);
    const QStringList inserts{"\n",    "\n\n", "```", "# ",   "- ",
                              "| x |", "> ",   "---", "\r\n", "word"};
    for (qsizetype k = 0; k <= text.size(); ++k) {
        MDParser::ResumePoint point;
        const QList<MDBlock> before = MDParser::parseTail(text.left(k), {}, &point);
        QVERIFY(point.offset <= k);
        QVERIFY(point.blocks <= before.size());

        // Appending the rest, or changing the text anywhere behind the resume point.
        QStringList afters{text};
        QString edited = text;
        const qsizetype at = point.offset + rng.bounded(int(text.size() - point.offset) + 1);
        edited.insert(at, inserts[rng.bounded(int(inserts.size()))]);
        afters << edited << text.left(point.offset) + u"x"_s;
        for (const QString &after : std::as_const(afters)) {
            const QList<MDBlock> full = MDParser::parse(after);
            const QList<MDBlock> tail = MDParser::parseTail(after, point, nullptr);
            QCOMPARE(dump(before.first(point.blocks) + tail), dump(full));
        }
    }
}

void TestMDParser::pathological_data()
{
    QTest::addColumn<int>("size");
    for (const int size : {1000, 100000})
        QTest::newRow(qPrintable(QString::number(size))) << size;
}

// Each input must finish (the parser is linear) and give the expected blocks.
void TestMDParser::pathological()
{
    QFETCH(int, size);

    QList<MDBlock> b = MDParser::parse(u"> "_s.repeated(size) + u'x');
    QCOMPARE(b.size(), 1);
    QCOMPARE(b[0].kind, MDBlock::Quote);
    QCOMPARE(b[0].text, u"> "_s.repeated(size - 1) + u'x');

    b = MDParser::parse(u">\n"_s.repeated(size));
    QCOMPARE(b.size(), 1);
    QCOMPARE(b[0].text.size(), size - 1);

    b = MDParser::parse(u"- a\n1. b\n"_s.repeated(size / 2));
    QCOMPARE(b.size(), size / 2 * 2);

    b = MDParser::parse(u"|"_s.repeated(size));
    QCOMPARE(b.size(), 1);
    QCOMPARE(b[0].rows.value(0).size(), size - 1);

    b = MDParser::parse(u"#"_s.repeated(size) + u" x"_s);
    QCOMPARE(dump(b).size(), size + 5);

    // One user-perceived character of any length before the marker.
    b = MDParser::parse(u'1' + u"\u0301"_s.repeated(size) + u". a"_s);
    QCOMPARE(b[0].kind, MDBlock::Ordered);
    QCOMPARE(b[0].items.value(0).num.size(), size + 1);

    b = MDParser::parse(u"```\n"_s + u"`\n"_s.repeated(size));
    QCOMPARE(b.size(), 1);
    QCOMPARE(b[0].code.size(), 2 * size);
}

QTEST_GUILESS_MAIN(TestMDParser)
#include "tst_mdparser.moc"
