#include "PageSetup.h"

#include "Printer.h"

PageSetup::PageSetup(const Printer *printer)
{
    if (printer) {
        m_paperSize = static_cast<qint16>(printer->PaperSize());
        m_orientation = static_cast<qint16>(printer->Orientation());
    }
}
