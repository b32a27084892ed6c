#include "MapPane.h"

#include "MapLegend.h"
#include "MapView.h"

#include <QLabel>
#include <QVBoxLayout>

MapPane::MapPane(const QStringList &kindNames, QWidget *parent)
    : QWidget(parent)
    , m_view(new MapView(this))
    , m_caption(new QLabel(this))
    , m_legend(new MapLegend(kindNames, this))
{
    setObjectName(QStringLiteral("mapPane"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_caption);
    layout->addWidget(m_legend);
    m_caption->setObjectName(QStringLiteral("lblMapCaption"));
    m_caption->hide();
}

void MapPane::setCaption(const QString &text)
{
    m_caption->setText(text);
    m_caption->setVisible(!text.isEmpty());
}
