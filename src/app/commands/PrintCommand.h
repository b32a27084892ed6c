#pragma once

#include "SizeMeasure.h"
#include "TwipsScale.h"
#include "Volume.h"

#include <functional>
#include <memory>

class ListPrinter;
class MainStatusBar;
class Printer;
class QWidget;
class WorkArea;

// The print command: prints the list as it is shown, every row in its order and the columns at
// their widths, under a title naming the drive; reports a failure in a box.
class PrintCommand
{
public:
    // Where the document goes; null from it means the user cancelled. By default the default
    // print queue, or a PDF file the user names when there is none.
    using PrinterFactory = std::function<std::unique_ptr<Printer>()>;

    PrintCommand(QWidget *window, const WorkArea *workArea, MainStatusBar *statusBar,
                 TwipsScale pixelTwips);
    ~PrintCommand();

    // The window takes no events until the document is done.
    void run(const Volume &shownDrive);
    void setPrinterFactory(PrinterFactory factory) { m_printerFactory = std::move(factory); }
    // The title says when the sizes printed are bytes on disk.
    void setSizeMeasure(SizeMeasure measure) { m_measure = measure; }
    // The list printer of the last run, with its settings; null before the first.
    const ListPrinter *lastPrintout() const { return m_printout.get(); }

private:
    std::unique_ptr<Printer> choosePrinter();
    void setUpPrintout(ListPrinter &printout, const Volume &drive) const;
    void reportPrintError(int number, const QString &description);

    QWidget *m_window;
    const WorkArea *m_workArea;
    MainStatusBar *m_statusBar;
    TwipsScale m_pixelTwips;
    PrinterFactory m_printerFactory;
    SizeMeasure m_measure = SizeMeasure::Apparent;
    // Kept until the next run; the list printer refers to the printer, so it is declared after
    // it and goes first.
    std::unique_ptr<Printer> m_printDevice;
    std::unique_ptr<ListPrinter> m_printout;
};
