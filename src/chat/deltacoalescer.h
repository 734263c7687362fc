// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUuid>

#include <chrono>

class Store;

/**
 * The one way a streaming reply's fragments reach the Store: at most one change of the message
 * per frame, however many fragments arrive in it. A fast gateway sends dozens per frame, and
 * every change makes the pane lay the reply out again.
 *
 * A fragment waits at most a frame, with the ones that follow it, and they go through together.
 * Text and reasoning keep their order: a fragment of the other kind first hands over what
 * waits. flush() hands over what waits now; call it before acting on the end of the reply.
 *
 * As it hands the fragments over it tells the Store's ReplyRegistry when the reply begins and
 * ends to think: reasoning apart from the answer, or a "<think>" block that opens the text.
 */
class DeltaCoalescer : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds frame{16};

    DeltaCoalescer(Store *store, const QUuid &conversation, const QUuid &message,
                   QObject *parent = nullptr);

    void appendText(const QString &delta);
    void appendReasoning(const QString &delta);
    void flush();

private:
    enum class Kind { Text, Reasoning };
    void append(Kind kind, const QString &delta);
    void handOver(Kind kind, const QString &text);

    QPointer<Store> m_store;
    QUuid m_conversation;
    QUuid m_message;
    QString m_pending;
    Kind m_pendingKind = Kind::Text;
    /// Runs from the first fragment that waits to the end of its frame.
    QTimer m_frame;
};
