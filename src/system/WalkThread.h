#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

// A thread of the walk, on a stack of its own size rather than the process's default (the stack
// limit, often 8 MiB): the walk keeps its pending folders on the heap and recurses nowhere, and a
// dozen default stacks would take more address space than the records of a million files.
class WalkThread
{
public:
    // Enough for the walk and for the handlers run at its end, which edit records or wake a window.
    static constexpr std::size_t StackSize = 512 * 1024;

    WalkThread() = default;
    WalkThread(WalkThread &&other) noexcept;
    WalkThread &operator=(WalkThread &&other) noexcept;
    WalkThread(const WalkThread &) = delete;
    WalkThread &operator=(const WalkThread &) = delete;
    ~WalkThread(); // joins

    // Runs `body` on a new thread. False, with errno set, when no thread could be made (no
    // memory or address space for its stack, or the limit on processes reached): the caller
    // then does with the threads it has.
    bool start(std::function<void()> body);
    bool joinable() const { return m_started; }
    void join();

private:
    std::uintptr_t m_thread = 0; // the platform's handle
    bool m_started = false;
};
