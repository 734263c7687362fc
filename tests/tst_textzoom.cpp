// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/textzoom.h"

#include <QCoreApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTest>

using Values = QList<double>;

class TstTextZoom : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setOrganizationName(QStringLiteral("Corvane"));
        QCoreApplication::setApplicationName(QStringLiteral("Corvane"));
    }

    void init() { QSettings().remove(QStringLiteral("textZoom")); }

    // ops: '+' zoom in, '-' zoom out, '0' reset, '=' the Ctrl+= alias. A stored value that is
    // not a usable zoom counts as 1.0; one below the range is kept.
    void steps_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("ops");
        QTest::addColumn<Values>("expected");

        const QVariant none;
        // clang-format off
        QTest::newRow("in nine times from the default") << none << "+++++++++" << Values{1.1, 1.2, 1.3, 1.4, 1.5, 1.6, 1.7, 1.8, 1.8};
        QTest::newRow("out four times") << none << "----" << Values{0.9, 0.8, 0.7, 0.7};
        QTest::newRow("off the grid, in") << QVariant(1.04) << "+" << Values{1.1};
        QTest::newRow("off the grid, out") << QVariant(1.04) << "-" << Values{0.9};
        QTest::newRow("decimal half rounds away from zero") << QVariant(1.15) << "+" << Values{1.3};
        QTest::newRow("half on the way down") << QVariant(1.25) << "-" << Values{1.2};
        QTest::newRow("reset after steps up") << none << "+++0" << Values{1.1, 1.2, 1.3, 1.0};
        QTest::newRow("round trip lands on the grid") << none << "+++---" << Values{1.1, 1.2, 1.3, 1.2, 1.1, 1.0};
        QTest::newRow("alias at the top") << QVariant(1.8) << "=" << Values{1.8};
        QTest::newRow("alias from 1.75") << QVariant(1.75) << "=" << Values{1.8};
        QTest::newRow("alias then menu from 1.0") << none << "=+=" << Values{1.1, 1.2, 1.3};
        QTest::newRow("below the range, in") << QVariant(0.3) << "+" << Values{0.7};
        QTest::newRow("below the range, alias") << QVariant(0.3) << "==+" << Values{0.4, 0.5, 0.7};
        QTest::newRow("above the range") << QVariant(2.5) << "-+" << Values{1.8, 1.8};
        QTest::newRow("text") << QVariant(QStringLiteral("large")) << "+" << Values{1.1};
        QTest::newRow("zero") << QVariant(0.0) << "-" << Values{0.9};
        QTest::newRow("infinite") << QVariant(QStringLiteral("inf")) << "=" << Values{1.1};
        // clang-format on
    }

    void steps()
    {
        QFETCH(QVariant, stored);
        QFETCH(QString, ops);
        QFETCH(Values, expected);
        QCOMPARE(ops.size(), expected.size());

        if (stored.isValid())
            QSettings().setValue(QStringLiteral("textZoom"), stored);
        const QHash<char, void (TextZoom::*)()> step{{'+', &TextZoom::zoomIn},
                                                     {'-', &TextZoom::zoomOut},
                                                     {'0', &TextZoom::reset},
                                                     {'=', &TextZoom::aliasZoomIn}};
        TextZoom zoom;
        for (qsizetype i = 0; i < ops.size(); ++i) {
            (zoom.*step.value(ops[i].toLatin1()))();
            // Exactly the decimal's double: no error accumulates over steps.
            QVERIFY2(
                zoom.value() == expected[i],
                qPrintable(QStringLiteral("step %1: %2").arg(i).arg(zoom.value(), 0, 'g', 17)));
            QVERIFY(QSettings().value(QStringLiteral("textZoom")).toDouble() == expected[i]);
        }
        // A new reader (the next start, another view) sees the same value.
        QVERIFY(TextZoom().value() == expected.constLast());
    }
};

QTEST_GUILESS_MAIN(TstTextZoom)

#include "tst_textzoom.moc"
