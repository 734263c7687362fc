// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "util/backgroundrunner.h"

#include <QObject>
#include <QPointer>

class Store;

/**
 * Removes the attachment files that no message uses any more: once at start-up, after the
 * first successful save of the run, and whenever the Store lets go of files that might have
 * come back (a delete that can no longer be undone). Never while the Store says that files
 * may not be removed (the data file was unreadable, or not saved yet in this run).
 *
 * What is in use is taken from the Store as the clean-up starts; the folder is read and the
 * files removed in the background. A file stored while it runs is left for the next one.
 */
class AttachmentSweeper : public QObject
{
    Q_OBJECT

public:
    explicit AttachmentSweeper(Store *store, QObject *parent = nullptr);
    ~AttachmentSweeper() override;

    /// No clean-up is waiting or running.
    bool isIdle() const { return m_runner.isIdle(); }

signals:
    /// A clean-up has ended, having removed that many files.
    void swept(int removed);

private:
    void sweep();

    QPointer<Store> m_store;
    bool m_sweptAtStart = false;
    BackgroundRunner m_runner{BackgroundRunner::Mode::NewestWins, QStringLiteral("sweeper")};
};
