#include "PrintCommand.h"

#include "DevicePrinter.h"
#include "FolderTreeView.h"
#include "FormatText.h"
#include "ListPrinter.h"
#include "ListSnapshot.h"
#include "MainStatusBar.h"
#include "PrintTarget.h"
#include "TextTable.h"
#include "WorkArea.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPrinter>

using namespace Qt::StringLiterals;

PrintCommand::PrintCommand(QWidget *window, const WorkArea *workArea, MainStatusBar *statusBar,
                           TwipsScale pixelTwips)
    : m_window(window)
    , m_workArea(workArea)
    , m_statusBar(statusBar)
    , m_pixelTwips(pixelTwips)
{}

PrintCommand::~PrintCommand() = default;

void PrintCommand::run(const Volume &shownDrive)
{
    std::unique_ptr<Printer> printer = choosePrinter();
    if (!printer)
        return; // cancelled: nothing happened, the status bar says what it said
    m_statusBar->setPanelText(1, TextTable::text(TextId::Printing));
    // Painted now: no event is processed before the document ends.
    m_statusBar->repaint();
    m_printout.reset();
    m_printDevice = std::move(printer);
    m_printout = std::make_unique<ListPrinter>(*m_printDevice);
    setUpPrintout(*m_printout, shownDrive);
    const PrintResult result = m_printout->PrintControl();
    if (!result.ok)
        reportPrintError(result.errorNumber, result.errorText);
    m_statusBar->setPanelText(1, QString());
}

std::unique_ptr<Printer> PrintCommand::choosePrinter()
{
    if (m_printerFactory)
        return m_printerFactory();
    // Named after the folder shown, so that several printouts do not overwrite each other.
    QString name = QDir(QFile::decodeName(m_workArea->folderTree()->selectedfolder())).dirName();
    if (name.isEmpty())
        name = u"racine"_s;
    const QString title = u"Quarnel - "_s + name;
    std::unique_ptr<QPrinter> device = ChoosePrintTarget(m_window, title + u".pdf"_s);
    if (!device)
        return nullptr;
    device->setDocName(title); // the PDF's title, the print job's name in the queue
    return std::make_unique<DevicePrinter>(std::move(device), m_pixelTwips.perPixelX(),
                                           m_pixelTwips.perPixelY());
}

void PrintCommand::setUpPrintout(ListPrinter &printout, const Volume &drive) const
{
    printout.SetControl(SnapshotOf(*m_workArea->listView(), m_pixelTwips.perPixelX(),
                                   m_pixelTwips.perPixelY(), QSize(16, 16)));
    PageSetup &page = printout.Page();
    page.SetBottomMargin(1);
    page.SetTopMargin(1);
    page.SetLeftMargin(1);
    page.SetRightMargin(1);
    TextItem &footer = page.Footer();
    footer.SetText(TextTable::text(TextId::PageLabel) + u"<pag>"_s);
    footer.Font().name = u"Arial"_s;
    footer.Font().size = 8;
    footer.SetAlignment(TextAlign::Centre);
    // The drive's label and root, whichever folder of it is shown.
    TextItem &title = printout.Title();
    const QString heading =
        FormatText(TextTable::text(TextId::PrintTitle), QFile::decodeName(drive.label()),
                   QFile::decodeName(drive.root()));
    title.SetText(m_measure == SizeMeasure::OnDisk
                      ? FormatText(TextTable::text(TextId::PrintTitleOnDisk), heading)
                      : heading);
    title.Font().bold = true;
    title.SetAlignment(TextAlign::Centre);
    title.Font().italic = false;
    title.Font().name = u"Times New Roman"_s;
    title.Font().size = 14;
    printout.HeaderFont().bold = true;
}

// The printout has been abandoned by now; the user hears and reads why.
void PrintCommand::reportPrintError(int number, const QString &description)
{
    QApplication::beep();
    QMessageBox box(QMessageBox::Warning, QApplication::applicationName(),
                    QString::number(number) + u' ' + description, QMessageBox::Ok, m_window);
    box.exec();
}
