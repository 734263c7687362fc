// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

/**
 * "corvane --mcp-probe URL [TOOL [JSON-ARGS]]": connects to an MCP server over HTTP, lists its
 * tools and calls one, printing what came back; for trying a server from a terminal, and for the
 * MCP conformance suite's client scenarios. Needs no display and leaves the data folder alone.
 */
namespace McpProbe {

/// Whether the command line asks for the probe (its first argument is --mcp-probe).
bool requested(int argc, const char *const *argv);

/**
 * Runs the probe with the arguments after --mcp-probe, under a running QCoreApplication. With
 * no tool named, the tool the conformance suite's scenario (MCP_CONFORMANCE_SCENARIO) expects
 * is called, if any. Returns 0 on success, 1 when the server or the call failed (the reason on
 * stderr), 2 for arguments it cannot use.
 */
int run(const QStringList &arguments);

} // namespace McpProbe
