#pragma once

#include "ChildProcess.h"
#include "ImportError.h"

#include <QByteArray>
#include <QList>

// Why a walk of another machine gave no scan, told from ssh's exit status and its last lines on
// standard error, the script's exit codes, and how far the scan's text came.
struct RemoteFailure
{
    enum Problem {
        None,
        Stopped,           // the user stopped it
        NoSsh,             // ssh cannot be started here
        UnknownHost,       // the name resolves to no address
        HostKeyUnknown,    // the machine's key is not among the known hosts
        HostKeyChanged,    // it is, and the machine now shows another
        KeyRefused,        // no key of the user's is accepted
        ConnectionRefused, // nothing listens on the port
        TimedOut,          // the machine does not answer
        NoWalker,          // neither quarnel-scan nor ncdu is on the machine
        NoFolder,          // the folder is not there
        Cut,               // the scan's text stopped before its end: link or walker gone
        BadScan,           // what came is no valid scan (see `import`)
        Other,             // anything else: ssh's own words in `detail`
    };

    Problem problem = None;
    QByteArray detail; // the last line ssh or the walker wrote on standard error
    ImportError import;

    // What came of the walk: the process's status, its last error lines, the reader's verdict.
    struct Outcome
    {
        ChildProcess::Status status;
        QList<QByteArray> errorLines; // the last ones, oldest first
        bool scanRead = false;        // the reader took a whole scan
        ImportError import;           // else why not
        quint64 received = 0;         // bytes of the scan's text
        bool stopped = false;
    };
    static RemoteFailure Classify(const Outcome &outcome);
};
