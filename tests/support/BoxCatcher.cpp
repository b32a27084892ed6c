#include "BoxCatcher.h"

#include <QApplication>

BoxCatcher::BoxCatcher()
{
    connect(&m_timer, &QTimer::timeout, this, &BoxCatcher::look);
    m_timer.start(10);
}

void BoxCatcher::look()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box)
        return;
    m_timer.stop();
    ++caught;
    title = box->windowTitle();
    text = box->text();
    icon = box->icon();
    box->accept();
}
