#pragma once

#include "PrintFont.h"
#include "Printer.h"

#include <QString>
#include <QtGlobal>

// One piece of free text on a printout (page header, footer, title): its text, in which "<pag>"
// stands for the page number, its own font and its alignment.
class TextItem
{
public:
    // The item's own font: changing the returned object changes the item.
    PrintFont &Font() { return m_font; }
    const PrintFont &Font() const { return m_font; }

    // Not validated: a value that is none of TextAlign's prints at the pen.
    TextAlign Alignment() const { return m_alignment; }
    void SetAlignment(TextAlign alignment) { m_alignment = alignment; }

    QString Text() const { return m_text; }
    void SetText(const QString &text) { m_text = text; }

private:
    QString m_text;
    TextAlign m_alignment = TextAlign::Left;
    PrintFont m_font;
};
