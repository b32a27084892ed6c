#include "MapView.h"

#include "DriveScan.h"
#include "FileKind.h"
#include "FolderCollection.h"
#include "Formatting.h"
#include "MapGrowth.h"
#include "MapRenderer.h"
#include "ScanComparison.h"

#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <unordered_map>

using namespace Qt::StringLiterals;

namespace {

// A tile this large, in logical pixels, carries its name and size.
constexpr float LabelWidth = 90;
constexpr float LabelHeight = 36;

QByteArray LastName(const QByteArray &path)
{
    const QByteArray trimmed = path.endsWith('/') ? path.chopped(1) : path;
    return trimmed.mid(trimmed.lastIndexOf('/') + 1);
}

// The names of the large file tiles, each folder's files read once.
std::vector<MapView::Label> Labels(const DriveScan &scan, const MapLayout &layout)
{
    std::vector<MapView::Label> labels;
    std::unordered_map<quint32, std::vector<std::pair<quint32, size_t>>> wanted; // folder: files
    const std::vector<MapTile> &tiles = layout.tiles();
    for (const MapTile &tile : tiles) {
        if (tile.width < LabelWidth || tile.height < LabelHeight ||
            tile.file == MapLayout::NoFile || tile.file == MapLayout::Rest)
            continue;
        wanted[tile.folder].emplace_back(tile.file, labels.size());
        const bool dark = KindColour(tile.kind).lightness() < 140;
        labels.push_back({QRectF(tile.x, tile.y, tile.width, tile.height), SizeText(tile.size),
                          dark ? QColor(Qt::white) : QColor(Qt::black)});
    }
    for (auto &[folder, files] : wanted) {
        std::sort(files.begin(), files.end());
        FileRecordReader reader = scan.filesOf(folder);
        FileRecord file;
        quint32 ordinal = 0;
        for (const auto &[wantedOrdinal, label] : files) {
            while (ordinal <= wantedOrdinal && reader.next(file))
                ++ordinal;
            if (ordinal == wantedOrdinal + 1)
                labels[label].text.prepend(QFile::decodeName(file.name.toByteArray()) + u'\n');
        }
    }
    return labels;
}

std::shared_ptr<const MapView::Drawing> Draw(const std::shared_ptr<const DriveScan> &scan,
                                             quint32 top, QSizeF size, qreal pixelRatio,
                                             SizeMeasure measure, const ScanComparison *earlier,
                                             const MapGrowth::Changes *changes,
                                             const std::atomic<bool> *cancel)
{
    QElapsedTimer clock;
    clock.start();
    auto drawing = std::make_shared<MapView::Drawing>();
    drawing->scan = scan;
    drawing->layout = MapLayout::Build(*scan, top, size, cancel, measure);
    std::vector<QRgb> growth;
    // Compared with an earlier scan of this volume: coloured by what grew rather than by kind.
    if (earlier && scan->rootPath() == earlier->current() && !cancel->load())
        growth = MapGrowth::TileColours(*scan, drawing->layout, *earlier, measure);
    else if (changes && !cancel->load())
        growth = MapGrowth::TileColours(*scan, drawing->layout, *changes);
    if (!cancel->load())
        drawing->image =
            RenderMap(drawing->layout, pixelRatio, cancel, growth.empty() ? nullptr : &growth);
    if (!cancel->load())
        drawing->labels = Labels(*scan, drawing->layout);
    drawing->costMs = double(clock.nsecsElapsed()) / 1e6;
    return drawing;
}

} // namespace

MapView::MapView(QWidget *parent)
    : QWidget(parent)
    , m_drawing([this](std::shared_ptr<const Drawing> drawing) { drawn(std::move(drawing)); })
{
    setObjectName(u"picMap"_s);
    setAccessibleName(u"Carte des fichiers"_s);
    setMouseTracking(true);
    setMinimumSize(40, 30);
}

MapView::~MapView() = default;

void MapView::showFolder(const FolderCollection *folders, const QByteArray &path)
{
    m_folders = folders;
    m_path = path;
    m_highlightPath.clear();
    auto [scan, top] = folders ? folders->locate(path)
                               : std::pair<std::shared_ptr<const DriveScan>, quint32>{nullptr, 0};
    m_scan = std::move(scan);
    m_top = top;
    request();
}

void MapView::refresh()
{
    showFolder(m_folders, m_path);
}

void MapView::dropRecords()
{
    m_drawing.stop();
    m_folders = nullptr;
    m_scan = nullptr;
    m_shown.reset();
    m_fadeFor = nullptr;
    m_hovered = m_highlighted = MapLayout::NoTile;
    update();
}

void MapView::setHighlight(const QByteArray &path)
{
    m_highlightPath = path;
    m_highlighted = m_shown && !path.isEmpty() ? tileOf(path) : MapLayout::NoTile;
    update();
}

void MapView::setEmphasis(std::optional<FileKind> kind)
{
    if (kind == m_emphasis)
        return;
    m_emphasis = kind;
    update();
}

const QImage &MapView::fade()
{
    if (m_fadeFor == m_shown.get() && m_fadeKind == *m_emphasis)
        return m_fade;
    m_fadeFor = m_shown.get();
    m_fadeKind = *m_emphasis;
    const QSizeF size = m_shown->layout.size();
    m_fade = QImage(size.toSize(), QImage::Format_ARGB32_Premultiplied);
    m_fade.fill(Qt::transparent);
    QPainter painter(&m_fade);
    QColor veil = palette().color(QPalette::Window);
    veil.setAlpha(200);
    // Files and rests only: a folder's own surface is hardly seen, and fading it would fade its
    // files twice.
    for (const MapTile &tile : m_shown->layout.tiles())
        if (tile.file != MapLayout::NoFile && tile.kind != m_fadeKind)
            painter.fillRect(QRectF(tile.x, tile.y, tile.width, tile.height), veil);
    return m_fade;
}

const QImage &MapView::image() const
{
    static const QImage none;
    return m_shown ? m_shown->image : none;
}

const std::vector<MapView::Label> &MapView::labels() const
{
    static const std::vector<Label> none;
    return m_shown ? m_shown->labels : none;
}

void MapView::request()
{
    if (!m_scan || width() <= 0 || height() <= 0) {
        m_drawing.cancel();
        m_shown.reset();
        m_fadeFor = nullptr;
        update();
        return;
    }
    m_drawing.run([scan = m_scan, top = m_top, size = QSizeF(size()), ratio = devicePixelRatioF(),
                   measure = m_measure, earlier = m_earlier,
                   changes = m_changes](const std::atomic<bool> &cancelled) {
        return Draw(scan, top, size, ratio, measure, earlier.get(), changes.get(), &cancelled);
    });
}

void MapView::setComparison(std::shared_ptr<const ScanComparison> earlier)
{
    m_earlier = std::move(earlier);
    request();
}

void MapView::setChanges(std::shared_ptr<const MapGrowth::Changes> changes)
{
    m_changes = std::move(changes);
    request();
}

void MapView::setSizeMeasure(SizeMeasure measure)
{
    if (measure == m_measure)
        return;
    m_measure = measure;
    request();
}

void MapView::drawn(std::shared_ptr<const Drawing> drawing)
{
    m_shown = std::move(drawing);
    m_fadeFor = nullptr; // a new drawing may take the freed one's address
    m_hovered = MapLayout::NoTile;
    setHighlight(m_highlightPath);
    emit drawingShown();
}

void MapView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    if (!m_shown)
        return;
    const QSizeF drawn = m_shown->layout.size();
    // While a new size is drawn, the last image stretches to fill the room.
    painter.scale(width() / drawn.width(), height() / drawn.height());
    painter.drawImage(QRectF(QPointF(0, 0), drawn), m_shown->image);
    if (m_emphasis)
        painter.drawImage(QRectF(QPointF(0, 0), drawn), fade());
    const QFontMetrics metrics = painter.fontMetrics();
    for (const Label &label : m_shown->labels) {
        const QRectF room = label.rect.adjusted(4, 2, -4, -2);
        QStringList lines = label.text.split(u'\n');
        for (QString &line : lines)
            line = metrics.elidedText(line, Qt::ElideMiddle, int(room.width()));
        painter.setPen(label.ink);
        painter.drawText(room, Qt::AlignLeft | Qt::AlignTop, lines.join(u'\n'));
    }
    if (m_hovered != MapLayout::NoTile) {
        const quint32 folder = m_shown->layout.tiles()[m_hovered].parent;
        outline(painter, folder, palette().color(QPalette::Highlight));
        outline(painter, m_hovered, palette().color(QPalette::HighlightedText));
    }
    outline(painter, m_highlighted, palette().color(QPalette::Highlight));
}

void MapView::outline(QPainter &painter, quint32 tile, const QColor &colour) const
{
    if (tile == MapLayout::NoTile)
        return;
    const MapTile &t = m_shown->layout.tiles()[tile];
    painter.setPen(QPen(colour, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(t.x, t.y, t.width, t.height).adjusted(1, 1, -1, -1));
}

void MapView::resizeEvent(QResizeEvent *)
{
    request();
}

// Found through the records, by the folder's id and the file's place among its files, rather than
// by asking every tile for its path.
quint32 MapView::tileOf(const QByteArray &path) const
{
    const DriveScan &scan = *m_shown->scan;
    const qsizetype slash = path.lastIndexOf('/', path.endsWith('/') ? path.size() - 2 : -1);
    const qsizetype folder = scan.indexOf(
        path.endsWith('/') ? QByteArrayView(path) : QByteArrayView(path).first(slash + 1));
    if (folder < 0)
        return MapLayout::NoTile;
    if (path.endsWith('/'))
        return m_shown->layout.tileOf(quint32(folder));
    const QByteArrayView name = QByteArrayView(path).sliced(slash + 1);
    FileRecordReader reader = scan.filesOf(WalkSink::FolderId(folder));
    FileRecord file;
    for (quint32 ordinal = 0; reader.next(file); ++ordinal)
        if (file.name == name)
            return m_shown->layout.tileOf(quint32(folder), ordinal);
    return MapLayout::NoTile;
}

quint32 MapView::tileAt(const QPointF &point) const
{
    if (!m_shown || width() <= 0 || height() <= 0)
        return MapLayout::NoTile;
    const QSizeF drawn = m_shown->layout.size();
    return m_shown->layout.tileAt(
        QPointF(point.x() * drawn.width() / width(), point.y() * drawn.height() / height()));
}

QByteArray MapView::pathOf(quint32 tile) const
{
    // The drawing's own records: the view may have moved on to another scan's folder meanwhile.
    return m_shown && tile != MapLayout::NoTile ? m_shown->layout.pathOf(*m_shown->scan, tile)
                                                : QByteArray();
}

void MapView::mouseMoveEvent(QMouseEvent *event)
{
    const quint32 tile = tileAt(event->position());
    if (tile != m_hovered) {
        m_hovered = tile;
        update();
    }
}

void MapView::leaveEvent(QEvent *)
{
    m_hovered = MapLayout::NoTile;
    update();
}

void MapView::mouseReleaseEvent(QMouseEvent *event)
{
    const quint32 tile = tileAt(event->position());
    if (event->button() != Qt::LeftButton || tile == MapLayout::NoTile)
        return;
    const MapTile &t = m_shown->layout.tiles()[tile];
    const QByteArray path = pathOf(tile);
    if (t.file == MapLayout::NoFile || t.file == MapLayout::Rest)
        emit folderClicked(path);
    else
        emit fileClicked(path.left(path.lastIndexOf('/') + 1), LastName(path));
}

// From the keyboard, the tile outlined for the list's current row.
void MapView::contextMenuEvent(QContextMenuEvent *event)
{
    const bool keyboard = event->reason() != QContextMenuEvent::Mouse;
    const quint32 tile = keyboard ? m_highlighted : tileAt(event->pos());
    const QByteArray path = pathOf(tile);
    if (path.isEmpty())
        return;
    QPoint at = event->globalPos();
    if (keyboard) {
        const MapTile &t = m_shown->layout.tiles()[tile];
        const QSizeF drawn = m_shown->layout.size();
        at = mapToGlobal(QPointF((double(t.x) + double(t.width) / 2) * width() / drawn.width(),
                                 (double(t.y) + double(t.height) / 2) * height() / drawn.height())
                             .toPoint());
    }
    emit menuRequested(path, at);
}

bool MapView::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        const quint32 tile = tileAt(help->pos());
        if (tile == MapLayout::NoTile)
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tipFor(tile), this);
        return true;
    }
    return QWidget::event(event);
}

// The path, the size as the list shows it and the share of the mapped folder.
QString MapView::tipFor(quint32 tile) const
{
    const MapTile &t = m_shown->layout.tiles()[tile];
    const quint64 whole = m_shown->layout.tiles().front().size;
    // The list's percentage without its bars.
    const QString share = PercentText(Percentage(t.size, whole)).section(u' ', -1);
    return QFile::decodeName(pathOf(tile)) + u'\n' + SizeText(t.size) + u"  ("_s + share + u')';
}
