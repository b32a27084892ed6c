#pragma once

#include "HeldPath.h"
#include "PermanentDelete.h"
#include "RemovalCheck.h"

#include <QString>

#include <optional>
#include <vector>

enum class TextId : quint16;

// What the commands that act on the disk say, in words a user reads: amounts that always show a
// number, and why something was not done.

QString ShownPath(const QByteArray &path);
// "12 Kb, 3 Fichiers.", "512 octets, 1 Fichiers.": below a kilobyte, in bytes.
QString AmountText(quint64 bytes, std::optional<quint64> files);
// "40 s", "3 min", "2 h 5 min": rounded up, an estimate says no less than it means.
QString DurationText(double seconds);
// Where a reading stands: what it is doing before anything is to be read, the bytes read of
// those to read, and the time left once a second of reading gives a rate worth the name.
QString ReadingText(quint64 read, quint64 toRead, qint64 elapsedMs);
QString ErrorText(int error);
// "« where » a changé depuis l'analyse : how. Rien n'a été ..." with `nothingDone` naming the act.
QString ChangeText(const HeldPath::Check &change, TextId nothingDone);
// What changed, as ChangeText says it after the colon: "il n'existe plus".
QString ChangeHowText(const HeldPath::Check &change);
QString RefusalText(Refusal refusal, const QByteArray &path);
// Why a volume's trash cannot be used: the folder at fault and what is wrong with it.
QString TrashProblemText(int error, const QByteArray &where);
// The first of what a deletion left, with why.
QString RemainingText(const std::vector<PermanentDelete::Failure> &remaining);
