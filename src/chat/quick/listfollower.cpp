// SPDX-License-Identifier: GPL-3.0-or-later
#include "listfollower.h"

#include <QQuickItem>

#include <algorithm>

namespace {

// ListView.PositionMode
constexpr int positionBeginning = 0;
constexpr int positionEnd = 2;

QMetaProperty propertyOf(const QObject *object, const char *name)
{
    const QMetaObject *meta = object->metaObject();
    const int index = meta->indexOfProperty(name);
    return index < 0 ? QMetaProperty() : meta->property(index);
}

QMetaMethod methodOf(const QObject *object, const char *signature)
{
    const QMetaObject *meta = object->metaObject();
    const int index = meta->indexOfMethod(signature);
    return index < 0 ? QMetaMethod() : meta->method(index);
}

QMetaMethod slotOf(const char *signature)
{
    const QMetaObject &meta = ListFollower::staticMetaObject;
    return meta.method(meta.indexOfSlot(signature));
}

void disconnectAll(QList<QMetaObject::Connection> &connections)
{
    for (const auto &c : std::as_const(connections))
        QObject::disconnect(c);
    connections.clear();
}

} // namespace

ListFollower::ListFollower(QObject *parent) : QObject(parent)
{
    // Rows settle within a few frames; after that the view is the user's.
    m_settle.setInterval(1000);
    m_settle.setSingleShot(true);
    connect(&m_settle, &QTimer::timeout, this, [this] { setMatch(std::nullopt); });
}

void ListFollower::setView(QQuickItem *view)
{
    if (m_view == view)
        return;
    disconnectAll(m_viewConnections);
    m_view = view;
    if (view) {
        m_contentY = propertyOf(view, "contentY");
        m_originY = propertyOf(view, "originY");
        m_contentHeight = propertyOf(view, "contentHeight");
        m_atYEnd = propertyOf(view, "atYEnd");
        m_moving = propertyOf(view, "moving");
        m_count = propertyOf(view, "count");
        m_modelProp = propertyOf(view, "model");
        m_cancelFlick = methodOf(view, "cancelFlick()");
        m_positionAtIndex = methodOf(view, "positionViewAtIndex(int,int)");
        m_positionAtBeginning = methodOf(view, "positionViewAtBeginning()");
        m_positionAtEnd = methodOf(view, "positionViewAtEnd()");
        m_itemAtIndex = methodOf(view, "itemAtIndex(int)");
        const auto watch = [this, view](const QMetaProperty &property, const char *slot) {
            if (property.hasNotifySignal())
                m_viewConnections.append(
                    connect(view, property.notifySignal(), this, slotOf(slot)));
        };
        watch(m_contentHeight, "onContentMoved()");
        // Rows built above the end replace estimated heights with real ones, which moves the
        // origin rather than the content height.
        watch(m_originY, "onContentMoved()");
        watch(m_atYEnd, "onAtYEndChanged()");
        watch(m_count, "updateAwayFromEnd()");
        watch(m_modelProp, "onModelChanged()");
        m_viewConnections.append(
            connect(view, &QQuickItem::heightChanged, this, &ListFollower::onHeightChanged));
        connectIfThere(view, "movementStarted()", "onMovementStarted()", m_viewConnections);
        connectIfThere(view, "movementEnded()", "onMovementEnded()", m_viewConnections);
    }
    onModelChanged();
    updateAwayFromEnd();
    emit viewChanged();
}

void ListFollower::setSettleTime(int ms)
{
    if (m_settle.interval() == ms)
        return;
    m_settle.setInterval(ms);
    emit settleTimeChanged();
}

void ListFollower::scrollToEnd()
{
    setMatch(std::nullopt);
    setFollowing(true);
    if (!m_view)
        return;
    // From far above, the end alone is placed by estimated row heights; the last row first
    // makes the rows near the end real.
    cancelFlick();
    positionViewAtIndex(m_count.read(m_view).toInt() - 1, positionEnd);
    positionAtEnd();
}

bool ListFollower::showMatch(int row, int block)
{
    if (row < 0)
        return false;
    setFollowing(false);
    setMatch(Match{row, block});
    m_settle.start();
    placeMatch();
    return true;
}

bool ListFollower::scrollByKey(int key)
{
    if (!m_view)
        return false;
    const qreal height = m_view->height();
    const qreal step = key == Qt::Key_Up         ? -lineStep
                       : key == Qt::Key_Down     ? lineStep
                       : key == Qt::Key_PageUp   ? -pageShare * height
                       : key == Qt::Key_PageDown ? pageShare * height
                                                 : 0;
    if (key == Qt::Key_End) {
        scrollToEnd();
    } else if (key == Qt::Key_Home) {
        setFollowing(false);
        if (m_positionAtBeginning.isValid())
            m_positionAtBeginning.invoke(m_view);
    } else if (step != 0) {
        setContentY(bounded(real(m_contentY) + step));
        setFollowing(flag(m_atYEnd));
    } else {
        return false;
    }
    setMatch(std::nullopt);
    return true;
}

void ListFollower::scrollBarPressed(bool pressed)
{
    setMatch(std::nullopt);
    setFollowing(!pressed && flag(m_atYEnd));
}

void ListFollower::contentShifted(qreal dy)
{
    if (!m_following && !m_match)
        setContentY(real(m_contentY) + dy);
}

void ListFollower::onContentMoved()
{
    // Not before the layout has given the list its height: positioned while it has none, the
    // list builds every row of a long conversation on the way.
    if (m_match)
        later(m_placeQueued, &ListFollower::placeMatch);
    else if (m_following && m_view && m_view->height() > 0)
        positionAtEnd();
}

void ListFollower::onHeightChanged()
{
    if (m_match)
        placeMatch();
    else if (m_following)
        positionAtEnd();
}

void ListFollower::onAtYEndChanged()
{
    // A row near the end that grows once its blocks are laid out leaves the end out of sight
    // without moving the origin or the content height the view last saw.
    if (m_following && !flag(m_atYEnd) && !flag(m_moving) && m_view && m_view->height() > 0)
        later(m_endQueued, &ListFollower::keepAtEnd);
    updateAwayFromEnd();
}

void ListFollower::onMovementStarted()
{
    setMatch(std::nullopt);
    setFollowing(false);
}

void ListFollower::onMovementEnded()
{
    if (flag(m_atYEnd))
        setFollowing(true);
}

void ListFollower::onModelChanged()
{
    QObject *model =
        m_view && m_modelProp.isValid() ? m_modelProp.read(m_view).value<QObject *>() : nullptr;
    if (model == m_model)
        return;
    disconnectAll(m_modelConnections);
    m_model = model;
    if (!model)
        return;
    connectIfThere(model, "countChanged()", "onRowsChanged()", m_modelConnections);
    connectIfThere(model, "lastContentChanged()", "onLastRowGrown()", m_modelConnections);
}

void ListFollower::connectIfThere(QObject *sender, const char *signal, const char *slot,
                                  QList<QMetaObject::Connection> &connections)
{
    const QMetaMethod method = methodOf(sender, signal);
    if (method.isValid())
        connections.append(connect(sender, method, this, slotOf(slot)));
}

void ListFollower::onLastRowGrown()
{
    if (m_following)
        positionAtEnd();
}

void ListFollower::onRowsChanged()
{
    // A new message (the user's, or a reply starting) is always shown.
    scrollToEnd();
}

void ListFollower::setFollowing(bool following)
{
    if (m_following == following)
        return;
    m_following = following;
    emit followingChanged();
    updateAwayFromEnd();
}

void ListFollower::setMatch(std::optional<Match> match)
{
    const bool was = m_match.has_value();
    m_match = match;
    if (was != m_match.has_value())
        emit holdingMatchChanged();
}

void ListFollower::updateAwayFromEnd()
{
    const bool away = !m_following && m_view && m_count.read(m_view).toInt() > 0 && !flag(m_atYEnd);
    if (away == m_awayFromEnd)
        return;
    m_awayFromEnd = away;
    emit awayFromEndChanged();
}

void ListFollower::placeMatch()
{
    if (!m_match || !m_view || m_view->height() <= 0)
        return;
    cancelFlick();
    const Match match = *m_match;
    QQuickItem *row = itemAtIndex(match.row);
    if (!row) {
        positionViewAtIndex(match.row, positionBeginning);
        row = itemAtIndex(match.row);
    }
    if (!row)
        return;
    // Placed first by the block's estimated top; once its view is made there, by the match
    // itself.
    for (int pass = 0; pass < 2; ++pass) {
        QVariant blockTop;
        QMetaObject::invokeMethod(row, "blockTop", Q_RETURN_ARG(QVariant, blockTop),
                                  Q_ARG(QVariant, match.block));
        setContentY(bounded(row->y() + blockTop.toReal() - matchMargin));
        QMetaObject::invokeMethod(row, "layoutBlocks");
    }
}

void ListFollower::later(bool &queued, void (ListFollower::*work)())
{
    if (std::exchange(queued, true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this, &queued, work] {
            queued = false;
            (this->*work)();
        },
        Qt::QueuedConnection);
}

void ListFollower::keepAtEnd()
{
    // Not if the user scrolled away in the meantime (an arrow key at the end moves the view,
    // which asks for this, and then stops following).
    if (m_following)
        positionAtEnd();
}

qreal ListFollower::real(const QMetaProperty &property) const
{
    return m_view ? property.read(m_view).toReal() : 0;
}

bool ListFollower::flag(const QMetaProperty &property) const
{
    return m_view && property.read(m_view).toBool();
}

void ListFollower::setContentY(qreal y)
{
    if (m_view)
        m_contentY.write(m_view, y);
}

qreal ListFollower::bounded(qreal y) const
{
    const qreal origin = real(m_originY);
    const qreal last = origin + real(m_contentHeight) - (m_view ? m_view->height() : 0);
    // Not std::clamp: a view taller than its content has its last position above its first.
    return std::max(origin, std::min(y, last));
}

void ListFollower::positionAtEnd()
{
    if (m_view && m_positionAtEnd.isValid())
        m_positionAtEnd.invoke(m_view);
}

void ListFollower::cancelFlick()
{
    if (m_view && m_cancelFlick.isValid())
        m_cancelFlick.invoke(m_view);
}

void ListFollower::positionViewAtIndex(int index, int mode)
{
    if (m_view && m_positionAtIndex.isValid())
        m_positionAtIndex.invoke(m_view, Q_ARG(int, index), Q_ARG(int, mode));
}

QQuickItem *ListFollower::itemAtIndex(int index)
{
    QQuickItem *item = nullptr;
    if (m_view && m_itemAtIndex.isValid())
        m_itemAtIndex.invoke(m_view, Q_RETURN_ARG(QQuickItem *, item), Q_ARG(int, index));
    return item;
}
