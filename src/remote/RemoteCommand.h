#pragma once

#include "RemoteTarget.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QList>

// The command that walks a folder of another machine: the user's own ssh (their agent, keys and
// known hosts) runs a small POSIX sh script there, given on its standard input, so that the
// folder's name goes through no shell but the script's own, quoted. The script walks with
// quarnel-scan when the machine has it, else with ncdu, writing the scan on standard output;
// first it names on standard error the walker it runs.
namespace RemoteCommand {

// The script's own exit codes, apart from the walker's.
constexpr int NoWalkerExit = 86;
constexpr int NoFolderExit = 87;
// What the script says on standard error before the walker starts, followed by its name.
inline constexpr char WalkerMark[] = "quarnel-remote: ";

// ssh's words: `sshCommand` (QUARNEL_SSH's value, split at spaces; empty: "ssh"), never asking
// for a password or a host key it cannot show, giving up on a machine that does not answer.
QList<QByteArray> Arguments(const RemoteTarget &target, const QByteArray &sshCommand);
// The script for `root`, a path on the other machine (relative: to the user's home there),
// leaving out what `exclude` matches: both walkers take ncdu's --exclude patterns.
QByteArray Script(const QByteArray &root, const QByteArrayList &exclude = {});
// `text` as one word for a POSIX shell, whatever it holds.
QByteArray ShellQuote(const QByteArray &text);

} // namespace RemoteCommand
