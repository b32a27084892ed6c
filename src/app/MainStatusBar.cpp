#include "MainStatusBar.h"

#include "Formatting.h"

#include <QDateTime>
#include <QLabel>
#include <QLocale>
#include <QTimer>

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
    for (int i = 0; i < PanelCount; ++i) {
        auto *label = new QLabel(this);
        label->setObjectName(QStringLiteral("panel%1").arg(i + 1));
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        label->setTextFormat(Qt::PlainText);
        label->setAccessibleName(PanelName(i + 1));
        label->setAccessibleDescription(PanelName(i + 1));
        // The first panel takes what the others leave; it holds long paths while scanning.
        if (i == 0)
            label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        addPermanentWidget(label, i == 0 ? 1 : 0);
        m_panels[i] = label;
    }
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
    label->setText(text);
    // A screen reader says what the panel shows, or which panel it is while it shows nothing.
    label->setAccessibleName(text.isEmpty() ? PanelName(panel) : QString());
}

void MainStatusBar::setPanelToolTip(int panel, const QString &text)
{
    if (panel >= 1 && panel <= PanelCount)
        m_panels[panel - 1]->setToolTip(text);
}

QString MainStatusBar::panelText(int panel) const
{
    if (panel < 1 || panel > PanelCount)
        return {};
    return m_panels[panel - 1]->text();
}

void MainStatusBar::showClock()
{
    const QLocale locale;
    const QDateTime now = QDateTime::currentDateTime();
    setPanelText(TimePanel, locale.toString(now.time(), QLocale::ShortFormat));
    setPanelText(DatePanel, locale.toString(now.date(), ShortDateFormat(locale)));
}
