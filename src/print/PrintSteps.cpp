#include "PrintSteps.h"

#include "PageSetup.h"
#include "PrintFont.h"
#include "PrintedList.h"
#include "Printer.h"
#include "TextItem.h"

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

void ApplyPageSetup(Printer &printer, const PageSetup &page)
{
    printer.SetPaperSize(page.PaperSize());
    printer.SetOrientation(page.Orientation());
}

void SetPrinterFont(Printer &printer, const PrintFont &font)
{
    printer.SetFontName(font.name);
    printer.SetFontSize(static_cast<float>(font.size));
    printer.SetFontBold(font.bold);
    printer.SetFontItalic(font.italic);
    printer.SetFontStrikethru(font.strikethrough);
    printer.SetFontUnderline(font.underline);
}

void ExpandPagePlaceholder(const Printer &printer, QString &text)
{
    const QString marker = u"<pag>"_s;
    const qsizetype at = text.indexOf(marker, 0, Qt::CaseSensitive);
    if (at >= 0)
        text.replace(at, marker.size(), QString::number(printer.Page()));
}

void PrintTextItem(Printer &printer, const TextItem &item, int leftTwips, int rightTwips)
{
    if (item.Text().isEmpty())
        return;
    SetPrinterFont(printer, item.Font());
    QString printed = item.Text();
    ExpandPagePlaceholder(printer, printed);
    // Single precision, unrounded, as the positions of the printout were always worked out.
    const auto scaleWidth = static_cast<float>(printer.ScaleWidth());
    const auto textWidth = static_cast<float>(printer.TextWidth(printed));
    switch (item.Alignment()) {
    case TextAlign::Left:
        printer.SetCurrentX(leftTwips);
        break;
    case TextAlign::Right:
        printer.SetCurrentX(scaleWidth - static_cast<float>(rightTwips) - textWidth);
        break;
    case TextAlign::Centre:
        printer.SetCurrentX((scaleWidth - textWidth) / 2);
        break;
    default:
        break;
    }
    printer.print(printed);
}

std::optional<int> MarginTwips(int centimetres)
{
    const long long twips = static_cast<long long>(centimetres) * 567;
    if (twips < std::numeric_limits<qint16>::min() || twips > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return static_cast<int>(twips);
}

int RoundTwips(double value)
{
    const double rounded = std::nearbyint(value);
    if (!(rounded >= std::numeric_limits<qint32>::min() &&
          rounded <= std::numeric_limits<qint32>::max()))
        throw PrinterError{ErrorNumber::Overflow, u"Overflow"_s};
    return static_cast<int>(rounded);
}

namespace {

double ShownWidth(const PrintedColumn &column)
{
    return column.hidden ? 0.0 : column.width;
}

// Sets the pen's x for a text of width textWidth in a column starting at x; other alignments
// leave the pen where it is.
void PlaceByAlignment(Printer &printer, TextAlign alignment, double x, double columnWidth,
                      double textWidth)
{
    switch (alignment) {
    case TextAlign::Left:
        printer.SetCurrentX(x);
        break;
    case TextAlign::Right:
        printer.SetCurrentX(x + columnWidth - textWidth);
        break;
    case TextAlign::Centre:
        printer.SetCurrentX(x + (columnWidth - textWidth) / 2);
        break;
    default:
        break;
    }
}

} // namespace

void PrintColumnHeaders(Printer &printer, const PrintedList &list, int leftTwips)
{
    const int y0 = RoundTwips(printer.CurrentY());
    int offset = 0;
    for (const PrintedColumn &column : list.columns) {
        const double width = ShownWidth(column);
        if (width <= 0)
            continue;
        const double x = leftTwips + offset;
        const double ruleY = y0 + printer.TextHeight(u"A"_s);
        printer.Line(x, ruleY, x + width, ruleY);
        PlaceByAlignment(printer, column.alignment, x, width, printer.TextWidth(column.title));
        printer.SetCurrentY(y0);
        printer.print(column.title);
        offset = RoundTwips(offset + width);
    }
    printer.SetCurrentY(printer.CurrentY() + 2 * printer.TwipsPerPixelY());
}

void PrintListRow(Printer &printer, const PrintedRow &row, const PrintedList &list, int leftTwips)
{
    const QString firstText = row.texts.value(0);
    const int textHeight = RoundTwips(printer.TextHeight(firstText));
    if (!list.iconSize)
        throw PrinterError{ErrorNumber::ObjectNotSet,
                           u"Object variable or With block variable not set"_s};
    const QSize iconSize = *list.iconSize;
    const double twipsX = printer.TwipsPerPixelX();
    const double twipsY = printer.TwipsPerPixelY();
    const int iconHeight = RoundTwips(static_cast<qint16>(iconSize.height()) * twipsY);
    const int rowHeight = RoundTwips(list.rowHeight);
    const int y0 = RoundTwips(printer.CurrentY());
    int offset = 0;
    for (qsizetype index = 0; index < list.columns.size(); ++index) {
        const PrintedColumn &column = list.columns[index];
        const double width = ShownWidth(column);
        if (width <= 0)
            continue;
        // The first column is taken to be the leftmost; its text starts one pixel after the icon.
        const double textX = index == 0 ? RoundTwips(iconSize.width() * twipsX + leftTwips + twipsX)
                                        : leftTwips + offset;
        if (index == 0 && row.icon) {
            printer.PaintPicture(*row.icon, leftTwips, y0 + (rowHeight - iconHeight) / 2.0,
                                 iconSize.width() * twipsX, iconSize.height() * twipsY);
            printer.SetCurrentY(y0);
        }
        const QString text = row.texts.value(index);
        PlaceByAlignment(printer, column.alignment, textX, width, printer.TextWidth(text));
        printer.SetCurrentY(y0 + (rowHeight - textHeight) / 2.0);
        printer.print(text);
        offset = RoundTwips(offset + width);
        printer.SetCurrentY(y0 + rowHeight);
    }
}

bool RowFitsOnPage(const Printer &printer, int rowHeight, int bottomTwips)
{
    return printer.CurrentY() + rowHeight < printer.ScaleHeight() - bottomTwips;
}
