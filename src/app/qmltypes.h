// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Every C++ type that QML sees is registered here, and only here, with QML_FOREIGN: the types
// themselves carry no QML macros, whether they live in a subsystem library or beside this file.

#include "app/appearance.h"
#include "app/clipboard.h"
#include "app/desktopnotifier.h"
#include "app/gatewaylist.h"
#include "app/historyactions.h"
#include "app/keytext.h"
#include "app/linkopener.h"
#include "app/modelcatalog.h"
#include "app/searchresultsmodel.h"
#include "app/settingsform.h"
#include "app/sidebarmodel.h"
#include "app/textzoom.h"
#include "app/theme.h"
#include "app/toolserverlist.h"
#include "app/translations.h"
#include "chat/chatcontroller.h"
#include "chat/messagelistmodel.h"
#include "chat/modelpickermodel.h"
#include "chat/quick/listfollower.h"
#include "chat/quick/messagetext.h"
#include "markdown/mdblockmodel.h"
#include "markdown/quick/blockstack.h"
#include "markdown/quick/codehighlighter.h"
#include "markdown/quick/codesource.h"
#include "markdown/quick/inlinesource.h"
#include "markdown/quick/matchhighlighter.h"
#include "markdown/quick/mathformulas.h"
#include "markdown/synclistmodel.h"
#include "mcp/mcphub.h"
#include "store/store.h"

#include <QQmlEngine>

/**
 * The Store as QML sees it: the same Store, with its operations on ids taking the ids as text,
 * the upper-case canonical form that QML's models give. The one place where QML's ids are read
 * and written; text that is not a canonical UUID names no conversation. Whoever shows the
 * Store to QML makes it as a QmlStore.
 */
class QmlStore : public Store
{
    Q_OBJECT
    /// The selected conversation's id; empty when nothing is selected.
    Q_PROPERTY(
        QString selectedID READ selectedIDText WRITE setSelectedIDText NOTIFY selectedIDChanged)

public:
    using Store::remove;
    using Store::rename;
    using Store::Store;

    QString selectedIDText() const;
    void setSelectedIDText(const QString &id);
    Q_INVOKABLE void remove(const QString &id);
    Q_INVOKABLE void rename(const QString &id, const QString &name);
};

/// Exposes the one Store, created in main(), to QML as the singleton "Store".
struct StoreForeign
{
    Q_GADGET
    QML_FOREIGN(QmlStore)
    QML_NAMED_ELEMENT(Store)
    QML_SINGLETON

public:
    static QmlStore *create(QQmlEngine *, QJSEngine *);
    static void setInstance(QmlStore *store);
};

/// The Store's own type, which the properties that take a Store have.
struct StoreTypeForeign
{
    Q_GADGET
    QML_FOREIGN(Store)
    QML_ANONYMOUS
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

/// The composer's model menu; made by the ChatController.
struct ModelPickerModelForeign
{
    Q_GADGET
    QML_FOREIGN(ModelPickerModel)
    QML_NAMED_ELEMENT(ModelPickerModel)
    QML_UNCREATABLE("made by ChatController")
};

/// The files waiting in the composer; made by the ChatController.
struct PendingAttachmentsForeign
{
    Q_GADGET
    QML_FOREIGN(PendingAttachments)
    QML_NAMED_ELEMENT(PendingAttachments)
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

/// Colours, sizes and icon glyphs; one per engine.
struct ThemeForeign
{
    Q_GADGET
    QML_FOREIGN(Theme)
    QML_NAMED_ELEMENT(Theme)
    QML_SINGLETON
};

/// The text zoom factor and the font sizes it gives; one per engine.
struct TextZoomForeign
{
    Q_GADGET
    QML_FOREIGN(TextZoom)
    QML_NAMED_ELEMENT(TextZoom)
    QML_SINGLETON
};

struct ClipboardForeign
{
    Q_GADGET
    QML_FOREIGN(Clipboard)
    QML_NAMED_ELEMENT(Clipboard)
    QML_SINGLETON
};

/// The desktop's notifications of replies that end while the window is in the background.
struct DesktopNotifierForeign
{
    Q_GADGET
    QML_FOREIGN(DesktopNotifier)
    QML_NAMED_ELEMENT(DesktopNotifier)
};

/// Shortcuts as menus show them.
struct KeyTextForeign
{
    Q_GADGET
    QML_FOREIGN(KeyText)
    QML_NAMED_ELEMENT(KeyText)
    QML_SINGLETON
};

struct LinkOpenerForeign
{
    Q_GADGET
    QML_FOREIGN(LinkOpener)
    QML_NAMED_ELEMENT(LinkOpener)
    QML_SINGLETON
};

/// The Settings window's fields, bound to the Store's settings.
struct SettingsFormForeign
{
    Q_GADGET
    QML_FOREIGN(SettingsForm)
    QML_NAMED_ELEMENT(SettingsForm)
};

/// The sidebar's conversation rows and their selection.
struct SidebarModelForeign
{
    Q_GADGET
    QML_FOREIGN(SidebarModel)
    QML_NAMED_ELEMENT(SidebarModel)
};

/// Where the chat pane's message list stands: at its end, on a search match, or where the
/// user scrolled it.
struct ListFollowerForeign
{
    Q_GADGET
    QML_FOREIGN(ListFollower)
    QML_NAMED_ELEMENT(ListFollower)
};

/// One message row's text, read from the message model without the script engine.
struct MessageTextForeign
{
    Q_GADGET
    QML_FOREIGN(MessageText)
    QML_NAMED_ELEMENT(MessageText)
};

/// Formula images and their TeX; one per engine, which it gives the "math" image provider.
struct MathFormulasForeign
{
    Q_GADGET
    QML_FOREIGN(MathFormulas)
    QML_NAMED_ELEMENT(MathFormulas)
    QML_SINGLETON
public:
    static MathFormulas *create(QQmlEngine *engine, QJSEngine *)
    {
        return new MathFormulas(engine);
    }
};

/// The blocks of one message, with views only for those near the visible part.
struct BlockStackForeign
{
    Q_GADGET
    QML_FOREIGN(BlockStack)
    QML_NAMED_ELEMENT(BlockStack)
};

/// The rich text an InlineText shows for its inline HTML.
struct InlineSourceForeign
{
    Q_GADGET
    QML_FOREIGN(InlineSource)
    QML_NAMED_ELEMENT(InlineSource)
};

/// The view a BlockStack makes for the blocks of one kind.
struct BlockChoiceForeign
{
    Q_GADGET
    QML_FOREIGN(BlockChoice)
    QML_NAMED_ELEMENT(BlockChoice)
};

/// A list model that follows a list of flat maps with the fewest changes (list items, cells).
struct SyncListModelForeign
{
    Q_GADGET
    QML_FOREIGN(SyncListModel)
    QML_NAMED_ELEMENT(SyncListModel)
};

/// Light or dark, and whether code is highlighted: the 显示 menu's choices; one per engine.
struct AppearanceForeign
{
    Q_GADGET
    QML_FOREIGN(Appearance)
    QML_NAMED_ELEMENT(Appearance)
    QML_SINGLETON
};

/// The interface language, the 显示 menu's choice; one per program, followed by every engine.
struct LanguageForeign
{
    Q_GADGET
    QML_FOREIGN(Language)
    QML_NAMED_ELEMENT(Language)
    QML_SINGLETON

public:
    static Language *create(QQmlEngine *engine, QJSEngine *);
};

/// Marks a search's matches in a block of a message.
struct MatchHighlighterForeign
{
    Q_GADGET
    QML_FOREIGN(MatchHighlighter)
    QML_NAMED_ELEMENT(MatchHighlighter)
};

/// Colours a code block's text by its language.
struct CodeHighlighterForeign
{
    Q_GADGET
    QML_FOREIGN(CodeHighlighter)
    QML_NAMED_ELEMENT(CodeHighlighter)
};

/// A code block's code, tokens and pieces, shared by the pieces' highlighters.
struct CodeSourceForeign
{
    Q_GADGET
    QML_FOREIGN(CodeSource)
    QML_NAMED_ELEMENT(CodeSource)
};

/// The pieces a long code block is drawn in; a code block's own.
struct CodePiecesForeign
{
    Q_GADGET
    QML_FOREIGN(CodePieces)
    QML_ANONYMOUS
};

/// The gateway's model list as a filterable checklist, for the Settings window.
struct ModelCatalogForeign
{
    Q_GADGET
    QML_FOREIGN(ModelCatalog)
    QML_NAMED_ELEMENT(ModelCatalog)
};

/// The Settings window's list of gateways and their presets.
struct GatewayListModelForeign
{
    Q_GADGET
    QML_FOREIGN(GatewayListModel)
    QML_NAMED_ELEMENT(GatewayListModel)
};

/// The Settings window's list of tool servers.
struct ToolServerListModelForeign
{
    Q_GADGET
    QML_FOREIGN(ToolServerListModel)
    QML_NAMED_ELEMENT(ToolServerListModel)
};

/// The tool host's own type, which the chat controller's toolHost has.
struct ToolHostForeign
{
    Q_GADGET
    QML_FOREIGN(ToolHost)
    QML_ANONYMOUS
};

/// The one hub of tool servers, created in main(), as the singleton "ToolHub".
struct ToolHubForeign
{
    Q_GADGET
    QML_FOREIGN(McpHub)
    QML_NAMED_ELEMENT(ToolHub)
    QML_SINGLETON

public:
    static McpHub *create(QQmlEngine *, QJSEngine *);
    static void setInstance(McpHub *hub);
};

/// Export, copy, undo of a delete, backup and restore of the history.
struct HistoryActionsForeign
{
    Q_GADGET
    QML_FOREIGN(HistoryActions)
    QML_NAMED_ELEMENT(HistoryActions)
};

/// The sidebar's search results, found on a worker thread.
struct SearchResultsModelForeign
{
    Q_GADGET
    QML_FOREIGN(SearchResultsModel)
    QML_NAMED_ELEMENT(SearchResultsModel)
};
