// SPDX-License-Identifier: GPL-3.0-or-later
// Tool servers for the MCP tests: the reference server and the scripted one, and a look at
// which processes of a group are still there.
#pragma once

#include "model/records.h"

#include <QDir>
#include <QFile>
#include <QStringList>

namespace McpTest {

/// The reference server, run by the Node that came with it (not the system's).
inline McpServer everything()
{
    McpServer s;
    s.name = QStringLiteral("everything");
    s.command = QStringLiteral(CORVANE_MCP_NODE);
    s.args = {QStringLiteral(CORVANE_MCP_EVERYTHING)};
    return s;
}

/// tests/mcp/scripted_server.py in one of its modes.
inline McpServer scripted(const QString &mode, const QString &name = QStringLiteral("scripted"))
{
    McpServer s;
    s.name = name;
    s.command = QStringLiteral(CORVANE_PYTHON);
    s.args = {QStringLiteral(CORVANE_MCP_SCRIPT), mode};
    return s;
}

/// The processes of a process group that still run (zombies waiting for a parent that does
/// not reap them are not running).
inline QStringList runningInGroup(qint64 group)
{
    QStringList running;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &pid : pids) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        // pid (comm) state ppid pgrp …; comm may hold spaces and parentheses.
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 2 && fields[2].toLongLong() == group && fields[0] != "Z")
            running.append(pid);
    }
    return running;
}

} // namespace McpTest
