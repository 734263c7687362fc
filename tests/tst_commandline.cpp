// SPDX-License-Identifier: GPL-3.0-or-later
// The real program's command line: help and version print and end with no display at all and
// without touching the data folder; anything else that is not Qt's own is refused with the help
// and status 2. The MCP probe, too, runs without a display or the data folder.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

class TestCommandLine : public QObject
{
    Q_OBJECT

    QTemporaryDir m_tmp;

    QString dataDir() const { return m_tmp.filePath(u"share/Corvane"_s); }

private slots:
    void run_data()
    {
        QTest::addColumn<QStringList>("arguments");
        // Whether the program may reach a (virtual) display; help and version must not need one.
        QTest::addColumn<bool>("display");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        // The argument the first line of stderr names as refused.
        QTest::addColumn<QString>("err");

        const QString version = u"Corvane %1 (Qt %2)\n"_s.arg(QStringLiteral(CORVANE_VERSION),
                                                              QString::fromLatin1(qVersion()));
        QTest::newRow("help") << QStringList{u"--help"_s} << false << 0 << u"--version"_s
                              << QString();
        QTest::newRow("help, short")
            << QStringList{u"-h"_s} << false << 0 << u"--help"_s << QString();
        QTest::newRow("version") << QStringList{u"--version"_s} << false << 0 << version
                                 << QString();
        QTest::newRow("version, short")
            << QStringList{u"-v"_s} << false << 0 << version << QString();
        // Answered before anything is checked, so no display is needed for the unknown one.
        QTest::newRow("version after an unknown option")
            << QStringList{u"--bogus"_s, u"--version"_s} << false << 0 << version << QString();
        // Refused before a display is asked for.
        QTest::newRow("unknown option")
            << QStringList{u"--bogus"_s} << false << 2 << QString() << u"--bogus"_s;
        QTest::newRow("stray argument")
            << QStringList{u"notes.txt"_s} << false << 2 << QString() << u"notes.txt"_s;
        QTest::newRow("a Qt option's value is no argument")
            << QStringList{u"-qwindowtitle"_s, u"--bogus"_s, u"x"_s} << false << 2 << QString()
            << u"x"_s;
        // Qt takes its own options out first: only what is left is refused, and named.
        QTest::newRow("unknown after Qt's options")
            << QStringList{u"-platform"_s, u"offscreen"_s, u"-session"_s, u"s1"_s, u"-x"_s} << false
            << 2 << QString() << u"-x"_s;
        // The MCP probe: a terminal program of its own, which says what is wrong with its
        // arguments, and fails with the server's reason.
        QTest::newRow("probe without an address")
            << QStringList{u"--mcp-probe"_s} << false << 2 << QString() << u"缺少服务器地址"_s;
        QTest::newRow("probe with arguments that are no JSON object")
            << QStringList{u"--mcp-probe"_s, u"http://127.0.0.1:9/mcp"_s, u"echo"_s, u"[1]"_s}
            << false << 2 << QString() << u"工具参数不是 JSON 对象：[1]"_s;
        QTest::newRow("probe of a server nobody runs")
            << QStringList{u"--mcp-probe"_s, u"http://127.0.0.1:9/mcp"_s} << false << 1 << QString()
            << u"无法连接到服务器"_s;
    }

    void run()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, display);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);

        QVERIFY(m_tmp.isValid());
        QDir(m_tmp.path()).removeRecursively();
        QVERIFY(QDir().mkpath(m_tmp.filePath(u"run"_s)));
        QFile::setPermissions(m_tmp.filePath(u"run"_s),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString &name : {u"DISPLAY"_s, u"WAYLAND_DISPLAY"_s, u"QT_QPA_PLATFORM"_s})
            env.remove(name);
        if (display)
            env.insert(u"QT_QPA_PLATFORM"_s, u"offscreen"_s);
        env.insert(u"HOME"_s, m_tmp.path());
        env.insert(u"XDG_DATA_HOME"_s, m_tmp.filePath(u"share"_s));
        env.insert(u"XDG_CONFIG_HOME"_s, m_tmp.filePath(u"config"_s));
        env.insert(u"XDG_RUNTIME_DIR"_s, m_tmp.filePath(u"run"_s));

        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(CORVANE_APP), arguments);
        QVERIFY(p.waitForFinished(30000));
        const QString stdOut = QString::fromUtf8(p.readAllStandardOutput());
        const QString stdErr = QString::fromUtf8(p.readAllStandardError());
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QVERIFY2(p.exitCode() == status,
                 qPrintable(u"status %1, stderr: %2"_s.arg(p.exitCode()).arg(stdErr)));

        // Nothing was read or locked: a running program keeps the folder to itself.
        QVERIFY(status == 2 || !QFileInfo::exists(dataDir()));
        if (status == 0) {
            QVERIFY2(stdOut.contains(out), qPrintable(stdOut));
            QVERIFY2(stdErr.isEmpty(), qPrintable(stdErr));
        } else if (status == 1) {
            // A failure of the work asked for: its reason, without the help.
            QVERIFY2(stdErr.contains(err), qPrintable(stdErr));
            QVERIFY2(!stdErr.contains(u"--version"_s), qPrintable(stdErr));
        } else {
            QVERIFY2(stdOut.isEmpty(), qPrintable(stdOut));
            QVERIFY2(stdErr.section(u'\n', 0, 0).endsWith(err), qPrintable(stdErr));
            // The help follows, so that the user sees what is known.
            QVERIFY2(stdErr.contains(u"--version"_s), qPrintable(stdErr));
        }
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
