#include "ReportWindow.h"

#include "FileSystem.h"
#include "FormatText.h"
#include "Formatting.h"
#include "TextTable.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace {

// The deleted files listed by name; the total counts them all.
constexpr size_t ListedFiles = 10;

QString Html(const QString &text)
{
    return text.toHtmlEscaped();
}

QString Html(const QByteArray &bytes)
{
    return QFile::decodeName(bytes).toHtmlEscaped();
}

// One row of the table from a text "name\nwhat it means", its size shown as the list shows sizes
// (none when it cannot be known), below zero with a minus sign.
QString Row(const QString &text, std::optional<qint64> size, const QString &extra = {})
{
    const qsizetype lineBreak = text.indexOf(u'\n');
    QString shown;
    if (size)
        shown = (*size < 0 ? QStringLiteral("- ") : QString()) +
                GroupedText(quint64(*size < 0 ? -*size : *size));
    return QStringLiteral(
               "<tr><td><b>%1</b></td><td align=\"right\" nowrap>%2</td><td>%3%4</td></tr>")
        .arg(Html(text.left(lineBreak)), Html(shown), Html(text.mid(lineBreak + 1)), extra);
}

// A size within a sentence, kept on one line.
QString InlineSize(quint64 bytes)
{
    return GroupedText(bytes).replace(u' ', QChar::Nbsp);
}

QString DeletedFilesTable(const OpenDeletedFiles &deleted)
{
    if (deleted.biggest.empty())
        return {};
    QString table = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"2\"><tr><th "
                                   "align=\"left\">%1</th><th align=\"left\">%2</th><th "
                                   "align=\"right\">%3</th></tr>")
                        .arg(Html(Text(TextId::ReportProcessColumn)),
                             Html(Text(TextId::ColumnName)), Html(Text(TextId::ColumnSize)));
    for (const OpenDeletedFile &file : deleted.biggest)
        table +=
            QStringLiteral("<tr><td>%1 (%2)</td><td>%3</td><td align=\"right\" nowrap>%4</td></tr>")
                .arg(Html(file.process), QString::number(file.pid), Html(file.link),
                     Html(GroupedText(file.allocated)));
    return table + QStringLiteral("</table>");
}

} // namespace

ReportWindow::ReportWindow(QWidget *parent)
    : QDialog(parent)
    , m_view(new QTextBrowser(this))
    , m_status(new QLabel(this))
    , m_refresh(new QPushButton(Text(TextId::ReportRefresh), this))
    , m_reading([this](DiskReport report) { read(report); })
{
    setObjectName(QStringLiteral("frmReport"));
    setModal(false);
    resize(760, 480);
    m_view->setObjectName(QStringLiteral("txtReport"));
    m_view->setAccessibleName(Text(TextId::MenuViewReport).remove(u'&'));
    m_view->setOpenLinks(false);
    m_view->setTabChangesFocus(true);
    m_view->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_status->setObjectName(QStringLiteral("lblReportStatus"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_refresh->setObjectName(QStringLiteral("cmdRefresh"));
    m_refresh->setAutoDefault(false);
    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(m_refresh, QDialogButtonBox::ActionRole);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_status);
    layout->addWidget(buttons);
    connect(m_refresh, &QPushButton::clicked, this, &ReportWindow::refresh);
}

void ReportWindow::setVolume(const QByteArray &mountPoint, std::optional<ScanFigures> scan,
                             ReportScope scope)
{
    m_mountPoint = mountPoint;
    m_scan = scan;
    m_scope = scope;
    setWindowTitle(Text(TextId::MenuViewReport).remove(u'&') + QStringLiteral(" - ") +
                   QFile::decodeName(mountPoint));
    refresh();
}

void ReportWindow::dropRecords()
{
    m_scan.reset();
    if (m_report)
        m_report->scan = {};
    showReport();
}

void ReportWindow::refresh()
{
    if (m_mountPoint.isEmpty())
        return;
    m_status->setText(Text(TextId::ReportReading));
    const QByteArray root = m_mountPoint.endsWith('/') ? m_mountPoint : m_mountPoint + '/';
    m_reading.run([root, scan = m_scan.value_or(ScanFigures{}),
                   scope = m_scope](const std::atomic<bool> &cancelled) {
        // A saved scan's root ("server:/srv/") is no path of this machine.
        FileStatus status;
        if (scope == ReportScope::Saved ||
            !FileSystem::StatusOfPath(root, status, FileSystem::FollowLink::Yes))
            return DiskReport{root, {}, scan, {}, {}, scope};
        return MakeDiskReport(root, status.device, scan, ListedFiles, {}, &cancelled, scope);
    });
}

void ReportWindow::read(DiskReport report)
{
    // Records dropped while the job ran: its copy of their figures is no longer true.
    if (!m_scan)
        report.scan = {};
    m_report = std::move(report);
    m_status->clear();
    showReport();
}

void ReportWindow::showReport()
{
    if (!m_report) {
        m_view->clear();
        return;
    }
    const DiskReport &report = *m_report;
    const VolumeSpace &space = report.space;
    // Only a whole volume's scan is set against what the volume says it uses; a volume whose
    // figures could not be read has no row rather than a made-up one.
    const bool volume = report.scope == ReportScope::Volume;
    QString rows, notes;
    if (volume && space.known)
        rows +=
            Row(FormatText(Text(TextId::ReportUsed), InlineSize(space.total)), qint64(space.used));
    if (m_scan) {
        rows += Row(FormatText(Text(TextId::ReportFound), InlineSize(report.scan.apparent)),
                    qint64(report.scan.onDisk));
        if (volume && space.known)
            rows += Row(Text(TextId::ReportDifference), report.difference());
    } else {
        notes += QStringLiteral("<p>%1</p>").arg(Html(Text(TextId::ReportNoScan)));
    }
    if (!volume)
        notes +=
            QStringLiteral("<p>%1</p>")
                .arg(Html(Text(report.scope == ReportScope::Saved ? TextId::ReportSavedScope
                                                                  : TextId::ReportFolderScope)));
    const OpenDeletedFiles &deleted = report.deleted;
    if (volume)
        rows += Row(FormatText(Text(TextId::ReportDeletedOpen), deleted.count),
                    qint64(deleted.allocated), DeletedFilesTable(deleted));
    if (!report.mountPoints.isEmpty()) {
        QStringList places;
        for (const QByteArray &place : report.mountPoints)
            places.append(QFile::decodeName(place));
        rows += Row(FormatText(Text(TextId::ReportMountPoints), places.join(QStringLiteral(", "))),
                    std::nullopt);
    }
    // Left out on purpose: their bytes are in the difference, as the mount points' are.
    if (m_scan && report.scan.excluded > 0) {
        QStringList places;
        for (const QByteArray &place : report.scan.excludedSample)
            places.append(QFile::decodeName(place));
        if (report.scan.excluded > quint32(places.size()))
            places.append(QStringLiteral("..."));
        rows += Row(FormatText(Text(TextId::ReportExcluded), report.scan.excluded,
                               places.join(QStringLiteral(", "))),
                    std::nullopt);
    }
    if (m_scan && (report.scan.unreadFolders > 0 || report.scan.unreadFiles > 0)) {
        QString unread = FormatText(Text(TextId::ReportUnread), report.scan.unreadFolders,
                                    report.scan.unreadFiles);
        if (report.scan.vanished > 0)
            unread += u' ' + FormatText(Text(TextId::ReportVanished), report.scan.vanished);
        rows += Row(unread, std::nullopt);
    }
    if (m_scan && volume && space.known)
        rows += report.excess() > 0 ? Row(Text(TextId::ReportExcess), qint64(report.excess()))
                                    : Row(Text(TextId::ReportRest), qint64(report.rest()));
    if (volume && space.known && space.reserved > 0)
        rows += Row(Text(TextId::ReportReserved), qint64(space.reserved));
    if (deleted.unreadProcesses > 0)
        notes += QStringLiteral("<p>%1</p>")
                     .arg(Html(
                         FormatText(Text(TextId::ReportUnreadProcesses), deleted.unreadProcesses)));
    m_view->setHtml(
        QStringLiteral("<table cellspacing=\"0\" cellpadding=\"4\">%1</table>%2").arg(rows, notes));
}
