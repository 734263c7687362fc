// SPDX-License-Identifier: GPL-3.0-or-later
// A tool host that runs nothing: it offers the tools it is given, keeps each call until the test
// answers it (or answers it itself on the next turn of the event loop), and notes what is
// cancelled.
#pragma once

#include "api/toolhost.h"

#include <QHash>
#include <QJsonDocument>
#include <QPointer>
#include <QTimer>

#include <algorithm>

class FakeToolHost : public ToolHost
{
    Q_OBJECT

public:
    struct Call
    {
        quint64 handle;
        ToolSpec tool;
        QJsonObject arguments;
        QPointer<QObject> context;
        std::function<void(ToolOutcome)> done;
    };

    QList<ToolSpec> tools;
    QStringList notReady;
    QHash<QString, ToolApproval> policies; // by server; Never when not listed
    bool autoAnswer = true;
    QList<Call> running;
    QList<quint64> cancelled;
    int started = 0;
    int mostAtOnce = 0;

    /// What an answered call gives back: the tool's name and its arguments.
    static QString resultOf(const Call &c)
    {
        return c.tool.tool + u':' +
               QString::fromUtf8(QJsonDocument(c.arguments).toJson(QJsonDocument::Compact));
    }

    bool hasTools() const override { return !tools.isEmpty(); }

    void collectTools(int, QObject *context,
                      std::function<void(QList<ToolSpec>, QStringList)> done) override
    {
        QTimer::singleShot(0, context, [this, done] { done(tools, notReady); });
    }

    ToolApproval approvalFor(const QString &server) const override
    {
        return policies.value(server, ToolApproval::Never);
    }

    quint64 call(const ToolSpec &tool, const QJsonObject &arguments, QObject *context,
                 std::function<void(ToolOutcome)> done) override
    {
        const quint64 handle = ++m_next;
        running.append({handle, tool, arguments, context, std::move(done)});
        ++started;
        mostAtOnce = std::max(mostAtOnce, int(running.size()));
        if (autoAnswer)
            QTimer::singleShot(0, this, [this, handle] { answer(handle); });
        return handle;
    }

    void cancel(quint64 handle) override
    {
        cancelled.append(handle);
        take(handle);
    }

    /// Ends a running call with the usual result, or with the given one.
    void answer(quint64 handle, std::optional<ToolOutcome> outcome = std::nullopt)
    {
        const std::optional<Call> c = take(handle);
        if (c && c->context)
            c->done(outcome.value_or(ToolOutcome{resultOf(*c), false, {}}));
    }

private:
    std::optional<Call> take(quint64 handle)
    {
        const auto it = std::find_if(running.begin(), running.end(),
                                     [handle](const Call &c) { return c.handle == handle; });
        if (it == running.end())
            return std::nullopt;
        Call c = *it;
        running.erase(it);
        return c;
    }

    quint64 m_next = 0;
};
