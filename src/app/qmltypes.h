// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "chat/chatcontroller.h"
#include "chat/messagelistmodel.h"
#include "markdown/mdblockmodel.h"
#include "store/store.h"

#include <QQmlEngine>

/// Exposes the one Store, created in main(), to QML as the singleton "Store".
struct StoreForeign
{
    Q_GADGET
    QML_FOREIGN(Store)
    QML_NAMED_ELEMENT(Store)
    QML_SINGLETON

public:
    static Store *create(QQmlEngine *, QJSEngine *);
    static void setInstance(Store *store);
};

/// The chat pane's controller, created by each ChatView for its conversation.
struct ChatControllerForeign
{
    Q_GADGET
    QML_FOREIGN(ChatController)
    QML_NAMED_ELEMENT(ChatController)
};

/// The message rows of one conversation; made by the ChatController.
struct MessageListModelForeign
{
    Q_GADGET
    QML_FOREIGN(MessageListModel)
    QML_NAMED_ELEMENT(MessageListModel)
    QML_UNCREATABLE("made by ChatController")
};

/// The blocks of one message's Markdown text, made by each MarkdownBlocksView.
struct MDBlockModelForeign
{
    Q_GADGET
    QML_FOREIGN(MDBlockModel)
    QML_NAMED_ELEMENT(MDBlockModel)
};

/// The block kinds (MDBlock.Paragraph, ...), which the block delegates are chosen by.
namespace MDBlockForeign {
Q_NAMESPACE
QML_FOREIGN_NAMESPACE(MDBlock)
QML_NAMED_ELEMENT(MDBlock)
} // namespace MDBlockForeign
