// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/records.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>

/**
 * The tool calls of one streamed reply, put together from the fragments of its deltas'
 * "tool_calls". A call's id and name come first and its arguments follow in pieces; fragments
 * name their call by "index".
 *
 * Gateways differ: some leave out the index, some put every call at index 0, some send a
 * whole call in one fragment. A fragment with an id that differs from the call it would join
 * starts a new call; one without an index joins the call of the fragment before it.
 */
class ToolCallGatherer
{
public:
    /// One delta's "tool_calls": each entry a fragment. Anything that is not one is ignored.
    void add(const QJsonArray &fragments);
    void add(const QJsonObject &fragment);

    /// The calls gathered, in the order they began. A call without a name cannot be run and is
    /// left out; one without an id gets one made up from its position.
    QList<ToolCall> calls() const;

private:
    struct Gathered
    {
        int index = -1;
        ToolCall call;
    };
    QList<Gathered> m_calls;
};
