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
    m_title = box->windowTitle();
    m_text = box->text();
    m_icon = box->icon();
    box->accept();
}
