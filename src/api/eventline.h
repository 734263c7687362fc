// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>

/// What one line of a successful reply means to the client.
struct StreamEvent
{
    enum Kind { Ignored, Text, Done, Broken }; // Broken: a data line that is not JSON
    Kind kind = Ignored;
    QString text;
};

/// One line of a successful reply: a "data:" line carries either the end marker or one JSON
/// event; only the first choice's delta text is used (it may be empty), everything else is
/// ignored.
StreamEvent parseEventLine(QByteArrayView line);
