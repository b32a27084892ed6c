#include "MainWindow.h"
#include "StartUp.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quarnel"));
    QApplication::setApplicationVersion(QStringLiteral(QUARNEL_VERSION));
    QApplication::setOrganizationName(QStringLiteral("Orvanne"));

    const auto window = StartUp();
    return QApplication::exec();
}
