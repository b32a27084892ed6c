#pragma once

#include "TwipsScale.h"

#include <QObject>

class QWidget;
class ReportWindow;
class ScanController;
class SettingsStore;

// The report's command: makes its window the first time it is asked for, shows there the shown
// volume, follows each new scan and lets go of the records when they go. Owned by the window
// through Qt's parenting.
class ReportCommand : public QObject
{
    Q_OBJECT

public:
    // settings may be null: the window's place is then neither restored nor saved.
    ReportCommand(ScanController *scans, SettingsStore *settings, const TwipsScale &twips,
                  QWidget *window);

    void run();
    // Saves the window's place and size, if it was ever made.
    void save() const;
    ReportWindow *window() const { return m_window; }

private:
    void follow();

    ScanController *m_scans;
    SettingsStore *m_settings;
    TwipsScale m_twips;
    QWidget *m_parent;
    ReportWindow *m_window = nullptr;
};
