// SPDX-License-Identifier: GPL-3.0-or-later
// The clean-up of attachment files: when it runs, and which files it leaves, with deletes that
// may still be undone and files waiting in composers.
#include "app/historyactions.h"
#include "chat/attachmentsweeper.h"
#include "chat/chatcontroller.h"
#include "storetestutil.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace StoreTest;
using namespace Qt::Literals::StringLiterals;

namespace {

Attachment textFile(const QString &name)
{
    const QByteArray bytes = name.toUtf8();
    return {
        name, u"text/plain"_s,
        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()),
        bytes.size()};
}

// A conversation named by letter whose one message refers to the file named by the letter.
Conversation withFile(QChar letter)
{
    Conversation c = conv(letter);
    Message m = Message::make(Message::Role::User, QString(letter));
    m.setAttachments({textFile(QString(letter))});
    c.messages = {m};
    return c;
}

} // namespace

class TstAttachmentSweeper : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;

    QString folder() const { return m_dir->filePath(u"attachments"_s); }

    // Stores a file under its hash, written an hour ago, so that only its use decides.
    void storeOld(const QString &name)
    {
        QDir().mkpath(folder());
        QFile file(folder() + u'/' + textFile(name).sha256);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write(name.toUtf8()) > 0 && file.flush());
        QVERIFY(file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-3600),
                                 QFileDevice::FileModificationTime));
    }
    // The names of the files left, sorted.
    QString left() const
    {
        QStringList names;
        for (const QString &name : {u"a"_s, u"b"_s, u"p"_s, u"q"_s, u"o"_s}) {
            if (QFileInfo::exists(folder() + u'/' + textFile(name).sha256))
                names.append(name);
        }
        return names.join(QString());
    }
    // Attaches the stored file named name in the controller's composer.
    static void attach(ChatController &controller, const QString &name, const QString &source)
    {
        QFile file(source);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(name.toUtf8()) > 0);
        file.close();
        controller.attachments()->addUrls({QUrl::fromLocalFile(source)});
        QTRY_VERIFY(!controller.attachments()->busy());
        QCOMPARE(controller.attachments()->ready().size(), 1);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
    }

    // Conversations a and b refer to files a and b; the composers of both panes hold p and q;
    // o is used by nothing. After the steps, a clean-up leaves the files that may be used.
    void leavesWhatMayBeUsed_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("expected");

        QTest::newRow("start-up") << QStringList{} << u"abpq"_s;
        QTest::newRow("delete that may be undone") << QStringList{u"delete b"_s} << u"abpq"_s;
        QTest::newRow("delete no longer undoable")
            << QStringList{u"delete b"_s, u"forget"_s} << u"apq"_s;
        QTest::newRow("delete undone") << QStringList{u"delete b"_s, u"undo"_s} << u"abpq"_s;
        QTest::newRow("a second delete ends the first's undo")
            << QStringList{u"delete b"_s, u"delete a"_s} << u"apq"_s;
        QTest::newRow("chip removed") << QStringList{u"remove p"_s} << u"abq"_s;
        QTest::newRow("other pane closed") << QStringList{u"close q"_s} << u"abp"_s;
    }
    void leavesWhatMayBeUsed()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, expected);

        for (const QString &name : {u"a"_s, u"b"_s, u"o"_s})
            storeOld(name);
        Store store(m_dir->path());
        store.addConversationsAtTop({withFile(u'a'), withFile(u'b')});
        AttachmentSweeper sweeper(&store);
        QSignalSpy swept(&sweeper, &AttachmentSweeper::swept);
        HistoryActions history;
        history.setStore(&store);
        ChatController pane(&store, conv(u'a').id);
        auto other = std::make_unique<ChatController>(&store, conv(u'b').id);
        attach(pane, u"p"_s, m_dir->filePath(u"p"_s));
        attach(*other, u"q"_s, m_dir->filePath(u"q"_s));
        // Stored just now: made old, so that a clean-up would take them but for their use.
        storeOld(u"p"_s);
        storeOld(u"q"_s);

        // The first save of the run starts one clean-up.
        QVERIFY(store.flush());
        QTRY_COMPARE(swept.size(), 1);
        QCOMPARE(left(), u"abpq"_s);

        for (const QString &step : steps) {
            const QString what = step.section(u' ', 0, 0);
            const QString arg = step.section(u' ', 1);
            if (what == u"delete")
                history.removeWithUndo(canonicalUuidString(conv(arg.at(0)).id));
            else if (what == u"undo")
                history.undoRemove();
            else if (what == u"forget")
                history.forgetRemoved();
            else if (what == u"remove")
                pane.attachments()->remove(0);
            else if (what == u"close")
                other.reset();
        }
        // However the steps ended, one more clean-up shows what is still held.
        int token = 0;
        store.releaseFiles(&token);
        QTRY_VERIFY(sweeper.isIdle());
        QCOMPARE(left(), expected);
    }

    // Files go only once the history was read and saved in this run: an unreadable data.json
    // starts an empty history that refers to nothing.
    void leavesFilesAlone_data()
    {
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<bool>("save");

        QTest::newRow("unreadable data file") << "{\"conversations\":[{"_ba << true;
        QTest::newRow("not saved yet") << encodeAppData({}, {withFile(u'a')}) << false;
    }
    void leavesFilesAlone()
    {
        QFETCH(QByteArray, data);
        QFETCH(bool, save);

        QVERIFY(writeAll(m_dir->filePath(u"data.json"_s), data));
        storeOld(u"a"_s);
        storeOld(u"o"_s);
        Store store(m_dir->path());
        AttachmentSweeper sweeper(&store);
        if (save)
            QVERIFY(saveNow(store));
        store.releaseFiles(this);
        // A clean-up is started at once or not at all.
        QVERIFY(sweeper.isIdle());
        QCOMPARE(left(), u"ao"_s);
    }
};

QTEST_MAIN(TstAttachmentSweeper)
#include "tst_attachmentsweeper.moc"
