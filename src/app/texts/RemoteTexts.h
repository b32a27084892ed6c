#pragma once

#include "RemoteFailure.h"
#include "RemoteScan.h"
#include "RemoteTarget.h"

#include <QString>

// The texts of walks of other machines, made from the text table.

// Why the machine as typed cannot be given to ssh.
QString TargetProblemText(RemoteTarget::Problem problem, const QString &machine);
// Why a walk gave nothing, in full: "Impossible d'analyser srv:/home : ...".
QString RemoteFailureText(const RemoteFailure &failure, const QString &machine,
                          const QString &folder);
// "quarnel-scan", "ncdu", or empty when the machine has not said.
QString WalkerName(RemoteScan::Walker walker);
