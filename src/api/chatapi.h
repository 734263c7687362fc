// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "api/chatapierror.h"
#include "api/chatstream.h"
#include "model/records.h"

#include <QList>
#include <QString>

#include <chrono>
#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QUrl;

/**
 * The chat-completions client: one streaming request per call, built from a copy of the
 * settings and a model name. It keeps no state between requests.
 */
class ChatAPI
{
public:
    /// Longest time without any data from the gateway before a request fails as timed out.
    static constexpr std::chrono::milliseconds defaultTimeout{120'000};
    /// A successful reply's line is dropped beyond this length (its rest is read and dropped).
    static constexpr qsizetype maxLineLength = 16 * 1024 * 1024;
    /// An error response's body is kept up to this many bytes; the rest is read and dropped.
    static constexpr qsizetype maxErrorBodyLength = 64 * 1024;

    ChatAPI(const AppSettings &settings, const QString &model);

    const AppSettings &settings() const { return m_settings; }
    const QString &model() const { return m_model; }
    void setModel(const QString &model) { m_model = model; }
    std::chrono::milliseconds timeout() const { return m_timeout; }
    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }

    /**
     * Posts messages (after the optional system prompt) and streams the reply.
     *
     * Returns at once with a running stream, owned by parent when one is given, else by the
     * caller. Every outcome, including the failures found before anything is sent (no key,
     * a key with control characters, a bad address, a refused scheme), arrives through the
     * stream's finished() signal from the event loop. Main thread only.
     */
    ChatStream *streamChat(const QList<Message> &messages, QObject *parent = nullptr) const;

    /// The address of path under the user's base address (trimmed, its slashes at both ends
    /// dropped); path starts with a slash.
    static QString endpoint(const QString &baseURL, QStringView path);
    /// Why the key cannot be sent, if it cannot: empty, or a control character inside.
    static std::optional<ChatAPIError> checkKey(const AppSettings &settings);
    /// Whether a redirect may be followed: the key goes to the configured origin only.
    static bool sameOrigin(const QUrl &a, const QUrl &b);

    /// The failure of a reply that ended without a response; a proxy's own failure is named as
    /// such.
    static ChatAPIError networkError(const QNetworkReply *reply);

    /// The application's one network access manager, created on first use and owned by the
    /// application object. Main thread only.
    static QNetworkAccessManager *networkAccessManager();

private:
    AppSettings m_settings;
    QString m_model;
    std::chrono::milliseconds m_timeout = defaultTimeout;
};
