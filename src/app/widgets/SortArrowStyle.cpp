#include "SortArrowStyle.h"

#include <QHeaderView>
#include <QStyleOptionHeader>

void SortArrowStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option,
                                   QPainter *painter, const QWidget *widget) const
{
    const auto *header = qstyleoption_cast<const QStyleOptionHeader *>(option);
    const auto *view = qobject_cast<const QHeaderView *>(widget);
    if (element != PE_IndicatorHeaderArrow || !header || !view) {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        return;
    }
    // The header hands styles the reverse of its order; styles draw SortUp pointing up.
    QStyleOptionHeader arrow(*header);
    arrow.sortIndicator = view->sortIndicatorOrder() == Qt::AscendingOrder
                              ? QStyleOptionHeader::SortUp
                              : QStyleOptionHeader::SortDown;
    QProxyStyle::drawPrimitive(element, &arrow, painter, widget);
}
