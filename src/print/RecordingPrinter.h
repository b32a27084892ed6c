#pragma once

#include "Printer.h"
#include "FontSpec.h"

#include <QList>

// A printer that draws nothing and records every operation, with text metrics simple enough to
// work out expected positions by hand: 100 twips per character and 20 twips of line height per
// point, both scaled by the font size (10 points: 100 per character, 200 per line).
class RecordingPrinter : public Printer
{
public:
    enum class Kind {
        Print, Line, PaintPicture, NewPage, EndDoc, KillDoc,
        SetCurrentX, SetCurrentY,
        SetFontName, SetFontSize, SetFontBold, SetFontItalic, SetFontStrikethru, SetFontUnderline,
        SetPaperSize, SetOrientation,
    };

    // One operation. Position is the pen (or the start point, or the picture's corner) and
    // font the current font, both as they were when the operation was made.
    struct Call
    {
        Kind kind;
        QString text;      // printed text, or the font name written
        double x = 0;
        double y = 0;
        double x2 = 0;     // line end, or picture width
        double y2 = 0;     // line end, or picture height
        double value = 0;  // the number or flag (0/1) written by a Set call
        FontSpec font;
    };

    // The defaults are an A4 sheet in twips.
    explicit RecordingPrinter(double scaleWidth = 11906, double scaleHeight = 16838);

    const QList<Call> &Calls() const { return m_calls; }
    void ClearCalls() { m_calls.clear(); }

    double CurrentX() const { return m_x; }
    void SetCurrentX(double x) override;
    double CurrentY() const override { return m_y; }
    void SetCurrentY(double y) override;

    double ScaleWidth() const override { return m_scaleWidth; }
    double ScaleHeight() const override { return m_scaleHeight; }
    double TextWidth(const QString &text) const override;
    double TextHeight(const QString &text) const override;
    double TwipsPerPixelX() const override { return m_twipsPerPixelX; }
    double TwipsPerPixelY() const override { return m_twipsPerPixelY; }
    // 15 by 15 (a 96 dpi screen) until changed.
    void SetTwipsPerPixel(double x, double y)
    {
        m_twipsPerPixelX = x;
        m_twipsPerPixelY = y;
    }

    void print(const QString &text) override;
    void Line(double x1, double y1, double x2, double y2) override;
    void PaintPicture(const QPixmap &picture, double x, double y, double width, double height) override;
    void NewPage() override;
    void EndDoc() override;
    void KillDoc() override;
    int Page() const override { return m_page; }

    void SetFontName(const QString &name) override;
    void SetFontSize(double points) override;
    void SetFontBold(bool on) override;
    void SetFontItalic(bool on) override;
    void SetFontStrikethru(bool on) override;
    void SetFontUnderline(bool on) override;

    int PaperSize() const override { return m_paperSize; }
    void SetPaperSize(int code) override;
    int Orientation() const override { return m_orientation; }
    void SetOrientation(int code) override;

private:
    double LineHeight() const;
    Call &Record(Kind kind);
    // Records a property write and keeps the value.
    template<typename T> void Remember(Kind kind, T &field, T value)
    {
        Record(kind).value = value;
        field = value;
    }

    QList<Call> m_calls;
    double m_scaleWidth;
    double m_scaleHeight;
    double m_x = 0;
    double m_y = 0;
    int m_page = 1;
    double m_twipsPerPixelX = 15;
    double m_twipsPerPixelY = 15;
    FontSpec m_font;
    int m_paperSize = 9;
    int m_orientation = 1;
};
