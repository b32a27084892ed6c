#pragma once

#include <Qt>

// Which column the directory list is sorted by and in which direction, without the list itself:
// the window applies column() and order() to the model and to the header's sort indicator.
// Sorting the same column twice in a row flips the direction; another column keeps it.
class ListSort
{
public:
    // The window's first sort: by name, ascending.
    void startUp() { sortBy(1, 1); }
    void headingClicked(int column) { sortBy(m_column, column); }
    // After every fill: the last column and direction again, never flipped.
    void refill() { sortBy(-1, m_column); }

    int column() const { return m_column; } // 1-based, as the headings are counted
    Qt::SortOrder order() const { return m_toggle ? Qt::AscendingOrder : Qt::DescendingOrder; }

private:
    void sortBy(int previousColumn, int column);

    bool m_toggle = false; // SortToggle: true is ascending
    int m_column = 1;
};
