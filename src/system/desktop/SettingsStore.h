#pragma once

#include <QSettings>
#include <QString>
#include <QStringView>
#include <QVariant>

#include <array>
#include <memory>
#include <optional>

class QWidget;
class TwipsScale;

// Where the program keeps what it remembers between runs: the group "Option" of a QSettings store.
// By default that is the user's own store (~/.config/Orvanne/QNL.conf); a test names a file of its
// own. A store holds nothing open: each read and each write opens it, works and closes it again.
class SettingsStore
{
public:
    SettingsStore();
    explicit SettingsStore(const QString &fileName);

    QString fileName() const;
    // The user's own store, not one a test named.
    bool isUserStore() const { return m_userStore; }
    // The store opened at the group every value lives in.
    std::unique_ptr<QSettings> openKey() const;

private:
    QString m_fileName;
    bool m_userStore = false; // the user's store opens by organisation and application, not by path
};

// The two kinds of value the store holds, numbered as the registry numbers them.
enum class SettingKind { Text = 1, Number = 4 };

// Every failure here is silent: a value that cannot be read is absent, a write that fails is lost.
void CreateRegKey(const SettingsStore &store);
void WriteSetting(const SettingsStore &store, QStringView name, const QVariant &value,
                  SettingKind kind);
// A Number gives an int; a Text gives the QString before its first NUL. Absent when the value is
// missing, empty, or does not read as that kind.
std::optional<QVariant> ReadSetting(const SettingsStore &store, QStringView name, SettingKind kind);

// A Number is rounded to a signed 32-bit integer, a boolean true being -1. Returns whether the
// value reached the file.
bool SetRegValue(QSettings &key, QStringView name, SettingKind kind, const QVariant &value);
// The value as stored when it reads as the kind asked for: a Text whole, NULs included.
std::optional<QVariant> QueryRegValue(const QSettings &key, QStringView name, SettingKind kind);

// Lengths are kept in twips as decimal text; a value that is absent leaves the window as it is.
// Position and size are those of the outer frame, as the window system reports them.
void LoadWindowPos(const SettingsStore &store, QWidget &window, QStringView leftName,
                   QStringView topName, const TwipsScale &twips);
void LoadWindowSize(const SettingsStore &store, QWidget &window, QStringView widthName,
                    QStringView heightName, const TwipsScale &twips);

// A window whose stored place left no usable piece of it on any screen (a title bar's worth) is
// brought onto the nearest one; any other place is kept as stored.
void KeepOnScreen(QWidget &window);

// A secondary window (search, views) is placed as the main window is, under its own four names:
// the prefix followed by Left, Top, Width and Height. Saving writes all four.
void LoadToolWindow(const SettingsStore &store, QWidget &window, QStringView prefix,
                    const TwipsScale &twips);
void SaveToolWindow(const SettingsStore &store, const QWidget &window, QStringView prefix,
                    const TwipsScale &twips);

// The twelve value names, in the order the main window restores and saves them.
namespace SettingName {
inline constexpr QStringView ViewBar = u"ViewBar";
inline constexpr QStringView ViewStatus = u"ViewStatus";
inline constexpr QStringView ViewType = u"ViewType";
inline constexpr QStringView FolderSize = u"FolderSize";
inline constexpr std::array<QStringView, 4> Columns = {u"Name", u"Size1", u"Size2", u"Date"};
inline constexpr QStringView MainLeft = u"MainLeft";
inline constexpr QStringView MainTop = u"MainTop";
inline constexpr QStringView MainWidth = u"MainWidth";
inline constexpr QStringView MainHeight = u"MainHeight";
// After the twelve: the map under the list, and its height.
inline constexpr QStringView MapView = u"MapView";
inline constexpr QStringView MapHeight = u"MapHeight";
// Then the measure of sizes: -1 for the bytes on disk.
inline constexpr QStringView SizeOnDisk = u"SizeOnDisk";
// Prefixes of the secondary windows' places.
inline constexpr QStringView SearchWindow = u"Search";
inline constexpr QStringView BiggestWindow = u"Biggest";
inline constexpr QStringView ReportWindow = u"Report";
inline constexpr QStringView KindsWindow = u"Kinds";
inline constexpr QStringView DuplicatesWindow = u"Duplicates";
inline constexpr QStringView HistoryWindow = u"History";
// How many walks the history keeps of each folder (0: all), and whether it thins the old ones.
inline constexpr QStringView HistoryKeep = u"HistoryKeep";
inline constexpr QStringView HistoryThin = u"HistoryThin";
} // namespace SettingName

// What the main window remembers, each member holding its default. Lengths are in twips.
struct WindowSettings
{
    // The client area of a window whose size was never stored.
    static constexpr int ClientWidth = 11115;
    static constexpr int ClientHeight = 8610;

    bool viewBar = true;
    bool viewStatus = true;
    int viewType = 2;
    int folderSize = 2550;
    std::array<int, 4> columnWidths = {1440, 1440, 1440, 1440};
    std::optional<int> mainLeft; // absent: the window system places the window
    std::optional<int> mainTop;
    std::optional<int> mainWidth; // outer size; absent: the client area above
    std::optional<int> mainHeight;
    bool mapShown = false; // only a stored true shows it
    int mapHeight = 3600;
    bool sizeOnDisk = false;    // only a stored true sets it
    bool columnsStored = false; // a width of the list's was read: the user's, to be kept

    friend bool operator==(const WindowSettings &, const WindowSettings &) = default;
};

WindowSettings LoadWindowSettings(const SettingsStore &store);
// Writes all twelve in order, a position or size that is absent excepted.
void SaveWindowSettings(const SettingsStore &store, const WindowSettings &settings);
