#pragma once

#include "TwipsScale.h"

#include <QMainWindow>

class MainStatusBar;

// The main window: title "Quarnel", the status bar's panels, and the window's state. It owns every
// child widget through Qt's parenting.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);

    MainStatusBar *statusPanels() const { return m_statusBar; }
    const TwipsScale &pixelTwips() const { return m_pixelTwips; }

protected:
    void changeEvent(QEvent *event) override;

private:
    void showFolderCount();

    MainStatusBar *m_statusBar = nullptr;
    TwipsScale m_pixelTwips;       // PixelTwipsX and PixelTwipsY
    qsizetype m_folderCount = 0;   // records held; the scan fills them
};
