#include "ListPrinter.h"

#include "PrintSteps.h"
#include "Printer.h"

#include <exception>
#include <new>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

int MarginOrThrow(qint16 centimetres)
{
    const std::optional<int> twips = MarginTwips(centimetres);
    if (!twips)
        throw PrinterError{ErrorNumber::Overflow, u"Dépassement de capacité"_s};
    return *twips;
}

} // namespace

ListPrinter::ListPrinter(Printer &printer)
    : m_printer(printer)
    , m_page(&printer)
{}

void ListPrinter::SetControl(const PrintedList &list)
{
    m_control = list;
    m_fontItem = list.font;
    m_headerFont = list.font;
}

int ListPrinter::Left() const
{
    return MarginOrThrow(m_page.LeftMargin());
}
int ListPrinter::Right() const
{
    return MarginOrThrow(m_page.RightMargin());
}
int ListPrinter::Top() const
{
    return MarginOrThrow(m_page.TopMargin());
}
int ListPrinter::Bottom() const
{
    return MarginOrThrow(m_page.BottomMargin());
}

PrintResult ListPrinter::PrintControl()
{
    PrintResult result;
    try {
        PrintAll();
        return result;
    } catch (const PrinterError &error) {
        result.errorNumber = error.number;
        result.errorText = error.description;
    } catch (const std::bad_alloc &) {
        result.errorNumber = ErrorNumber::OutOfMemory;
        result.errorText = u"Mémoire insuffisante"_s;
    } catch (const std::exception &error) {
        result.errorNumber = ErrorNumber::PrinterFailed;
        result.errorText = QString::fromLocal8Bit(error.what());
    }
    result.ok = false;
    // Abandoning must not hide the first error, so a second failure here is dropped.
    try {
        m_printer.KillDoc();
    } catch (...) {
    }
    return result;
}

void ListPrinter::PrintColumnTitles(int leftTwips)
{
    SetPrinterFont(m_printer, m_headerFont);
    PrintColumnHeaders(m_printer, m_control, leftTwips);
    SetPrinterFont(m_printer, m_fontItem);
}

void ListPrinter::PrintAll()
{
    ApplyPageSetup(m_printer, m_page);
    // Opens the document and its first page.
    m_printer.print(u" "_s);
    m_printer.SetCurrentY(0);
    // The header stands above the top margin, at the very top of the printable area.
    PrintTextItem(m_printer, m_page.Header(), Left(), Right());
    m_printer.SetCurrentX(Left());
    m_printer.SetCurrentY(Top());
    PrintTextItem(m_printer, m_title, Left(), Right());
    m_printer.SetCurrentY(m_printer.CurrentY() + 567.0 / 2);
    PrintColumnTitles(Left());

    m_printedItems = 0;
    for (const PrintedRow &row : std::as_const(m_control.rows)) {
        const int rowHeight = RoundTwips(m_control.rowHeight);
        if (!RowFitsOnPage(m_printer, rowHeight, Bottom())) {
            // The footer goes where the row that does not fit would have ended.
            m_printer.SetCurrentY(m_printer.CurrentY() + m_control.rowHeight);
            PrintTextItem(m_printer, m_page.Footer(), Left(), Right());
            m_printer.NewPage();
            PrintTextItem(m_printer, m_page.Header(), Left(), Right());
            m_printer.SetCurrentY(Top());
            PrintColumnTitles(Left());
        }
        PrintListRow(m_printer, row, m_control, Left());
        ++m_printedItems;
    }

    m_printer.SetCurrentY(m_printer.ScaleHeight() - Bottom());
    PrintTextItem(m_printer, m_page.Footer(), Left(), Right());
    m_printer.EndDoc();
}
