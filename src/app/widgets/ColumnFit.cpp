#include "ColumnFit.h"

#include "ElideLeftDelegate.h"
#include "Formatting.h"

#include <QEvent>
#include <QHeaderView>
#include <QStyle>
#include <QTreeView>

#include <algorithm>

ColumnFit::ColumnFit(QTreeView *view, int nameColumn)
    : QObject(view)
    , m_view(view)
    , m_viewport(view->viewport())
    , m_nameColumn(nameColumn)
{
    m_viewport->installEventFilter(this);
    // A column the user drags is his: from then on every width stays where he leaves it.
    connect(view->header(), &QHeaderView::sectionResized, this, [this] {
        if (!m_fitting)
            m_active = false;
    });
}

void ColumnFit::setWidest(int column, const QString &text)
{
    m_widest.insert(column, text);
}

void ColumnFit::setPercentColumn(int column)
{
    const QString percent = PercentText(100.0);
    setWidest(column, QString(10, u'|') + percent.sliced(percent.lastIndexOf(u' ')));
    if (!m_view->itemDelegateForColumn(column))
        m_view->setItemDelegateForColumn(column, new ElideLeftDelegate(m_view));
}

void ColumnFit::fit()
{
    if (!m_active || !m_view->model())
        return;
    m_fitting = true;
    QHeaderView *header = m_view->header();
    const int columns = header->count();
    // The padding a cell puts around its text, as the rows in view show it.
    const int padding = 2 * m_view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin) + 8;
    int taken = 0;
    for (int column = 0; column < columns; ++column) {
        if (column == m_nameColumn || header->isSectionHidden(column))
            continue;
        // A widest value known ahead stands for every row; otherwise the rows in view do.
        int width = 0;
        if (const auto widest = m_widest.constFind(column); widest != m_widest.cend()) {
            width = std::max(header->sectionSizeHint(column),
                             m_view->fontMetrics().horizontalAdvance(*widest) + padding);
            header->resizeSection(column, width);
        } else {
            m_view->resizeColumnToContents(column);
            width = header->sectionSize(column);
        }
        taken += width;
    }
    const int least = header->sectionSizeHint(m_nameColumn);
    header->resizeSection(m_nameColumn, std::max(least, m_view->viewport()->width() - taken));
    m_fitting = false;
}

bool ColumnFit::eventFilter(QObject *watched, QEvent *event)
{
    // Compared by address only: while the view is destroyed, its viewport hears events still.
    if (event->type() == QEvent::Resize && watched == m_viewport)
        fit();
    return QObject::eventFilter(watched, event);
}
