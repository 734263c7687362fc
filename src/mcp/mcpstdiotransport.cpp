// SPDX-License-Identifier: GPL-3.0-or-later
#include "mcpstdiotransport.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTimer>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace {

bool groupAlive(qint64 group)
{
    return group > 0 && (::kill(pid_t(-group), 0) == 0 || errno == EPERM);
}

void signalGroup(qint64 group, int signal)
{
    if (group > 0)
        ::kill(pid_t(-group), signal);
}

/**
 * Ends a server's process group after its transport let go of it: stdin is closed already;
 * after a grace period the group is asked to end, after another one it is killed. Deletes
 * itself once the group is gone. Destroyed before that (the program quits), it ends the group
 * at once.
 */
class ProcessReaper : public QObject
{
public:
    ProcessReaper(QProcess *process, qint64 group, int graceMs)
        : QObject(QCoreApplication::instance()), m_process(process), m_group(group),
          m_graceMs(graceMs)
    {
        process->setParent(this);
        connect(process, &QProcess::finished, this, &ProcessReaper::leaderEnded);
        m_timer.setSingleShot(true);
        connect(&m_timer, &QTimer::timeout, this, &ProcessReaper::step);
        m_timer.start(graceMs);
        if (process->state() == QProcess::NotRunning)
            leaderEnded();
    }

    ~ProcessReaper() override
    {
        if (m_process->state() != QProcess::NotRunning) {
            signalGroup(m_group, SIGTERM);
            m_process->waitForFinished(200);
        }
        signalGroup(m_group, SIGKILL);
    }

private:
    void leaderEnded()
    {
        if (!groupAlive(m_group))
            deleteLater();
        else if (m_stage == 0)
            step(); // what it started is still there: no use waiting
    }

    void step()
    {
        if (!groupAlive(m_group)) {
            deleteLater();
            return;
        }
        if (m_stage++ == 0) {
            signalGroup(m_group, SIGTERM);
            m_timer.start(m_graceMs);
            return;
        }
        signalGroup(m_group, SIGKILL);
        if (m_process->state() == QProcess::NotRunning)
            deleteLater();
        else
            connect(m_process, &QProcess::finished, this, &QObject::deleteLater);
    }

    QProcess *m_process;
    qint64 m_group;
    int m_graceMs;
    int m_stage = 0;
    QTimer m_timer;
};

} // namespace

McpStdioTransport::McpStdioTransport(const McpServer &server, QObject *parent)
    : McpTransport(parent), m_server(server)
{}

McpStdioTransport::~McpStdioTransport()
{
    stopProcess();
}

QStringList McpStdioTransport::extraSearchFolders()
{
    const QString home = QDir::homePath();
    QStringList candidates{
        home + QStringLiteral("/.local/bin"), home + QStringLiteral("/.npm-global/bin"),
        home + QStringLiteral("/.cargo/bin"), QStringLiteral("/usr/local/bin"),
        home + QStringLiteral("/.bun/bin"),   home + QStringLiteral("/.deno/bin")};
    // nvm's node, when a shell that loaded nvm started the program, else its "current" link.
    const QString nvmBin = qEnvironmentVariable("NVM_BIN");
    candidates.append(nvmBin.isEmpty() ? home + QStringLiteral("/.nvm/current/bin") : nvmBin);
    QStringList folders;
    for (const QString &folder : candidates) {
        if (QFileInfo(folder).isDir() && !folders.contains(folder))
            folders.append(folder);
    }
    return folders;
}

QString McpStdioTransport::findCommand(const QString &command, const QString &path,
                                       const QString &folder)
{
    if (command.isEmpty())
        return {};
    if (command.contains(u'/')) {
        const QFileInfo file(QDir(folder).absoluteFilePath(command));
        return file.isFile() && file.isExecutable() ? file.absoluteFilePath() : QString();
    }
    const QStringList onPath = path.split(u':', Qt::SkipEmptyParts);
    QString found = QStandardPaths::findExecutable(command, onPath);
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(command, extraSearchFolders());
    return found;
}

void McpStdioTransport::start()
{
    if (m_process || m_done)
        return;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The user folders go after the system's PATH, so that a script found there (npx) finds
    // its interpreter (node) beside it.
    QStringList path = environment.value(QStringLiteral("PATH")).split(u':', Qt::SkipEmptyParts);
    for (const QString &folder : extraSearchFolders()) {
        if (!path.contains(folder))
            path.append(folder);
    }
    environment.insert(QStringLiteral("PATH"), path.join(u':'));
    for (const auto &[name, value] : m_server.env)
        environment.insert(name, value);

    // No shell expands a leading ~ here, but users write it as they would in one.
    QString folder = m_server.cwd.isEmpty() ? QDir::homePath() : m_server.cwd;
    if (folder == u"~" || folder.startsWith(u"~/"))
        folder = QDir::homePath() + folder.mid(1);
    if (!QFileInfo(folder).isDir()) {
        QTimer::singleShot(0, this,
                           [this, folder] { fail(tr("找不到工作目录「%1」").arg(folder)); });
        return;
    }
    const QString program =
        findCommand(m_server.command, environment.value(QStringLiteral("PATH")), folder);
    if (program.isEmpty()) {
        QTimer::singleShot(0, this, [this] { fail(tr("找不到命令「%1」").arg(m_server.command)); });
        return;
    }

    auto *process = new QProcess(this);
    m_process = process;
    process->setProgram(program);
    process->setArguments(m_server.args);
    process->setProcessEnvironment(environment);
    process->setWorkingDirectory(folder);
    // A group of its own: stopping the server reaches what it started.
    process->setChildProcessModifier([] { ::setsid(); });
    connect(process, &QProcess::started, this, [this, process] {
        m_group = process->processId();
        if (!m_done)
            emit started();
    });
    connect(process, &QProcess::readyReadStandardOutput, this, &McpStdioTransport::readOutput);
    connect(process, &QProcess::readyReadStandardError, this, &McpStdioTransport::readErrors);
    connect(process, &QProcess::finished, this, &McpStdioTransport::processFinished);
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart)
            fail(tr("无法启动「%1」：%2").arg(m_server.command, process->errorString()));
    });
    process->start(QIODevice::ReadWrite);
}

void McpStdioTransport::send(const QByteArray &message)
{
    if (m_process && !m_done && m_process->state() == QProcess::Running) {
        m_process->write(message);
        m_process->write("\n", 1);
    }
}

void McpStdioTransport::close()
{
    m_done = true;
    stopProcess();
}

void McpStdioTransport::readOutput()
{
    if (!m_process)
        return;
    m_reader.append(m_process->readAllStandardOutput());
    while (!m_done) {
        const auto item = m_reader.next();
        if (!item)
            break;
        if (item->problem.isEmpty())
            emit message(item->message);
        else
            emit logLine(item->problem);
    }
}

void McpStdioTransport::readErrors()
{
    if (!m_process)
        return;
    m_errors.append(m_process->readAllStandardError());
    while (const auto line = m_errors.next()) {
        QString text = QString::fromUtf8(line->bytes).trimmed();
        if (text.isEmpty())
            continue;
        if (line->truncated)
            text += u'…';
        m_lastError = text;
        if (!m_done)
            emit logLine(text);
    }
}

void McpStdioTransport::processFinished(int exitCode, QProcess::ExitStatus status)
{
    if (m_done)
        return;
    readOutput();
    if (const auto last = m_reader.finish(); last && !m_done) {
        if (last->problem.isEmpty())
            emit message(last->message);
        else
            emit logLine(last->problem);
    }
    if (m_done)
        return;
    readErrors();
    if (const auto rest = m_errors.takeRest()) {
        m_lastError = QString::fromUtf8(rest->bytes).trimmed();
        emit logLine(m_lastError);
    }
    QString reason = status == QProcess::CrashExit
                         ? tr("服务器进程意外终止")
                         : tr("服务器进程已退出（退出码 %1）").arg(exitCode);
    if (!m_lastError.isEmpty())
        reason += tr("：%1").arg(m_lastError);
    fail(reason);
}

void McpStdioTransport::fail(const QString &reason)
{
    if (m_done)
        return;
    m_done = true;
    emit failed(reason);
    stopProcess();
}

void McpStdioTransport::stopProcess()
{
    if (!m_process)
        return;
    QProcess *process = m_process;
    m_process.clear();
    const qint64 group = m_group ? m_group : process->processId();
    m_group = 0;
    process->disconnect(this);
    if (process->state() == QProcess::NotRunning && !groupAlive(group)) {
        process->deleteLater();
        return;
    }
    process->closeWriteChannel();
    new ProcessReaper(process, group, m_graceMs);
}
