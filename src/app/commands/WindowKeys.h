#pragma once

#include <QObject>

#include <functional>

class QKeyEvent;
class QWidget;

// The keys that act whatever has the focus in the window: Esc stops a scan, Ctrl+F1 to Ctrl+F10
// pick the first ten drives. The key still goes on to its usual target. Watches the whole
// program while it exists, so it must go before the window it calls.
class WindowKeys : public QObject
{
    Q_OBJECT
public:
    WindowKeys(QWidget *window, int driveCount, std::function<void()> stop,
               std::function<void(int)> pickDrive);
    ~WindowKeys() override;

    // A folder picked for a walk became one more drive.
    void setDriveCount(int count) { m_driveCount = count; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void handleKey(const QObject *watched, const QKeyEvent *key);

    QWidget *m_window;
    int m_driveCount;
    std::function<void()> m_stop;
    std::function<void(int)> m_pickDrive;
};
