#pragma once

#include <QColor>
#include <QList>
#include <QStringList>
#include <QWidget>

// The key under the map: a swatch of each kind's colour beside its name, on one line that wraps
// when the map is narrow.
class MapLegend : public QWidget
{
    Q_OBJECT

public:
    // names: one per kind of file, in the kinds' order, the folders' surface last.
    explicit MapLegend(const QStringList &names, QWidget *parent = nullptr);
    // Another key: a colour for each name (the map's colours by growth).
    void setEntries(const QStringList &names, const QList<QColor> &colours);

    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // Lays the entries out in a width; returns the height they take.
    int place(int width, std::vector<QRect> *swatches, std::vector<QRect> *texts) const;

    QStringList m_names;
    QList<QColor> m_colours;
};
