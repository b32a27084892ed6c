#pragma once

#include "DirListModel.h"
#include "SizeMeasure.h"
#include "TwipsScale.h"

#include <QByteArrayList>

class QAction;
class QMainWindow;
class QWidget;
class SettingsStore;
class WorkArea;

// The main window's looks as the settings store keeps them: which bars show, the size reference,
// the tree's and the columns' widths, and the window's place and outer size, all in twips.
class LayoutSettings
{
public:
    struct Parts
    {
        QMainWindow *window = nullptr;
        QWidget *driveBar = nullptr;
        const QAction *driveBarToggle = nullptr;
        QWidget *statusBar = nullptr;
        const QAction *statusBarToggle = nullptr;
        WorkArea *workArea = nullptr;
    };

    // With no store, the defaults are restored and nothing is saved.
    LayoutSettings(SettingsStore *store, const Parts &parts, TwipsScale pixelTwips);

    // Shows or hides the bars, sizes the tree, the columns and the window (by default when the
    // store holds no size); the size reference.
    PercentBase restore() const;
    // The measure of sizes the settings hold.
    SizeMeasure measure() const;
    void save(PercentBase base, SizeMeasure measure) const;

private:
    SettingsStore *m_store;
    Parts m_parts;
    TwipsScale m_pixelTwips;
};

// The patterns walks leave out by, one a line under "ExcludePatterns"; none without a store.
QByteArrayList LoadExcludePatterns(const SettingsStore *store);
void SaveExcludePatterns(const SettingsStore *store, const QByteArrayList &patterns);
