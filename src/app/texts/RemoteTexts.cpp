#include "RemoteTexts.h"

#include "FormatText.h"
#include "SavedScanCommand.h"
#include "TextTable.h"

#include <QFile>

QString TargetProblemText(RemoteTarget::Problem problem, const QString &machine)
{
    switch (problem) {
    case RemoteTarget::Problem::None:
        break;
    case RemoteTarget::Problem::Empty:
        return Text(TextId::RemoteNoMachine);
    case RemoteTarget::Problem::Option:
        return FormatText(Text(TextId::RemoteMachineOption), machine);
    case RemoteTarget::Problem::BadCharacter:
        return FormatText(Text(TextId::RemoteMachineCharacter), machine);
    case RemoteTarget::Problem::BadPort:
        return Text(TextId::RemoteBadPort);
    }
    return {};
}

QString RemoteFailureText(const RemoteFailure &failure, const QString &machine,
                          const QString &folder)
{
    const QString detail = QString::fromLocal8Bit(failure.detail);
    QString why;
    switch (failure.problem) {
    case RemoteFailure::None:
    case RemoteFailure::Stopped:
        return {};
    case RemoteFailure::NoSsh:
        why = FormatText(Text(TextId::RemoteNoSsh), detail);
        break;
    case RemoteFailure::UnknownHost:
        why = FormatText(Text(TextId::RemoteUnknownHost), machine);
        break;
    case RemoteFailure::HostKeyUnknown:
        why = Text(TextId::RemoteHostKeyUnknown);
        break;
    case RemoteFailure::HostKeyChanged:
        why = Text(TextId::RemoteHostKeyChanged);
        break;
    case RemoteFailure::KeyRefused:
        why = Text(TextId::RemoteKeyRefused);
        break;
    case RemoteFailure::ConnectionRefused:
        why = Text(TextId::RemoteConnectionRefused);
        break;
    case RemoteFailure::TimedOut:
        why = Text(TextId::RemoteTimedOut);
        break;
    case RemoteFailure::NoWalker:
        why = Text(TextId::RemoteNoWalker);
        break;
    case RemoteFailure::NoFolder:
        why = FormatText(Text(TextId::RemoteNoFolder), folder);
        break;
    case RemoteFailure::Cut:
        why = Text(TextId::RemoteCut);
        if (!detail.isEmpty())
            why += FormatText(Text(TextId::RemoteSshSaid), detail);
        break;
    case RemoteFailure::BadScan:
        why =
            FormatText(Text(TextId::RemoteBadScan), SavedScanCommand::ProblemText(failure.import));
        break;
    case RemoteFailure::Other:
        why = detail.isEmpty() ? Text(TextId::RemoteUnknownFailure)
                               : FormatText(Text(TextId::RemoteSshSaid), detail).trimmed();
        break;
    }
    return FormatText(Text(TextId::RemoteFailed), machine + u':' + folder, why);
}

QString WalkerName(RemoteScan::Walker walker)
{
    switch (walker) {
    case RemoteScan::Walker::QuarnelScan:
        return QStringLiteral("quarnel-scan");
    case RemoteScan::Walker::Ncdu:
        return QStringLiteral("ncdu");
    case RemoteScan::Walker::Unknown:
        break;
    }
    return {};
}
