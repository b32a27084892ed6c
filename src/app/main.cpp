#include "AddressSpace.h"
#include "MainWindow.h"
#include "SettingsStore.h"
#include "StartUp.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

namespace {

// The folder to walk at start, if one is named.
std::optional<QByteArray> ReadCommandLine(const QCoreApplication &app, int argc, char **argv)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Shows where the space on a disk goes: a folder tree beside the selected "
                       "folder's files and subfolders with their sizes."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(
        QStringLiteral("FOLDER"),
        QStringLiteral("A folder to walk at start, as a drive of its own."),
        QStringLiteral("[FOLDER]"));
    parser.process(app); // prints and exits for --help, --version and unknown options
    if (parser.positionalArguments().size() > 1) {
        std::fputs("quarnel: one folder at most\n", stderr);
        std::exit(2);
    }
    if (parser.positionalArguments().isEmpty())
        return std::nullopt;
    // The name's own bytes, which decoding would change when they are not valid UTF-8. Qt has
    // taken its own options out of argv by now.
    bool optionsEnded = false;
    for (int i = 1; i < argc; ++i) {
        if (!optionsEnded && std::strcmp(argv[i], "--") == 0)
            optionsEnded = true;
        else if (optionsEnded || argv[i][0] != '-')
            return QByteArray(argv[i]);
    }
    return QFile::encodeName(parser.positionalArguments().constFirst());
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
    // Before Qt starts threads of its own, whose malloc arenas would be set by then.
    AddressSpace::FitMallocArenas();
    QApplication::setApplicationName(QStringLiteral("Quarnel"));
    QApplication::setApplicationVersion(QStringLiteral(QUARNEL_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Orvanne"));
    if (WantsOnlyText(argc, argv)) {
        const QCoreApplication text(argc, argv);
        ReadCommandLine(text, argc, argv);
    }

    QApplication app(argc, argv);
    const std::optional<QByteArray> folder = ReadCommandLine(app, argc, argv);
    // Lets the desktop match the window with its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.orvanne.Quarnel"));

    InstallQtFrench();

    SettingsStore settings;
    const auto window = StartUp(&settings);
    if (folder) // from the event loop, so that the window is up and answers while it walks
        QTimer::singleShot(0, window.get(), [&window, &folder] { window->scanFolder(*folder); });
    return QApplication::exec();
}
