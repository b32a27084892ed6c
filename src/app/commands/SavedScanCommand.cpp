#include "SavedScanCommand.h"

#include "DriveScan.h"
#include "FormatText.h"
#include "MainStatusBar.h"
#include "Paths.h"
#include "SavedInput.h"
#include "SavedOutput.h"
#include "SavedRootName.h"
#include "ScanComparison.h"
#include "ScanController.h"
#include "ScanExport.h"
#include "ScanImport.h"
#include "SystemErrorText.h"
#include "TextTable.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>

#include <cerrno>

using namespace Qt::StringLiterals;

QString SavedScanCommand::ProblemText(const ImportError &error)
{
    const QString what = Text(TextId(int(TextId::ImportUnreadable) + int(error.problem) - 1));
    const QString where =
        error.offset >= 0 ? FormatText(Text(TextId::ImportAt), error.offset, what) : what;
    // The reader's own details are English, for the command line: here only the system's
    // reason, in French, is added.
    return error.systemError == 0 ? where
                                  : where + u" ("_s + SystemErrorText(error.systemError) + u')';
}

namespace {

// A volume as the user knows it: "serveur:/srv", or "/srv" when the machine is not named.
QString PlaceText(const QByteArray &host, const QByteArray &root)
{
    const QByteArray path = root.size() > 1 && root.endsWith('/') ? root.chopped(1) : root;
    return QFile::decodeName(host.isEmpty() ? path : host + ':' + path);
}

} // namespace

SavedScanCommand::SavedScanCommand(ScanController *scans, QWidget *window)
    : QObject(window)
    , m_scans(scans)
    , m_window(window)
{}

void SavedScanCommand::openCommand()
{
    if (m_scans->isScanning())
        return;
    const QString fileName = QFileDialog::getOpenFileName(
        m_window, Text(TextId::MenuFileOpenScan).remove(u'&').remove(u"..."_s), QDir::homePath(),
        Text(TextId::SavedScanFilter));
    if (!fileName.isEmpty())
        open(fileName);
}

bool SavedScanCommand::open(const QString &fileName)
{
    if (m_scans->isScanning())
        return false;
    QSet<QByteArray> taken;
    for (const Volume &drive : m_scans->drives())
        taken.insert(drive.root());
    const QByteArray stem = QFile::encodeName(QFileInfo(fileName).completeBaseName());
    auto reader = std::make_shared<ScanImport>();
    reader->setRootNaming([taken, stem](const QByteArray &host, const QByteArray &root) {
        return SavedRootName(host, stem, root,
                             [&](const QByteArray &named) { return taken.contains(named); });
    });
    return read(fileName, reader, [this](std::shared_ptr<DriveScan> records, qint64 savedAt) {
        m_scans->driveCommand(m_scans->addSavedDrive(std::move(records), savedAt));
    });
}

bool SavedScanCommand::read(const QString &fileName, const std::shared_ptr<ScanImport> &reader,
                            const AfterRead &then)
{
    const QString shown = QDir::toNativeSeparators(fileName);
    return m_scans->runAside(
        FormatText(Text(TextId::SavedScanReading), shown),
        [this, fileName, shown, reader, then]() -> ScanController::Continuation {
            std::shared_ptr<DriveScan> records;
            ImportError error;
            SavedInput input;
            if (input.open(QFile::encodeName(fileName))) {
                records = reader->read(input);
                error = reader->error();
            } else {
                error = input.error();
            }
            return [this, fileName, shown, reader, then, records, error] {
                if (!records) {
                    warn(FormatText(Text(TextId::SavedScanUnreadable), shown, ProblemText(error)));
                    return;
                }
                // A file that does not say when it was saved was saved when it was last written.
                const qint64 savedAt = reader->savedAt() > 0
                                           ? reader->savedAt()
                                           : QFileInfo(fileName).lastModified().toSecsSinceEpoch();
                if (records->origin()) { // saved again, the scan keeps the date it is shown with
                    SavedOrigin origin = *records->origin();
                    origin.savedAt = savedAt;
                    records->setOrigin(std::move(origin));
                }
                then(records, savedAt);
            };
        });
}

void SavedScanCommand::compareCommand()
{
    if (m_scans->isScanning() || m_scans->folders().find(m_scans->shownDrive().root()).isNull()) {
        warn(Text(TextId::CompareNothing));
        return;
    }
    const QString fileName = QFileDialog::getOpenFileName(
        m_window, Text(TextId::MenuFileCompareScan).remove(u'&').remove(u"..."_s), QDir::homePath(),
        Text(TextId::SavedScanFilter));
    if (!fileName.isEmpty())
        compare(fileName);
}

bool SavedScanCommand::compare(const QString &fileName)
{
    const QByteArray root = m_scans->shownDrive().root();
    if (m_scans->isScanning() || m_scans->folders().find(root).isNull())
        return false;
    auto reader = std::make_shared<ScanImport>();
    return read(fileName, reader,
                [this, fileName, reader, root](std::shared_ptr<DriveScan> earlier, qint64 savedAt) {
                    compareWith(fileName, *reader, root, std::move(earlier), savedAt);
                });
}

void SavedScanCommand::compareWith(const QString &fileName, const ScanImport &reader,
                                   const QByteArray &root, std::shared_ptr<DriveScan> earlier,
                                   qint64 savedAt)
{
    // Another volume may have been shown, or its records gone, while the file was read.
    const Volume shown = m_scans->shownDrive();
    const auto [records, top] = m_scans->folders().locate(root);
    if (shown.root() != root || !records)
        return;
    // A saved scan shown as a drive is its machine's and its root's; a file that names no
    // machine (ncdu's, gdu's) may be of this one.
    const SavedOrigin *origin = shown.kind == DriveKind::Saved ? records->origin() : nullptr;
    const QByteArray host = origin ? origin->host : ThisMachine();
    const QByteArray shownRoot = origin ? AddSlash(origin->root) : root;
    if ((earlier->rootPath() != shownRoot ||
         (!reader.host().isEmpty() && !host.isEmpty() && reader.host() != host)) &&
        !ask(FormatText(Text(TextId::CompareOtherVolume), QDir::toNativeSeparators(fileName),
                        PlaceText(reader.host(), earlier->rootPath()), PlaceText(host, shownRoot))))
        return;
    emit comparisonChanged(
        std::make_shared<const ScanComparison>(std::move(earlier), root, savedAt));
}

void SavedScanCommand::saveCommand()
{
    const Volume drive = m_scans->shownDrive();
    if (m_scans->isScanning() || m_scans->folders().find(drive.root()).isNull()) {
        warn(Text(TextId::SavedScanNothing));
        return;
    }
    QString suggested = QFile::decodeName(drive.label());
    suggested = suggested.section(u'/', -1).isEmpty() ? u"racine"_s : suggested.section(u'/', -1);
    const QString fileName = QFileDialog::getSaveFileName(
        m_window, Text(TextId::MenuFileSaveScan).remove(u'&').remove(u"..."_s),
        QDir::home().filePath(suggested + u".json"_s), Text(TextId::SavedScanFilter));
    if (!fileName.isEmpty())
        save(fileName);
}

bool SavedScanCommand::save(const QString &fileName)
{
    const auto [scan, root] = m_scans->folders().locate(m_scans->shownDrive().root());
    if (m_scans->isScanning() || !scan || root != 0) {
        warn(Text(TextId::SavedScanNothing));
        return false;
    }
    const QString shown = QDir::toNativeSeparators(fileName);
    // The writer holds its share of the records: they cannot go while it reads them.
    return m_scans->runAside(
        FormatText(Text(TextId::SavedScanWriting), shown),
        [this, scan, fileName, shown]() -> ScanController::Continuation {
            QString failure;
            SavedOutput output;
            ScanExport writer(*scan);
            if (!output.open(QFile::encodeName(fileName)) ||
                !writer.write(output)) // which finishes
                failure = SystemErrorText(output.errorNumber() != 0 ? output.errorNumber() : EIO);
            return [this, shown, failure] {
                if (!failure.isEmpty())
                    warn(FormatText(Text(TextId::SavedScanNotWritten), shown, failure));
            };
        });
}

void SavedScanCommand::warn(const QString &text)
{
    QMessageBox box(QMessageBox::Warning, Text(TextId::ErrorTitle), text, QMessageBox::Ok,
                    m_window);
    box.exec();
}

// Yes or no, no being what a hurried Enter or Esc answers.
bool SavedScanCommand::ask(const QString &question)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Quarnel"), question,
                    QMessageBox::NoButton, m_window);
    QPushButton *yes = box.addButton(Text(TextId::AnswerYes), QMessageBox::YesRole);
    QPushButton *no = box.addButton(Text(TextId::AnswerNo), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}
