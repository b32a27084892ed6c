#pragma once

#include "ChildProcess.h"
#include "RemoteFailure.h"
#include "RemoteTarget.h"
#include "SavedInput.h"
#include "ScanImport.h"

#include <QByteArray>

#include <atomic>
#include <memory>

class DriveScan;

// A walk of a folder of another machine over the user's own ssh, read as it arrives into records
// as a saved scan is. run() blocks, on a thread of its own; any other thread may stop it or ask
// how far it has come. A scan that did not arrive whole is dropped, and the failure told.
class RemoteScan
{
public:
    enum class Walker { Unknown, QuarnelScan, Ncdu };

    RemoteScan(RemoteTarget target, QByteArray root);
    ~RemoteScan();
    RemoteScan(const RemoteScan &) = delete;
    RemoteScan &operator=(const RemoteScan &) = delete;

    // The ssh command and its first words; by default QUARNEL_SSH's value, else "ssh".
    void setSshCommand(QByteArray command) { m_sshCommand = std::move(command); }
    void setRootNaming(ScanImport::RootNaming naming) { m_reader.setRootNaming(std::move(naming)); }
    // What the other machine's walker leaves out, with the rules of a walk here.
    void setExcludePatterns(QByteArrayList patterns) { m_exclude = std::move(patterns); }

    // Walks, then hands over the records, or none with failure() set.
    std::unique_ptr<DriveScan> run();
    // Ends the walk: ssh is stopped, and nothing is handed over.
    void stop();

    // While it runs, from any thread: entries read and bytes received so far, and the walker the
    // other machine runs once it has said.
    quint64 entriesRead() const { return m_reader.entriesRead(); }
    quint64 bytesReceived() const { return m_input.received(); }
    Walker walker() const { return m_walker.load(); }

    const RemoteFailure &failure() const { return m_failure; }
    // From the scan's header: when it was made (0: not said) and the machine's own name.
    qint64 savedAt() const { return m_reader.savedAt(); }
    const QByteArray &host() const { return m_reader.host(); }

    // Error lines kept for the failure's words: the last ones.
    static constexpr int KeptLines = 20;

private:
    void errorLine(const QByteArray &line);

    RemoteTarget m_target;
    QByteArray m_root;
    QByteArray m_sshCommand;
    QByteArrayList m_exclude;
    ChildProcess m_child;
    SavedInput m_input;
    ScanImport m_reader;
    std::atomic<bool> m_stopped{false};
    std::atomic<Walker> m_walker{Walker::Unknown};
    QList<QByteArray> m_errorLines; // written on the errors' thread until the child is waited for
    RemoteFailure m_failure;
};
