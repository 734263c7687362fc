// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/records.h"

#include <QString>

/**
 * The large data set the benchmarks share: 10,000 conversations of mixed Chinese and ASCII
 * text, about 50 MB as data.json, the size a heavy user reaches after years. The same seed
 * always gives the same text (ids and nothing else are random).
 */
namespace LargeData {

constexpr int conversationCount = 10'000;

/// The 10,000 conversations. With longMessages > 0, one more conversation of that many
/// messages comes second in the list; its replies are Markdown excerpts of the shared 100 KB
/// reply (headings, lists, tables, code), so that its rows are as costly to draw as real ones.
AppData generate(int longMessages = 0);

/// Title of the long conversation, to find it again.
QString longTitle();

/// Writes dir/data.json (dir is created if needed) with the storage encoder; the file's size in
/// bytes, or -1 on failure.
qint64 write(const QString &dir, const AppData &data);

} // namespace LargeData
