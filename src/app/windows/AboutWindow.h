#pragma once

#include <QDialog>
#include <QString>
#include <QStringView>
#include <QUrl>

#include <functional>

class QLabel;
class QPushButton;
class SettingsStore;

// The About box (frmAbout): title and version, the maker's web site as a link, an OK button, and a
// button that starts the system information tool (hardinfo on Linux).
class AboutWindow : public QDialog
{
    Q_OBJECT
public:
    // What the window does to the world, apart so that a test can watch it without side effects.
    struct Steps
    {
        // Starts a program by its path, detached; false when it did not start.
        std::function<bool(const QString &program)> start = startProgram;
        // Shows text 202 in a box with only OK, no icon, titled with the application's name.
        std::function<void(QWidget *parent, const QString &text)> reportUnavailable =
            showUnavailable;
        // Hands the site's address to the desktop with the verb "Open"; false when nothing took it.
        std::function<bool(const QUrl &url)> openLink = openSite;
    };

    // The system information program the folder of entry 2 must hold.
    static constexpr QStringView ProgramName = u"hardinfo";
    static constexpr QStringView SiteAddress = u"https://www.orvanne.example/quarnel";
    // What the link's error box reports when the desktop would not open the address.
    static constexpr int LinkErrorNumber = 31;
    static constexpr QStringView LinkErrorDescription =
        u"No application is associated with the address";

    // settings may be null: both entries of the launcher are then absent.
    explicit AboutWindow(SettingsStore *settings, QWidget *parent = nullptr);
    AboutWindow(SettingsStore *settings, QWidget *parent, Steps steps);

    // Opens the window modally over parent and returns once it is closed.
    static void showModal(QWidget *parent, SettingsStore *settings);

    // Entry 1: the program at "SysInfo/PATH"; else entry 2: "SysInfo/Location" + "/hardinfo" when
    // that file exists, the folder defaulting to where the search path finds hardinfo; else, or
    // when the program does not start, text 202.
    void StartSysInfo();
    // The folder of the installed system information program; empty when there is none.
    static QString DefaultLocation();

    // Reads the text value key/value from the root of the store. out is the text before any NUL,
    // "" for a value that is not text. False, out "", when the store or the value is absent.
    static bool GetKeyValue(const SettingsStore *store, QStringView key, QStringView value,
                            QString &out);

    // The link's click: opens the site, showing the "Error" box when that fails.
    void lblSiteURL_Click();

private:
    static bool startProgram(const QString &program);
    static void showUnavailable(QWidget *parent, const QString &text);
    static bool openSite(const QUrl &url);

    SettingsStore *m_settings;
    Steps m_steps;
    QLabel *picIcon = nullptr; // the widgets are owned through Qt's parenting
    QLabel *lblTitle = nullptr;
    QLabel *lblSiteURL = nullptr;
    QPushButton *cmdSysInfo = nullptr;
    QPushButton *cmdOK = nullptr;
};
