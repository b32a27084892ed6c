#pragma once

#include "PrintFont.h"
#include "Printer.h"

#include <QFont>
#include <QPainter>

#include <memory>

class QPrinter;
class QTemporaryFile;

// The printer operations over a real QPrinter, a print queue or a PDF file. Positions are twips
// from the top-left corner of the printable area; the document opens at the first drawing
// operation, so a printer that cannot be opened fails there, inside the caller's error path.
// For a print queue the pages go to a temporary PDF file laid out as the queue's, which EndDoc
// hands to the queue itself: Qt's own hand-over drops a job the queue refuses without a word.
class DevicePrinter final : public Printer
{
public:
    // twipsPerPixelX and Y are the screen's, so that lists printed from it keep their geometry.
    DevicePrinter(std::unique_ptr<QPrinter> device, double twipsPerPixelX, double twipsPerPixelY);
    // A document still open is abandoned, never handed to the printer half built.
    ~DevicePrinter() override;

    DevicePrinter(const DevicePrinter &) = delete;
    DevicePrinter &operator=(const DevicePrinter &) = delete;

    QPrinter &device() const { return *m_device; }

    void SetCurrentX(double x) override { m_x = x; }
    double CurrentY() const override { return m_y; }
    void SetCurrentY(double y) override { m_y = y; }

    double ScaleWidth() const override;
    double ScaleHeight() const override;
    double TextWidth(const QString &text) const override;
    double TextHeight(const QString &text) const override;
    double TwipsPerPixelX() const override { return m_twipsPerPixelX; }
    double TwipsPerPixelY() const override { return m_twipsPerPixelY; }

    void print(const QString &text) override;
    void Line(double x1, double y1, double x2, double y2) override;
    void PaintPicture(const QPixmap &picture, double x, double y, double width,
                      double height) override;
    void NewPage() override;
    void EndDoc() override;
    void KillDoc() override;
    int Page() const override { return m_page; }

    void SetFontName(const QString &name) override { m_font.name = name; }
    void SetFontSize(double points) override;
    void SetFontBold(bool on) override { m_font.bold = on; }
    void SetFontItalic(bool on) override { m_font.italic = on; }
    void SetFontStrikethru(bool on) override { m_font.strikethrough = on; }
    void SetFontUnderline(bool on) override { m_font.underline = on; }

    // A size without a code reads as PaperCode::Custom; writing a code we do not know, or an
    // orientation that is not one, leaves the page alone.
    int PaperSize() const override;
    void SetPaperSize(int code) override;
    int Orientation() const override;
    void SetOrientation(int code) override;

private:
    void Open();
    void StartSpool();
    void DropSpool();
    QPrinter &Target() const { return m_spool ? *m_spool : *m_device; }
    void Reset();
    QFont CurrentFont() const;
    double DevicePerTwip() const;
    QPointF ToDevice(double x, double y) const;

    std::unique_ptr<QPrinter> m_device;
    // While a document for a print queue is open: the PDF printer painted instead, and its file.
    std::unique_ptr<QTemporaryFile> m_spoolFile;
    std::unique_ptr<QPrinter> m_spool;
    QPainter m_painter;
    double m_twipsPerPixelX;
    double m_twipsPerPixelY;
    double m_x = 0;
    double m_y = 0;
    int m_page = 1;
    bool m_begun = false; // a document was opened and not yet handed over
    PrintFont m_font;
};
