#pragma once

#include <QProxyStyle>

// Draws a heading's sort triangle pointing up for an ascending sort and down for a descending
// one; Qt's headers show it the other way round.
class SortArrowStyle : public QProxyStyle
{
    Q_OBJECT
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                       const QWidget *widget = nullptr) const override;
};
