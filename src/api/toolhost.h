// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

/// One tool of one server, as it is offered to the model.
struct ToolSpec
{
    /// The function name sent to the gateway: unique within a request, only [A-Za-z0-9_-], at
    /// most 64 characters ("<server>__<tool>", cleaned, cut, a numeric suffix on a collision).
    QString function;
    /// The server's name as the user wrote it, and the tool's own name on that server.
    QString server;
    QString tool;
    QString description;
    /// The tool's input schema, sent as the function's "parameters".
    QJsonObject parameters;

    bool operator==(const ToolSpec &) const = default;
};

/// What one call gave back.
struct ToolOutcome
{
    /// What the model is sent, and what is stored: the text parts joined, a note for each part
    /// that is not text, the structured content's JSON when there is no text; cut with a note
    /// when over 256 KB.
    QString text;
    bool isError = false;
    /// The result's content blocks as the server sent them, for showing images and links.
    QJsonArray content;
};

/// How a server's calls are approved.
enum class ToolApproval {
    Ask,            ///< every call waits for the user
    AskOncePerTool, ///< the first call of each tool waits; the next ones of that tool run
    Never,          ///< calls run without asking
};

/**
 * Where the chat's tool calls go: the tool servers the user configured. Lives on the main
 * thread. Every answer arrives through a callback from the event loop, never from within the
 * call that asked, and never after context is destroyed.
 */
class ToolHost : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    /// Whether any server is enabled, which turns a new conversation's tools on.
    virtual bool hasTools() const = 0;

    /// The tools of every enabled server. Starts servers that are not running and waits at
    /// most waitMs for them; notReady names the servers left out of this answer.
    virtual void collectTools(int waitMs, QObject *context,
                              std::function<void(QList<ToolSpec> tools, QStringList notReady)>
                                  done) = 0;

    /// The approval policy of a server (Ask for one not known).
    virtual ToolApproval approvalFor(const QString &server) const = 0;

    /// Runs one call of a tool from the last collectTools() answer. Returns a handle for
    /// cancel(); done is called exactly once, unless the call is cancelled first.
    virtual quint64 call(const ToolSpec &tool, const QJsonObject &arguments, QObject *context,
                         std::function<void(ToolOutcome)> done) = 0;

    /// Cancels a running call (the server is told); its done is not called.
    virtual void cancel(quint64 handle) = 0;

signals:
    /// A server's tools, or whether it is enabled, changed.
    void toolsChanged();
};
