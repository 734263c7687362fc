// SPDX-License-Identifier: GPL-3.0-or-later
// The inline converter's HTML. Input: UTF-8 text, or UTF-16 (lone surrogates included) after
// a first byte 0xFF. Properties:
//  - the output is well-formed: only the tags the converter writes (<b> <i> <s> <code> <a
//    href="...">, <br/> and formula images whose id decodes), properly nested, all closed, no link
//    inside a link, no markup inside a code span, and '&' only in the entities it writes;
//  - a link target is quoted, holds no quote, angle bracket or space, and is http, https or
//    mailto;
//  - text without markup characters comes out as the same visible text;
//  - the output grows at most linearly with the input.
#include "fuzzcheck.h"
#include "markdown/mdinline.h"
#include "markdown/mdmath.h"

#include <QStringList>

#include <cstring>

namespace {

bool consume(QStringView html, qsizetype &i, QStringView token)
{
    if (!html.sliced(i).startsWith(token))
        return false;
    i += token.size();
    return true;
}

bool openableScheme(QStringView url)
{
    for (const QStringView scheme : {u"http:", u"https:", u"mailto:"}) {
        if (url.startsWith(scheme, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// Checks the markup and returns the visible text: tags dropped, entities decoded, <br/> as a
// line feed.
QString checkedText(QStringView html)
{
    static const QStringList simpleTags = {QStringLiteral("b"), QStringLiteral("i"),
                                           QStringLiteral("s"), QStringLiteral("code")};
    QStringList open;
    QString text;
    qsizetype i = 0;
    while (i < html.size()) {
        const QChar c = html[i];
        if (c == u'>')
            FUZZ_CHECK(false && "a bare '>'");
        if (c == u'&') {
            if (consume(html, i, u"&amp;"))
                text += u'&';
            else if (consume(html, i, u"&lt;"))
                text += u'<';
            else if (consume(html, i, u"&gt;"))
                text += u'>';
            else if (consume(html, i, u"&nbsp;"))
                text += u' ';
            else
                FUZZ_CHECK(false && "an '&' that starts no entity of ours");
            continue;
        }
        if (c != u'<') {
            text += c;
            ++i;
            continue;
        }
        FUZZ_CHECK(!open.contains(u"code") || html.sliced(i).startsWith(u"</code>"));
        if (consume(html, i, u"<br/>")) {
            text += u'\n';
            continue;
        }
        if (consume(html, i, u"<img src=\"image://math/")) {
            static constexpr QStringView tail = u"\" align=\"middle\" />";
            const qsizetype end = html.indexOf(tail, i);
            FUZZ_CHECK(end >= 0);
            const auto formula = mathFromImageId(html.sliced(i, end - i));
            FUZZ_CHECK(formula && !formula->first.trimmed().isEmpty());
            text += QChar::ObjectReplacementCharacter;
            i = end + tail.size();
            continue;
        }
        if (consume(html, i, u"<a href=\"")) {
            FUZZ_CHECK(!open.contains(u"a"));
            const qsizetype end = html.indexOf(u"\">", i);
            FUZZ_CHECK(end >= 0);
            const QStringView url = html.sliced(i, end - i);
            for (const QChar u : url)
                FUZZ_CHECK(u != u'"' && u != u'<' && u != u'>' && u > u' ' && u != QChar(0x7F));
            FUZZ_CHECK(openableScheme(url));
            open.append(QStringLiteral("a"));
            i = end + 2;
            continue;
        }
        const bool closing = consume(html, i, u"</");
        if (!closing)
            ++i;
        const qsizetype end = html.indexOf(u'>', i);
        FUZZ_CHECK(end > i);
        const QString name = html.sliced(i, end - i).toString();
        FUZZ_CHECK(simpleTags.contains(name) || (closing && name == u"a"));
        if (closing) {
            FUZZ_CHECK(!open.isEmpty() && open.last() == name);
            open.removeLast();
        } else {
            // Emphasis may nest in itself ("*_a_*"); a code span may not.
            FUZZ_CHECK(name != u"code" || !open.contains(name));
            open.append(name);
        }
        i = end + 1;
    }
    FUZZ_CHECK(open.isEmpty());
    return text;
}

bool hasMarkupCharacters(const QString &s)
{
    for (const QChar c : s) {
        if (QStringView(u"\\&`*_~[]!<$").contains(c))
            return true;
    }
    return false;
}

// What the reader sees of plain text: tabs as four spaces, every line end a line feed, NUL as
// the replacement character.
QString visiblePlainText(QString s)
{
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    s.replace(u'\r', u'\n');
    s.replace(QStringLiteral("\t"), QStringLiteral("    "));
    s.replace(QChar(0), QChar(0xFFFD));
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QString input;
    if (size > 0 && data[0] == 0xFF) {
        input.resize(qsizetype((size - 1) / 2));
        std::memcpy(input.data(), data + 1, size_t(input.size()) * 2);
    } else {
        input = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    }

    const QString html = mdInline(input);
    FUZZ_CHECK(html.size() <= 64 * input.size() + 64);
    const QString text = checkedText(html);
    if (!hasMarkupCharacters(input))
        FUZZ_CHECK(text == visiblePlainText(input));
    return 0;
}
