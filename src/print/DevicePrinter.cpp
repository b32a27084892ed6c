#include "DevicePrinter.h"

#include "FileSystem.h"
#include "PrintQueue.h"
#include "SystemErrorText.h"
#include "UniqueFd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPrinter>
#include <QTemporaryFile>

#include <algorithm>
#include <array>
#include <utility>

#include <cerrno>

using namespace Qt::StringLiterals;

namespace {

constexpr double TwipsPerInch = 1440;
constexpr double TwipsPerPoint = 20;

// The paper codes the printout's page setup is written in, beside Qt's sizes.
constexpr std::array<std::pair<int, QPageSize::PageSizeId>, 17> PaperCodes{{
    {PaperCode::Letter, QPageSize::Letter},
    {PaperCode::LetterSmall, QPageSize::Letter},
    {PaperCode::Tabloid, QPageSize::Tabloid},
    {PaperCode::Ledger, QPageSize::Ledger},
    {PaperCode::Legal, QPageSize::Legal},
    {PaperCode::Statement, QPageSize::Statement},
    {PaperCode::Executive, QPageSize::Executive},
    {PaperCode::A3, QPageSize::A3},
    {PaperCode::A4, QPageSize::A4},
    {PaperCode::A4Small, QPageSize::A4},
    {PaperCode::A5, QPageSize::A5},
    {PaperCode::B4, QPageSize::JisB4},
    {PaperCode::B5, QPageSize::JisB5},
    {PaperCode::Folio, QPageSize::Folio},
    {PaperCode::Quarto, QPageSize::Quarto},
    {PaperCode::Envelope10, QPageSize::Comm10E},
    {PaperCode::EnvelopeDL, QPageSize::DLE},
}};

// Why a PDF file cannot be written where it was asked for, as the system says it; 0 when nothing
// stands in the way that can be seen from here (a disk that fills while writing, say).
int WriteProblem(const QString &fileName)
{
    const QByteArray path = QFile::encodeName(fileName);
    if (UniqueFd(FileSystem::OpenFile(path, FileSystem::FileAccess::Write)).isOpen())
        return 0;
    if (errno != ENOENT)
        return errno;
    const QByteArray folder = QFile::encodeName(QFileInfo(fileName).absolutePath());
    return FileSystem::MayChangeFolder(folder) ? 0 : errno;
}

// Names the file or the queue, and why: what the system or the queue answered.
PrinterError DeviceError(const QPrinter &device, const QString &answer = {})
{
    QString description = u"Erreur d'imprimante ("_s;
    QString cause = answer;
    if (device.outputFormat() == QPrinter::PdfFormat) {
        description += device.outputFileName();
        if (const int problem = WriteProblem(device.outputFileName()); problem != 0)
            cause = SystemErrorText(problem);
    } else {
        description += device.printerName();
    }
    if (!cause.isEmpty())
        description += u" : "_s + cause;
    return PrinterError{ErrorNumber::PrinterFailed, description + u')'};
}

// Qt does not report a PDF it could not finish writing (a full disk, say): a complete one ends
// with the end-of-file marker.
bool PdfComplete(const QPrinter &device)
{
    if (device.outputFormat() != QPrinter::PdfFormat)
        return true;
    QFile file(device.outputFileName());
    constexpr qint64 Tail = 32;
    if (!file.open(QIODevice::ReadOnly) || file.size() < Tail || !file.seek(file.size() - Tail))
        return false;
    return file.read(Tail).contains("%%EOF");
}

} // namespace

DevicePrinter::DevicePrinter(std::unique_ptr<QPrinter> device, double twipsPerPixelX,
                             double twipsPerPixelY)
    : m_device(std::move(device))
    , m_twipsPerPixelX(twipsPerPixelX)
    , m_twipsPerPixelY(twipsPerPixelY)
{}

DevicePrinter::~DevicePrinter()
{
    KillDoc();
}

double DevicePrinter::DevicePerTwip() const
{
    return m_device->resolution() / TwipsPerInch;
}

QPointF DevicePrinter::ToDevice(double x, double y) const
{
    return QPointF(x, y) * DevicePerTwip();
}

QFont DevicePrinter::CurrentFont() const
{
    QFont font(m_font.name);
    font.setPointSizeF(m_font.size);
    font.setBold(m_font.bold);
    font.setItalic(m_font.italic);
    font.setStrikeOut(m_font.strikethrough);
    font.setUnderline(m_font.underline);
    // Measured and drawn at the printer's resolution, not the screen's.
    return QFont(font, m_device.get());
}

double DevicePrinter::ScaleWidth() const
{
    return m_device->pageRect(QPrinter::Point).width() * TwipsPerPoint;
}

double DevicePrinter::ScaleHeight() const
{
    return m_device->pageRect(QPrinter::Point).height() * TwipsPerPoint;
}

double DevicePrinter::TextWidth(const QString &text) const
{
    const QFontMetricsF metrics(CurrentFont(), m_device.get());
    qreal widest = 0;
    for (const QString &line : text.split(u'\n'))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return widest / DevicePerTwip();
}

double DevicePrinter::TextHeight(const QString &text) const
{
    const QFontMetricsF metrics(CurrentFont(), m_device.get());
    return metrics.height() * static_cast<double>(text.count(u'\n') + 1) / DevicePerTwip();
}

void DevicePrinter::SetFontSize(double points)
{
    if (!(points > 0 && points <= 2160))
        throw PrinterError{ErrorNumber::InvalidPropertyValue, u"Valeur de propriété non valide"_s};
    m_font.size = points;
}

void DevicePrinter::Open()
{
    if (m_painter.isActive())
        return;
    if (m_device->outputFormat() == QPrinter::NativeFormat)
        StartSpool();
    if (!m_painter.begin(&Target())) {
        DropSpool();
        throw DeviceError(*m_device);
    }
    m_begun = true;
}

// The same page layout and resolution as the queue's, so that what was measured on the queue's
// printer is what is painted.
void DevicePrinter::StartSpool()
{
    m_spoolFile = std::make_unique<QTemporaryFile>(QDir::tempPath() + u"/quarnel-XXXXXX.pdf"_s);
    if (!m_spoolFile->open()) {
        DropSpool();
        throw DeviceError(*m_device);
    }
    m_spoolFile->close(); // the name stays reserved; the PDF writer opens it itself
    m_spool = std::make_unique<QPrinter>(QPrinter::HighResolution);
    m_spool->setOutputFormat(QPrinter::PdfFormat);
    m_spool->setOutputFileName(m_spoolFile->fileName());
    m_spool->setResolution(m_device->resolution());
    m_spool->setPageLayout(m_device->pageLayout());
    m_spool->setColorMode(m_device->colorMode());
    m_spool->setDocName(m_device->docName());
    m_spool->setCreator(m_device->creator());
}

// The queue has its own copy once it took the job, and wants none of a job it did not get.
void DevicePrinter::DropSpool()
{
    m_spool.reset();
    m_spoolFile.reset(); // removes the file
}

void DevicePrinter::print(const QString &text)
{
    Open();
    const QFont font = CurrentFont();
    const QFontMetricsF metrics(font, m_device.get());
    m_painter.setFont(font);
    m_painter.setPen(Qt::black);
    double y = m_y;
    for (const QString &line : text.split(u'\n')) {
        m_painter.drawText(ToDevice(m_x, y) + QPointF(0, metrics.ascent()), line);
        y += metrics.height() / DevicePerTwip();
    }
    m_x = 0;
    m_y = y;
}

void DevicePrinter::Line(double x1, double y1, double x2, double y2)
{
    Open();
    // Width 0: one device pixel, whatever the resolution.
    m_painter.setPen(QPen(Qt::black, 0));
    m_painter.drawLine(ToDevice(x1, y1), ToDevice(x2, y2));
    m_x = x2;
    m_y = y2;
}

void DevicePrinter::PaintPicture(const QPixmap &picture, double x, double y, double width,
                                 double height)
{
    Open();
    m_painter.drawPixmap(QRectF(ToDevice(x, y), ToDevice(x + width, y + height)), picture,
                         QRectF(picture.rect()));
}

void DevicePrinter::NewPage()
{
    Open();
    if (!Target().newPage())
        throw DeviceError(*m_device);
    ++m_page;
    m_x = 0;
    m_y = 0;
}

void DevicePrinter::EndDoc()
{
    if (!m_painter.isActive()) {
        Reset();
        return;
    }
    const bool ended = m_painter.end();
    QString answer;
    if (!ended || Target().printerState() == QPrinter::Error || !PdfComplete(Target()) ||
        (m_spool && !SubmitPrintJob(m_device->printerName(), m_spool->outputFileName(),
                                    m_device->docName(), *m_device, &answer))) {
        const PrinterError error = DeviceError(*m_device, answer);
        KillDoc();
        throw error;
    }
    m_begun = false;
    DropSpool();
    Reset();
}

void DevicePrinter::KillDoc()
{
    if (m_painter.isActive()) {
        Target().abort();
        m_painter.end();
    }
    // A PDF that was abandoned is incomplete: better no file than a broken one.
    if (m_begun && m_device->outputFormat() == QPrinter::PdfFormat)
        QFile::remove(m_device->outputFileName());
    DropSpool();
    m_begun = false;
    Reset();
}

void DevicePrinter::Reset()
{
    m_page = 1;
    m_x = 0;
    m_y = 0;
}

int DevicePrinter::PaperSize() const
{
    const QPageSize::PageSizeId id = m_device->pageLayout().pageSize().id();
    for (const auto &[code, size] : PaperCodes) {
        if (size == id)
            return code;
    }
    return PaperCode::Custom;
}

void DevicePrinter::SetPaperSize(int code)
{
    for (const auto &[known, size] : PaperCodes) {
        if (known == code) {
            m_device->setPageSize(QPageSize(size));
            return;
        }
    }
}

int DevicePrinter::Orientation() const
{
    return m_device->pageLayout().orientation() == QPageLayout::Landscape
               ? OrientationCode::Landscape
               : OrientationCode::Portrait;
}

void DevicePrinter::SetOrientation(int code)
{
    if (code == OrientationCode::Portrait)
        m_device->setPageOrientation(QPageLayout::Portrait);
    else if (code == OrientationCode::Landscape)
        m_device->setPageOrientation(QPageLayout::Landscape);
}
