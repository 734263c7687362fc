// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QSharedData>
#include <QSharedDataPointer>
#include <QString>
#include <QStringView>
#include <QUuid>

#include <optional>
#include <utility>

/// Parses exactly the 36-character 8-4-4-4-12 form, hex digits in either case.
std::optional<QUuid> parseCanonicalUuid(QStringView text);
/// The canonical upper-case 36-character form, as ids are stored and shown to QML.
QString canonicalUuidString(const QUuid &id);
/// The same 36 characters written from out on, for writers of bytes; returns their end.
char *writeCanonicalUuid(char *out, const QUuid &id);

struct Conversation;

/// A gateway beyond the first one, which lives in the settings' own fields.
struct Provider
{
    QUuid id;
    QString name;
    QString baseURL;
    QString apiKey;
    QList<QString> models;
    /// A local server that wants no key: none is checked or sent.
    bool noKey = false;
    /// Asks for the token usage in the stream, which some relays refuse as an unknown field.
    bool streamUsage = false;
    // Further per-gateway request fields (extra headers) belong here, stored after the flags.

    bool operator==(const Provider &) const = default;
};

/// How the calls of a tool server's tools are approved.
enum class McpApproval {
    Ask,            ///< every call waits for the user (the default, not stored)
    AskOncePerTool, ///< "askOncePerTool": the first call of each tool waits
    Never,          ///< "never": calls run without asking
};

/// A tool server the user added: a command to start, or an address to reach over HTTP.
struct McpServer
{
    using Pairs = QList<std::pair<QString, QString>>;

    /// Unique among the servers; the key it is stored under.
    QString name;
    QString command;
    QList<QString> args;
    /// Added to the program's own environment, in the user's order. Secrets, like a key.
    Pairs env;
    /// Where the command runs; empty: the home folder.
    QString cwd;
    QString url;
    /// Sent with every HTTP request, in the user's order. Secrets, like a key.
    Pairs headers;
    bool enabled = true;
    McpApproval approval = McpApproval::Ask;
    /// Tools of this server never offered to the model, by their names on the server.
    QList<QString> disabledTools;

    /// The stored name of an approval, and back (nothing for an unknown one).
    static QString approvalName(McpApproval approval);
    static std::optional<McpApproval> approvalFromName(QStringView name);

    bool operator==(const McpServer &) const = default;
};

/// The user's connection and model settings. baseURL, apiKey, model and models describe the
/// first gateway, which always exists and has no id.
struct AppSettings
{
    QString baseURL = defaultBaseURL();
    QString apiKey;
    QString model = QStringLiteral("gpt-4o-mini");
    QString systemPrompt;
    QList<QString> models;
    /// The first gateway's name; empty when it has none of its own (see firstGatewayName()).
    QString name;
    /// The further gateways, in the user's order; ids are unique and never null.
    QList<Provider> providers;
    /// The gateway new conversations start on; null for the first one.
    QUuid defaultProvider;
    /// The tool servers, in the user's order; names are unique.
    QList<McpServer> mcpServers;

    static QString defaultBaseURL() { return QStringLiteral("https://api.openai.com/v1"); }
    /// The first gateway's name when it has none of its own. Stored, so in its source form.
    static QString defaultGatewayName()
    {
        return QStringLiteral(QT_TRANSLATE_NOOP("Stored", "默认"));
    }

    /// The gateway with that id, or null (also for a null id, the first gateway's).
    const Provider *provider(const QUuid &id) const;
    /// Whether a conversation on that gateway can be sent: the first one, or one still listed.
    bool hasGateway(const QUuid &id) const { return id.isNull() || provider(id); }
    /// A gateway's name as shown: the first gateway's default name in the interface's language,
    /// a further one without a name by its address; empty for a gateway not listed.
    QString gatewayName(const QUuid &id) const;
    /// The model a conversation talks to: its own, else its gateway's default (the first
    /// gateway's model, or another gateway's first model). Empty for a removed gateway.
    QString modelFor(const Conversation &c) const;

    bool operator==(const AppSettings &) const = default;
};

/// What a gateway said a reply cost, in tokens. A count the gateway did not give is -1.
struct TokenUsage
{
    qint64 prompt = -1;     ///< "prompt_tokens"
    qint64 completion = -1; ///< "completion_tokens"
    qint64 reasoning = -1;  ///< "completion_tokens_details.reasoning_tokens"

    bool isEmpty() const { return prompt < 0 && completion < 0 && reasoning < 0; }
    /// A count read from JSON: a whole number from 0 to 9e15 (exact as a double), else -1.
    static qint64 count(double number)
    {
        return number >= 0 && number <= 9e15 && qint64(number) == number ? qint64(number) : -1;
    }
    bool operator==(const TokenUsage &) const = default;
};

/// A file sent with a message. Its bytes live in the attachments folder beside the data file,
/// in a file named by sha256; the data file holds only this description.
struct Attachment
{
    /// The name the user's file had (or one made up for a pasted image), shown and sent.
    QString name;
    /// A MIME type: image/jpeg, image/png, text/plain, application/pdf…
    QString type;
    /// Lowercase hex SHA-256 of the stored bytes, which are exactly what is sent.
    QString sha256;
    /// The stored file's size in bytes.
    qint64 size = 0;

    bool isImage() const { return type.startsWith(u"image/"); }
    /// Whether text is a file name of the folder: 64 lowercase hex digits.
    static bool isHash(QStringView text);
    bool operator==(const Attachment &) const = default;
};

/// One call of a tool the model asked for in a reply, with what it gave back.
struct ToolCall
{
    /// The gateway's id of the call, which the result names when it is sent back.
    QString id;
    /// The function name sent to the gateway ("<server>__<tool>", cleaned).
    QString name;
    /// The arguments as JSON text, exactly as the model wrote them.
    QString arguments;
    /// The text the model was given back; empty while the call has not ended.
    QString result;
    bool isError = false;
    /// Whatever the gateway added to the call beside the function ("extra_content", such as a
    /// thought signature), as compact JSON, sent back with the call. Kept only while the
    /// program runs: a later run sends the history as the file has it.
    QString extra;

    bool operator==(const ToolCall &) const = default;
};

/// The rare parts of a message, kept apart so that an ordinary message stays small.
struct MessageExtras : QSharedData
{
    QString error;
    QString errorKind;
    TokenUsage usage;
    QList<Attachment> attachments;
    QList<ToolCall> toolCalls;

    bool isEmpty() const
    {
        return error.isEmpty() && errorKind.isEmpty() && usage.isEmpty() && attachments.isEmpty() &&
               toolCalls.isEmpty();
    }
    bool operator==(const MessageExtras &o) const
    {
        return error == o.error && errorKind == o.errorKind && usage == o.usage &&
               attachments == o.attachments && toolCalls == o.toolCalls;
    }
};

/// One turn of a conversation.
struct Message
{
    enum class Role { User, Assistant, System };

    QUuid id;
    Role role = Role::User;
    QString content;
    /// The model's reasoning before its answer, kept beside it; never sent back. Empty: none.
    QString reasoning;
    /// Null when the message has none of the rare parts; shared between copies until one
    /// of them changes. Read and written through the accessors below.
    QSharedDataPointer<MessageExtras> extras;

    /// A new message with a fresh random id.
    static Message make(Role role, const QString &content)
    {
        return Message{QUuid::createUuid(), role, content, {}, {}};
    }

    /// Why the reply failed, as the user was told; empty when it did not.
    const QString &error() const { return readExtras().error; }
    /// What kind of failure it was, for the advice shown with it: "http:<status>",
    /// "network:<Qt's error name>", "noKey", "badKey", "badURL", "timeout", "gateway",
    /// "empty", "incomplete" or "gatewayRemoved". Empty when there was none.
    const QString &errorKind() const { return readExtras().errorKind; }
    /// Marks the reply as failed; empty texts clear the mark.
    void setError(const QString &error, const QString &kind);
    /// What the gateway said the reply cost; empty when it said nothing.
    const TokenUsage &usage() const { return readExtras().usage; }
    void setUsage(const TokenUsage &usage);
    /// The files sent with a user's message, in the order attached.
    const QList<Attachment> &attachments() const { return readExtras().attachments; }
    void setAttachments(const QList<Attachment> &attachments);
    /// The tools a reply called, in the order the model asked for them.
    const QList<ToolCall> &toolCalls() const { return readExtras().toolCalls; }
    void setToolCalls(const QList<ToolCall> &calls);

    /// "user", "assistant" or "system".
    static QString roleName(Role role);
    /// Accepts exactly the three raw strings, case-sensitive.
    static std::optional<Role> roleFromName(QStringView name);

    /// Equal parts; no extras and empty extras are the same.
    bool operator==(const Message &o) const
    {
        return id == o.id && role == o.role && content == o.content && reasoning == o.reasoning &&
               readExtras() == o.readExtras();
    }

private:
    const MessageExtras &readExtras() const;
    /// Drops extras that hold nothing, so a cleared message is small again.
    void settleExtras();
};

/// Seconds since 2001-01-01 00:00:00 UTC. Kept as a double so stored values round-trip exactly.
using TimeStamp = double;

/// The current time as a TimeStamp.
TimeStamp currentTimeStamp();

/// One chat thread.
struct Conversation
{
    QUuid id;
    QString title = defaultTitle();
    QList<Message> messages;
    TimeStamp createdAt = 0;
    /// The conversation's own model; when absent its gateway's default applies (the settings'
    /// model on the first gateway). An empty string counts as present.
    std::optional<QString> model;
    /// The gateway it talks to: null for the first one. It keeps the id of a gateway that was
    /// removed, so that the user sees what it used; nothing is sent until another is picked.
    QUuid provider;
    /// Whether the model is offered the tools of the user's servers (the composer's switch).
    bool tools = true;
    /// The images of earlier messages are sent with each request; off for a model that
    /// refuses images, or to save the tokens they cost. The last message's own always go.
    bool historyImages = true;

    // Both are stored, so they stay in their source form (see model/storedtext.h).
    static QString defaultTitle() { return QStringLiteral(QT_TRANSLATE_NOOP("Stored", "新对话")); }
    /// What a rename to nothing stores.
    static QString untitledTitle() { return QStringLiteral(QT_TRANSLATE_NOOP("Stored", "未命名")); }
    /// How a title is shown: an empty one as untitledTitle(), and the titles the program wrote
    /// itself in the interface's language.
    static QString shownTitle(const QString &title);
    /// This conversation's title as shown.
    QString displayTitle() const { return shownTitle(title); }
    /// No title of its own yet (the default one, or none): the first message sent names it.
    bool needsTitle() const { return title.isEmpty() || title == defaultTitle(); }

    /// A new conversation: fresh id, default title, no messages, created now, no model.
    static Conversation make();

    bool operator==(const Conversation &) const = default;
};

/// Every file the conversations' messages refer to, once per sha256, in the order first met.
QList<Attachment> attachedFiles(const QList<Conversation> &conversations);

/// The root of the storage file.
struct AppData
{
    AppSettings settings;
    QList<Conversation> conversations;
    /// Reading skipped a malformed entry among the optional ones (a gateway, a conversation's
    /// gateway): the file does not read back as it was, so it is kept aside before a save.
    bool skippedEntries = false;
};
