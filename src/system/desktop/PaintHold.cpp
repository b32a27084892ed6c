#include "PaintHold.h"

#include <QCoreApplication>
#include <QEvent>

PaintHold::PaintHold(QObject *parent)
    : QObject(parent)
{
    QCoreApplication::instance()->installEventFilter(this);
}

PaintHold::~PaintHold()
{
    release();
}

bool PaintHold::eventFilter(QObject *, QEvent *event)
{
    // A window paints during its update request; the hold ends once the event loop moves on.
    if (event->type() == QEvent::UpdateRequest && !m_releasePending) {
        m_held.store(1, std::memory_order_release);
        m_releasePending = true;
        QMetaObject::invokeMethod(this, &PaintHold::release, Qt::QueuedConnection);
    }
    return false;
}

void PaintHold::release()
{
    m_releasePending = false;
    m_held.store(0, std::memory_order_release);
    m_held.notify_all();
}
