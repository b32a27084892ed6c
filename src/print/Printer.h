#pragma once

#include <QString>
#include <QtGlobal>

class QPixmap;

// What a printer operation throws when it fails: an error number and its description, the pair
// a failed printout reports to the user.
struct PrinterError
{
    int number = 0;
    QString description;
};

// The error numbers a failed printout reports, as users of the classic printer settings know them.
namespace ErrorNumber {
constexpr int Overflow = 6;
constexpr int OutOfMemory = 7;
constexpr int ObjectNotSet = 91;
constexpr int InvalidPropertyValue = 380;
constexpr int PrinterFailed = 482;
} // namespace ErrorNumber

// Where a text goes in its line or column. The type can hold other values, which print at the pen.
enum class TextAlign : qint32 { Left = 0, Right = 1, Centre = 2 };

// The paper codes of the classic printer settings.
namespace PaperCode {
constexpr int Letter = 1;
constexpr int LetterSmall = 2;
constexpr int Tabloid = 3;
constexpr int Ledger = 4;
constexpr int Legal = 5;
constexpr int Statement = 6;
constexpr int Executive = 7;
constexpr int A3 = 8;
constexpr int A4 = 9;
constexpr int A4Small = 10;
constexpr int A5 = 11;
constexpr int B4 = 12;
constexpr int B5 = 13;
constexpr int Folio = 14;
constexpr int Quarto = 15;
constexpr int Envelope10 = 20;
constexpr int EnvelopeDL = 27;
constexpr int Custom = 256; // a size that has no code
} // namespace PaperCode

namespace OrientationCode {
constexpr int Portrait = 1;
constexpr int Landscape = 2;
} // namespace OrientationCode

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
    virtual void PaintPicture(const QPixmap &picture, double x, double y, double width,
                              double height) = 0;
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

    // A PaperCode.
    virtual int PaperSize() const = 0;
    virtual void SetPaperSize(int code) = 0;
    // An OrientationCode.
    virtual int Orientation() const = 0;
    virtual void SetOrientation(int code) = 0;
};
