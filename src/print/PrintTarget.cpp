#include "PrintTarget.h"

#include <QDir>
#include <QFileDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

QString AskPdfName(QWidget *parent, const QString &suggestedName)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::homePath();
    QFileDialog dialog(parent, u"Imprimer dans un fichier PDF"_s, folder,
                       u"Documents PDF (*.pdf)"_s);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(u"pdf"_s);
    dialog.selectFile(suggestedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

std::unique_ptr<QPrinter> ChoosePrintTarget(QWidget *parent, const QString &suggestedName)
{
    const QPrinterInfo queue = QPrinterInfo::defaultPrinter();
    if (!queue.isNull())
        return std::make_unique<QPrinter>(queue, QPrinter::HighResolution);
    // No print queue at all: printing to a file beats failing.
    const QString path = AskPdfName(parent, suggestedName);
    if (path.isEmpty())
        return nullptr;
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setOutputFormat(QPrinter::PdfFormat);
    printer->setOutputFileName(path);
    return printer;
}
