#pragma once

#include "PrintFont.h"
#include "Printer.h"

#include <QList>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>

#include <optional>

// What the list printer needs to know about a list on screen, so that the window can build it
// from its model and nothing in printing depends on a widget. Sizes are the on-screen ones.
struct PrintedColumn
{
    QString title;
    double width = 0; // twips; 0 or less takes no room, like a hidden column
    TextAlign alignment = TextAlign::Left;
    bool hidden = false;
};

struct PrintedRow
{
    QStringList texts;           // one per column, in column order; missing ones print empty
    std::optional<QPixmap> icon; // drawn in the first column; none leaves the indent blank
};

struct PrintedList
{
    QList<PrintedColumn> columns; // in the order they stand on screen, the leftmost first
    QList<PrintedRow> rows;       // in the order the list shows them
    PrintFont font;
    double rowHeight = 0; // twips: the height of one item on screen
    // Which of the columns carries the rows' icons: the names', wherever it was dragged.
    qsizetype iconColumn = 0;
    // Twips on either side of a cell's text, as the screen leaves them; a text longer than its
    // room is shortened with "…" as the screen does.
    double cellPadding = 0;
    // Size in screen pixels of the icons of the first column; none when the list has no icon
    // set, which makes printing any row fail.
    std::optional<QSize> iconSize;
};
