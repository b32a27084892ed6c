#include "RecordingPrinter.h"

#include <algorithm>

RecordingPrinter::RecordingPrinter(double scaleWidth, double scaleHeight)
    : m_scaleWidth(scaleWidth)
    , m_scaleHeight(scaleHeight)
{
}

RecordingPrinter::Call &RecordingPrinter::Record(Kind kind)
{
    // Recorded before the operation changes anything, so a call shows the state it acted on.
    m_calls.append(Call{kind, {}, m_x, m_y, 0, 0, 0, m_font});
    return m_calls.back();
}

double RecordingPrinter::LineHeight() const
{
    return 20 * m_font.size;
}

void RecordingPrinter::SetCurrentX(double x)
{
    Record(Kind::SetCurrentX).value = x;
    m_x = x;
}

void RecordingPrinter::SetCurrentY(double y)
{
    Record(Kind::SetCurrentY).value = y;
    m_y = y;
}

double RecordingPrinter::TextWidth(const QString &text) const
{
    qsizetype widest = 0;
    for (const QStringView line : QStringView(text).split(u'\n'))
        widest = std::max(widest, line.size());
    return 10 * m_font.size * static_cast<double>(widest);
}

double RecordingPrinter::TextHeight(const QString &text) const
{
    return LineHeight() * static_cast<double>(text.count(u'\n') + 1);
}

void RecordingPrinter::print(const QString &text)
{
    Record(Kind::Print).text = text;
    m_x = 0;
    m_y += TextHeight(text);
}

void RecordingPrinter::Line(double x1, double y1, double x2, double y2)
{
    Call &call = Record(Kind::Line);
    call.x = x1;
    call.y = y1;
    call.x2 = x2;
    call.y2 = y2;
    m_x = x2;
    m_y = y2;
}

void RecordingPrinter::PaintPicture(const QPixmap &, double x, double y, double width, double height)
{
    Call &call = Record(Kind::PaintPicture);
    call.x = x;
    call.y = y;
    call.x2 = width;
    call.y2 = height;
}

void RecordingPrinter::NewPage()
{
    Record(Kind::NewPage);
    m_x = 0;
    m_y = 0;
    ++m_page;
}

void RecordingPrinter::EndDoc()
{
    Record(Kind::EndDoc);
}

void RecordingPrinter::KillDoc()
{
    Record(Kind::KillDoc);
}

void RecordingPrinter::SetFontName(const QString &name)
{
    Record(Kind::SetFontName).text = name;
    m_font.name = name;
}

void RecordingPrinter::SetFontSize(double points)
{
    Remember(Kind::SetFontSize, m_font.size, points);
}

void RecordingPrinter::SetFontBold(bool on)
{
    Remember(Kind::SetFontBold, m_font.bold, on);
}

void RecordingPrinter::SetFontItalic(bool on)
{
    Remember(Kind::SetFontItalic, m_font.italic, on);
}

void RecordingPrinter::SetFontStrikethru(bool on)
{
    Remember(Kind::SetFontStrikethru, m_font.strikethrough, on);
}

void RecordingPrinter::SetFontUnderline(bool on)
{
    Remember(Kind::SetFontUnderline, m_font.underline, on);
}

void RecordingPrinter::SetPaperSize(int code)
{
    Remember(Kind::SetPaperSize, m_paperSize, code);
}

void RecordingPrinter::SetOrientation(int code)
{
    Remember(Kind::SetOrientation, m_orientation, code);
}
