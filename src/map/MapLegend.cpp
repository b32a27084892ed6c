#include "MapLegend.h"

#include "FileKind.h"

#include <QPainter>

MapLegend::MapLegend(const QStringList &names, QWidget *parent)
    : QWidget(parent)
    , m_names(names)
{
    m_colours = KindColours();
    setObjectName(QStringLiteral("picMapLegend"));
    setAccessibleName(names.join(QStringLiteral(", ")));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void MapLegend::setEntries(const QStringList &names, const QList<QColor> &colours)
{
    m_names = names;
    m_colours = colours;
    setAccessibleName(names.join(QStringLiteral(", ")));
    updateGeometry();
    update();
}

int MapLegend::place(int width, std::vector<QRect> *swatches, std::vector<QRect> *texts) const
{
    const QFontMetrics metrics = fontMetrics();
    const int line = metrics.height() + 4;
    const int box = metrics.ascent() - 2;
    int x = 4;
    int y = 2;
    for (const QString &name : m_names) {
        const int entry = box + 4 + metrics.horizontalAdvance(name) + 12;
        if (x > 4 && x + entry > width) {
            x = 4;
            y += line;
        }
        if (swatches)
            swatches->push_back(QRect(x, y + (line - box) / 2 - 1, box, box));
        if (texts)
            texts->push_back(QRect(x + box + 4, y, entry - box - 4, line));
        x += entry;
    }
    return y + line;
}

int MapLegend::heightForWidth(int width) const
{
    return place(width, nullptr, nullptr);
}

QSize MapLegend::sizeHint() const
{
    return {400, heightForWidth(width() > 0 ? width() : 400)};
}

// The layout keeps a fixed height to the hint it last read, made for the width before: a new
// width may need other lines.
void MapLegend::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (heightForWidth(width()) != height())
        updateGeometry();
}

void MapLegend::paintEvent(QPaintEvent *)
{
    std::vector<QRect> swatches, texts;
    place(width(), &swatches, &texts);
    QPainter painter(this);
    for (size_t kind = 0; kind < swatches.size(); ++kind) {
        painter.fillRect(swatches[kind], m_colours.value(qsizetype(kind)));
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawRect(swatches[kind]);
        painter.drawText(texts[kind], Qt::AlignLeft | Qt::AlignVCenter, m_names[int(kind)]);
    }
}
