// SPDX-License-Identifier: GPL-3.0-or-later
// Small helpers shared by the Store and conversation list tests.
#pragma once

#include "model/storagecodec.h"
#include "store/store.h"

#include <QFile>

namespace StoreTest {

// A conversation named by one letter (its title), with an id that is the same in every run.
inline Conversation conv(QChar letter)
{
    Conversation c;
    c.id = QUuid::createUuidV5(QUuid(), QString(letter));
    c.title = QString(letter);
    c.createdAt = 773020800;
    return c;
}

// Saves and waits for the write; whether it worked.
inline bool saveNow(Store &store)
{
    store.save();
    return store.flush();
}

inline QString titles(const QList<Conversation> &list)
{
    QString s;
    for (const Conversation &c : list)
        s += c.title;
    return s;
}

inline QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size() && f.flush();
}

// Writes dir/data.json holding one conversation per letter.
inline bool writeConversations(const QString &dir, const QString &letters)
{
    QList<Conversation> list;
    for (QChar l : letters)
        list.append(conv(l));
    return writeAll(dir + QStringLiteral("/data.json"), encodeAppData(AppSettings{}, list));
}

} // namespace StoreTest
