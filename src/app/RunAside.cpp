#include "RunAside.h"

#include <QEventLoop>

#include <thread>

#include <sys/resource.h>
#include <unistd.h>

void RunAside(const std::function<void()> &work)
{
    QEventLoop waiting;
    std::thread worker([&] {
        // The window's thread keeps the cores it needs to answer meanwhile.
        ::setpriority(PRIO_PROCESS, pid_t(::gettid()), 10);
        work();
        QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
    });
    waiting.exec();
    worker.join();
}
