#include "ActTexts.h"

#include "FormatText.h"
#include "Formatting.h"
#include "Paths.h"
#include "SystemErrorText.h"
#include "TextTable.h"

#include <QFile>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <cmath>

using namespace Qt::StringLiterals;

QString ShownPath(const QByteArray &path)
{
    return QFile::decodeName(RemoveSlash(path));
}

QString DurationText(double seconds)
{
    const auto whole = qint64(std::ceil(seconds));
    if (whole < 60)
        return FormatText(Text(TextId::DuplicatesSeconds), std::max<qint64>(whole, 1));
    const qint64 minutes = (whole + 59) / 60;
    if (minutes < 60)
        return FormatText(Text(TextId::DuplicatesMinutes), minutes);
    return FormatText(Text(TextId::DuplicatesHours), minutes / 60, minutes % 60);
}

QString ReadingText(quint64 read, quint64 toRead, qint64 elapsedMs)
{
    if (toRead == 0)
        return Text(TextId::DuplicatesSizing); // the sizes are being compared
    read = std::min(read, toRead);
    const QString done = AmountText(read, std::nullopt), all = AmountText(toRead, std::nullopt);
    if (read == 0 || elapsedMs < 1000)
        return FormatText(Text(TextId::DuplicatesReading), done, all);
    const double left = double(toRead - read) * double(elapsedMs) / double(read) / 1000.0;
    return FormatText(Text(TextId::DuplicatesTimeLeft), done, all, DurationText(left));
}

QString AmountText(quint64 bytes, std::optional<quint64> files)
{
    // Kilobytes round up from a tenth: anything from 103 bytes shows as at least 1 Kb, and less
    // than that would show no number at all.
    QString amount = KilobyteText(bytes).trimmed();
    if (amount.isEmpty())
        amount = FormatText(Text(bytes < 2 ? TextId::AmountByte : TextId::AmountBytes), bytes);
    else if (bytes < 1048576)
        amount += u" Kb"_s;
    else
        amount = MegabyteText(bytes).trimmed() + u" Mb"_s;
    if (!files)
        return amount;
    const QString count = *files == 0 ? u"0"_s : SizeText(*files).trimmed();
    return FormatText(Text(TextId::RemovalSize), amount, count);
}

QString ErrorText(int error)
{
    return SystemErrorText(error);
}

static_assert(int(TextId::ChangeNotFolder) - int(TextId::ChangeGone) ==
              int(HeldPath::Change::NotFolder) - int(HeldPath::Change::Gone));

QString ChangeText(const HeldPath::Check &change, TextId nothingDone)
{
    using Change = HeldPath::Change;
    if (change.change == Change::None)
        return {};
    if (change.change == Change::NotOnThisMachine)
        return FormatText(Text(TextId::SavedScanItem), ShownPath(change.where));
    return FormatText(Text(nothingDone), ShownPath(change.where), ChangeHowText(change));
}

QString ChangeHowText(const HeldPath::Check &change)
{
    using Change = HeldPath::Change;
    if (change.change == Change::None || change.change == Change::NotOnThisMachine)
        return {};
    // The texts from ChangeGone on follow the changes from Gone on, in their order.
    return change.change == Change::Unreadable
               ? FormatText(Text(TextId::ChangeUnreadable), ErrorText(change.error))
               : Text(TextId(int(TextId::ChangeGone) + int(change.change) - int(Change::Gone)));
}

QString RefusalText(Refusal refusal, const QByteArray &path)
{
    TextId why = TextId::RefusedMissing;
    switch (refusal) {
    case Refusal::None:
        return {};
    case Refusal::OutsideVolume:
        why = TextId::RefusedOutside;
        break;
    case Refusal::VolumeRoot:
        why = TextId::RefusedRoot;
        break;
    case Refusal::MountPoint:
        why = TextId::RefusedMountPoint;
        break;
    case Refusal::TrashFolder:
        why = TextId::RefusedTrash;
        break;
    case Refusal::Missing:
        why = TextId::RefusedMissing;
        break;
    }
    return FormatText(Text(why), ShownPath(path));
}

QString TrashProblemText(int error, const QByteArray &where)
{
    switch (error) {
    case ELOOP:
        return FormatText(Text(TextId::TrashIsLink), ShownPath(where));
    case EPERM:
        return FormatText(Text(TextId::TrashNotOwned), ShownPath(where));
    case EXDEV:
        return FormatText(Text(TextId::TrashOtherVolume), ShownPath(where));
    default:
        return ShownPath(where) + u" : "_s + ErrorText(error);
    }
}

QString RemainingText(const std::vector<PermanentDelete::Failure> &remaining)
{
    QStringList lines{FormatText(Text(TextId::DeletePartly), qulonglong(remaining.size()))};
    for (size_t i = 0; i < std::min<size_t>(remaining.size(), 8); ++i)
        lines.append(ShownPath(remaining[i].path) + u" : "_s + ErrorText(remaining[i].error));
    return lines.join(u'\n');
}
