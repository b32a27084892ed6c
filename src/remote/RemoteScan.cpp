#include "RemoteScan.h"

#include "DriveScan.h"
#include "RemoteCommand.h"

#include <QtGlobal>

#include <cerrno>
#include <cstring>

RemoteScan::RemoteScan(RemoteTarget target, QByteArray root)
    : m_target(std::move(target))
    , m_root(std::move(root))
    , m_sshCommand(qgetenv("QUARNEL_SSH"))
{}

RemoteScan::~RemoteScan() = default;

void RemoteScan::errorLine(const QByteArray &line)
{
    if (line.startsWith(RemoteCommand::WalkerMark)) {
        const QByteArray name = line.mid(qsizetype(std::strlen(RemoteCommand::WalkerMark)));
        if (name == "quarnel-scan")
            m_walker.store(Walker::QuarnelScan);
        else if (name == "ncdu")
            m_walker.store(Walker::Ncdu);
    }
    m_errorLines.append(line);
    if (m_errorLines.size() > KeptLines)
        m_errorLines.removeFirst();
}

std::unique_ptr<DriveScan> RemoteScan::run()
{
    m_failure = {};
    if (!m_child.start(RemoteCommand::Arguments(m_target, m_sshCommand),
                       RemoteCommand::Script(m_root, m_exclude),
                       [this](const QByteArray &line) { errorLine(line); })) {
        m_failure.problem = errno == ENOENT ? RemoteFailure::NoSsh : RemoteFailure::Other;
        m_failure.detail = QByteArray(std::strerror(errno));
        return nullptr;
    }
    if (m_stopped.load()) // asked before there was a process to stop
        m_child.kill();
    m_input.openDescriptor(m_child.outputFd());
    std::unique_ptr<DriveScan> records = m_reader.read(m_input);
    // A reader that gave up leaves ssh writing to no one: it ends at its next write.
    m_child.closeOutput();
    RemoteFailure::Outcome outcome;
    outcome.status = m_child.wait();
    outcome.errorLines = m_errorLines;
    outcome.scanRead = records != nullptr;
    outcome.import = m_reader.error();
    outcome.received = m_input.received();
    outcome.stopped = m_stopped.load();
    m_failure = RemoteFailure::Classify(outcome);
    if (m_failure.problem != RemoteFailure::None)
        records.reset();
    return records;
}

void RemoteScan::stop()
{
    m_stopped.store(true);
    m_child.kill();
}
