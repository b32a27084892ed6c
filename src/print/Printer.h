#pragma once

#include <QString>

class QPixmap;

// What a printer operation throws when it fails: an error number and its description, the pair
// a failed printout reports to the user.
struct PrinterError
{
    int number = 0;
    QString description;
};

// The printer operations the page and list printing rely on. Units are twips (1440 per inch)
// from the top-left corner of the printable area, y growing downwards.
class Printer
{
public:
    virtual ~Printer() = default;

    virtual void SetCurrentX(double x) = 0;
    virtual double CurrentY() const = 0;
    virtual void SetCurrentY(double y) = 0;

    virtual double ScaleWidth() const = 0;
    virtual double ScaleHeight() const = 0;
    virtual double TextWidth(const QString &text) const = 0;
    virtual double TextHeight(const QString &text) const = 0;
    // The size of one screen pixel: printed lists keep their on-screen geometry.
    virtual double TwipsPerPixelX() const = 0;
    virtual double TwipsPerPixelY() const = 0;

    // Draws text with its top-left corner at the pen, then sets CurrentX to 0 and moves
    // CurrentY down by one line of the current font.
    virtual void print(const QString &text) = 0;
    // Leaves the pen at the end point.
    virtual void Line(double x1, double y1, double x2, double y2) = 0;
    virtual void PaintPicture(const QPixmap &picture, double x, double y, double width, double height) = 0;
    // Starts the next page with the pen at 0, 0.
    virtual void NewPage() = 0;
    virtual void EndDoc() = 0;
    virtual void KillDoc() = 0;
    // 1 on the first page.
    virtual int Page() const = 0;

    virtual void SetFontName(const QString &name) = 0;
    virtual void SetFontSize(double points) = 0;
    virtual void SetFontBold(bool on) = 0;
    virtual void SetFontItalic(bool on) = 0;
    virtual void SetFontStrikethru(bool on) = 0;
    virtual void SetFontUnderline(bool on) = 0;

    // 9 = A4 (the numbering of the classic printer settings).
    virtual int PaperSize() const = 0;
    virtual void SetPaperSize(int code) = 0;
    // 1 = portrait, 2 = landscape.
    virtual int Orientation() const = 0;
    virtual void SetOrientation(int code) = 0;
};
