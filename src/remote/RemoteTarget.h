#pragma once

#include <QByteArray>
#include <QString>

// A machine to walk, as the user names it for their own ssh: an alias of ~/.ssh/config, a host,
// "user@host", with ":port" after it or a port given apart ("[address]:port" for an IPv6
// address). Nothing that ssh could take for one of its options, or that would split into two
// words, is accepted.
struct RemoteTarget
{
    QByteArray destination; // what ssh is given after "--"
    int port = 0;           // 0: ssh's own choice (its config, else 22)

    enum class Problem { None, Empty, Option, BadCharacter, BadPort };
    // Reads the machine as typed, with a port typed apart (empty: none); the problem found, if any.
    static Problem Parse(const QString &machine, const QString &port, RemoteTarget &target);
    // The machine alone, for naming the scan: "user@host" without the port.
    QByteArray machine() const { return destination; }
};
