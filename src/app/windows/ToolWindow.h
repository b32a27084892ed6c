#pragma once

#include "ScanController.h"
#include "SettingsStore.h"
#include "SizeMeasure.h"
#include "TwipsScale.h"

#include <QObject>
#include <QScreen>
#include <QString>
#include <QWidget>

#include <algorithm>
#include <functional>

// A first place for a tool window that is read beside the main one: to its right when the screen
// has room, else over its right side.
inline void PlaceBeside(QWidget &window, const QWidget &main)
{
    const QRect outer = main.frameGeometry();
    const QRect room = main.screen() ? main.screen()->availableGeometry() : outer;
    const int width = std::min(window.frameGeometry().width(), room.width());
    const int x = std::clamp(outer.right() + 1, room.left(), room.right() + 1 - width);
    const int y =
        std::clamp(outer.top(), room.top(),
                   std::max(room.top(), room.bottom() + 1 - window.frameGeometry().height()));
    window.move(x, y);
}

// The life one of the main window's tool windows (search, biggest files, kinds of file, report)
// shares with the others: it is made over the main window the first time it is asked for, placed
// where the settings left it, and kept for the run; each ask reads the records into it and brings
// it to the front; while shown it follows each new scan; it lets go of records about to be freed;
// one with sizes shows them in the measure of the rest. What it reads and what its choices do are
// its command's. Held by the command; the window is owned by the main window through Qt's
// parenting.
template<typename Window> class ToolWindow
{
public:
    // command: the context of the window's ties; follow: reads the records into the window.
    // settings may be null: the window's place and size are then neither restored nor saved.
    ToolWindow(QObject *command, QWidget *mainWindow, ScanController *scans,
               const SettingsStore *settings, QStringView settingName, const TwipsScale &twips,
               std::function<void()> follow)
        : m_command(command)
        , m_mainWindow(mainWindow)
        , m_scans(scans)
        , m_settings(settings)
        , m_settingName(settingName.toString())
        , m_twips(twips)
        , m_follow(std::move(follow))
    {}

    ToolWindow(const ToolWindow &) = delete;
    ToolWindow &operator=(const ToolWindow &) = delete;

    // Null until first opened.
    Window *window() const { return m_window; }

    // Makes the window the first time, tie giving it its command's ties and a first place before
    // the settings' place; then reads the records into it and brings it to the front.
    void open(const std::function<void(Window &)> &tie = {})
    {
        if (!m_window)
            make(tie);
        m_follow();
        m_window->show();
        m_window->raise();
        m_window->activateWindow();
    }

    // A hidden window reads nothing: it reads the records again when next opened.
    void followIfShown() const
    {
        if (m_window && m_window->isVisible())
            m_follow();
    }

    void setSizeMeasure(SizeMeasure measure)
    {
        m_measure = measure;
        if (m_window)
            m_window->setSizeMeasure(measure);
    }

    // Writes the window's place and size, if it was ever made.
    void save() const
    {
        if (m_settings && m_window)
            SaveToolWindow(*m_settings, *m_window, m_settingName, m_twips);
    }

private:
    void make(const std::function<void(Window &)> &tie)
    {
        m_window = new Window(m_mainWindow);
        if constexpr (requires(Window & window) { window.setSizeMeasure(SizeMeasure::Apparent); })
            m_window->setSizeMeasure(m_measure);
        if (tie)
            tie(*m_window);
        if (m_settings)
            LoadToolWindow(*m_settings, *m_window, m_settingName, m_twips);
        QObject::connect(m_scans, &ScanController::recordsGoing, m_window, &Window::dropRecords);
        QObject::connect(m_scans, &ScanController::listOutdated, m_command,
                         [this] { followIfShown(); });
        QObject::connect(m_scans, &ScanController::recordsFollowed, m_command,
                         [this] { followIfShown(); });
    }

    QObject *m_command;
    QWidget *m_mainWindow;
    ScanController *m_scans;
    const SettingsStore *m_settings;
    QString m_settingName;
    TwipsScale m_twips;
    std::function<void()> m_follow;
    SizeMeasure m_measure = SizeMeasure::Apparent;
    Window *m_window = nullptr;
};
