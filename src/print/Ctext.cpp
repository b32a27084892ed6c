#include "Ctext.h"

using namespace Qt::StringLiterals;

Ctext::Ctext()
{
    m_font.Name = u"Arial"_s;
    m_font.Size = 10;
}

void Ctext::SetFont(const StdFont &font)
{
    m_font = font;
}
