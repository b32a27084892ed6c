#pragma once

#include "PrintFont.h"
#include "Printer.h"

#include <QList>

// A printer that draws nothing and records what it draws, with text metrics easy to work out by
// hand: at 10 points a character is 100 twips wide and a line 200 twips high.
class RecordingPrinter : public Printer
{
public:
    enum class Kind { Print, Line, PaintPicture, NewPage, EndDoc, KillDoc };
    // x, y: the pen, a line's start or a picture's corner; x2, y2: a line's end or a picture's
    // size; font: the current font.
    struct Call
    {
        Kind kind;
        QString text;
        double x, y, x2, y2;
        PrintFont font;
    };
    const QList<Call> &Calls() const { return m_calls; }

    double scaleWidth = 11906; // A4, in twips
    double scaleHeight = 16838;
    double twipsPerPixelX = 15;
    double twipsPerPixelY = 15;
    double x = 0;
    double y = 0;
    int page = 1;
    PrintFont font;
    int paperSize = PaperCode::A4;
    int orientation = OrientationCode::Portrait;

    void SetCurrentX(double to) override { x = to; }
    double CurrentY() const override { return y; }
    void SetCurrentY(double to) override { y = to; }
    double ScaleWidth() const override { return scaleWidth; }
    double ScaleHeight() const override { return scaleHeight; }
    double TextWidth(const QString &text) const override
    {
        return 10 * font.size * double(text.size());
    }
    double TextHeight(const QString &) const override { return 20 * font.size; }
    double TwipsPerPixelX() const override { return twipsPerPixelX; }
    double TwipsPerPixelY() const override { return twipsPerPixelY; }
    void print(const QString &text) override;
    void Line(double x1, double y1, double x2, double y2) override;
    void PaintPicture(const QPixmap &, double left, double top, double width,
                      double height) override
    {
        Record(Kind::PaintPicture, {}, left, top, width, height);
    }
    void NewPage() override;
    void EndDoc() override { Record(Kind::EndDoc); }
    void KillDoc() override { Record(Kind::KillDoc); }
    int Page() const override { return page; }
    void SetFontName(const QString &name) override { font.name = name; }
    void SetFontSize(double points) override { font.size = points; }
    void SetFontBold(bool on) override { font.bold = on; }
    void SetFontItalic(bool on) override { font.italic = on; }
    void SetFontStrikethru(bool on) override { font.strikethrough = on; }
    void SetFontUnderline(bool on) override { font.underline = on; }
    int PaperSize() const override { return paperSize; }
    void SetPaperSize(int code) override { paperSize = code; }
    int Orientation() const override { return orientation; }
    void SetOrientation(int code) override { orientation = code; }

private:
    void Record(Kind kind, const QString &text = {}, double atX = 0, double atY = 0, double x2 = 0,
                double y2 = 0)
    {
        m_calls.append(Call{kind, text, atX, atY, x2, y2, font});
    }
    QList<Call> m_calls;
};
