#pragma once

#include "HistoryError.h"

#include <QString>

// What went wrong with the history file, in the words the window says it: the error's kind, the
// file named where it helps.
QString HistoryErrorText(const HistoryError &error, const QString &file);
// A walk's date as the history window shows it: "14/03/2025 09:30".
QString WalkDateText(qint64 secondsSinceEpoch);
