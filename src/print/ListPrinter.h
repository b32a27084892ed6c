#pragma once

#include "PageSetup.h"
#include "PrintFont.h"
#include "PrintedList.h"
#include "TextItem.h"

#include <QString>
#include <QtGlobal>

class Printer;

// How a printout ended. On failure the document has been abandoned; number and description
// are what the caller shows the user.
struct PrintResult
{
    bool ok = true;
    int errorNumber = 0;
    QString errorText;
};

// Prints a list as it stands on screen, one document per PrintControl: page header on every
// page, title once, column titles with a rule on every page, one line per row, and footers.
// Columns keep their on-screen widths and rows their on-screen height; nothing is scaled.
class ListPrinter
{
public:
    explicit ListPrinter(Printer &printer);

    // Copies the list, then its font into the row font and the column-title font.
    void SetControl(const PrintedList &list);

    // The printer's own objects, changed in place by callers.
    PageSetup &Page() { return m_page; }
    TextItem &Title() { return m_title; }
    PrintFont &HeaderFont() { return m_headerFont; }
    const PrintFont &FontItem() const { return m_fontItem; }

    // Rows printed by the last PrintControl, also when it failed.
    qint32 PrintedItems() const { return m_printedItems; }

    PrintResult PrintControl();

private:
    void PrintAll();
    void PrintColumnTitles(int leftTwips);
    int Left() const;
    int Right() const;
    int Top() const;
    int Bottom() const;

    Printer &m_printer;
    PrintedList m_control;
    PageSetup m_page;
    TextItem m_title;
    qint32 m_printedItems = 0;
    PrintFont m_headerFont;
    PrintFont m_fontItem;
};
