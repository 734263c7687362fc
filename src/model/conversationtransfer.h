// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/records.h"

#include <QList>
#include <QString>

/**
 * A conversation as a Markdown document, for export and for copying the whole conversation.
 *
 * The text is, with every part separated from the next by exactly one blank line and the whole
 * ending in one line break:
 *
 *     # <title, line breaks turned into spaces>
 *
 *     ## 用户            (or "## 助手", or "## 系统" for a system message)
 *
 *     > **思考过程**      (only when the message has reasoning)
 *     >
 *     > <each line of the reasoning, an empty line as a bare ">">
 *
 *     <the content verbatim, without its trailing line breaks>
 *
 * A message with empty content keeps its heading (and its reasoning, if any).
 */
QString conversationMarkdown(const Conversation &conversation);

/**
 * Which of a backup's conversations to add to a history, in the backup's order.
 *
 * A conversation whose id is not in the history (nor earlier in the backup) is added as it is.
 * One whose id is there and that encodes to the same JSON is skipped. One whose id is there with
 * different content is added under a fresh id, with "（恢复）" appended to its title.
 */
QList<Conversation> conversationsToRestore(const QList<Conversation> &history,
                                           const QList<Conversation> &backup);
