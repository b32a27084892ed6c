#include "modPrintListView.h"

#include "CPage.h"
#include "Ctext.h"
#include "Printer.h"
#include "StdFont.h"

#include <limits>

using namespace Qt::StringLiterals;

void ApplyPageSetup(Printer &printer, const CPage &page)
{
    printer.SetPaperSize(page.PaperSize());
    printer.SetOrientation(page.Orientation());
}

void SetPrinterFont(Printer &printer, const StdFont &font)
{
    printer.SetFontName(font.Name);
    printer.SetFontSize(static_cast<float>(font.Size));
    printer.SetFontBold(font.Bold);
    printer.SetFontItalic(font.Italic);
    printer.SetFontStrikethru(font.Strikethrough);
    printer.SetFontUnderline(font.Underline);
}

void ExpandPagePlaceholder(const Printer &printer, QString &text)
{
    const QString marker = u"<pag>"_s;
    const qsizetype at = text.indexOf(marker, 0, Qt::CaseSensitive);
    if (at >= 0)
        text.replace(at, marker.size(), QString::number(printer.Page()));
}

void PrintTextItem(Printer &printer, const Ctext &item, int leftTwips, int rightTwips)
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
    case 0:
        printer.SetCurrentX(leftTwips);
        break;
    case 1:
        printer.SetCurrentX(scaleWidth - static_cast<float>(rightTwips) - textWidth);
        break;
    case 2:
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
