#pragma once

#include <QWidget>

class MapLegend;
class MapView;
class QLabel;

// The map's place in the window, under the list: the map, then a caption (what a walk has
// counted so far) and the key of the colours.
class MapPane : public QWidget
{
    Q_OBJECT

public:
    // kindNames: as MapLegend takes them.
    explicit MapPane(const QStringList &kindNames, QWidget *parent = nullptr);

    MapView *view() const { return m_view; }
    // Shown under the map while it has text.
    void setCaption(const QString &text);
    MapLegend *legend() const { return m_legend; }

private:
    MapView *m_view;
    QLabel *m_caption;
    MapLegend *m_legend;
};
