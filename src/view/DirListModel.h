#pragma once

#include "Formatting.h"
#include "ListRows.h"
#include "SizeMeasure.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QIcon>
#include <QPalette>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class FolderCollection;
class ScanComparison;

// The rows of the directory list (LVDirView): the files and the scanned subfolders of one folder,
// read from the folder records of the last scans. Each fill starts from nothing and keeps only
// raw values per row; the texts are made when a view asks for them, so that a folder of 100,000
// files fills fast. The model sorts its own rows. It keeps no handle on the records, so removing
// a drive's records never leaves it pointing at freed memory.
class DirListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    // Growth is there only while the list is compared with an earlier scan; the window's loops
    // over its columns stop at ColumnCount.
    enum Column { Name, Size, Percent, Date, ColumnCount, Growth = ColumnCount };
    enum Role {
        // The raw value: the name (Name), quint64 bytes (Size), double (Percent), qint64
        // seconds since the epoch (Date).
        // qint64 bytes gained since the earlier scan (Growth).
        SortRole = Qt::UserRole,
        // A file's name bytes, or a subfolder's full path bytes ending with "/".
        KeyRole,
        IsFolderRole,
    };

    explicit DirListModel(QObject *parent = nullptr);

    void setHeaders(const QStringList &headers);
    // Said of a hard-linked file's names that hold none of the totals' bytes.
    void setLinkedTip(const QString &tip) { m_linkedTip = tip; }
    // What an item the walk's patterns left out shows in place of its size, and its tooltip.
    void setExcludedTexts(const QString &text, const QString &tip)
    {
        m_excludedText = text;
        m_excludedTip = tip;
    }
    void setFolderIcon(const QIcon &icon);
    // The view's background and text colours, which the percentage colours must read against;
    // until set, a white background with black text.
    void setViewPalette(const QPalette &palette);

    // Shows the folder at folderPath: its file records in listing order, then every subfolder
    // found on the disk now that has a record. Percentages are of diskSize when base is Disk,
    // else of the folder's total. False, with no rows, when the folder has no record.
    bool fill(const FolderCollection &folders, const QByteArray &folderPath, PercentBase base,
              quint64 diskSize);
    // What a fill reads rows with, for rows read elsewhere and handed over with adopt().
    ListRows::Options readOptions(PercentBase base, quint64 diskSize) const;
    void adopt(ListRows rows);
    // The total of the folder of the last fill; 0 when it had no record.
    quint64 folderSize() const { return m_list.folderSize(); }
    // Sizes as the files' own or as the bytes they take on the disk, from the next fill on.
    void setSizeMeasure(SizeMeasure measure) { m_measure = measure; }
    // The folder of the last fill, ending with "/".
    QByteArray folderPath() const { return m_list.folderPath(); }
    // Compares the rows with an earlier scan of the same volume, from the next fill on: a column
    // of what each row gained, new rows marked, rows gone since listed greyed with what they
    // held (goneText their tip), rows whose size could not be read marked unread, files the
    // earlier state does not name marked unknown. None: no column.
    struct GrowthTexts
    {
        QString heading, newText, goneText, unreadText, unknownText;
    };
    void setComparison(std::shared_ptr<const ScanComparison> earlier,
                       const GrowthTexts &texts = {});
    bool isCompared() const { return m_earlier != nullptr; }
    // What the folder of the last fill gained since the earlier scan; nullopt without one, or
    // when the folder is new.
    std::optional<qint64> folderGrowth() const { return m_list.folderGrowth(); }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    // A complete order: ties fall back to the name, then to the key. Descending is the exact
    // reverse of ascending, so a second click on a heading reverses the list.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // What a column sorts by.
    static ListRows::Value SortValue(int column);

private:
    using Row = ListRows::Row;
    using Change = ListRows::Change;

    QVariant displayData(const Row &row, int column) const;
    QVariant decorationData(const Row &row, int column) const;
    QVariant sortData(const Row &row, int column) const;
    QString GrowthText(const Row &row) const;
    static QVariant alignmentData(int column);

    ListRows m_list;
    QStringList m_headers;
    QString m_linkedTip;
    QString m_excludedText, m_excludedTip;
    QIcon m_folderIcon;
    Rgb m_base = 0xFFFFFF;
    Rgb m_text = 0x000000;
    SizeMeasure m_measure = SizeMeasure::Apparent;
    std::shared_ptr<const ScanComparison> m_earlier;
    GrowthTexts m_growthTexts;
};
