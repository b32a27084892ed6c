#include "StatusPanel.h"

#include <QPainter>
#include <QStyle>

#include <algorithm>

StatusPanel::StatusPanel(QWidget *parent)
    : QLabel(parent)
{
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setTextFormat(Qt::PlainText);
}

QSize StatusPanel::minimumSizeHint() const
{
    return {2 * frameWidth(), QLabel::minimumSizeHint().height()};
}

void StatusPanel::setElideMode(Qt::TextElideMode mode)
{
    m_elideMode = mode;
    update();
}

void StatusPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    drawFrame(&painter);
    // The inset QLabel gives a framed text on its aligned side, so that a panel looks the same
    // shortened or not, and a panel given its full width shows its whole text.
    int inset = indent();
    if (inset < 0 && frameWidth() > 0)
        inset = fontMetrics().horizontalAdvance(u'x') / 2 - margin();
    QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    if (alignment() & Qt::AlignLeft)
        room.setLeft(room.left() + std::max(inset, 0));
    else if (alignment() & Qt::AlignRight)
        room.setRight(room.right() - std::max(inset, 0));
    const QString shown = fontMetrics().elidedText(text(), m_elideMode, room.width());
    style()->drawItemText(&painter, room, int(alignment()), palette(), isEnabled(), shown,
                          foregroundRole());
}
