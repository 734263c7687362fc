// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

/// The text of a PDF, read page by page with Poppler, for sending to a model.
namespace PdfText {

struct Extracted
{
    enum class Status {
        Ok,
        Unreadable,   ///< not a PDF Poppler can open
        Locked,       ///< it needs a password
        TooManyPages, ///< more than the pages asked for at most; nothing extracted
        NoText,       ///< no page has text (a scan without a text layer)
    };
    Status status = Status::Unreadable;
    int pages = 0;
    /// Every page's text after a line that marks its number ("--- 第 1 页 ---"), the pages
    /// apart by a blank line. Empty unless Ok.
    QString text;
};

/// Reads the PDF's text, unless it has more than maxPages pages.
Extracted extract(const QByteArray &pdf, int maxPages);

} // namespace PdfText
