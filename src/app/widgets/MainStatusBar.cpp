#include "MainStatusBar.h"

#include "Formatting.h"
#include "StatusPanel.h"

#include <QDateTime>
#include <QEvent>
#include <QLabel>
#include <QLocale>
#include <QTimer>

#include <algorithm>

namespace {
constexpr int TimePanel = 4;
constexpr int DatePanel = 5;

QString PanelName(int panel)
{
    return QStringLiteral("Barre d'état %1").arg(panel);
}
} // namespace

MainStatusBar::MainStatusBar(QWidget *parent)
    : QStatusBar(parent)
    , m_clock(new QTimer(this))
{
    setObjectName(QStringLiteral("StatusBar"));
    // The window's frame resizes it; the grip's room goes to the panels' texts.
    setSizeGripEnabled(false);
    for (int i = 0; i < PanelCount; ++i) {
        auto *panel = new StatusPanel(this);
        panel->setObjectName(QStringLiteral("panel%1").arg(i + 1));
        panel->setAccessibleName(PanelName(i + 1));
        panel->setAccessibleDescription(PanelName(i + 1));
        // The first panel takes what the others leave (see sharePanelWidths). Shortened, a path
        // keeps its start and its last folder, a space panel its number.
        if (i == 0) {
            panel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
            panel->setElideMode(Qt::ElideMiddle);
        } else {
            panel->setElideMode(Qt::ElideLeft);
            panel->hide(); // until it has a text: an empty panel would show as a sliver
        }
        addPermanentWidget(panel, i == 0 ? 1 : 0);
        m_panels[i] = panel;
    }
    m_live = new StatusPanel(this);
    m_live->setObjectName(QStringLiteral("panelLive"));
    m_live->hide();
    insertPermanentWidget(1, m_live);
    m_clock->setInterval(1000);
    connect(m_clock, &QTimer::timeout, this, &MainStatusBar::showClock);
    m_clock->start();
    showClock();
}

void MainStatusBar::setPanelText(int panel, const QString &text)
{
    if (panel < 1 || panel > PanelCount)
        return;
    QLabel *label = m_panels[panel - 1];
    // A panel is one line: a line break in a folder's name shows as a mark.
    label->setText(QString(text).replace(u'\n', QChar(0x21B5)));
    if (panel > 1)
        label->setVisible(!text.isEmpty());
    sharePanelWidths();
    // A screen reader says what the panel shows, or which panel it is while it shows nothing.
    label->setAccessibleName(text.isEmpty() ? PanelName(panel) : QString());
}

void MainStatusBar::setPanelToolTip(int panel, const QString &text)
{
    if (panel >= 1 && panel <= PanelCount)
        m_panels[panel - 1]->setToolTip(text);
}

void MainStatusBar::setLiveText(const QString &text, const QString &toolTip)
{
    m_live->setText(text);
    m_live->setToolTip(toolTip);
    m_live->setVisible(!text.isEmpty());
    sharePanelWidths();
}

QString MainStatusBar::liveText() const
{
    return m_live->text();
}

QString MainStatusBar::panelText(int panel) const
{
    if (panel < 1 || panel > PanelCount)
        return {};
    return m_panels[panel - 1]->text();
}

void MainStatusBar::sharePanelWidths()
{
    // The free and total space panels are short and say one number each: they keep their text's
    // width, and the first panel, whose paths and progress can be of any length, takes what is
    // left, shortened in the middle. Only a window too narrow for even a little of the first
    // panel squeezes the other two, each in proportion to its text.
    if (!isVisible())
        return;
    constexpr int FirstPanelLeast = 100;
    QLabel *first = m_panels[0];
    int room = first->width();
    int wanted = 0;
    for (const int panel : {1, 2}) {
        if (m_panels[panel]->isVisible()) {
            room += m_panels[panel]->width();
            wanted += m_panels[panel]->sizeHint().width();
        }
    }
    // The live view's sign comes after them: it shows whole where there is room, and yields first.
    const bool live = m_live->isVisible();
    if (live)
        room += m_live->width();
    const int least = std::min(first->sizeHint().width(), FirstPanelLeast);
    const int left = std::clamp(room - least, 0, wanted);
    if (live) {
        const int share = std::clamp(room - least - left, 0, m_live->sizeHint().width());
        m_live->setMinimumWidth(share);
        m_live->setMaximumWidth(share);
    }
    for (const int panel : {1, 2}) {
        const int share = left == wanted
                              ? m_panels[panel]->sizeHint().width()
                              : int(qint64(left) * m_panels[panel]->sizeHint().width() / wanted);
        m_panels[panel]->setMinimumWidth(share);
        m_panels[panel]->setMaximumWidth(share);
    }
}

bool MainStatusBar::event(QEvent *event)
{
    const bool handled = QStatusBar::event(event);
    // The panels have their places once the layout has run: see whether the first one fits.
    if (event->type() == QEvent::LayoutRequest || event->type() == QEvent::Resize)
        sharePanelWidths();
    return handled;
}

void MainStatusBar::showClock()
{
    const QLocale locale;
    const QDateTime now = QDateTime::currentDateTime();
    setPanelText(TimePanel, locale.toString(now.time(), QLocale::ShortFormat));
    setPanelText(DatePanel, locale.toString(now.date(), ShortDateFormat(locale)));
}
