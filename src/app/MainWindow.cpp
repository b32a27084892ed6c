#include "MainWindow.h"

#include "FormatText.h"
#include "MainStatusBar.h"
#include "TextTable.h"

#include <QEvent>

namespace {
// The client area, in twips, when no size has been stored.
constexpr int ClientWidth = 11115;
constexpr int ClientHeight = 8610;
} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , m_statusBar(new MainStatusBar(this))
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Quarnel"));
    m_pixelTwips = TwipsScale::of(this);
    setStatusBar(m_statusBar);
    setCentralWidget(new QWidget(this));
    resize(m_pixelTwips.toPixelsX(ClientWidth), m_pixelTwips.toPixelsY(ClientHeight));
    // Also written here, not only on activation: a window manager may never activate us.
    showFolderCount();
}

void MainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        showFolderCount();
    QMainWindow::changeEvent(event);
}

void MainWindow::showFolderCount()
{
    m_statusBar->setPanelText(1, FormatText(TextTable::text(TextId::FoldersScanned), m_folderCount));
}
