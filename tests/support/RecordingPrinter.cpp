#include "RecordingPrinter.h"

void RecordingPrinter::print(const QString &text)
{
    Record(Kind::Print, text, x, y);
    x = 0;
    y += TextHeight(text);
}

void RecordingPrinter::Line(double x1, double y1, double x2, double y2)
{
    Record(Kind::Line, {}, x1, y1, x2, y2);
    x = x2;
    y = y2;
}

void RecordingPrinter::NewPage()
{
    Record(Kind::NewPage);
    x = 0;
    y = 0;
    ++page;
}
