#include "RemoteCommand.h"

namespace RemoteCommand {

QList<QByteArray> Arguments(const RemoteTarget &target, const QByteArray &sshCommand)
{
    QList<QByteArray> words;
    for (const QByteArray &word : sshCommand.split(' '))
        if (!word.isEmpty())
            words.append(word);
    if (words.isEmpty())
        words.append("ssh");
    // No terminal, no prompt; a dead link is noticed within a minute.
    words << "-T"
          << "-o"
          << "BatchMode=yes"
          << "-o"
          << "ConnectTimeout=20"
          << "-o"
          << "ServerAliveInterval=15"
          << "-o"
          << "ServerAliveCountMax=3";
    if (target.port > 0)
        words << "-p" << QByteArray::number(target.port);
    words << "--" << target.destination << "sh -s";
    return words;
}

QByteArray ShellQuote(const QByteArray &text)
{
    QByteArray quoted = "'";
    for (const char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + '\'';
}

QByteArray Script(const QByteArray &root, const QByteArrayList &exclude)
{
    QByteArray excluding;
    for (const QByteArray &pattern : exclude)
        excluding += "--exclude " + ShellQuote(pattern) + ' ';
    QByteArray script = "ROOT=" + ShellQuote(root) + "\n";
    // A folder named like an option is given as a path. The walker reads nothing of the
    // script's input: the rest of the script is there.
    script += "case $ROOT in -*) ROOT=./$ROOT ;; esac\n"
              "if [ ! -d \"$ROOT\" ]; then exit " +
              QByteArray::number(NoFolderExit) +
              "; fi\n"
              "if command -v quarnel-scan >/dev/null 2>&1; then\n"
              "  echo '" +
              WalkerMark +
              "quarnel-scan' >&2\n"
              "  quarnel-scan " +
              excluding +
              "--export - \"$ROOT\" </dev/null\n"
              "elif command -v ncdu >/dev/null 2>&1; then\n"
              "  echo '" +
              WalkerMark +
              "ncdu' >&2\n"
              "  ncdu -0 -x -e " +
              excluding +
              "-o- \"$ROOT\" </dev/null\n"
              "else\n"
              "  exit " +
              QByteArray::number(NoWalkerExit) +
              "\n"
              "fi\n";
    return script;
}

} // namespace RemoteCommand
