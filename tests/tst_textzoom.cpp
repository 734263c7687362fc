// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/textzoom.h"

#include <QCoreApplication>
#include <QSettings>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <cmath>

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

    void steps_data();
    void steps();
    void storedValue_data();
    void storedValue();
};

using Values = QList<double>;

// ops: '+' zoom in, '-' zoom out, '0' reset, '=' the Ctrl+= alias. A stored value of NaN means
// nothing is stored.
void TstTextZoom::steps_data()
{
    QTest::addColumn<double>("stored");
    QTest::addColumn<QString>("ops");
    QTest::addColumn<Values>("expected");

    const double none = std::nan("");
    QTest::newRow("in nine times from the default")
        << none << "+++++++++" << Values{1.1, 1.2, 1.3, 1.4, 1.5, 1.6, 1.7, 1.8, 1.8};
    QTest::newRow("out four times") << none << "----" << Values{0.9, 0.8, 0.7, 0.7};
    QTest::newRow("off the grid, in") << 1.04 << "+" << Values{1.1};
    QTest::newRow("off the grid, out") << 1.04 << "-" << Values{0.9};
    QTest::newRow("decimal half rounds away from zero") << 1.15 << "+" << Values{1.3};
    QTest::newRow("half on the way down") << 1.25 << "-" << Values{1.2};
    QTest::newRow("reset after steps up") << none << "+++0" << Values{1.1, 1.2, 1.3, 1.0};
    QTest::newRow("round trip lands on the grid")
        << none << "+++---" << Values{1.1, 1.2, 1.3, 1.2, 1.1, 1.0};
    QTest::newRow("alias at the top") << 1.8 << "=" << Values{1.8};
    QTest::newRow("alias from 1.75") << 1.75 << "=" << Values{1.8};
    QTest::newRow("alias then menu from 1.0") << none << "=+=" << Values{1.1, 1.2, 1.3};
    QTest::newRow("below the range, in") << 0.3 << "+" << Values{0.7};
    QTest::newRow("below the range, alias") << 0.3 << "==+" << Values{0.4, 0.5, 0.7};
    QTest::newRow("above the range") << 2.5 << "-+" << Values{1.8, 1.8};
}

void TstTextZoom::steps()
{
    QFETCH(double, stored);
    QFETCH(QString, ops);
    QFETCH(Values, expected);
    QCOMPARE(ops.size(), expected.size());

    if (!std::isnan(stored))
        QSettings().setValue(QStringLiteral("textZoom"), stored);
    const QHash<char, void (TextZoom::*)()> step{{'+', &TextZoom::zoomIn},
                                                 {'-', &TextZoom::zoomOut},
                                                 {'0', &TextZoom::reset},
                                                 {'=', &TextZoom::aliasZoomIn}};
    TextZoom zoom;
    for (qsizetype i = 0; i < ops.size(); ++i) {
        (zoom.*step.value(ops[i].toLatin1()))();
        // Exactly the decimal's double: no error accumulates over steps.
        QVERIFY2(zoom.value() == expected[i],
                 qPrintable(QStringLiteral("step %1: %2").arg(i).arg(zoom.value(), 0, 'g', 17)));
        QVERIFY(QSettings().value(QStringLiteral("textZoom")).toDouble() == expected[i]);
    }
    // A new reader (the next start, another view) sees the same value.
    QVERIFY(TextZoom().value() == expected.constLast());
}

void TstTextZoom::storedValue_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<double>("expected");

    QTest::newRow("nothing stored") << QVariant() << 1.0;
    QTest::newRow("below the range is kept") << QVariant(0.3) << 0.3;
    QTest::newRow("text") << QVariant(QStringLiteral("large")) << 1.0;
    QTest::newRow("zero") << QVariant(0.0) << 1.0;
    QTest::newRow("infinite") << QVariant(QStringLiteral("inf")) << 1.0;
}

void TstTextZoom::storedValue()
{
    QFETCH(QVariant, stored);
    QFETCH(double, expected);
    if (stored.isValid())
        QSettings().setValue(QStringLiteral("textZoom"), stored);
    QCOMPARE(TextZoom().value(), expected);
}

QTEST_GUILESS_MAIN(TstTextZoom)

#include "tst_textzoom.moc"
