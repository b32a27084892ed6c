#include "PrintSteps.h"

#include "PageSetup.h"
#include "PrintFont.h"
#include "PrintedList.h"
#include "Printer.h"
#include "TextItem.h"

#include <algorithm>
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
        throw PrinterError{ErrorNumber::Overflow, u"Dépassement de capacité"_s};
    return static_cast<int>(rounded);
}

namespace {

double ShownWidth(const PrintedColumn &column)
{
    return column.hidden ? 0.0 : column.width;
}

// Sets the pen's x for a text of width textWidth in a room starting at x; other alignments
// leave the pen where it is.
void PlaceByAlignment(Printer &printer, TextAlign alignment, double x, double roomWidth,
                      double textWidth)
{
    switch (alignment) {
    case TextAlign::Left:
        printer.SetCurrentX(x);
        break;
    case TextAlign::Right:
        printer.SetCurrentX(x + roomWidth - textWidth);
        break;
    case TextAlign::Centre:
        printer.SetCurrentX(x + (roomWidth - textWidth) / 2);
        break;
    default:
        break;
    }
}

// The text as it fits in room twips of the current font: whole, or its longest start that
// leaves room for "…", or nothing when not even that fits.
QString Shortened(const Printer &printer, const QString &text, double room)
{
    if (printer.TextWidth(text) <= room)
        return text;
    const QString ellipsis(QChar(0x2026));
    if (printer.TextWidth(ellipsis) > room)
        return {};
    // The longest start that fits with the ellipsis: widths grow with the length.
    qsizetype fits = 0;
    qsizetype tooLong = text.size();
    while (tooLong - fits > 1) {
        const qsizetype middle = fits + (tooLong - fits) / 2;
        if (printer.TextWidth(text.left(middle) + ellipsis) <= room)
            fits = middle;
        else
            tooLong = middle;
    }
    if (fits > 0 && text[fits - 1].isHighSurrogate()) // never half a character
        --fits;
    return text.left(fits) + ellipsis;
}

// Prints one cell's text in the room between x and x + width, shortened to fit.
void PrintCell(Printer &printer, const QString &text, TextAlign alignment, double x, double width)
{
    const QString shown = Shortened(printer, text, std::max(width, 0.0));
    PlaceByAlignment(printer, alignment, x, width, printer.TextWidth(shown));
    printer.print(shown);
}

} // namespace

void PrintColumnHeaders(Printer &printer, const PrintedList &list, int leftTwips)
{
    const int y0 = RoundTwips(printer.CurrentY());
    const double padding = list.cellPadding;
    int offset = 0;
    for (const PrintedColumn &column : list.columns) {
        const double width = ShownWidth(column);
        if (width <= 0)
            continue;
        const double x = leftTwips + offset;
        const double ruleY = y0 + printer.TextHeight(u"A"_s);
        printer.Line(x, ruleY, x + width, ruleY);
        printer.SetCurrentY(y0);
        PrintCell(printer, column.title, column.alignment, x + padding, width - 2 * padding);
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
                           u"Variable objet ou variable de bloc With non définie"_s};
    const QSize iconSize = *list.iconSize;
    const double twipsX = printer.TwipsPerPixelX();
    const double twipsY = printer.TwipsPerPixelY();
    const double padding = list.cellPadding;
    const int iconHeight = RoundTwips(static_cast<qint16>(iconSize.height()) * twipsY);
    const int rowHeight = RoundTwips(list.rowHeight);
    const int y0 = RoundTwips(printer.CurrentY());
    int offset = 0;
    for (qsizetype index = 0; index < list.columns.size(); ++index) {
        const PrintedColumn &column = list.columns[index];
        const double width = ShownWidth(column);
        if (width <= 0)
            continue;
        const double x = leftTwips + offset;
        double textX = x + padding;
        // The names' column starts with the icon, its text one pixel after it.
        if (index == list.iconColumn) {
            if (row.icon) {
                printer.PaintPicture(*row.icon, textX, y0 + (rowHeight - iconHeight) / 2.0,
                                     iconSize.width() * twipsX, iconSize.height() * twipsY);
                printer.SetCurrentY(y0);
            }
            textX = RoundTwips(textX + iconSize.width() * twipsX + twipsX);
        }
        printer.SetCurrentY(y0 + (rowHeight - textHeight) / 2.0);
        PrintCell(printer, row.texts.value(index), column.alignment, textX,
                  x + width - padding - textX);
        offset = RoundTwips(offset + width);
        printer.SetCurrentY(y0 + rowHeight);
    }
}

bool RowFitsOnPage(const Printer &printer, int rowHeight, int bottomTwips)
{
    return printer.CurrentY() + rowHeight < printer.ScaleHeight() - bottomTwips;
}
