#include "SortMenu.h"

#include "TextTable.h"

#include <QActionGroup>

#include <iterator>

SortMenu::SortMenu(std::function<void(int column)> sortBy, std::function<int()> sortColumn,
                   QWidget *parent)
    : QMenu(Text(TextId::MenuViewSortBy), parent)
{
    setObjectName(QStringLiteral("mnuViewSortBy"));
    auto *columns = new QActionGroup(this);
    const TextId headings[] = {TextId::ColumnName, TextId::ColumnSize, TextId::ColumnPercent,
                               TextId::ColumnDate};
    for (int column = 0; column < int(std::size(headings)); ++column) {
        QAction *entry = addAction(u'&' + Text(headings[column]));
        entry->setObjectName(QStringLiteral("mnuViewSortBy") + QString::number(column));
        entry->setCheckable(true);
        columns->addAction(entry);
        connect(entry, &QAction::triggered, this, [sortBy, column] { sortBy(column); });
    }
    connect(this, &QMenu::aboutToShow, this, [columns, sortColumn = std::move(sortColumn)] {
        columns->actions().at(sortColumn())->setChecked(true);
    });
}
