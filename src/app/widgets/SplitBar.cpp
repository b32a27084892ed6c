#include "SplitBar.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

constexpr int KeyStep = 10; // pixels, as the tree's bar moves for Left and Right

} // namespace

SplitBar::SplitBar(QWidget *parent)
    : QWidget(parent)
{
    setCursor(Qt::SplitVCursor);
    setFocusPolicy(Qt::TabFocus);
}

void SplitBar::mousePressEvent(QMouseEvent *event)
{
    m_lastY = int(event->globalPosition().y());
}

void SplitBar::mouseMoveEvent(QMouseEvent *event)
{
    const int y = int(event->globalPosition().y());
    if (event->buttons() & Qt::LeftButton && y != m_lastY) {
        emit moved(y - m_lastY);
        m_lastY = y;
    }
}

void SplitBar::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Up && !(event->modifiers() & ~Qt::KeypadModifier))
        emit moved(-KeyStep);
    else if (event->key() == Qt::Key_Down && !(event->modifiers() & ~Qt::KeypadModifier))
        emit moved(KeyStep);
    else
        QWidget::keyPressEvent(event);
}

// Shows where the focus is; unfocused, the bar is the window's background.
void SplitBar::paintEvent(QPaintEvent *)
{
    if (hasFocus())
        QPainter(this).fillRect(rect(), palette().color(QPalette::Highlight));
}
