// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringView>
#include <QUuid>

#include <optional>

/// Parses exactly the 36-character 8-4-4-4-12 form, hex digits in either case.
std::optional<QUuid> parseCanonicalUuid(QStringView text);
/// The canonical upper-case 36-character form, as ids are stored and shown to QML.
QString canonicalUuidString(const QUuid &id);
/// The same 36 characters written from out on, for writers of bytes; returns their end.
char *writeCanonicalUuid(char *out, const QUuid &id);

/// The user's connection and model settings.
struct AppSettings
{
    QString baseURL = defaultBaseURL();
    QString apiKey;
    QString model = QStringLiteral("gpt-4o-mini");
    QString systemPrompt;
    QList<QString> models;

    static QString defaultBaseURL() { return QStringLiteral("https://api.openai.com/v1"); }

    bool operator==(const AppSettings &) const = default;
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

    /// A new message with a fresh random id.
    static Message make(Role role, const QString &content)
    {
        return Message{QUuid::createUuid(), role, content, {}};
    }

    /// "user", "assistant" or "system".
    static QString roleName(Role role);
    /// Accepts exactly the three raw strings, case-sensitive.
    static std::optional<Role> roleFromName(QStringView name);

    bool operator==(const Message &) const = default;
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
    /// The conversation's own model; when absent the settings' model applies. An empty string
    /// counts as present.
    std::optional<QString> model;

    static QString defaultTitle() { return QStringLiteral("新对话"); }
    /// What an empty title shows, and what a rename to nothing stores.
    static QString untitledTitle();
    /// The title as shown: untitledTitle() when it is empty.
    QString displayTitle() const { return title.isEmpty() ? untitledTitle() : title; }
    /// No title of its own yet (the default one, or none): the first message sent names it.
    bool needsTitle() const { return title.isEmpty() || title == defaultTitle(); }

    /// A new conversation: fresh id, default title, no messages, created now, no model.
    static Conversation make();

    bool operator==(const Conversation &) const = default;
};

/// The root of the storage file.
struct AppData
{
    AppSettings settings;
    QList<Conversation> conversations;
};
