// SPDX-License-Identifier: GPL-3.0-or-later
// The composer's model menu: its sections, its check mark and its filter.
#include "chat/modelpickermodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

const QUuid relayID = QUuid::fromString(u"1B4E28BA-2FA1-11D2-883F-0016D3CCA427"_s);
const QUuid localID = QUuid::fromString(u"6FA459EA-EE8A-3CA4-894E-DB77E160355E"_s);

// The first gateway with its default and list; a relay and a local one with theirs.
AppSettings settings(const QStringList &first, const QStringList &relay, const QStringList &local)
{
    AppSettings s;
    s.model = first.value(0);
    s.models = first.mid(1);
    if (!relay.isEmpty() || !local.isEmpty()) {
        s.providers = {Provider{relayID, u"中转"_s, {}, {}, relay},
                       Provider{localID, u"本机"_s, {}, {}, local}};
    }
    return s;
}

// The rows as text: "[name]" for a header, "✓" before the current entry.
QStringList rows(const ModelPickerModel &m)
{
    QStringList out;
    for (int i = 0; i < m.rowCount(); ++i) {
        const QModelIndex at = m.index(i);
        out << (at.data(ModelPickerModel::HeaderRole).toBool()
                    ? u'[' + at.data(ModelPickerModel::GatewayNameRole).toString() + u']'
                    : (at.data(ModelPickerModel::CurrentRole).toBool() ? u"✓"_s : QString()) +
                          at.data(ModelPickerModel::ModelRole).toString());
    }
    return out;
}

} // namespace

Q_DECLARE_METATYPE(AppSettings)

class TestModelPickerModel : public QObject
{
    Q_OBJECT

private slots:
    void entries_data()
    {
        QTest::addColumn<AppSettings>("settings");
        QTest::addColumn<QUuid>("gateway");
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("expected");

        const QStringList none;
        // clang-format off
        QTest::newRow("one gateway, no headers") << settings({u"m"_s, u" a\t"_s, u"a"_s, u""_s, u"m"_s}, none, none) << QUuid() << u"a"_s << QString() << QStringList{u"m"_s, u"✓a"_s};
        QTest::newRow("a section each") << settings({u"m"_s}, {u"m"_s, u"c"_s}, {u"q"_s}) << QUuid() << u"m"_s << QString() << QStringList{u"[默认]"_s, u"✓m"_s, u"[中转]"_s, u"m"_s, u"c"_s, u"[本机]"_s, u"q"_s};
        QTest::newRow("same name, other gateway") << settings({u"m"_s}, {u"m"_s}, {u"q"_s}) << relayID << u"m"_s << QString() << QStringList{u"[默认]"_s, u"m"_s, u"[中转]"_s, u"✓m"_s, u"[本机]"_s, u"q"_s};
        QTest::newRow("a gateway without models") << settings({u"m"_s}, none, {u"q"_s}) << localID << u"q"_s << QString() << QStringList{u"[默认]"_s, u"m"_s, u"[本机]"_s, u"✓q"_s};
        QTest::newRow("removed gateway checks nothing") << settings({u"m"_s}, {u"m"_s}, none) << QUuid::createUuid() << u"m"_s << QString() << QStringList{u"[默认]"_s, u"m"_s, u"[中转]"_s, u"m"_s};
        QTest::newRow("filter by model") << settings({u"gpt"_s}, {u"GPT-4o"_s, u"claude"_s}, {u"q"_s}) << QUuid() << u"gpt"_s << u" gpt "_s << QStringList{u"[默认]"_s, u"✓gpt"_s, u"[中转]"_s, u"GPT-4o"_s};
        QTest::newRow("filter by gateway") << settings({u"m"_s}, {u"a"_s, u"b"_s}, {u"q"_s}) << QUuid() << u"m"_s << u"中转"_s << QStringList{u"[中转]"_s, u"a"_s, u"b"_s};
        QTest::newRow("filter, nothing") << settings({u"m"_s}, {u"a"_s}, none) << QUuid() << u"m"_s << u"zz"_s << QStringList{};
        // clang-format on
    }

    void entries()
    {
        QFETCH(AppSettings, settings);
        QFETCH(QUuid, gateway);
        QFETCH(QString, model);
        QFETCH(QString, filter);
        QFETCH(QStringList, expected);
        ModelPickerModel m;
        QAbstractItemModelTester tester(&m);
        m.update(settings, gateway, model);
        m.setFilter(filter);
        QCOMPARE(rows(m), expected);
        for (int i = 0; i < m.rowCount(); ++i) {
            const QModelIndex at = m.index(i);
            const QUuid id = QUuid::fromString(at.data(ModelPickerModel::GatewayIDRole).toString());
            QCOMPARE(at.data(ModelPickerModel::GatewayNameRole).toString(),
                     settings.gatewayName(id));
        }
    }

    // Choosing another entry moves only the check; the list stays.
    void currentChangesOnlyTheCheck()
    {
        ModelPickerModel m;
        QAbstractItemModelTester tester(&m);
        const AppSettings s = settings({u"m"_s}, {u"m"_s}, {u"q"_s});
        m.update(s, {}, u"m"_s);
        QSignalSpy reset(&m, &QAbstractItemModel::modelReset);
        QSignalSpy changed(&m, &QAbstractItemModel::dataChanged);
        QSignalSpy count(&m, &ModelPickerModel::modelCountChanged);
        m.update(s, relayID, u"m"_s);
        QCOMPARE(reset.size(), 0);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed.first().at(2).value<QList<int>>(),
                 QList<int>{ModelPickerModel::CurrentRole});
        QCOMPARE(rows(m),
                 (QStringList{u"[默认]"_s, u"m"_s, u"[中转]"_s, u"✓m"_s, u"[本机]"_s, u"q"_s}));
        m.update(s, relayID, u"m"_s);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(count.size(), 0);
        QCOMPARE(m.modelCount(), 3);
    }
};

QTEST_GUILESS_MAIN(TestModelPickerModel)
#include "tst_modelpickermodel.moc"
