#include "LayoutSettings.h"

#include "ExcludePatterns.h"
#include "SettingsStore.h"
#include "WorkArea.h"

#include <QAction>
#include <QMainWindow>
#include <QMenuBar>

LayoutSettings::LayoutSettings(SettingsStore *store, const Parts &parts, TwipsScale pixelTwips)
    : m_store(store)
    , m_parts(parts)
    , m_pixelTwips(pixelTwips)
{}

PercentBase LayoutSettings::restore() const
{
    // The smallest the window may be made, in pixels, and its size when none is stored.
    m_parts.window->setMinimumSize(300, 280);
    m_parts.window->resize(m_pixelTwips.toPixelsX(WindowSettings::ClientWidth),
                           m_pixelTwips.toPixelsY(WindowSettings::ClientHeight) +
                               m_parts.window->menuBar()->sizeHint().height());
    const WindowSettings stored = m_store ? LoadWindowSettings(*m_store) : WindowSettings();
    m_parts.driveBar->setVisible(stored.viewBar);
    m_parts.statusBar->setVisible(stored.viewStatus);
    m_parts.workArea->restoreWidths(stored);
    if (m_store) {
        LoadWindowPos(*m_store, *m_parts.window, SettingName::MainLeft, SettingName::MainTop,
                      m_pixelTwips);
        LoadWindowSize(*m_store, *m_parts.window, SettingName::MainWidth, SettingName::MainHeight,
                       m_pixelTwips);
        KeepOnScreen(*m_parts.window);
    }
    return stored.viewType == int(PercentBase::Disk) ? PercentBase::Disk : PercentBase::Folder;
}

SizeMeasure LayoutSettings::measure() const
{
    return m_store && LoadWindowSettings(*m_store).sizeOnDisk ? SizeMeasure::OnDisk
                                                              : SizeMeasure::Apparent;
}

void LayoutSettings::save(PercentBase base, SizeMeasure measure) const
{
    if (!m_store)
        return;
    const int tx = m_pixelTwips.perPixelX();
    const int ty = m_pixelTwips.perPixelY();
    WindowSettings settings;
    settings.viewBar = m_parts.driveBarToggle->isChecked();
    settings.viewStatus = m_parts.statusBarToggle->isChecked();
    settings.viewType = int(base);
    settings.sizeOnDisk = measure == SizeMeasure::OnDisk;
    m_parts.workArea->saveWidths(settings);
    const QRect outer = m_parts.window->frameGeometry();
    settings.mainLeft = outer.x() * tx;
    settings.mainTop = outer.y() * ty;
    settings.mainWidth = outer.width() * tx;
    settings.mainHeight = outer.height() * ty;
    SaveWindowSettings(*m_store, settings);
}

QByteArrayList LoadExcludePatterns(const SettingsStore *store)
{
    if (!store)
        return {};
    const std::optional<QVariant> text = ReadSetting(*store, u"ExcludePatterns", SettingKind::Text);
    return text ? ExcludePatterns::FromLines(text->toString().toUtf8()) : QByteArrayList();
}

void SaveExcludePatterns(const SettingsStore *store, const QByteArrayList &patterns)
{
    if (store)
        WriteSetting(*store, u"ExcludePatterns", QString::fromUtf8(patterns.join('\n')),
                     SettingKind::Text);
}
