// SPDX-License-Identifier: GPL-3.0-or-later
#include "attach/pdftext.h"

#include "model/storedtext.h"

#include <poppler-qt6.h>

#include <QStringList>
#include <QVariant>

#include <mutex>

namespace PdfText {

namespace {

// Poppler reports every flaw of a damaged file on the debug output; a refusal says enough.
void silencePoppler()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Poppler::setDebugErrorFunction([](const QString &, const QVariant &) {}, QVariant());
    });
}

// The physical layout keeps a table's columns apart, but pads lines with spaces to their width.
QString pageText(const Poppler::Page &page)
{
    QStringList lines = page.text(QRectF()).split(u'\n');
    for (QString &line : lines) {
        qsizetype end = line.size();
        while (end > 0 && line.at(end - 1).isSpace())
            --end;
        line.truncate(end);
    }
    while (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    while (!lines.isEmpty() && lines.constFirst().isEmpty())
        lines.removeFirst();
    return lines.join(u'\n');
}

} // namespace

Extracted extract(const QByteArray &pdf, int maxPages)
{
    silencePoppler();
    Extracted out;
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::loadFromData(pdf);
    if (!document)
        return out;
    if (document->isLocked()) {
        out.status = Extracted::Status::Locked;
        return out;
    }
    out.pages = document->numPages();
    if (out.pages > maxPages) {
        out.status = Extracted::Status::TooManyPages;
        return out;
    }
    // The marks are part of what the model reads, the same whatever language the interface
    // speaks, so that a resend is the same text.
    const QString mark = StoredText::text(QT_TRANSLATE_NOOP("Stored", "--- 第 %1 页 ---"),
                                          StoredText::Form::Written);
    QStringList pages;
    bool anyText = false;
    for (int i = 0; i < out.pages; ++i) {
        const std::unique_ptr<Poppler::Page> page = document->page(i);
        const QString text = page ? pageText(*page) : QString();
        anyText = anyText || !text.isEmpty();
        pages << mark.arg(i + 1) + u'\n' + text;
    }
    if (!anyText) {
        out.status = Extracted::Status::NoText;
        return out;
    }
    out.status = Extracted::Status::Ok;
    out.text = pages.join(u"\n\n") + u'\n';
    return out;
}

} // namespace PdfText
