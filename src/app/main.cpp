#include "MainWindow.h"
#include "StartUp.h"
#include "modRegistry.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarnel"));
    QApplication::setApplicationVersion(QStringLiteral(QUARNEL_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Orvanne"));

    SettingsStore settings;
    const auto window = StartUp(&settings);
    return QApplication::exec();
}
