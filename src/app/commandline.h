// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

#include <optional>

/// The program's own command line: help and version (the MCP probe, mcpprobe.h, is answered
/// before these). Qt's options (-platform, -session, …) are taken out by the application object
/// before the rest is checked.
namespace CommandLine {

/// Answers --help and --version from the raw arguments, before the application object exists:
/// they print and end without a display, and leave the data folder to a running program.
/// Returns the exit status then, or nothing when the program is to start.
std::optional<int> answerEarly(int argc, const char *const *argv);

/// Refuses what is left once the application object removed Qt's options (arguments() with the
/// program first): anything there is unknown, so the help goes to stderr and the status is 2.
std::optional<int> refuseUnknown(const QStringList &arguments);

QString helpText();
/// The program's version and the version of the Qt it runs with.
QString versionText();

} // namespace CommandLine
