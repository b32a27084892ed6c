#pragma once

#include "MapGrowth.h"

#include "BackgroundJob.h"
#include "MapLayout.h"

#include <QByteArray>
#include <QImage>
#include <QWidget>

#include <atomic>
#include <memory>
#include <optional>

class DriveScan;
class ScanComparison;
class FolderCollection;

// The map of one folder of the scans' records: a treemap laid out and drawn on a worker thread
// into an image, shown here with the hovered and the highlighted tiles outlined and the large
// tiles named. A newer request (another folder, a new size, newer totals) supersedes the one
// under way, so the window never waits for a drawing.
class MapView : public QWidget
{
    Q_OBJECT

public:
    explicit MapView(QWidget *parent = nullptr);
    // Waits for the drawing under way, which reads the records.
    ~MapView() override;

    // Maps the folder of the records with this path (ending with "/"); an empty map when it has
    // no record. The records must outlive the view or be dropped first.
    void showFolder(const FolderCollection *folders, const QByteArray &path);
    // Draws the same folder again from its records as they are now, while a walk adds to them.
    void refresh();
    // The records are about to go: stops reading them and shows an empty map.
    void dropRecords();
    // Areas in the files' sizes or in the bytes they take on the disk.
    void setSizeMeasure(SizeMeasure measure);
    // Outlines the tile of a folder (ending with "/") or a file; none for an empty path.
    void setHighlight(const QByteArray &path);
    // Fades every file but those of one kind, so that they stand out; nullopt shows all alike.
    void setEmphasis(std::optional<FileKind> kind);
    // Colours the map by growth since an earlier scan of the volume shown; none: by kind.
    void setComparison(std::shared_ptr<const ScanComparison> earlier);
    // Coloured by what changed while the volume was followed, when no earlier scan is compared;
    // null: by kind again.
    void setChanges(std::shared_ptr<const MapGrowth::Changes> changes);
    std::optional<FileKind> emphasis() const { return m_emphasis; }

    QByteArray folder() const { return m_path; }
    // True while a drawing is under way or waiting.
    bool isDrawing() const { return m_drawing.isBusy(); }
    // The tiles shown, null before the first drawing.
    const MapLayout *layout() const { return m_shown ? &m_shown->layout : nullptr; }
    const QImage &image() const;
    // The tile outlined for the list's current row.
    quint32 highlighted() const { return m_highlighted; }
    // What the last drawing shown cost the worker, in milliseconds.
    double drawingCostMs() const { return m_shown ? m_shown->costMs : 0; }
    // The path of a tile of the drawing shown: a folder's ends with "/".
    QByteArray pathOf(quint32 tile) const;

signals:
    void folderClicked(const QByteArray &path);
    void fileClicked(const QByteArray &folder, const QByteArray &name);
    // The menu of a tile's file or folder (a folder's path ends with "/") is asked for.
    void menuRequested(const QByteArray &path, const QPoint &globalPos);
    // A new drawing is on screen.
    void drawingShown();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void leaveEvent(QEvent *event) override;
    bool event(QEvent *event) override;

public:
    struct Label
    {
        QRectF rect;
        QString text; // name and size, on two lines
        QColor ink;   // readable on the tile's colour
    };
    struct Drawing
    {
        MapLayout layout;
        QImage image;
        std::vector<Label> labels;
        double costMs = 0;                     // the worker's time on it
        std::shared_ptr<const DriveScan> scan; // whose folders the tiles name
    };
    // The names written on the large file tiles of the drawing shown.
    const std::vector<Label> &labels() const;

private:
    void request();
    void drawn(std::shared_ptr<const Drawing> drawing);
    void outline(QPainter &painter, quint32 tile, const QColor &colour) const;
    quint32 tileAt(const QPointF &point) const;
    quint32 tileOf(const QByteArray &path) const;
    QString tipFor(quint32 tile) const;
    const QImage &fade();

    const FolderCollection *m_folders = nullptr;
    QByteArray m_path;
    std::shared_ptr<const DriveScan> m_scan; // the drawing under way holds it too
    quint32 m_top = 0;
    SizeMeasure m_measure = SizeMeasure::Apparent;
    std::shared_ptr<const ScanComparison> m_earlier;
    std::shared_ptr<const MapGrowth::Changes> m_changes;
    std::shared_ptr<const Drawing> m_shown;
    BackgroundJob<std::shared_ptr<const Drawing>> m_drawing; // declared last: it goes first
    QByteArray m_highlightPath;
    quint32 m_highlighted = MapLayout::NoTile;
    quint32 m_hovered = MapLayout::NoTile;
    std::optional<FileKind> m_emphasis;
    // What covers the other kinds' tiles, made again only for another drawing or kind.
    QImage m_fade;
    const Drawing *m_fadeFor = nullptr;
    FileKind m_fadeKind = FileKind::Folder;
};
