#pragma once

#include <QMenu>

#include <functional>

// The list's headings' clicks from the keyboard: one entry for each column, the sort shown
// checked whenever the menu opens. Owned by its parent menu through Qt's parenting.
class SortMenu : public QMenu
{
    Q_OBJECT

public:
    // sortBy: a heading's click on the column; sortColumn: the column the list is sorted by.
    SortMenu(std::function<void(int column)> sortBy, std::function<int()> sortColumn,
             QWidget *parent);
};
