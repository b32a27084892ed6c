#pragma once

#include <QStatusBar>

#include <array>

class QLabel;
class QTimer;

// The main window's status bar: five panels from left to right. Panels 1 to 3 carry the program's
// texts (progress and counts, free space, total space); panel 4 shows the current time and panel 5
// the current date, which the bar keeps up to date itself.
class MainStatusBar : public QStatusBar
{
    Q_OBJECT
public:
    static constexpr int PanelCount = 5;

    explicit MainStatusBar(QWidget *parent = nullptr);

    // Panels are numbered from 1.
    void setPanelText(int panel, const QString &text);
    QString panelText(int panel) const;
    void setPanelToolTip(int panel, const QString &text);
    // Whether the view follows the volume's changes, beside the first panel; hidden when empty.
    void setLiveText(const QString &text, const QString &toolTip);
    QString liveText() const;

protected:
    bool event(QEvent *event) override;

private:
    void showClock();
    void sharePanelWidths();

    std::array<QLabel *, PanelCount> m_panels{}; // owned by the bar through Qt's parenting
    QTimer *m_clock = nullptr;
    QLabel *m_live = nullptr;
};
