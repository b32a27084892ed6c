#include "ListSnapshot.h"

#include <QAbstractItemModel>
#include <QFontInfo>
#include <QHeaderView>
#include <QIcon>
#include <QTreeView>

namespace {

// The printout knows left, right and centre only.
int AlignmentCode(const QVariant &alignment)
{
    const auto flags = Qt::Alignment(alignment.toInt());
    if (flags & Qt::AlignRight)
        return 1;
    if (flags & Qt::AlignHCenter)
        return 2;
    return 0;
}

StdFont FontOf(const QFont &font)
{
    StdFont result;
    result.Name = font.family();
    // A font given in pixels has no point size of its own; QFontInfo gives the one in use.
    result.Size = font.pointSizeF() > 0 ? font.pointSizeF() : QFontInfo(font).pointSizeF();
    result.Bold = font.bold();
    result.Italic = font.italic();
    result.Underline = font.underline();
    result.Strikethrough = font.strikeOut();
    return result;
}

std::optional<QPixmap> IconOf(const QVariant &decoration, QSize size)
{
    QPixmap picture;
    // Drawn at a printer's resolution, a screen-sized picture would come out blurred.
    constexpr qreal PrintPixelRatio = 4;
    if (decoration.canConvert<QIcon>())
        picture = decoration.value<QIcon>().pixmap(size, PrintPixelRatio);
    else if (decoration.canConvert<QPixmap>())
        picture = decoration.value<QPixmap>();
    if (picture.isNull())
        return std::nullopt;
    return picture;
}

} // namespace

PrintedList SnapshotOf(const QTreeView &view, double twipsPerPixelX, double twipsPerPixelY,
                       QSize iconSize)
{
    PrintedList list;
    list.font = FontOf(view.font());
    list.iconSize = iconSize;
    const QAbstractItemModel *model = view.model();
    if (!model)
        return list;
    const QHeaderView *header = view.header();
    const int columns = model->columnCount();
    for (int column = 0; column < columns; ++column) {
        PrintedColumn printed;
        printed.title = model->headerData(column, Qt::Horizontal).toString();
        printed.width = header->sectionSize(column) * twipsPerPixelX;
        printed.alignment =
            AlignmentCode(model->headerData(column, Qt::Horizontal, Qt::TextAlignmentRole));
        printed.hidden = header->isSectionHidden(column);
        list.columns.append(printed);
    }
    const int rows = model->rowCount();
    list.rows.reserve(rows);
    for (int row = 0; row < rows; ++row) {
        PrintedRow printed;
        printed.texts.reserve(columns);
        for (int column = 0; column < columns; ++column)
            printed.texts.append(model->index(row, column).data().toString());
        printed.icon = IconOf(model->index(row, 0).data(Qt::DecorationRole), iconSize);
        printed.selected = view.selectionModel() &&
                           view.selectionModel()->isRowSelected(row, QModelIndex());
        list.rows.append(std::move(printed));
    }
    // Every row of the list is as high as the first; an empty list still gets a sensible height.
    const int rowPixels = rows > 0 ? view.sizeHintForRow(0) : view.fontMetrics().height();
    list.rowHeight = rowPixels * twipsPerPixelY;
    return list;
}
