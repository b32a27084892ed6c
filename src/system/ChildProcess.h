#pragma once

#include <QByteArray>
#include <QList>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

// A program run beside this one: its standard output read through a pipe, its standard error
// handed over line by line from a thread of its own (so that a program that writes much there
// never blocks on it). Its standard input is written whole before it starts, so that a program
// that never reads it cannot block us, nor a write to a reader gone raise SIGPIPE. Any thread may
// kill it while another reads its output or waits for it: a process reaped is never signalled,
// so its number, given to another process since, is safe.
class ChildProcess
{
public:
    // How it ended: exited with a code, or killed by a signal.
    struct Status
    {
        bool exited = false;
        int code = -1;
        int signal = 0;
    };
    // A line of its standard error, without the newline; called on the error's thread.
    using ErrorLine = std::function<void(const QByteArray &line)>;

    ChildProcess() = default;
    ~ChildProcess(); // kills and reaps a child still running
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // What one pipe holds before a reader takes any.
    static constexpr qsizetype InputLimit = 64 * 1024;
    // Longer error lines are cut there.
    static constexpr qsizetype LineLimit = 4096;

    // Starts `arguments[0]`, searched in PATH as a shell would, with the rest as its arguments.
    // False with errno set when it cannot start (ENOENT: no such program; E2BIG: input too long).
    bool start(const QList<QByteArray> &arguments, const QByteArray &input, ErrorLine errorLine);
    // The read end of its standard output; -1 once closed.
    int outputFd() const { return m_output; }
    // Closes it: the program's next write to it fails.
    void closeOutput();
    // Sends SIGTERM, then SIGKILL at the next call; nothing once it has been reaped.
    void kill();
    // Waits for it to end and for the error lines written until then; its status, also after a
    // second call.
    Status wait();

private:
    void readErrors(int fd);

    std::mutex m_lock; // over the number and the reaping, for kill() from another thread
    int m_pid = -1;
    bool m_reaped = false;
    bool m_termSent = false;
    int m_output = -1;
    std::thread m_errors;
    int m_errorFd = -1;
    std::atomic<bool> m_ended{false}; // the errors' thread reads what is left, then stops
    ErrorLine m_errorLine;
    Status m_status;
};
