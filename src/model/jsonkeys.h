// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

/**
 * The keys of one object inside a JSON document, in the order they are written, duplicates
 * included. Qt's reader sorts an object's keys, which loses an order the user chose (the tool
 * servers, their environment); this finds it again in the text.
 *
 * path names the object: each key is looked up in the object reached so far, the last of
 * duplicate keys counting, as Qt's reader takes it. An empty path is the root. Empty when the
 * object is not there. json should be a document Qt's reader accepted; anything else yields
 * some list without reading beyond the bytes.
 */
QList<QString> jsonObjectKeys(QByteArrayView json, const QList<QString> &path);
