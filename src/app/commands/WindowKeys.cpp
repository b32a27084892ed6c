#include "WindowKeys.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

WindowKeys::WindowKeys(QWidget *window, int driveCount, std::function<void()> stop,
                       std::function<void(int)> pickDrive)
    : m_window(window)
    , m_driveCount(driveCount)
    , m_stop(std::move(stop))
    , m_pickDrive(std::move(pickDrive))
{
    qApp->installEventFilter(this);
}

WindowKeys::~WindowKeys()
{
    qApp->removeEventFilter(this);
}

bool WindowKeys::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress)
        handleKey(watched, static_cast<const QKeyEvent *>(event));
    return QObject::eventFilter(watched, event);
}

void WindowKeys::handleKey(const QObject *watched, const QKeyEvent *key)
{
    // A key travels up from the focus widget to its parents: act on its first delivery only.
    QWidget *focus = QApplication::focusWidget();
    if (watched != (focus ? static_cast<QObject *>(focus) : m_window) || key->isAutoRepeat())
        return;
    if (focus && focus->window() != m_window)
        return;
    if (key->key() == Qt::Key_Escape) {
        m_stop();
        return;
    }
    const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
    if (mods == Qt::ControlModifier && key->key() >= Qt::Key_F1 && key->key() <= Qt::Key_F10) {
        const int n = key->key() - Qt::Key_F1 + 1;
        if (n <= m_driveCount)
            m_pickDrive(n - 1);
    }
}
