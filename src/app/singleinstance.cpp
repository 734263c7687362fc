// SPDX-License-Identifier: GPL-3.0-or-later
#include "singleinstance.h"

#include "store/datafolder.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

constexpr QByteArrayView raiseRequest = "raise\n";
constexpr int connectMs = 1000;
constexpr int retryMs = 100;

QString userId()
{
#ifdef Q_OS_UNIX
    return QString::number(::getuid());
#else
    return qEnvironmentVariable("USERNAME");
#endif
}

// Hands the request to the program listening on name. The socket keeps what was written for the
// reader after we close it, so a program still loading its file gets it once its loop runs.
bool askToRaise(const QString &name, QDeadlineTimer deadline)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    const int wait = int(std::clamp<qint64>(deadline.remainingTime(), 1, connectMs));
    if (!socket.waitForConnected(wait))
        return false;
    if (socket.write(raiseRequest.data(), raiseRequest.size()) != raiseRequest.size())
        return false;
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(connectMs))
            return false;
    }
    socket.disconnectFromServer();
    return true;
}

} // namespace

SingleInstance::SingleInstance(const QString &dataDir, QObject *parent)
    : QObject(parent), m_dataDir(dataDir), m_lock(dataDir + QStringLiteral("/data.json.lock"))
{
    // A lock is stale only when its process is gone, never because it is old.
    m_lock.setStaleLockTime(0);
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::accept);
}

SingleInstance::~SingleInstance()
{
    release();
}

QString SingleInstance::serverName(const QString &dataDir)
{
    const QFileInfo info(dataDir);
    const QString path = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    const QByteArray key = (path + u'\n' + userId()).toUtf8();
    const QString name =
        QStringLiteral("corvane-") +
        QString::fromLatin1(
            QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(32));
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo(runtime).isDir() ? runtime + u'/' + name : name;
}

bool SingleInstance::takeFolder()
{
    if (m_dataDir.isEmpty())
        return false;
    DataFolder::ensure(m_dataDir);
    return lock();
}

SingleInstance::Role SingleInstance::start(std::chrono::milliseconds patience)
{
    const QDeadlineTimer deadline(patience);
    if (m_dataDir.isEmpty())
        return Role::First; // no folder, no file to share: nothing can be saved anyway
    DataFolder::ensure(m_dataDir);
    const QString name = serverName(m_dataDir);
    for (;;) {
        if (lock()) {
            listen(true);
            return Role::First;
        }
        if (m_lock.error() != QLockFile::LockFailedError) {
            // No lock file can be made (a read-only folder, say): no Store here can write
            // either, so nothing can be lost by running. The window says why saving fails.
            listen(false);
            return Role::First;
        }
        if (askToRaise(name, deadline))
            return Role::Other;
        if (deadline.hasExpired()) {
            m_error = tr("Corvane 已经在使用“%1”，但它没有回应。")
                          .arg(QDir::toNativeSeparators(m_dataDir));
            return Role::NoAnswer;
        }
        QThread::msleep(retryMs);
    }
}

bool SingleInstance::lock()
{
    if (m_lock.isLocked())
        return true;
    if (!m_lock.tryLock(0))
        return false;
    // QLockFile makes its file with the umask's mode; nothing in the folder is for others.
    QFile::setPermissions(m_dataDir + QStringLiteral("/data.json.lock"), DataFolder::fileMode);
    return true;
}

bool SingleInstance::listen(bool mayClearOld)
{
    const QString name = serverName(m_dataDir);
    // A socket left by a killed program would stop listen(); only the lock's holder may clear
    // it, or it could cut off a program that is alive.
    if (mayClearOld)
        QLocalServer::removeServer(name);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    return m_server.listen(name);
}

void SingleInstance::accept()
{
    while (QLocalSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        const auto read = [this, socket] {
            if (!socket->canReadLine()) {
                // Anything longer than the one request is not ours.
                if (socket->bytesAvailable() > raiseRequest.size())
                    socket->abort();
                return;
            }
            if (socket->readLine() == raiseRequest)
                emit raiseRequested();
            socket->abort();
        };
        connect(socket, &QLocalSocket::readyRead, this, read);
        read();
    }
}

void SingleInstance::stopListening()
{
    // Closing removes the socket file: a start now finds nobody to ask and waits for the lock.
    m_server.close();
}

void SingleInstance::release()
{
    // Closing removes our socket file before the next program may take the folder.
    stopListening();
    if (m_lock.isLocked())
        m_lock.unlock();
}
