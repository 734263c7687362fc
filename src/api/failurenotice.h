// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCoreApplication>
#include <QString>

/**
 * What a failed reply's row tells the user: what happened, in a line; the gateway's own words
 * when it gave some; one line of advice; and whether the settings are where to fix it.
 *
 * It is worked out from what the data file keeps of the failure (its description and its kind,
 * see Message::error() and Message::errorKind()), so it reads the same after a restart. The
 * description is parsed in its stored, untranslated form.
 */
struct FailureNotice
{
    Q_DECLARE_TR_FUNCTIONS(FailureNotice)

public:
    /// "回复中断" for a reply cut off after some text; else what failed, e.g. "请求失败（HTTP
    /// 401）".
    QString heading;
    /// The gateway's own message (from a JSON body, a web page's title, an error inside the
    /// stream), or for a cut-off reply the failure; empty when the heading says it all.
    QString message;
    /// One line on what to do.
    QString advice;
    /// The gateway's whole answer, when it holds more than message shows; empty otherwise.
    QString details;
    /// The fix is in the Settings window (the key or the address).
    bool offerSettings = false;
    /// The model refused an image: sending again without images may work.
    bool offerWithoutImages = false;
    /// The model takes no tools: the fix is to turn the conversation's tools off and retry.
    bool offerToolsOff = false;

    /// partial: the reply has text of the model's before the failure.
    static FailureNotice explain(const QString &error, const QString &kind, bool partial);

    /// The message of an HTTP error's body in the shapes gateways use ({"error":{"message"}},
    /// {"error":"…"}, {"message"}, {"detail"}); a web page's title, or a note that a web page
    /// came back; a short plain text as it is. Empty when nothing useful is found.
    static QString bodyMessage(const QString &body);

    bool operator==(const FailureNotice &) const = default;
};
