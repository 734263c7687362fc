// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/records.h"

#include <QCoreApplication>
#include <QList>
#include <QString>

/**
 * Servers pasted as JSON ("导入 JSON"), in the forms server READMEs and other clients use: a
 * {"mcpServers": {…}} block (or {"servers": {…}}), a bare object of servers keyed by name, or
 * a single server, which is named after its package or address. Servers keep the pasted order,
 * their variables and headers too. Numbers and booleans among the arguments and variables are
 * taken as their text; keys this program does not use are ignored.
 */
struct McpImport
{
    Q_DECLARE_TR_FUNCTIONS(McpImport)

public:
    QList<McpServer> servers;
    /// What is wrong with the text, in Chinese; empty when it was read.
    QString error;

    static McpImport parse(const QString &text);
    /// A name for a server pasted without one.
    static QString suggestedName(const McpServer &server);
};
