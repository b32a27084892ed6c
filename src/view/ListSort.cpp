#include "ListSort.h"

void ListSort::sortBy(int previousColumn, int column)
{
    if (previousColumn == column)
        m_toggle = !m_toggle;
    m_column = column;
}
