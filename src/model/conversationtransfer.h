// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/records.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <functional>

/// The link to an exported image, relative to the document; empty to list it by name.
using ImageLink = std::function<QString(const Attachment &)>;

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
 *     - <each file of the message by name; an image that imageLink() gives a link for as
 *       ![name](link)>
 *
 * A message with empty content keeps its heading (and its reasoning, if any).
 */
QString conversationMarkdown(const Conversation &conversation, const ImageLink &imageLink = {});

/**
 * Which of a backup's conversations to add to a history, in the backup's order.
 *
 * A conversation whose id is not in the history (nor earlier in the backup) is added as it is.
 * One whose id is there and that encodes to the same JSON is skipped. One whose id is there with
 * different content is added under a fresh id, with "（恢复）" appended to its title.
 * sources, when given, receives the backup's index of each conversation added.
 */
QList<Conversation> conversationsToRestore(const QList<Conversation> &history,
                                           const QList<Conversation> &backup,
                                           QList<qsizetype> *sources = nullptr);

/**
 * Puts a backup's conversations on this history's gateways, before they are compared with it.
 *
 * Gateway ids differ between two machines: a conversation keeps its gateway when one with the
 * same id is here, else it goes to the one here with the same address (trimmed, scheme and host
 * in lower case, without a default port or a final slash), which may be the first. One whose
 * gateway is found in neither way lands on the first gateway with the model name it had. A
 * conversation on the backup's first gateway stays on the first. Returns, per conversation,
 * whether it landed on the first gateway for want of its own.
 */
QList<bool> matchGateways(const AppSettings &here, const AppSettings &backup,
                          QList<Conversation> &conversations);
