// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QMetaMethod>
#include <QMetaProperty>
#include <QObject>
#include <QPointer>
#include <QQuickItem>
#include <QTimer>

#include <optional>

/**
 * Where the chat pane's message list stands: at its end, following the reply as it grows, or
 * on the first match of a search, or wherever the user scrolled it.
 *
 * It keeps to the end while `following`: as the last row grows, as rows finish their layout
 * (which moves the origin or the content height) and as the view changes height. Scrolling
 * away from the end (dragging, the wheel, the bar, the keys) stops following; reaching the end
 * again, scrollToEnd() (the "↓" button, the End key) and every change of the row count start
 * it again.
 *
 * showMatch() places a row's block near the top instead, and holds it there while the rows on
 * the way settle (for settleTime, or until the user scrolls): rows laid out above it move it.
 *
 * The view is a ListView, or anything with its properties (contentY, originY, contentHeight,
 * height, atYEnd, moving, count, model), signals (their change signals, movementStarted(),
 * movementEnded()) and methods (cancelFlick(), positionViewAtIndex(int, int),
 * positionViewAtBeginning(), positionViewAtEnd(), itemAtIndex(int)). Its rows answer
 * blockTop(block) (the top of a block in the row) and layoutBlocks(). Its model may announce
 * countChanged() and lastContentChanged() (the last row's text grew). Nothing here runs per
 * change of the last row but what keeps the end in view.
 */
class ListFollower : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QQuickItem *view READ view WRITE setView NOTIFY viewChanged)
    /// Keeps the view at its end. Set to false, the view stays where it is put, as after the
    /// user's scrolling.
    Q_PROPERTY(bool following READ following WRITE setFollowing NOTIFY followingChanged)
    /// Holds a search match in place while the rows settle.
    Q_PROPERTY(bool holdingMatch READ holdingMatch NOTIFY holdingMatchChanged)
    /// The user reads above the end of a list that has rows: the way back (the "↓" button)
    /// shows.
    Q_PROPERTY(bool awayFromEnd READ awayFromEnd NOTIFY awayFromEndChanged)
    /// How long a match is held after it was shown, in milliseconds.
    Q_PROPERTY(int settleTime READ settleTime WRITE setSettleTime NOTIFY settleTimeChanged)

public:
    /// The room left above a placed match, so that a little of what leads to it shows.
    static constexpr qreal matchMargin = 48;
    /// What the arrow keys scroll, and the share of the height the page keys scroll.
    static constexpr qreal lineStep = 60;
    static constexpr qreal pageShare = 0.9;

    explicit ListFollower(QObject *parent = nullptr);

    QQuickItem *view() const { return m_view; }
    void setView(QQuickItem *view);
    bool following() const { return m_following; }
    void setFollowing(bool following);
    bool holdingMatch() const { return m_match.has_value(); }
    bool awayFromEnd() const { return m_awayFromEnd; }
    int settleTime() const { return m_settle.interval(); }
    void setSettleTime(int ms);

    /// Back to the end, which the view then follows.
    Q_INVOKABLE void scrollToEnd();
    /// Places the block `block` of row `row` (the row's top for -1) near the top of the view
    /// and holds it there; false, and nothing changes, for a row below 0 (no match).
    Q_INVOKABLE bool showMatch(int row, int block);
    /// Scrolls for a key of the list (Qt::Key): the arrows, the page keys, Home and End.
    /// False for any other key, which the list leaves to others.
    Q_INVOKABLE bool scrollByKey(int key);
    /// The scroll bar was pressed or released: dragging it is the user's scrolling too.
    Q_INVOKABLE void scrollBarPressed(bool pressed);
    /// Text above the part read changed its height by dy: the view moves with it, unless it
    /// keeps to the end or to a match, which place it again anyway.
    Q_INVOKABLE void contentShifted(qreal dy);

signals:
    void viewChanged();
    void followingChanged();
    void holdingMatchChanged();
    void awayFromEndChanged();
    void settleTimeChanged();

private slots:
    void onContentMoved();
    void onHeightChanged();
    void onAtYEndChanged();
    void onMovementStarted();
    void onMovementEnded();
    void onModelChanged();
    void onLastRowGrown();
    void onRowsChanged();
    void updateAwayFromEnd();

private:
    struct Match
    {
        int row = -1;
        int block = -1;
    };

    void setMatch(std::optional<Match> match);
    /// Connects the sender's signal to a slot of this, if the sender has that signal.
    void connectIfThere(QObject *sender, const char *signal, const char *slot,
                        QList<QMetaObject::Connection> &connections);
    void placeMatch();
    /// Runs work once the event loop turns, once however often it is asked for until then;
    /// queued is set meanwhile.
    void later(bool &queued, void (ListFollower::*work)());
    /// positionViewAtEnd() while still following.
    void keepAtEnd();

    qreal real(const QMetaProperty &property) const;
    bool flag(const QMetaProperty &property) const;
    void setContentY(qreal y);
    /// contentY within the view's bounds.
    qreal bounded(qreal y) const;
    void positionAtEnd();
    void cancelFlick();
    void positionViewAtIndex(int index, int mode);
    QQuickItem *itemAtIndex(int index);

    QPointer<QQuickItem> m_view;
    QPointer<QObject> m_model;
    QList<QMetaObject::Connection> m_viewConnections;
    QList<QMetaObject::Connection> m_modelConnections;
    // The view's members, looked up once per view.
    QMetaProperty m_contentY, m_originY, m_contentHeight, m_atYEnd, m_moving, m_count, m_modelProp;
    QMetaMethod m_cancelFlick, m_positionAtIndex, m_positionAtBeginning, m_positionAtEnd,
        m_itemAtIndex;

    bool m_following = true;
    bool m_awayFromEnd = false;
    std::optional<Match> m_match;
    QTimer m_settle;
    bool m_placeQueued = false;
    bool m_endQueued = false;
};
