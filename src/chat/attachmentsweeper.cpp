// SPDX-License-Identifier: GPL-3.0-or-later
#include "attachmentsweeper.h"

#include "attach/attachmentstore.h"
#include "store/store.h"

#include <QDateTime>
#include <QFileInfo>

AttachmentSweeper::AttachmentSweeper(Store *store, QObject *parent)
    : QObject(parent), m_store(store)
{
    connect(store, &Store::saved, this, [this](bool ok) {
        if (ok && !m_sweptAtStart) {
            m_sweptAtStart = true;
            sweep();
        }
    });
    connect(store, &Store::filesReleased, this, &AttachmentSweeper::sweep);
}

AttachmentSweeper::~AttachmentSweeper() = default;

void AttachmentSweeper::sweep()
{
    if (!m_store || !m_store->mayRemoveUnusedFiles())
        return;
    const AttachmentStore files(QFileInfo(m_store->fileURL()).absolutePath());
    // A file written in the last moments may belong to an import whose result has not reached
    // the Store yet; the clock's grain on some file systems is a second or two.
    const QDateTime notBefore = QDateTime::currentDateTimeUtc().addSecs(-2);
    m_runner.run([files, inUse = m_store->filesInUse(),
                  notBefore] { return files.removeUnreferenced(inUse, notBefore); },
                 [this](int removed) { emit swept(removed); });
}
