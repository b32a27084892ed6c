#include "FolderStatus.h"

#include "DirListModel.h"
#include "FolderTreeView.h"
#include "FormatText.h"
#include "Formatting.h"
#include "Paths.h"
#include "ScanComparison.h"
#include "ScanController.h"
#include "TextTable.h"

#include <QDateTime>
#include <QFile>

namespace {

// Whole kilobytes gained ("+12") or lost ("-12"); under a tenth of a kilobyte, 0 with no sign,
// which the size pattern would leave blank.
QString SignedKilobytes(qint64 bytes)
{
    const QString amount = KilobyteText(bytes >= 0 ? quint64(bytes) : 0 - quint64(bytes)).trimmed();
    if (amount.isEmpty())
        return QStringLiteral("0");
    return (bytes > 0 ? QStringLiteral("+") : QStringLiteral("-")) + amount;
}

} // namespace

QString FolderStatus::text(const ScanComparison *earlier) const
{
    const QByteArray folder = m_tree->selectedfolder();
    const Volume drive = m_scans->volumeHolding(folder);
    const QByteArray name = folder == drive.root() ? drive.label() : GetFolderName(folder);
    QString text = QStringLiteral("[-") + QFile::decodeName(name) + QStringLiteral("-] : ") +
                   KilobyteText(m_list->folderSize()) + QStringLiteral(" Kb");
    if (const auto growth = m_list->folderGrowth(); growth && earlier)
        text += QStringLiteral(" ; ") + FormatText(Text(TextId::GrowthSince),
                                                   SignedKilobytes(*growth) + QStringLiteral(" Kb"),
                                                   savedDay(earlier->savedAt()));
    return text;
}

QString FolderStatus::savedDay(qint64 secondsSinceEpoch)
{
    return QDateTime::fromSecsSinceEpoch(secondsSinceEpoch).toString(QStringLiteral("dd/MM/yyyy"));
}
