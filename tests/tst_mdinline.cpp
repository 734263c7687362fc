// SPDX-License-Identifier: GPL-3.0-or-later
#include "markdown/mdinline.h"
#include "markdown/mdmath.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextDocument>
#include <QtTest>

#ifdef CORVANE_HAVE_MD4C
#include <md4c-html.h>
#endif

using namespace Qt::StringLiterals;

namespace {

// Both converters escape only with these.
QString unescaped(QString s)
{
    return s.replace(u"&lt;"_s, u"<"_s)
        .replace(u"&gt;"_s, u">"_s)
        .replace(u"&quot;"_s, u"\""_s)
        .replace(u"&#39;"_s, u"'"_s)
        .replace(u"&nbsp;"_s, u" "_s)
        .replace(u"&amp;"_s, u"&"_s);
}

// What a reader sees, without laying it out.
QString visibleText(const QString &html)
{
    static const QRegularExpression tag(u"<[^>]*>"_s);
    return unescaped(QString(html).replace(u"<br/>"_s, u"\n"_s).remove(tag));
}

// The visible text with each formula as ⟨TeX⟩ (inline) or ⟦TeX⟧ (display).
QString withFormulas(const QString &html)
{
    static const QRegularExpression img(
        u"<img src=\"image://math/([^\"]*)\" align=\"middle\" />"_s);
    QString out;
    qsizetype last = 0;
    for (const QRegularExpressionMatch &m : img.globalMatch(html)) {
        const auto formula = mathFromImageId(m.captured(1));
        if (!formula)
            return u"bad image id "_s + m.captured(1);
        out += visibleText(html.mid(last, m.capturedStart() - last)) +
               (formula->second ? u'⟦' + formula->first + u'⟧' : u'⟨' + formula->first + u'⟩');
        last = m.capturedEnd();
    }
    return out + visibleText(html.mid(last));
}

struct Rendered
{
    QString text;
    QStringList styled; // "b:text", "i:text", "s:text", "code:text", "img" for formatted runs
    QStringList hrefs;
};

// What Qt's rich text makes of the HTML.
Rendered render(const QString &html)
{
    QTextDocument doc;
    doc.setHtml(html);
    Rendered r{doc.toPlainText(), {}, {}};
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            const QString text = it.fragment().text();
            if (f.isImageFormat())
                r.styled << u"img"_s;
            if (f.fontWeight() >= QFont::DemiBold)
                r.styled << u"b:"_s + text;
            if (f.fontItalic())
                r.styled << u"i:"_s + text;
            if (f.fontStrikeOut())
                r.styled << u"s:"_s + text;
            if (f.fontFamilies().toStringList().contains(u"monospace"_s))
                r.styled << u"code:"_s + text;
            if (f.isAnchor() && !r.hrefs.contains(f.anchorHref()))
                r.hrefs << f.anchorHref();
        }
    }
    return r;
}

#ifdef CORVANE_HAVE_MD4C

bool openable(const QString &href)
{
    static const QRegularExpression allowed(u"^(https?|mailto):"_s,
                                            QRegularExpression::CaseInsensitiveOption);
    return allowed.match(href).hasMatch();
}

QString md4cHtml(const QString &markdown)
{
    const QByteArray in = markdown.toUtf8();
    QByteArray out;
    const auto append = [](const MD_CHAR *text, MD_SIZE size, void *data) {
        static_cast<QByteArray *>(data)->append(text, size);
    };
    md_html(in.constData(), MD_SIZE(in.size()), append, &out,
            MD_FLAG_STRIKETHROUGH | MD_FLAG_NOHTML, 0);
    QString html = QString::fromUtf8(out);
    if (html.startsWith(u"<p>") && html.endsWith(u"</p>\n"))
        html = html.sliced(3, html.size() - 8);
    return html;
}

// Brings both converters' HTML to one form. Differences made equal here:
// - md4c writes <em>, <strong>, <del>, this converter <i>, <b>, <s>;
// - md4c writes soft line ends as "\n", hard ones as "<br>\n" and drops the spaces around
//   them and at both ends, this converter writes <br/> for both and keeps every space;
// - md4c percent-encodes link targets and links any scheme, this converter only http, https
//   and mailto; md4c nests an autolink in a link, this converter keeps the outer anchor only;
// - md4c drops the spaces at a line end inside a code span and one from a line end at its
//   start or end, this converter keeps them;
// - characters are compared unescaped.
QString normalised(QString html)
{
    static const QRegularExpression token(u"<(/?)([a-z]+)(?: href=\"([^\"]*)\")?[^>]*>"_s);
    static const QMap<QString, QString> names{
        {u"em"_s, u"i"_s}, {u"strong"_s, u"b"_s}, {u"del"_s, u"s"_s}};
    html.replace(u"<br>\n"_s, u"\n"_s).replace(u"<br/>"_s, u"\n"_s);
    QString out;
    QList<bool> anchors; // open anchors: kept or dropped
    qsizetype last = 0;
    for (auto it = token.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        out += unescaped(html.mid(last, m.capturedStart() - last));
        last = m.capturedEnd();
        const QString name = names.value(m.captured(2), m.captured(2));
        if (name != u"a") {
            out += u'<' + m.captured(1) + name + u'>';
        } else if (!m.captured(1).isEmpty()) {
            if (!anchors.isEmpty() && anchors.takeLast())
                out += u"</a>";
        } else {
            const QString url = QUrl::fromPercentEncoding(unescaped(m.captured(3)).toUtf8());
            anchors << (openable(url) && !anchors.contains(true));
            if (anchors.last())
                out += u"<a href=\""_s + url + u"\">"_s;
        }
    }
    out += unescaped(html.mid(last));
    static const QRegularExpression spacedBreak(u" *\n *"_s);
    static const QRegularExpression spacedCode(u"(?<=<code>) +| +(?=</code>)"_s);
    return out.replace(spacedBreak, u"\n"_s).remove(spacedCode).trimmed();
}

// Inputs on which md4c 0.4.8 departs from the rules this converter follows are not compared:
// - it applies the "rule of three" only to delimiter runs between letters, not to runs between
//   punctuation, which can open and close as well;
// - its "~~" opens before and closes after any non-space, where GitHub's strikethrough uses
//   the flanking rules of "*", which differ next to punctuation;
// - it takes "<<a:b>" and "<_a:>" for autolinks, though a scheme begins with a letter;
// - it pairs "*" or "_" in a link destination with one after the link, and ends a link at a
//   hard line break between "](" and the destination;
// - it writes images as <img>, this converter as their description.
bool md4cDeparts(const QString &markdown)
{
    static const QRegularExpression departs(
        uR"((?<=\p{P}|[!-/:-@[-`{-~])[*_]+(?=\p{P}|[!-/:-@[-`{-~])|)"
        uR"((?<=\p{P}|[!-/:-@[-`{-~])~~|~~(?=\p{P}|[!-/:-@[-`{-~])|<[^A-Za-z]|!\[|)"
        uR"(\]\( *  \n|\]\([^ )]*[*_])"_s);
    return departs.match(markdown).hasMatch();
}

#endif

} // namespace

class TestMDInline : public QObject
{
    Q_OBJECT

private slots:
    // What the md4c differential below cannot see: spaces and line breaks, escaping inside
    // attributes, targets never opened, images, entities outside its inputs, block syntax.
    void convert_data()
    {
        QTest::addColumn<QString>("markdown");
        QTest::addColumn<QString>("html");

        // clang-format off
        QTest::newRow("emphasis")
            << "*em* **strong** ***both*** _em_ __strong__ 2*3*4 a_b_c a * b **c"
            << "<i>em</i> <b>strong</b> <i><b>both</b></i> <i>em</i> <b>strong</b> 2<i>3</i>4 "
               "a_b_c a * b **c";
        QTest::newRow("CJK") << "中*文*字，“*引用*”" << "中<i>文</i>字，“<i>引用</i>”";
        QTest::newRow("strikethrough") << "~~gone~~ ~one~ ~~~x~~~" << "<s>gone</s> ~one~ ~~~x~~~";
        QTest::newRow("code spans") << "`a*b*` `` a`b `` `a\nb` `<b>&amp;` `a  b`"
            << "<code>a*b*</code> <code>a`b</code> <code>a b</code> "
               "<code>&lt;b&gt;&amp;amp;</code> <code>a &nbsp;b</code>";
        QTest::newRow("links") << "[t](https://x.y/?a=1&b=2) [m](mailto:a@b.c)"
            << "<a href=\"https://x.y/?a=1&amp;b=2\">t</a> <a href=\"mailto:a@b.c\">m</a>";
        QTest::newRow("emphasis, title, pointy") << "[**b**](http://x \"t\") [a](<http://x/a b>)"
            << "<a href=\"http://x\"><b>b</b></a> <a href=\"http://x/a%20b\">a</a>";
        QTest::newRow("quote in destination") << "[q](http://x/\"onclick=\")"
            << "<a href=\"http://x/&quot;onclick=&quot;\">q</a>";
        QTest::newRow("targets never opened keep their text")
            << "[a](javascript:alert(1)) [b](JaVaScRiPt:x) [c](jav&#97;script:x) [d](data:x) "
               "[e](/x) [f]()"
            << "a b c d e f";
        QTest::newRow("images show their description")
            << "![alt *x*](http://i/a.png) [![badge](http://i/b.svg)](https://ci)"
            << "alt <i>x</i> <a href=\"https://ci\">badge</a>";
        QTest::newRow("entities") << "&copy; &amp; &#35; &#x1F600; &bogus; &#0; &ngE; &ast;a&ast;"
            << "© &amp; # 😀 &amp;bogus; \uFFFD ≧\u0338 *a*";
        QTest::newRow("raw HTML and block syntax are text") << "<b>raw</b>\n# h\n- l\n> q\n1. n"
            << "&lt;b&gt;raw&lt;/b&gt;<br/># h<br/>- l<br/>&gt; q<br/>1. n";
        QTest::newRow("spaces, line ends") << "a  b   c\n  x\r\n3\r4\\\n5"
            << "a &nbsp;b &nbsp;&nbsp;c<br/>&nbsp;&nbsp;x<br/>3<br/>4<br/>5";
        QTest::newRow("NUL") << QString(QChar(0)) << "\uFFFD";
        // clang-format on
    }

    void convert()
    {
        QFETCH(QString, markdown);
        QFETCH(QString, html);
        QCOMPARE(mdInline(markdown), html);
    }

    // What Qt's rich text makes of the converter's HTML. That only its own tags and safe link
    // targets come out, whatever the input, the inline fuzzer checks on every input.
    void rendered_data()
    {
        QTest::addColumn<QString>("markdown");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("styled");
        QTest::addColumn<QStringList>("hrefs");

        const QStringList none;
        // clang-format off
        QTest::newRow("spaces, line ends") << "a  b   c\n  d\r\ne\tf" << "a  b   c\n  d\ne    f"
            << none << none;
        QTest::newRow("styles") << "**b** *i* _u_ ~~s~~ `m`" << "b i u s m"
            << QStringList{"b:b", "i:i", "i:u", "s:s", "code:m"} << none;
        QTest::newRow("tags and entities are text")
            << "<img src=x onerror=y> &lt;b&gt;x&#60;/b&#62; &"
            << "<img src=x onerror=y> <b>x</b> &" << none << none;
        QTest::newRow("quote leaving href") << "[x](http://a/\"><img/src=y>)" << "x" << none
            << QStringList{"http://a/\"><img/src=y>"};
        QTest::newRow("autolink with quote") << "<http://a/\"onmouseover=x>"
            << "http://a/\"onmouseover=x" << none << QStringList{"http://a/\"onmouseover=x"};
        QTest::newRow("control character in target") << "[x](http://a&#10;b)" << "x" << none
            << QStringList{"http://a%0Ab"};
        // clang-format on
    }

    void rendered()
    {
        QFETCH(QString, markdown);
        const Rendered r = render(mdInline(markdown));
        QTEST(r.text, "text");
        QTEST(r.styled, "styled");
        QTEST(r.hrefs, "hrefs");
    }

    void math_data()
    {
        QTest::addColumn<QString>("markdown");
        QTest::addColumn<QString>("shown");
        // clang-format off
        QTest::newRow("four forms") << "\\(a\\) \\[ b \\] $c$ $$ d $$"
            << "⟨a⟩ ⟦b⟧ ⟨c⟩ ⟦d⟧";
        QTest::newRow("next to Chinese") << "质能方程$E=mc^2$表明，\\(x\\)是"
            << "质能方程⟨E=mc^2⟩表明，⟨x⟩是";
        QTest::newRow("currency stays text") << "$5 and $10\n价格$5，不是$10\n$x$5\n$ x$\n$x $"
            << "$5 and $10\n价格$5，不是$10\n$x$5\n$ x$\n$x $";
        QTest::newRow("escaped dollars") << "\\$x$ \\$5 $a\\$b$ \\\\(x\\\\)"
            << "$x$ $5 ⟨a\\$b⟩ \\(x\\)";
        QTest::newRow("markup inside a formula is TeX") << "$a_1 * b_2 < c$ *e* $`x`$"
            << "⟨a_1 * b_2 < c⟩ e ⟨`x`⟩";
        QTest::newRow("code spans keep their TeX") << "`$x$` `\\(y\\)` $z$"
            << "$x$ \\(y\\) ⟨z⟩";
        QTest::newRow("streaming: unclosed stays text") << "see $x^2 and $$y \\(z"
            << "see $x^2 and $$y (z";
        QTest::newRow("a dollar formula stays on its line") << "$a\nb$ \\(c\nd\\)"
            << "$a\nb$ ⟨c\nd⟩";
        QTest::newRow("runs of three and empty") << "$$$x$$$ $$ $$ \\(\\)"
            << "$$$x$$$ $$ $$ ()";
        // clang-format on
    }

    void math()
    {
        QFETCH(QString, markdown);
        QFETCH(QString, shown);
        QCOMPARE(withFormulas(mdInline(markdown)), shown);
        // Without math, the delimiters are text as in any other Markdown.
        QVERIFY(!mdInline(markdown, false).contains(u"<img"));
    }

    // Random inputs made of the constructs the converter supports, compared with md4c's
    // CommonMark renderer. Every line starts with a letter, so md4c sees no block syntax either.
    void matchesMd4c()
    {
#ifndef CORVANE_HAVE_MD4C
        QSKIP("md4c-html not found");
#else
        // clang-format off
        const QStringList tokens{
            "a", "b", "foo", "中文", "é", "x1", " ", " ", "  ", ".", ",", "!", "?", "(", ")", ":",
            "，", "。", "“", "\"", "'", "-", "*", "*", "**", "***", "_", "_", "__", "~~", "`", "``",
            "[", "]", "](", "[x](http://e.com/a)", "](http://e.com/b)", "](<http://e.com/c d>)",
            "](http://e.com \"t\")", "](javascript:alert(1))", "](/rel)", "](mailto:a@b.c)",
            "<http://a.b/c?d=1&e=2>", "<mailto:x@y.z>", "<x@y.co>", "<javascript:alert(1)>", "<",
            ">", "\\*", "\\_", "\\[", "\\`", "\\\\", "\\a", "&amp;", "&copy;", "&#35;", "&#x41;",
            "&bogus;", "&", "&ast;", "&lt;b&gt;", "<b>", "</i>", "\nw", "\\\nw", "  \nw"};
        // clang-format on
        QRandomGenerator rng(4242);
        int compared = 0;
        for (int round = 0; round < 15000; ++round) {
            QString markdown = u"w"_s;
            for (int k = rng.bounded(1, 25); k > 0; --k)
                markdown += tokens[rng.bounded(int(tokens.size()))];
            if (md4cDeparts(markdown))
                continue;
            const QString ours = normalised(mdInline(markdown));
            const QString theirs = normalised(md4cHtml(markdown));
            QVERIFY2(ours == theirs, qPrintable(u"\ninput: "_s + markdown + u"\nours:  "_s + ours +
                                                u"\nmd4c:  "_s + theirs));
            ++compared;
        }
        QVERIFY2(compared > 3500, qPrintable(QString::number(compared)));
#endif
    }

    void pathological_data()
    {
        QTest::addColumn<int>("n");
        QTest::newRow("1000") << 1000;
        QTest::newRow("50000") << 50000;
    }

    // Each input must finish (the converter is linear) and come out as expected: most have no
    // markup at all, so they come out as their own text.
    void pathological()
    {
        QFETCH(int, n);
        QString runs; // backtick runs of every length, each length once: no code span
        for (int k = 1; runs.size() < 4 * n; ++k)
            runs += QString(k, u'`') + u'a';
        // clang-format off
        const QStringList literal{
            QString(n, u'[') + u'a' + QString(n, u']'), u"[a]("_s.repeated(n),
            u"[a](<"_s.repeated(n), u"[a](b \""_s.repeated(n), u"[a](b"_s + QString(n, u'('),
            u"*a "_s.repeated(n), u"a* "_s.repeated(n), u"*a_ "_s.repeated(n),
            u"_a* "_s.repeated(n), u"**a _"_s.repeated(n), u"~~a "_s.repeated(n),
            QString(n, u'<'), u"<ab:"_s.repeated(n), u"<a@"_s.repeated(n), u"&#"_s.repeated(n),
            u"> "_s.repeated(n) + u'x', u"$a "_s.repeated(n), runs};
        // clang-format on
        for (const QString &markdown : literal) {
            const QString html = mdInline(markdown);
            QVERIFY2(!html.contains(u"</"), qPrintable(markdown.left(12)));
            QCOMPARE(visibleText(html), markdown);
        }

        QString pairs; // every length twice: each pair is one span
        int count = 0;
        for (; pairs.size() < 4 * n; ++count)
            pairs += QString(count + 1, u'`') + u'a' + QString(count + 1, u'`') + u' ';
        QCOMPARE(mdInline(pairs).count(u"<code>"), count);

        QString html = mdInline(QString(n, u'[') + u"a](http://x)"_s);
        QCOMPARE(html.count(u"<a href"), 1);
        QCOMPARE(visibleText(html), QString(n - 1, u'[') + u'a');

        html = mdInline(QString(2 * n, u'*') + u'a' + QString(2 * n, u'*'));
        QCOMPARE(html.count(u"<b>"), n);
        QCOMPARE(visibleText(html), u"a"_s);
        QCOMPARE(mdInline(u"*a "_s.repeated(n) + u"b*"_s.repeated(n)).count(u"<i>"), n);
    }
};

QTEST_MAIN(TestMDInline)
#include "tst_mdinline.moc"
