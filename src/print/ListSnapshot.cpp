#include "ListSnapshot.h"

#include <QAbstractItemModel>
#include <QFontInfo>
#include <QHash>
#include <QHeaderView>
#include <QIcon>
#include <QStyle>
#include <QTreeView>

namespace {

// The printout knows left, right and centre only.
TextAlign AlignmentCode(const QVariant &alignment)
{
    const auto flags = Qt::Alignment(alignment.toInt());
    if (flags & Qt::AlignRight)
        return TextAlign::Right;
    if (flags & Qt::AlignHCenter)
        return TextAlign::Centre;
    return TextAlign::Left;
}

PrintFont FontOf(const QFont &font)
{
    PrintFont result;
    result.name = font.family();
    // A font given in pixels has no point size of its own; QFontInfo gives the one in use.
    result.size = font.pointSizeF() > 0 ? font.pointSizeF() : QFontInfo(font).pointSizeF();
    result.bold = font.bold();
    result.italic = font.italic();
    result.underline = font.underline();
    result.strikethrough = font.strikeOut();
    return result;
}

// One picture per distinct icon, shared by every row that shows it: a list of 100,000 files
// holds a few dozen icons, and a printed document embeds each picture once.
class IconPictures
{
public:
    explicit IconPictures(QSize size)
        : m_size(size)
    {}

    std::optional<QPixmap> of(const QVariant &decoration)
    {
        if (decoration.canConvert<QPixmap>() && !decoration.canConvert<QIcon>())
            return Usable(decoration.value<QPixmap>());
        if (!decoration.canConvert<QIcon>())
            return std::nullopt;
        const QIcon icon = decoration.value<QIcon>();
        auto known = m_pictures.constFind(icon.cacheKey());
        if (known == m_pictures.cend()) {
            // Drawn at a printer's resolution, a screen-sized picture would come out blurred.
            constexpr qreal PrintPixelRatio = 4;
            known = m_pictures.insert(icon.cacheKey(), icon.pixmap(m_size, PrintPixelRatio));
        }
        return Usable(*known);
    }

private:
    static std::optional<QPixmap> Usable(const QPixmap &picture)
    {
        if (picture.isNull())
            return std::nullopt;
        return picture;
    }

    QSize m_size;
    QHash<qint64, QPixmap> m_pictures;
};

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
    // Printed in the order the user sees them, which dragging a heading changes.
    QList<int> order;
    for (int visual = 0; visual < columns; ++visual)
        order.append(header->logicalIndex(visual));
    list.iconColumn = order.indexOf(0);
    // The margin the view's items keep around their text.
    const int padding = view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1;
    list.cellPadding = padding * twipsPerPixelX;
    for (const int column : std::as_const(order)) {
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
    IconPictures icons(iconSize);
    for (int row = 0; row < rows; ++row) {
        PrintedRow printed;
        printed.texts.reserve(columns);
        for (const int column : std::as_const(order))
            printed.texts.append(model->index(row, column).data().toString());
        printed.icon = icons.of(model->index(row, 0).data(Qt::DecorationRole));
        list.rows.append(std::move(printed));
    }
    // Every row of the list is as high as the first; an empty list still gets a sensible height.
    const int rowPixels = rows > 0 ? view.sizeHintForRow(0) : view.fontMetrics().height();
    list.rowHeight = rowPixels * twipsPerPixelY;
    return list;
}
