#include "RemoteFailure.h"

#include "RemoteCommand.h"

namespace {

// ssh's own exit status, for its failures and for a link that broke.
constexpr int SshFailed = 255;

bool Says(const QList<QByteArray> &lines, const char *words)
{
    for (const QByteArray &line : lines)
        if (line.contains(words))
            return true;
    return false;
}

QByteArray LastLine(const QList<QByteArray> &lines)
{
    for (auto line = lines.crbegin(); line != lines.crend(); ++line)
        if (!line->trimmed().isEmpty() && !line->startsWith(RemoteCommand::WalkerMark))
            return line->trimmed();
    return {};
}

} // namespace

RemoteFailure RemoteFailure::Classify(const Outcome &outcome)
{
    RemoteFailure failure;
    const QList<QByteArray> &lines = outcome.errorLines;
    failure.detail = LastLine(lines);
    const auto is = [&](Problem problem) {
        failure.problem = problem;
        return failure;
    };
    if (outcome.stopped)
        return is(Stopped);
    const ChildProcess::Status &status = outcome.status;
    if (status.exited && status.code == SshFailed) {
        // Each of ssh's failures to reach the machine has its own words, the same since long.
        if (Says(lines, "Could not resolve hostname") || Says(lines, "Name or service not known"))
            return is(UnknownHost);
        if (Says(lines, "IDENTIFICATION HAS CHANGED"))
            return is(HostKeyChanged);
        if (Says(lines, "Host key verification failed"))
            return is(HostKeyUnknown);
        if (Says(lines, "Permission denied"))
            return is(KeyRefused);
        if (Says(lines, "Connection refused"))
            return is(ConnectionRefused);
        if (outcome.received == 0 && (Says(lines, "timed out") || Says(lines, "No route to host")))
            return is(TimedOut);
        // Reached, then lost: whatever came is not the whole scan.
        if (outcome.received > 0 || Says(lines, RemoteCommand::WalkerMark))
            return is(Cut);
        return is(Other);
    }
    if (!status.exited) // ssh killed by another hand than ours
        return is(Cut);
    if (status.code == RemoteCommand::NoWalkerExit)
        return is(NoWalker);
    if (status.code == RemoteCommand::NoFolderExit)
        return is(NoFolder);
    if (outcome.scanRead) { // whatever the code: quarnel-scan exits 1 when some were unreadable
        failure.detail.clear();
        return is(None);
    }
    failure.import = outcome.import;
    if (outcome.received == 0 && status.code != 0)
        return is(Other); // the walker refused to start: its words say why
    // A walker that died leaves its scan's text cut short; one that says it finished while its
    // text is, or a text that is no scan, is refused as a bad file is.
    if (status.code != 0 && outcome.import.problem == ImportError::Truncated)
        return is(Cut);
    return is(BadScan);
}
