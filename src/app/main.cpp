#include "MainWindow.h"
#include "SettingsStore.h"
#include "StartUp.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstring>

namespace {

void ReadCommandLine(const QCoreApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Shows where the space on a disk goes: a folder tree beside the selected "
                       "folder's files and subfolders with their sizes."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app); // prints and exits for --help, --version and unknown options
}

// --help and --version must answer where no display is, as for any command.
bool WantsOnlyText(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        for (const char *option : {"-h", "--help", "--help-all", "-v", "--version"})
            if (std::strcmp(argv[i], option) == 0)
                return true;
        if (std::strcmp(argv[i], "--") == 0)
            break;
    }
    return false;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication::setApplicationName(QStringLiteral("Quarnel"));
    QApplication::setApplicationVersion(QStringLiteral(QUARNEL_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Orvanne"));
    if (WantsOnlyText(argc, argv)) {
        const QCoreApplication text(argc, argv);
        ReadCommandLine(text);
    }

    QApplication app(argc, argv);
    ReadCommandLine(app);
    // Lets the desktop match the window with its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.orvanne.Quarnel"));

    InstallQtFrench();

    SettingsStore settings;
    const auto window = StartUp(&settings);
    return QApplication::exec();
}
