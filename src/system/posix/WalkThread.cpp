#include "WalkThread.h"

#include <cerrno>
#include <memory>
#include <new>
#include <utility>

#include <pthread.h>

static_assert(sizeof(pthread_t) <= sizeof(std::uintptr_t), "a thread's handle fits the one kept");

namespace {

void *Run(void *body)
{
    const std::unique_ptr<std::function<void()>> owned(static_cast<std::function<void()> *>(body));
    (*owned)();
    return nullptr;
}

} // namespace

WalkThread::WalkThread(WalkThread &&other) noexcept
    : m_thread(other.m_thread)
    , m_started(std::exchange(other.m_started, false))
{}

WalkThread &WalkThread::operator=(WalkThread &&other) noexcept
{
    if (this != &other) {
        join();
        m_thread = other.m_thread;
        m_started = std::exchange(other.m_started, false);
    }
    return *this;
}

WalkThread::~WalkThread()
{
    join();
}

bool WalkThread::start(std::function<void()> body)
{
    join();
    auto *owned = new (std::nothrow) std::function<void()>(std::move(body));
    if (!owned) {
        errno = ENOMEM;
        return false;
    }
    pthread_attr_t attributes;
    int error = ::pthread_attr_init(&attributes);
    if (error == 0) {
        error = ::pthread_attr_setstacksize(&attributes, StackSize);
        pthread_t thread{};
        if (error == 0)
            error = ::pthread_create(&thread, &attributes, Run, owned);
        m_thread = std::uintptr_t(thread);
        ::pthread_attr_destroy(&attributes);
    }
    if (error != 0) {
        delete owned;
        errno = error;
        return false;
    }
    m_started = true;
    return true;
}

void WalkThread::join()
{
    if (m_started)
        ::pthread_join(pthread_t(m_thread), nullptr);
    m_started = false;
}
