#include "RunAside.h"

#include <QEventLoop>

#include <thread>

void RunAside(const std::function<void()> &work)
{
    QEventLoop waiting;
    std::thread worker([&] {
        work();
        QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
    });
    waiting.exec();
    worker.join();
}
