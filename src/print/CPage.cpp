#include "CPage.h"

#include "Printer.h"

CPage::CPage(const Printer *printer)
{
    if (printer) {
        m_paperSize = static_cast<qint16>(printer->PaperSize());
        m_orientation = static_cast<qint16>(printer->Orientation());
    }
}
