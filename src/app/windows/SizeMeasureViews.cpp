#include "SizeMeasureViews.h"

#include "BiggestCommand.h"
#include "DirListModel.h"
#include "DuplicatesCommand.h"
#include "HistoryCommand.h"
#include "KindsCommand.h"
#include "MapCommand.h"
#include "PrintCommand.h"
#include "ScanController.h"
#include "SearchCommand.h"
#include "TextTable.h"

#include <QStringList>

void SizeMeasureViews::setMeasure(SizeMeasure measure)
{
    m_measure = measure;
    m_views.list->setSizeMeasure(measure);
    QStringList headings;
    for (int column = 0; column < DirListModel::ColumnCount; ++column)
        headings.append(m_views.list->headerData(column, Qt::Horizontal).toString());
    headings[DirListModel::Size] =
        Text(measure == SizeMeasure::OnDisk ? TextId::ColumnOnDisk : TextId::ColumnSize);
    m_views.list->setHeaders(headings);
    m_views.scans->setSizeMeasure(measure);
    m_views.map->setSizeMeasure(measure);
    m_views.print->setSizeMeasure(measure);
    m_views.biggest->setSizeMeasure(measure);
    m_views.kinds->setSizeMeasure(measure);
    m_views.search->setSizeMeasure(measure);
    m_views.duplicates->setSizeMeasure(measure);
    m_views.history->setSizeMeasure(measure);
}
