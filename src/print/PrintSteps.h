#pragma once

#include <QString>

#include <optional>

class PageSetup;
class TextItem;
class Printer;
struct PrintedList;
struct PrintedRow;
struct PrintFont;

// The procedures that turn a page setup and text items into printer operations. None of them
// catches anything: what the printer throws goes to the caller.

// Writes the page's paper size, then its orientation, to the printer.
void ApplyPageSetup(Printer &printer, const PageSetup &page);

// Makes font the printer's current font (name, size, bold, italic, strikethrough, underline).
void SetPrinterFont(Printer &printer, const PrintFont &font);

// Replaces the first "<pag>" (exact case) in text by the printer's page number.
void ExpandPagePlaceholder(const Printer &printer, QString &text);

// Prints item on the line where the pen stands: at leftTwips, ending at rightTwips from the
// right edge, centred on the whole width, or at the pen, by the item's alignment. An empty item
// prints nothing and leaves the pen and font alone.
void PrintTextItem(Printer &printer, const TextItem &item, int leftTwips, int rightTwips);

// A margin in whole centimetres in twips (567 per centimetre). The product must fit in signed
// 16 bits, as the page setup's own arithmetic does: 57 gives 32319, 58 gives no value, which the
// caller treats as an overflow error.
std::optional<int> MarginTwips(int centimetres);

// Rounds to the nearest signed 32-bit integer, halves to the even neighbour; throws a
// PrinterError (6, overflow) when the value does not fit.
int RoundTwips(double value);

// Prints the titles of the list's shown columns on the pen's line, from leftTwips, with a rule
// one line of the current font below them, and leaves the pen two screen pixels under the rule.
void PrintColumnHeaders(Printer &printer, const PrintedList &list, int leftTwips);

// Prints one row, each text centred in the row's height, and leaves the pen at the top of the
// next row. Throws a PrinterError (91) when the list has no icon set.
void PrintListRow(Printer &printer, const PrintedRow &row, const PrintedList &list, int leftTwips);

// Whether a row of rowHeight starting at the pen ends strictly above the bottom margin line.
bool RowFitsOnPage(const Printer &printer, int rowHeight, int bottomTwips);
