// SPDX-License-Identifier: GPL-3.0-or-later
// The Markdown block parser. Input: UTF-8 text; its first byte also picks where a streamed
// reply is cut. Properties:
//  - parse() never returns an empty list, and every block holds only its kind's fields in
//    range (heading level 1 to 6, list indent 0 to 3);
//  - no fenced line is lost: the code blocks are exactly the fences a plain reading of the
//    lines finds, with every line inside a fence in its block's code, in order;
//  - resuming from the last resume point of a prefix (what the view does while a reply
//    streams, and once it has ended) gives the same blocks as parsing the whole text again;
//  - a finished text without a display formula parses with math exactly as without.
#include "fuzzcheck.h"
#include "markdown/mdparser.h"
#include "model/textutil.h"

#include <QTextBoundaryFinder>

#include <algorithm>

namespace {

struct Fence
{
    QString lang;
    QStringList lines;
};

// True when the trimmed line's first three user-perceived characters are backticks.
bool opensFence(const QString &t)
{
    if (!t.startsWith(QLatin1StringView("```")))
        return false;
    QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, t);
    for (int i = 1; i <= 3; ++i) {
        graphemes.setPosition(i);
        if (!graphemes.isAtBoundary())
            return false;
    }
    return true;
}

QList<Fence> fencesOf(const QString &text)
{
    QStringList lines = text.split(u'\n');
    // A carriage return before a line feed is part of the line end.
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        if (lines[i].endsWith(u'\r'))
            lines[i].chop(1);
    }
    QList<Fence> fences;
    bool inside = false;
    for (const QString &line : lines) {
        const QString t = TextUtil::trimHorizontal(line);
        if (inside) {
            if (opensFence(t))
                inside = false;
            else
                fences.last().lines.append(line);
        } else if (opensFence(t)) {
            inside = true;
            fences.append({TextUtil::trimHorizontal(QStringView(t).sliced(3)), {}});
        }
    }
    return fences;
}

void checkBlock(const MDBlock &b)
{
    const MDBlock::Kind k = b.kind;
    FUZZ_CHECK((k == MDBlock::Heading) == (b.level != 0));
    FUZZ_CHECK(b.level >= 0 && b.level <= 6);
    FUZZ_CHECK(k == MDBlock::Code || (b.code.isEmpty() && b.lang.isEmpty()));
    FUZZ_CHECK(k == MDBlock::Bullets || k == MDBlock::Ordered || b.items.isEmpty());
    FUZZ_CHECK(k != MDBlock::Bullets && k != MDBlock::Ordered ? b.items.isEmpty()
                                                              : !b.items.isEmpty());
    for (const MDBlock::Item &item : b.items) {
        FUZZ_CHECK(item.indent >= 0 && item.indent <= 3);
        FUZZ_CHECK((k == MDBlock::Ordered) == !item.num.isEmpty());
    }
    FUZZ_CHECK(k == MDBlock::Table || b.rows.isEmpty());
    FUZZ_CHECK(k == MDBlock::Paragraph || k == MDBlock::Heading || k == MDBlock::Quote ||
               k == MDBlock::Math || b.text.isEmpty());
    FUZZ_CHECK(k != MDBlock::Math || !b.text.trimmed().isEmpty());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<MDBlock> blocks = MDParser::parse(text);
    FUZZ_CHECK(!blocks.isEmpty());
    for (const MDBlock &b : blocks)
        checkBlock(b);

    const QList<Fence> fences = fencesOf(text);
    qsizetype f = 0;
    for (const MDBlock &b : blocks) {
        if (b.kind != MDBlock::Code)
            continue;
        FUZZ_CHECK(f < fences.size());
        FUZZ_CHECK(b.lang == fences.at(f).lang);
        FUZZ_CHECK(b.code == fences.at(f).lines.join(u'\n'));
        ++f;
    }
    FUZZ_CHECK(f == fences.size());

    const bool anyFormula = std::any_of(blocks.cbegin(), blocks.cend(),
                                        [](const MDBlock &b) { return b.kind == MDBlock::Math; });
    if (!anyFormula)
        FUZZ_CHECK(MDParser::parse(text, false) == blocks);

    // A prefix parsed as a streaming reply, or as a finished text, then the whole text.
    const qsizetype cut = size > 0 ? text.size() * data[0] / 255 : 0;
    for (const bool streaming : {true, false}) {
        MDParser::ResumePoint resume;
        const QList<MDBlock> before =
            MDParser::parseTail(text.first(cut), {}, &resume, true, streaming);
        FUZZ_CHECK(resume.offset <= cut && resume.blocks <= before.size());
        for (const bool streamingAfter : {true, false}) {
            const QList<MDBlock> resumed =
                before.first(resume.blocks) +
                MDParser::parseTail(text, resume, nullptr, true, streamingAfter);
            FUZZ_CHECK(resumed == MDParser::parse(text, true, streamingAfter));
        }
    }
    return 0;
}
