// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "api/toolhost.h"
#include "chat/messagelistmodel.h"
#include "chat/modelpickermodel.h"
#include "chat/pendingattachments.h"
#include "chat/replystream.h"
#include "model/records.h"
#include "store/store.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUuid>

#include <optional>

/**
 * The logic of one chat pane: its view state, the values the pane shows, and its operations
 * (send, stop, regenerate, edit and resend, model choice).
 *
 * The controller never keeps a reference or an index to its conversation across a wait: the
 * conversation is looked up by id in the Store at every use. A reply streams through a
 * ReplyStream kept in the Store's ReplyRegistry, so it goes on when the pane (and this
 * controller) is destroyed. The pane is sending while its conversation has a running reply, whoever
 * started it, and shows the failure of any reply that ends while the pane shows its conversation.
 */
class ChatController : public QObject
{
    Q_OBJECT
    Q_PROPERTY(Store *store READ store WRITE setStore NOTIFY storeChanged)
    Q_PROPERTY(QString conversationID READ conversationIDString WRITE setConversationIDString NOTIFY
                   storeChanged)
    Q_PROPERTY(QString input READ input WRITE setInput NOTIFY inputChanged)
    Q_PROPERTY(bool sending READ sending NOTIFY sendingChanged)
    Q_PROPERTY(bool showError READ showError WRITE setShowError NOTIFY showErrorChanged)
    Q_PROPERTY(QString errorMessage READ errorMessage NOTIFY errorMessageChanged)
    Q_PROPERTY(QString editingID READ editingIDString NOTIFY editingIDChanged)
    Q_PROPERTY(QString editText READ editText WRITE setEditText NOTIFY editTextChanged)
    /// The files of the message being edited that the edit removes, by their place in it.
    Q_PROPERTY(QList<int> editRemovedFiles READ editRemovedFiles NOTIFY editRemovedFilesChanged)
    Q_PROPERTY(bool inputFocused READ inputFocused WRITE setInputFocused NOTIFY inputFocusedChanged)
    Q_PROPERTY(MessageListModel *messages READ messageModel NOTIFY storeChanged)
    Q_PROPERTY(QString title READ title NOTIFY titleChanged)
    Q_PROPERTY(QString effectiveModel READ effectiveModel NOTIFY effectiveModelChanged)
    /// What the picker shows: the model, and whether its gateway was removed.
    Q_PROPERTY(QString modelLabel READ modelLabel NOTIFY effectiveModelChanged)
    /// The conversation's gateway by name, when there is more than one to tell apart.
    Q_PROPERTY(QString gatewayName READ gatewayName NOTIFY effectiveModelChanged)
    Q_PROPERTY(ModelPickerModel *modelOptions READ modelOptions CONSTANT)
    /// The files waiting to go with the next message.
    Q_PROPERTY(PendingAttachments *attachments READ attachments CONSTANT)
    Q_PROPERTY(bool canSend READ canSend NOTIFY canSendChanged)
    /// The earlier messages' images go with each request (the conversation's option).
    Q_PROPERTY(
        bool historyImages READ historyImages WRITE setHistoryImages NOTIFY historyImagesChanged)
    /// The API key, trimmed of spaces and tabs only, is empty: the placeholder shows the hint.
    Q_PROPERTY(bool keyMissing READ keyMissing NOTIFY keyMissingChanged)
    /// Tool servers are set up: the composer shows the "工具" switch.
    Q_PROPERTY(bool toolsAvailable READ toolsAvailable NOTIFY toolsChanged)
    /// The conversation offers the model the tools (its switch, on unless turned off).
    Q_PROPERTY(bool toolsEnabled READ toolsEnabled WRITE setToolsEnabled NOTIFY toolsChanged)
    /// What the user should know about the tools of the running reply; empty when nothing.
    /// Where tool calls go; null: the model is offered no tools.
    Q_PROPERTY(ToolHost *toolHost READ toolHost WRITE setToolHost NOTIFY toolsChanged)
    Q_PROPERTY(QString toolNotice READ toolNotice NOTIFY toolNoticeChanged)

public:
    explicit ChatController(QObject *parent = nullptr);
    ChatController(Store *store, const QUuid &conversationID, QObject *parent = nullptr);
    ~ChatController() override;

    Store *store() const { return m_store; }
    void setStore(Store *store);
    QUuid conversationID() const { return m_id; }
    QString conversationIDString() const;
    void setConversationIDString(const QString &id);

    QString input() const { return m_input; }
    void setInput(const QString &input);
    bool sending() const { return m_sending; }
    bool showError() const { return m_showError; }
    void setShowError(bool show);
    QString errorMessage() const { return m_errorMessage; }
    std::optional<QUuid> editingID() const { return m_editingID; }
    QString editingIDString() const;
    QString editText() const { return m_editText; }
    void setEditText(const QString &text);
    QList<int> editRemovedFiles() const { return m_editRemovedFiles; }
    bool inputFocused() const { return m_inputFocused; }
    void setInputFocused(bool focused);

    MessageListModel *messageModel() const { return m_model; }
    QList<Message> messages() const;
    QString title() const;
    QString effectiveModel() const;
    /// The conversation's gateway; null for the first.
    QUuid gateway() const;
    /// The conversation's gateway is no longer in the settings.
    bool gatewayRemoved() const;
    QString modelLabel() const;
    QString gatewayName() const;
    ModelPickerModel *modelOptions() const { return m_modelOptions; }
    PendingAttachments *attachments() const { return m_attachments; }
    bool canSend() const;
    bool keyMissing() const;
    bool historyImages() const;
    /// Sets the conversation's option and saves.
    void setHistoryImages(bool send);

    /// Where this pane's replies send tool calls; null: no tools, and no switch.
    ToolHost *toolHost() const { return m_toolHost; }
    void setToolHost(ToolHost *host);
    bool toolsAvailable() const;
    bool toolsEnabled() const;
    void setToolsEnabled(bool enabled);
    QString toolNotice() const { return m_toolNotice; }

public slots:
    void send();
    void stop();
    void regenerate();
    /// For a model that refuses images: the last question again without any image, and the
    /// conversation sends no earlier message's images from then on.
    void regenerateWithoutImages();
    void submitEdit(const QString &messageID);
    void submitEdit(const QUuid &messageID);
    /// A model on the conversation's gateway.
    void setModel(const QString &name);
    /// A model and its gateway (a canonical id; empty for the first), together.
    void chooseModel(const QString &gatewayID, const QString &name);
    /// Row callbacks: ignored while sending; otherwise opens the editor on that message.
    void startEdit(const QString &messageID);
    /// Opens a stored file with the desktop's application: a read-only copy under its own
    /// name, so that the stored one is never edited.
    void openAttachment(const QUrl &file, const QString &name);
    void cancelEdit();
    /// The edit removes the file at that place of the message; submitEdit() applies it.
    void removeEditFile(int index);
    /// Answers to the approval card of the call with that id (a canonical call id).
    void allowCall(const QString &callID);
    void allowConversation(const QString &callID);
    void denyCall(const QString &callID);

signals:
    void storeChanged();
    void inputChanged();
    void sendingChanged();
    void showErrorChanged();
    void errorMessageChanged();
    void editingIDChanged();
    void editTextChanged();
    void editRemovedFilesChanged();
    void inputFocusedChanged();
    void titleChanged();
    void effectiveModelChanged();
    void canSendChanged();
    void keyMissingChanged();
    void historyImagesChanged();
    /// Something to tell the user that is not a failure (a file that could not be sent).
    void notice(const QString &message);
    void toolsChanged();
    void toolNoticeChanged();

private:
    const Conversation *conversation() const;
    /// images: by default as the conversation's option says.
    void startStream(const QList<Message> &history, const QUuid &assistantID,
                     std::optional<ReplyStream::Images> images = std::nullopt);
    void resendLast(std::optional<ReplyStream::Images> images);
    void replyFinished(const QUuid &conversation, const QString &error);
    void setSending(bool sending);
    void setEditingID(const std::optional<QUuid> &id);
    void rebind();
    void refreshDerived();
    void keepPendingFiles();
    void answerCall(const QString &callID, int answer);
    void setToolNotice(const QString &notice);

    QPointer<Store> m_store;
    QUuid m_id;
    MessageListModel *m_model = nullptr;
    QString m_input;
    bool m_sending = false;
    bool m_showError = false;
    QString m_errorMessage;
    std::optional<QUuid> m_editingID;
    QString m_editText;
    QList<int> m_editRemovedFiles;
    bool m_inputFocused = false;

    // Last announced derived values, so their signals fire only on real changes.
    QString m_title;
    QString m_effectiveModel;
    QString m_modelLabel;
    QString m_gatewayName;
    ModelPickerModel *m_modelOptions = nullptr;
    PendingAttachments *m_attachments = nullptr;
    bool m_canSend = false;
    bool m_keyMissing = true;
    bool m_historyImages = true;
    QList<QMetaObject::Connection> m_storeConnections;
    QPointer<ToolHost> m_toolHost;
    QString m_toolNotice;
};
