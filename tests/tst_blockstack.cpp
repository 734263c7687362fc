// SPDX-License-Identifier: GPL-3.0-or-later
// BlockStack on its own, in a window: which blocks get views at the edges of the visible part
// and of the stack, which keep them while it scrolls, how it follows a resize and changes of
// the text at its ends, and when a block that changes height moves what is seen.
#include "markdown/mdblockmodel.h"
#include "markdown/quick/blockstack.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSignalSpy>
#include <QTest>
#include <QtQuickTest>

#include <memory>

namespace {

// A paragraph of one line is 18 high, as its estimate at this font size; with the spacing,
// block i stands at 25 i. The views reach 400 (16 blocks) past the visible part and are kept
// until 800 (32 blocks) past it.
constexpr qreal fontSize = 10;
constexpr qreal lineHeight = 18;
constexpr qreal spacing = 7;
constexpr qreal pitch = lineHeight + spacing;
constexpr int blockCount = 100;

qreal topOf(int row)
{
    return row * pitch;
}

qreal bottomOf(int row)
{
    return row * pitch + lineHeight;
}

const QByteArray stackQml = R"(
import QtQuick
import CorvaneTest
BlockStack {
    width: 400
    spacing: %1
    fontSize: %2
    codeFontSize: %2
    BlockChoice {
        kind: %3
        Item {
            property string html
            width: parent ? parent.width : 0
            height: %4
        }
    }
}
)";

/// Short paragraphs p0, p1, ..., each one line.
QString paragraphs(int count, int first = 0)
{
    QStringList out;
    for (int i = first; i < first + count; ++i)
        out << QStringLiteral("p%1").arg(i);
    return out.join(u"\n\n");
}

/// The rows that have views, as "a-b" runs: "24-60", "30,80-99", "" for none.
QString rowsWithViews(const BlockStack &stack, int rows)
{
    QStringList runs;
    for (int row = 0; row < rows; ++row) {
        if (!stack.itemAt(row))
            continue;
        int last = row;
        while (last + 1 < rows && stack.itemAt(last + 1))
            ++last;
        runs << (last == row ? QString::number(row) : QStringLiteral("%1-%2").arg(row).arg(last));
        row = last;
    }
    return runs.join(u',');
}

enum class Edit { Append, RemoveFirst, RemoveLast };

} // namespace

Q_DECLARE_METATYPE(Edit)

class TestBlockStack : public QObject
{
    Q_OBJECT

    QQmlEngine m_engine;
    std::unique_ptr<QQuickWindow> m_window;
    std::unique_ptr<MDBlockModel> m_model;
    BlockStack *m_stack = nullptr;

    int rows() const { return m_stack->model() ? m_model->rowCount() : 0; }

    void show(qreal top, qreal bottom)
    {
        m_stack->setVisibleTop(top);
        m_stack->setVisibleBottom(bottom);
        settle();
    }

    // The stack's layout, which runs before the next frame, done.
    void settle() { QVERIFY(QQuickTest::qWaitForPolish(m_stack)); }

    // Every view stands where its block does, one block under the other, and the stack is as
    // tall as its blocks; it holds no view of a block it let go.
    void verifyStacked()
    {
        int views = 0;
        for (int row = 0; row < rows(); ++row) {
            const QQuickItem *item = m_stack->itemAt(row);
            if (!item)
                continue;
            ++views;
            QCOMPARE(item->parentItem(), m_stack);
            QCOMPARE(item->y(), m_stack->blockY(row));
            if (row + 1 < rows())
                QCOMPARE(m_stack->blockY(row + 1), item->y() + item->height() + spacing);
            else
                QCOMPARE(m_stack->implicitHeight(), item->y() + item->height());
        }
        QCOMPARE(m_stack->childItems().size(), views);
        if (rows() == 0)
            QCOMPARE(m_stack->implicitHeight(), 0.0);
    }

    // Every block reaching into the visible part widened by the margin has its view, and none
    // beyond twice the margin has one, unless it has the keyboard focus.
    void verifyCulled()
    {
        const qreal top = m_stack->visibleTop();
        const qreal bottom = m_stack->visibleBottom();
        for (int row = 0; row < rows(); ++row) {
            const qreal y = m_stack->blockY(row);
            const qreal end =
                row + 1 < rows() ? m_stack->blockY(row + 1) - spacing : m_stack->implicitHeight();
            if (end >= top - BlockStack::margin && y <= bottom + BlockStack::margin)
                QVERIFY2(m_stack->itemAt(row), qPrintable(QString::number(row)));
            const QQuickItem *item = m_stack->itemAt(row);
            if (end < top - 2 * BlockStack::margin || y > bottom + 2 * BlockStack::margin)
                QVERIFY2(!item || item->hasActiveFocus(), qPrintable(QString::number(row)));
        }
    }

    // The stack shows this text, laid out. Without a text it has no model: a model always has
    // a block, if an empty one.
    void load(const QString &text)
    {
        m_model->setText(text);
        if (!m_stack->model())
            m_stack->setModel(m_model.get());
        settle();
    }

private slots:
    void initTestCase()
    {
        qmlRegisterType<BlockStack>("CorvaneTest", 1, 0, "BlockStack");
        qmlRegisterType<BlockChoice>("CorvaneTest", 1, 0, "BlockChoice");
        // The geometry above takes a one-line paragraph's estimate for its real height.
        MDBlock paragraph;
        paragraph.kind = MDBlock::Paragraph;
        paragraph.text = QStringLiteral("p10");
        QCOMPARE(BlockStack::estimate(paragraph, 400, fontSize, fontSize), lineHeight);
        QCOMPARE(BlockStack::margin, 400.0);
    }

    void init()
    {
        m_window = std::make_unique<QQuickWindow>();
        m_window->resize(400, 300);
        m_model = std::make_unique<MDBlockModel>();
        QQmlComponent component(&m_engine);
        component.setData(QString::fromUtf8(stackQml)
                              .arg(spacing)
                              .arg(fontSize)
                              .arg(int(MDBlock::Paragraph))
                              .arg(lineHeight)
                              .toUtf8(),
                          QUrl());
        m_stack = qobject_cast<BlockStack *>(component.create());
        QVERIFY2(m_stack, qPrintable(component.errorString()));
        m_stack->setParentItem(m_window->contentItem());
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup()
    {
        delete m_stack;
        m_window.reset();
        m_model.reset();
    }

    // The blocks that get views for a visible part: those reaching into it widened by the
    // margin, also when they only touch its edges, at the first and the last block, and none
    // when it lies beyond the stack.
    void culling_data()
    {
        QTest::addColumn<int>("blocks");
        QTest::addColumn<bool>("ranged"); // without a range, everything counts as visible
        QTest::addColumn<qreal>("top");
        QTest::addColumn<qreal>("bottom");
        QTest::addColumn<QString>("views");

        const qreal m = BlockStack::margin;
        const qreal end = bottomOf(blockCount - 1);
        // clang-format off
        QTest::newRow("everything by default") << blockCount << false << 0.0 << 0.0 << "0-99";
        QTest::newRow("edges just inside") << blockCount << true << bottomOf(24) + m << topOf(60) - m << "24-60";
        QTest::newRow("edges just outside") << blockCount << true << bottomOf(24) + m + 1 << topOf(60) - m - 1 << "25-59";
        QTest::newRow("the first block") << blockCount << true << 0.0 << topOf(20) - m << "0-20";
        QTest::newRow("the last block") << blockCount << true << bottomOf(80) + m << end << "80-99";
        QTest::newRow("above the stack") << blockCount << true << -m - 100 << -m - 1 << "";
        QTest::newRow("reaching the first block") << blockCount << true << -m - 100 << -m << "0";
        QTest::newRow("below the stack") << blockCount << true << end + m + 1 << end + m + 100 << "";
        QTest::newRow("reaching the last block") << blockCount << true << end + m << end + m + 100 << "99";
        QTest::newRow("one block") << 1 << true << 0.0 << 300.0 << "0";
        QTest::newRow("empty") << 0 << true << 0.0 << 300.0 << ""; // no model
        // clang-format on
    }

    void culling()
    {
        QFETCH(int, blocks);
        QFETCH(bool, ranged);
        QFETCH(qreal, top);
        QFETCH(qreal, bottom);
        if (ranged) {
            m_stack->setVisibleTop(top);
            m_stack->setVisibleBottom(bottom);
        }
        if (blocks > 0)
            load(paragraphs(blocks));
        QCOMPARE(rows(), blocks);
        QTEST(rowsWithViews(*m_stack, rows()), "views");
        for (int row = 0; row < rows(); ++row)
            QCOMPARE(m_stack->blockY(row), topOf(row));
        verifyStacked();
        verifyCulled();
    }

    // Scrolled, the stack makes the views that come into reach and keeps those still within
    // twice the margin; a view with the keyboard focus stays wherever it goes.
    void scrolling_data()
    {
        QTest::addColumn<qreal>("top");
        QTest::addColumn<qreal>("bottom");
        QTest::addColumn<int>("focused");
        QTest::addColumn<QString>("views");

        const qreal m = BlockStack::margin;
        const qreal end = bottomOf(blockCount - 1);
        // From "24-60" (edges just inside, above).
        // clang-format off
        QTest::newRow("a short scroll down") << bottomOf(44) + m << topOf(80) - m << -1 << "28-80";
        QTest::newRow("a short scroll up") << bottomOf(4) + m << topOf(40) - m << -1 << "4-56";
        QTest::newRow("a jump to the end") << bottomOf(80) + m << end << -1 << "80-99";
        QTest::newRow("a jump, the focused view stays") << bottomOf(80) + m << end << 30 << "30,80-99";
        // clang-format on
    }

    void scrolling()
    {
        QFETCH(qreal, top);
        QFETCH(qreal, bottom);
        QFETCH(int, focused);
        m_stack->setVisibleTop(bottomOf(24) + BlockStack::margin);
        m_stack->setVisibleBottom(topOf(60) - BlockStack::margin);
        load(paragraphs(blockCount));
        QCOMPARE(rowsWithViews(*m_stack, rows()), QStringLiteral("24-60"));
        if (focused >= 0) {
            m_window->requestActivate();
            QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
            m_stack->itemAt(focused)->forceActiveFocus();
            QVERIFY(m_stack->itemAt(focused)->hasActiveFocus());
        }
        show(top, bottom);
        QTEST(rowsWithViews(*m_stack, rows()), "views");
        verifyStacked();
        verifyCulled();
    }

    // At a new width, the blocks without a view take their estimate for it at once, so the
    // stack's height is about right before its layout; the layout then makes the views that
    // come into reach and lets go of those that leave.
    void resize_data()
    {
        QTest::addColumn<int>("blocks");
        QTest::addColumn<qreal>("width");
        QTest::newRow("wider") << 60 << 800.0;
        QTest::newRow("narrower") << 60 << 200.0;
        QTest::newRow("empty") << 0 << 200.0; // no model
    }

    void resize()
    {
        QFETCH(int, blocks);
        QFETCH(qreal, width);
        // Paragraphs of two lines at 400 (the views stay one line high).
        QStringList texts;
        for (int i = 0; i < blocks; ++i)
            texts << QStringLiteral("%1 ").arg(i).repeated(40);
        m_stack->setVisibleTop(0);
        m_stack->setVisibleBottom(300);
        if (blocks > 0)
            load(texts.join(u"\n\n"));
        verifyCulled();

        m_stack->setWidth(width);
        qreal height = 0;
        for (int row = 0; row < rows(); ++row) {
            const QQuickItem *item = m_stack->itemAt(row);
            height += (item ? item->height()
                            : BlockStack::estimate(m_model->blocks().at(row), width, fontSize,
                                                   fontSize)) +
                      spacing;
        }
        QCOMPARE(m_stack->implicitHeight(), std::max<qreal>(height - spacing, 0));
        settle();
        verifyStacked();
        verifyCulled();
    }

    // Blocks that come and go at the ends of the text: a new block in reach gets its view, one
    // out of reach none, and the rest stays stacked.
    void editsAtTheEnds_data()
    {
        QTest::addColumn<Edit>("edit");
        QTest::addColumn<qreal>("top");
        QTest::addColumn<qreal>("bottom");
        QTest::addColumn<QString>("views");

        const qreal m = BlockStack::margin;
        const qreal end = bottomOf(blockCount - 1);
        // clang-format off
        QTest::newRow("appended, the end in view") << Edit::Append << bottomOf(80) + m << end << "80-100";
        QTest::newRow("appended, the end far") << Edit::Append << 0.0 << topOf(20) - m << "0-20";
        QTest::newRow("first removed, the start in view") << Edit::RemoveFirst << 0.0 << topOf(20) - m << "0-20";
        QTest::newRow("last removed, the end in view") << Edit::RemoveLast << bottomOf(80) + m << end << "80-98";
        // clang-format on
    }

    void editsAtTheEnds()
    {
        QFETCH(Edit, edit);
        QFETCH(qreal, top);
        QFETCH(qreal, bottom);
        m_stack->setVisibleTop(top);
        m_stack->setVisibleBottom(bottom);
        load(paragraphs(blockCount));
        switch (edit) {
        case Edit::Append:
            load(paragraphs(blockCount + 1));
            break;
        case Edit::RemoveFirst:
            load(paragraphs(blockCount - 1, 1));
            break;
        case Edit::RemoveLast:
            load(paragraphs(blockCount - 1));
            break;
        }
        QTEST(rowsWithViews(*m_stack, rows()), "views");
        verifyStacked();
        verifyCulled();
    }

    // A block wholly above the visible part that changes height moves what is seen, and the
    // stack says by how much; a block the visible part begins in or below it, or a stack out of
    // sight, moves nothing seen.
    void contentShifted_data()
    {
        QTest::addColumn<bool>("ranged");
        QTest::addColumn<qreal>("top");
        QTest::addColumn<qreal>("bottom");
        QTest::addColumn<int>("row");
        QTest::addColumn<qreal>("height");
        QTest::addColumn<qreal>("shift");

        const qreal end = bottomOf(blockCount - 1);
        // clang-format off
        QTest::newRow("a block above grows") << true << 1100.0 << 1200.0 << 30 << 38.0 << 20.0;
        QTest::newRow("a block above shrinks") << true << 1100.0 << 1200.0 << 30 << 8.0 << -10.0;
        QTest::newRow("the block ending at the top") << true << bottomOf(40) << 1200.0 << 40 << 38.0 << 20.0;
        QTest::newRow("the block across the top") << true << bottomOf(40) - 1 << 1200.0 << 40 << 38.0 << 0.0;
        QTest::newRow("a block below") << true << 1100.0 << 1200.0 << 50 << 38.0 << 0.0;
        QTest::newRow("no visible part given") << false << 0.0 << 0.0 << 30 << 38.0 << 0.0;
        QTest::newRow("the stack out of sight") << true << end + 500 << end + 600 << 90 << 38.0 << 0.0;
        QTest::newRow("seen from above its top") << true << -500.0 << 500.0 << 0 << 38.0 << 0.0;
        // clang-format on
    }

    void contentShifted()
    {
        QFETCH(bool, ranged);
        QFETCH(qreal, top);
        QFETCH(qreal, bottom);
        QFETCH(int, row);
        QFETCH(qreal, height);
        QFETCH(qreal, shift);
        load(paragraphs(blockCount)); // every block has its view
        if (ranged)
            show(top, bottom);
        QQuickItem *item = m_stack->itemAt(row);
        QVERIFY(item);
        const qreal next = m_stack->blockY(row + 1);
        QSignalSpy shifted(m_stack, &BlockStack::contentShifted);
        item->setHeight(height);
        settle();
        QCOMPARE(m_stack->blockY(row + 1), next + height - lineHeight);
        QCOMPARE(shifted.size(), shift != 0 ? 1 : 0);
        if (shift != 0)
            QCOMPARE(shifted.first().first().toReal(), shift);
        verifyStacked();
    }
};

QTEST_MAIN(TestBlockStack)
#include "tst_blockstack.moc"
