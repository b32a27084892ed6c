#include "ChildProcess.h"

#include "FileSystem.h"
#include "UniqueFd.h"

#include <cerrno>
#include <csignal>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

bool MakePipe(UniqueFd &readEnd, UniqueFd &writeEnd)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    readEnd.reset(fds[0]);
    writeEnd.reset(fds[1]);
    return true;
}

} // namespace

ChildProcess::~ChildProcess()
{
    if (m_pid > 0 && !m_reaped) {
        closeOutput();
        kill();
        kill();
    }
    wait();
}

bool ChildProcess::start(const QList<QByteArray> &arguments, const QByteArray &input,
                         ErrorLine errorLine)
{
    if (arguments.isEmpty() || m_pid > 0) {
        errno = EINVAL;
        return false;
    }
    if (input.size() > InputLimit) {
        errno = E2BIG;
        return false;
    }
    UniqueFd inRead, inWrite, outRead, outWrite, errRead, errWrite;
    if (!MakePipe(inRead, inWrite) || !MakePipe(outRead, outWrite) || !MakePipe(errRead, errWrite))
        return false;
    if (!input.isEmpty() && !FileSystem::WriteAll(inWrite.get(), input.constData(), input.size()))
        return false;
    inWrite.reset();

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, inRead.get(), 0);
    posix_spawn_file_actions_adddup2(&actions, outWrite.get(), 1);
    posix_spawn_file_actions_adddup2(&actions, errWrite.get(), 2);
    // The child starts with the signals' default actions and none blocked, whatever this
    // process set (SIGPIPE ignored, say).
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    std::vector<QByteArray> owned(arguments.begin(), arguments.end());
    std::vector<char *> argv;
    for (QByteArray &argument : owned)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int failed = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (failed != 0) {
        errno = failed;
        return false;
    }
    {
        const std::lock_guard hold(m_lock);
        m_pid = pid;
    }
    m_output = outRead.release();
    m_errorFd = errRead.release();
    m_errorLine = std::move(errorLine);
    m_errors = std::thread([this] { readErrors(m_errorFd); });
    return true;
}

void ChildProcess::readErrors(int fd)
{
    QByteArray line;
    char buffer[4096];
    const auto flush = [&] {
        if (m_errorLine)
            m_errorLine(line);
        line.clear();
    };
    for (;;) {
        // Once the child has ended, what is left is read without waiting: a program it started
        // may hold the pipe open long after.
        pollfd ready{fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, m_ended.load() ? 0 : 100);
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0) {
            if (m_ended.load() && polled == 0)
                break;
            if (polled < 0)
                break;
            continue;
        }
        const qint64 n = FileSystem::Read(fd, buffer, sizeof buffer);
        if (n <= 0)
            break;
        for (qint64 i = 0; i < n; ++i) {
            if (buffer[i] == '\n')
                flush();
            else if (line.size() < LineLimit)
                line.append(buffer[i]);
        }
    }
    if (!line.isEmpty())
        flush();
}

void ChildProcess::closeOutput()
{
    if (m_output >= 0)
        FileSystem::Close(std::exchange(m_output, -1));
}

void ChildProcess::kill()
{
    const std::lock_guard hold(m_lock);
    if (m_pid <= 0 || m_reaped)
        return;
    ::kill(m_pid, m_termSent ? SIGKILL : SIGTERM);
    m_termSent = true;
}

ChildProcess::Status ChildProcess::wait()
{
    if (m_pid > 0 && !m_reaped) {
        // Waited for without reaping, so that kill() meanwhile still names this process.
        siginfo_t info{};
        while (::waitid(P_PID, id_t(m_pid), &info, WEXITED | WNOWAIT) != 0 && errno == EINTR) {
        }
        int status = 0;
        const std::lock_guard hold(m_lock);
        pid_t done;
        do
            done = ::waitpid(m_pid, &status, 0);
        while (done < 0 && errno == EINTR);
        m_reaped = true;
        if (done == m_pid && WIFEXITED(status))
            m_status = {true, WEXITSTATUS(status), 0};
        else if (done == m_pid && WIFSIGNALED(status))
            m_status = {false, -1, WTERMSIG(status)};
    }
    m_ended.store(true);
    if (m_errors.joinable())
        m_errors.join();
    if (m_errorFd >= 0)
        FileSystem::Close(std::exchange(m_errorFd, -1));
    closeOutput();
    return m_status;
}
