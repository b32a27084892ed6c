#pragma once

#include "FontSpec.h"

#include <QString>
#include <QtGlobal>

// One piece of free text on a printout (page header, footer, title): its text, in which "<pag>"
// stands for the page number, its own font and its alignment.
class TextItem
{
public:
    // The item's own font: changing the returned object changes the item.
    FontSpec &Font() { return m_font; }
    const FontSpec &Font() const { return m_font; }

    // 0 left, 1 right, 2 centred; any other value prints at the pen. Not validated.
    qint32 Alignment() const { return m_alignment; }
    void SetAlignment(qint32 alignment) { m_alignment = alignment; }

    QString Text() const { return m_text; }
    void SetText(const QString &text) { m_text = text; }

private:
    QString m_text;
    qint32 m_alignment = 0;
    FontSpec m_font;
};
