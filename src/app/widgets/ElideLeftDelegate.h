#pragma once

#include <QStyledItemDelegate>

// Shortens a cell's text at its start: a percentage's bar gives way, its number stays whole.
class ElideLeftDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = Qt::ElideLeft;
    }
};
