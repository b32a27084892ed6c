#include "StartUp.h"

#include "DriveList.h"
#include "MainWindow.h"
#include "SplashWindow.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLibraryInfo>
#include <QPointer>
#include <QTimer>
#include <QTranslator>

std::unique_ptr<MainWindow> StartUp(SettingsStore *settings, int splashMilliseconds)
{
    QPointer<SplashWindow> splash = new SplashWindow; // deletes itself on close
    splash->show();
    QCoreApplication::processEvents();
    // Wait in an event loop rather than a sleep, so that the splash paints and stays responsive.
    QEventLoop wait;
    QTimer::singleShot(splashMilliseconds, &wait, &QEventLoop::quit);
    wait.exec();

    auto window = std::make_unique<MainWindow>(GetDriveList(), settings);
    window->show();
    if (splash)
        splash->close();
    return window;
}

bool InstallQtFrench()
{
    auto *translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QStringLiteral("qtbase_fr"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)) &&
        QCoreApplication::installTranslator(translator))
        return true;
    delete translator;
    return false;
}
