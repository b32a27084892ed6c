#include "DriveBar.h"

#include "FolderStatus.h"
#include "FormatText.h"
#include "Icons.h"
#include "TextTable.h"

#include <QAction>
#include <QFile>
#include <QMenu>

namespace {

// A label shown after an access-key "&": its own "&"s must show as they are.
QString EscapeAmpersands(QString text)
{
    return text.replace(u'&', QStringLiteral("&&"));
}

} // namespace

// The drive bar is the one the view menu's "Barre d'outils" shows and hides.
DriveBar::DriveBar(QMenu *scanMenu, QAction *entriesEnd, QWidget *window)
    : MainToolBar(QStringLiteral("Toolbar"), Text(TextId::MenuViewToolBar).remove(u'&'), window)
    , m_scanMenu(scanMenu)
    , m_entriesEnd(entriesEnd)
{
    setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
}

QList<QAction *> DriveBar::addDrive(int index, const Volume &drive)
{
    const QString label = QFile::decodeName(drive.label());
    if (index > 0)
        addSeparator();
    QAction *button = addAction(DriveIcon(drive.kind), label);
    button->setObjectName(QStringLiteral("drive:") + label);
    button->setToolTip(FormatText(Text(TextId::DriveButtonTip), label));
    connect(button, &QAction::triggered, this, [this, index] { emit drivePicked(index); });

    QString caption = QStringLiteral("[-&") + EscapeAmpersands(label) + QStringLiteral("-]");
    if (drive.kind == DriveKind::Saved) {
        // A saved scan says when it was made, beside the volume it shows.
        const QString when =
            FormatText(Text(TextId::SavedOn), FolderStatus::savedDay(drive.savedAt));
        caption += u' ' + when;
        button->setText(label + u' ' + when);
    }
    if (index < 10)
        caption += QStringLiteral("\tCtrl+F") + QString::number(index + 1);
    auto *entry = new QAction(caption, m_scanMenu);
    m_scanMenu->insertAction(m_entriesEnd, entry);
    entry->setObjectName(QStringLiteral("mnuScanDisk"));
    entry->setData(label);
    connect(entry, &QAction::triggered, this, [this, index] { emit drivePicked(index); });
    return {button, entry};
}
