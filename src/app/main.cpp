#include "MainWindow.h"
#include "SettingsStore.h"
#include "StartUp.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarnel"));
    QApplication::setApplicationVersion(QStringLiteral(QUARNEL_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Orvanne"));
    // Lets the desktop match the window with its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.orvanne.Quarnel"));

    InstallQtFrench();

    SettingsStore settings;
    const auto window = StartUp(&settings);
    return QApplication::exec();
}
