#pragma once

#include <QString>

#include <optional>

class CPage;
class Ctext;
class Printer;
struct StdFont;

// The procedures that turn a page setup and text items into printer operations. None of them
// catches anything: what the printer throws goes to the caller.

// Writes the page's paper size, then its orientation, to the printer.
void ApplyPageSetup(Printer &printer, const CPage &page);

// Makes font the printer's current font (name, size, bold, italic, strikethrough, underline).
void SetPrinterFont(Printer &printer, const StdFont &font);

// Replaces the first "<pag>" (exact case) in text by the printer's page number.
void ExpandPagePlaceholder(const Printer &printer, QString &text);

// Prints item on the line where the pen stands: at leftTwips, ending at rightTwips from the
// right edge, centred on the whole width, or at the pen, by the item's alignment. An empty item
// prints nothing and leaves the pen and font alone.
void PrintTextItem(Printer &printer, const Ctext &item, int leftTwips, int rightTwips);

// A margin in whole centimetres in twips (567 per centimetre). The product must fit in signed
// 16 bits, as the page setup's own arithmetic does: 57 gives 32319, 58 gives no value, which the
// caller treats as an overflow error.
std::optional<int> MarginTwips(int centimetres);
