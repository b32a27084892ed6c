#include "SettingsStore.h"

#include "TwipsScale.h"

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <charconv>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

std::unique_ptr<QSettings> OpenUserStore()
{
    return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope, u"Orvanne"_s,
                                       u"QNL"_s);
}

// An INI file keeps every plain value as text, so a Number is text that reads as one, or a value
// stored already typed as an int.
std::optional<qint32> ParseNumber(QStringView text)
{
    const QByteArray latin =
        text.trimmed().toLatin1(); // anything outside Latin-1 becomes '?' and fails
    qint32 number = 0;
    const auto [end, error] = std::from_chars(latin.cbegin(), latin.cend(), number);
    if (error != std::errc() || end != latin.cend())
        return std::nullopt;
    return number;
}

// We only ever write whole twips, but any decimal form of a length that fits in 32 bits is taken.
std::optional<int> ParseLength(QStringView text)
{
    const QByteArray latin = text.trimmed().toLatin1();
    double length = 0;
    const auto [end, error] = std::from_chars(latin.cbegin(), latin.cend(), length);
    if (error != std::errc() || end != latin.cend() || !std::isfinite(length))
        return std::nullopt;
    length = std::nearbyint(length);
    if (length < std::numeric_limits<qint32>::min() || length > std::numeric_limits<qint32>::max())
        return std::nullopt;
    return int(length);
}

std::optional<int> RestoreNumber(const SettingsStore &store, QStringView name)
{
    const auto value = ReadSetting(store, name, SettingKind::Number);
    if (!value) {
        CreateRegKey(store);
        return std::nullopt;
    }
    return value->toInt();
}

std::optional<int> RestoreLength(const SettingsStore &store, QStringView name)
{
    const auto value = ReadSetting(store, name, SettingKind::Text);
    const auto length = value ? ParseLength(value->toString()) : std::nullopt;
    if (!length)
        CreateRegKey(store);
    return length;
}

void WriteLength(const SettingsStore &store, QStringView name, qint64 twips)
{
    WriteSetting(store, name, QString::number(twips), SettingKind::Text);
}

// 0 x 0 until the window system has told us the frame.
QSize FrameOf(const QWidget &window)
{
    return window.frameGeometry().size() - window.size();
}

// Gives the window the outer size asked for; false while its frame is unknown.
bool FitOuterSize(QWidget &window, std::optional<int> width, std::optional<int> height)
{
    const QSize frame = FrameOf(window);
    if (frame.isNull())
        return false;
    window.resize(width ? *width - frame.width() : window.width(),
                  height ? *height - frame.height() : window.height());
    return true;
}

// Qt sizes a window by its client area while the store keeps the outer size, and the frame is only
// known once the shown window has been framed. Until then the client takes the whole outer size and
// this corrects it when the frame appears; without it the window would grow by its frame every run.
class OuterSizeKeeper : public QObject
{
public:
    static constexpr int FrameWaitMs = 2000; // a window that stays frameless is never corrected

    OuterSizeKeeper(QWidget *window, std::optional<int> width, std::optional<int> height)
        : QObject(window)
        , m_window(window)
        , m_width(width)
        , m_height(height)
    {
        setObjectName(u"OuterSizeKeeper"_s);
        window->installEventFilter(this);
        if (window->isVisible())
            QTimer::singleShot(FrameWaitMs, this, &OuterSizeKeeper::stop);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::Show:
            QTimer::singleShot(FrameWaitMs, this, &OuterSizeKeeper::stop);
            [[fallthrough]];
        case QEvent::Move:
        case QEvent::Resize:
            if (m_window->isVisible() && !FrameOf(*m_window).isNull()) {
                stop(); // before resizing, which sends this filter a resize of its own
                FitOuterSize(*m_window, m_width, m_height);
            }
            break;
        default:
            break;
        }
        return false;
    }

private:
    void stop()
    {
        m_window->removeEventFilter(this);
        deleteLater();
    }

    QWidget *m_window; // non-owning: the window is our parent
    std::optional<int> m_width;
    std::optional<int> m_height;
};

} // namespace

SettingsStore::SettingsStore()
    : m_fileName(OpenUserStore()->fileName())
    , m_userStore(true)
{}

SettingsStore::SettingsStore(const QString &fileName)
    : m_fileName(fileName)
{}

QString SettingsStore::fileName() const
{
    return m_fileName;
}

std::unique_ptr<QSettings> SettingsStore::openKey() const
{
    auto key = m_userStore ? OpenUserStore()
                           : std::make_unique<QSettings>(m_fileName, QSettings::IniFormat);
    key->beginGroup(u"Option"_s);
    return key;
}

void CreateRegKey(const SettingsStore &store)
{
    // A group exists once it holds a value; what can be made ahead is the folder the file goes in.
    QDir().mkpath(QFileInfo(store.fileName()).absolutePath());
}

void WriteSetting(const SettingsStore &store, QStringView name, const QVariant &value,
                  SettingKind kind)
{
    SetRegValue(*store.openKey(), name, kind, value);
}

std::optional<QVariant> ReadSetting(const SettingsStore &store, QStringView name, SettingKind kind)
{
    auto value = QueryRegValue(*store.openKey(), name, kind);
    if (!value || kind == SettingKind::Number)
        return value;
    QString text = value->toString();
    if (const qsizetype nul = text.indexOf(QChar(0)); nul >= 0)
        text.truncate(nul);
    if (text.isEmpty())
        return std::nullopt;
    return QVariant(text);
}

bool SetRegValue(QSettings &key, QStringView name, SettingKind kind, const QVariant &value)
{
    // Checked first: a write refused at sync would otherwise linger in Qt's cache of the file and
    // show up in later reads in this process.
    if (!key.isWritable())
        return false;
    switch (kind) {
    case SettingKind::Text:
        if (!value.canConvert<QString>())
            return false;
        key.setValue(name, value.toString());
        break;
    case SettingKind::Number: {
        double number = 0;
        if (value.typeId() == QMetaType::Bool) {
            number = value.toBool() ? -1 : 0;
        } else {
            bool ok = false;
            number = std::nearbyint(value.toDouble(&ok));
            if (!ok || !(number >= std::numeric_limits<qint32>::min() &&
                         number <= std::numeric_limits<qint32>::max()))
                return false;
        }
        key.setValue(name, qint32(number));
        break;
    }
    default:
        return false;
    }
    key.sync();
    return key.status() == QSettings::NoError;
}

std::optional<QVariant> QueryRegValue(const QSettings &key, QStringView name, SettingKind kind)
{
    const QVariant stored = key.value(name);
    switch (kind) {
    case SettingKind::Text:
        if (stored.typeId() == QMetaType::QString)
            return stored;
        break;
    case SettingKind::Number:
        if (stored.typeId() == QMetaType::Int)
            return stored;
        if (stored.typeId() == QMetaType::QString) {
            if (const auto number = ParseNumber(stored.toString()))
                return QVariant(*number);
        }
        break;
    }
    return std::nullopt;
}

void LoadWindowPos(const SettingsStore &store, QWidget &window, QStringView leftName,
                   QStringView topName, const TwipsScale &twips)
{
    const auto left = RestoreLength(store, leftName);
    const auto top = RestoreLength(store, topName);
    // Moving at all takes the placement from the window system, so only a stored value may move.
    if (left || top)
        window.move(left ? twips.toPixelsX(*left) : window.x(),
                    top ? twips.toPixelsY(*top) : window.y());
}

void KeepOnScreen(QWidget &window)
{
    const QRect placed = window.geometry();
    const QSize piece(std::min(placed.width(), 64), std::min(placed.height(), 32));
    QScreen *nearest = QGuiApplication::primaryScreen();
    qint64 nearestDistance = std::numeric_limits<qint64>::max();
    for (QScreen *screen : QGuiApplication::screens()) {
        const QRect seen = placed.intersected(screen->availableGeometry());
        if (seen.width() >= piece.width() && seen.height() >= piece.height())
            return;
        const QPoint gap = screen->availableGeometry().center() - placed.center();
        if (const qint64 distance = qint64(gap.x()) * gap.x() + qint64(gap.y()) * gap.y();
            distance < nearestDistance) {
            nearest = screen;
            nearestDistance = distance;
        }
    }
    if (!nearest)
        return;
    const QRect area = nearest->availableGeometry();
    window.move(
        std::clamp(placed.x(), area.left(), std::max(area.left(), area.right() - placed.width())),
        std::clamp(placed.y(), area.top(), std::max(area.top(), area.bottom() - placed.height())));
}

void LoadToolWindow(const SettingsStore &store, QWidget &window, QStringView prefix,
                    const TwipsScale &twips)
{
    const QString name = prefix.toString();
    LoadWindowPos(store, window, name + QStringLiteral("Left"), name + QStringLiteral("Top"),
                  twips);
    LoadWindowSize(store, window, name + QStringLiteral("Width"), name + QStringLiteral("Height"),
                   twips);
    KeepOnScreen(window);
}

void SaveToolWindow(const SettingsStore &store, const QWidget &window, QStringView prefix,
                    const TwipsScale &twips)
{
    const QString name = prefix.toString();
    const QRect outer = window.frameGeometry();
    WriteLength(store, name + QStringLiteral("Left"), qint64(outer.x()) * twips.perPixelX());
    WriteLength(store, name + QStringLiteral("Top"), qint64(outer.y()) * twips.perPixelY());
    WriteLength(store, name + QStringLiteral("Width"), qint64(outer.width()) * twips.perPixelX());
    WriteLength(store, name + QStringLiteral("Height"), qint64(outer.height()) * twips.perPixelY());
}

void LoadWindowSize(const SettingsStore &store, QWidget &window, QStringView widthName,
                    QStringView heightName, const TwipsScale &twips)
{
    auto width = RestoreLength(store, widthName);
    auto height = RestoreLength(store, heightName);
    if (!width && !height)
        return;
    if (width)
        width = twips.toPixelsX(*width);
    if (height)
        height = twips.toPixelsY(*height);
    delete window.findChild<QObject *>(u"OuterSizeKeeper"_s, Qt::FindDirectChildrenOnly);
    if (FitOuterSize(window, width, height))
        return;
    window.resize(width.value_or(window.width()), height.value_or(window.height()));
    new OuterSizeKeeper(&window, width, height);
}

WindowSettings LoadWindowSettings(const SettingsStore &store)
{
    WindowSettings settings;
    if (const auto shown = RestoreNumber(store, SettingName::ViewBar))
        settings.viewBar = *shown != 0;
    if (const auto shown = RestoreNumber(store, SettingName::ViewStatus))
        settings.viewStatus = *shown != 0;
    settings.viewType = RestoreNumber(store, SettingName::ViewType).value_or(settings.viewType);
    settings.folderSize =
        RestoreNumber(store, SettingName::FolderSize).value_or(settings.folderSize);
    for (std::size_t i = 0; i < settings.columnWidths.size(); ++i) {
        const auto width = RestoreLength(store, SettingName::Columns[i]);
        settings.columnWidths[i] = width.value_or(settings.columnWidths[i]);
        settings.columnsStored = settings.columnsStored || width.has_value();
    }
    settings.mainLeft = RestoreLength(store, SettingName::MainLeft);
    settings.mainTop = RestoreLength(store, SettingName::MainTop);
    settings.mainWidth = RestoreLength(store, SettingName::MainWidth);
    settings.mainHeight = RestoreLength(store, SettingName::MainHeight);
    const auto map = ReadSetting(store, SettingName::MapView, SettingKind::Number);
    settings.mapShown = map && (map->toInt() == -1 || map->toInt() == 1);
    settings.mapHeight = RestoreLength(store, SettingName::MapHeight).value_or(settings.mapHeight);
    const auto onDisk = ReadSetting(store, SettingName::SizeOnDisk, SettingKind::Number);
    settings.sizeOnDisk = onDisk && (onDisk->toInt() == -1 || onDisk->toInt() == 1);
    return settings;
}

void SaveWindowSettings(const SettingsStore &store, const WindowSettings &settings)
{
    WriteSetting(store, SettingName::ViewBar, settings.viewBar, SettingKind::Number);
    WriteSetting(store, SettingName::ViewStatus, settings.viewStatus, SettingKind::Number);
    WriteSetting(store, SettingName::ViewType, settings.viewType, SettingKind::Number);
    WriteSetting(store, SettingName::FolderSize, settings.folderSize, SettingKind::Number);
    for (std::size_t i = 0; i < settings.columnWidths.size(); ++i)
        WriteLength(store, SettingName::Columns[i], settings.columnWidths[i]);
    const auto writeIfKnown = [&store](QStringView name, std::optional<int> twips) {
        if (twips)
            WriteLength(store, name, *twips);
    };
    writeIfKnown(SettingName::MainLeft, settings.mainLeft);
    writeIfKnown(SettingName::MainTop, settings.mainTop);
    writeIfKnown(SettingName::MainWidth, settings.mainWidth);
    writeIfKnown(SettingName::MainHeight, settings.mainHeight);
    WriteSetting(store, SettingName::MapView, settings.mapShown, SettingKind::Number);
    WriteLength(store, SettingName::MapHeight, settings.mapHeight);
    WriteSetting(store, SettingName::SizeOnDisk, settings.sizeOnDisk, SettingKind::Number);
}
