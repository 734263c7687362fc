// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/records.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <QUuid>

#include <cstddef>
#include <optional>

class QFile;
class QIODevice;

/**
 * The JSON form of data.json.
 *
 * Writing is compact UTF-8 with raw non-ASCII text, every '/' written as "\/", upper-case
 * canonical UUIDs, dates as the shortest number that reads back to the same double, and an
 * absent conversation model left out. Reading yields the whole AppData or nothing.
 */
/// The bytes of data.json. Empty only when the data cannot be written as JSON (a date that is
/// not a finite number); callers treat that as a save that wrote nothing.
QByteArray encodeAppData(const AppSettings &settings, const QList<Conversation> &conversations);
inline QByteArray encodeAppData(const AppData &data)
{
    return encodeAppData(data.settings, data.conversations);
}

/// The decoded file, or nothing when any rule of the format is broken. Missing or null
/// settings and conversation keys take their defaults; a conversation without an id or a
/// creation time gets a fresh id and the current time.
std::optional<AppData> decodeAppData(const QByteArray &bytes);
/// Spare room that decodeAppData() wants after the bytes, to read them without a copy.
inline constexpr qsizetype storageReadPadding = 64;
/// A device's whole contents with storageReadPadding bytes of spare room after them.
QByteArray readPadded(QIODevice &file);

/**
 * The whole contents of a file opened for reading, with storageReadPadding bytes of zeros
 * after them, for decodeAppData().
 *
 * A regular file is mapped into memory where the system allows it: the system's cached pages
 * are then read in place, rather than copied into fresh memory that the system must first
 * clear (for a large history that copy was a fifth of the start's work). The pages after the
 * file's last one are kept readable. Anything else, or a file that cannot be mapped, is read
 * with readPadded().
 */
class FileContents
{
public:
    explicit FileContents(QFile &file);
    ~FileContents();
    FileContents(const FileContents &) = delete;
    FileContents &operator=(const FileContents &) = delete;

    /// False when the file could not be read.
    bool isValid() const { return m_valid; }
    bool isMapped() const { return m_map != nullptr; }
    QByteArrayView bytes() const;

private:
    QByteArray m_read;
    void *m_map = nullptr;
    std::size_t m_mapLength = 0;
    qsizetype m_size = 0;
    bool m_valid = false;
};

/// The same as decodeAppData(contents.bytes()), read in place.
std::optional<AppData> decodeAppData(const FileContents &contents);
/// The same rules through Qt's JSON reader alone: the verdict decodeAppData() falls back to
/// when its fast reader cannot read a file, and an independent check for tests.
std::optional<AppData> decodeAppDataWithQt(const QByteArray &bytes);
