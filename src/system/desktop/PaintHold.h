#pragma once

#include <QObject>

#include <atomic>

// Holds a walk back while any window of the program paints. Qt spreads large fills over threads
// of its own and waits for them; with the walk's threads on every core those threads wait for a
// core, and the window with them. The walk's threads read the flag between two entries, so they
// step aside within a fraction of a millisecond and go on once the paint is done.
class PaintHold : public QObject
{
    Q_OBJECT
public:
    // Watches the application's paints from now on.
    explicit PaintHold(QObject *parent = nullptr);
    ~PaintHold() override;

    // What Walker::Options::holdBack points to.
    const std::atomic<int> *flag() const { return &m_held; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void release();

    std::atomic<int> m_held{0};
    bool m_releasePending = false;
};
