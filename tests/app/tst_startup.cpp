#include "MainStatusBar.h"
#include "MainWindow.h"
#include "SplashWindow.h"
#include "StartUp.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;

class TestStartUp : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void splashThenMainWindow();
    void splashCaptionAndStatusPanels();

private:
    static QWidget *visibleTopLevel(const QString &objectName);
};

void TestStartUp::initTestCase()
{
    QApplication::setApplicationName(u"Quarnel"_s);
    QApplication::setApplicationVersion(u"1.0.0"_s);
}

QWidget *TestStartUp::visibleTopLevel(const QString &objectName)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == objectName && w->isVisible())
            return w;
    return nullptr;
}

void TestStartUp::splashThenMainWindow()
{
    bool splashShownAlone = false;
    QTimer::singleShot(500, this, [&] {
        splashShownAlone = visibleTopLevel(u"frmSplash"_s) && !visibleTopLevel(u"frmMain"_s);
    });
    QElapsedTimer clock;
    clock.start();
    const auto window = StartUp(nullptr, 1000);
    QVERIFY(clock.elapsed() >= 1000);
    QVERIFY(splashShownAlone);

    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), u"Quarnel"_s);
    QCOMPARE(window->statusPanels()->panelText(1), u"0 Repertoires Scannés"_s);
    QTRY_VERIFY(!visibleTopLevel(u"frmSplash"_s));

    // Activation writes the count again.
    window->statusPanels()->setPanelText(1, QString());
    QApplication::setActiveWindow(window.get());
    QTRY_COMPARE(window->statusPanels()->panelText(1), u"0 Repertoires Scannés"_s);
}

// The splash names the version; the status bar ignores panels it does not have and fills its
// clock panels from the start.
void TestStartUp::splashCaptionAndStatusPanels()
{
    QCOMPARE(SplashWindow::captionText(), u"Quarnel v1.0.0"_s);
    MainStatusBar bar;
    bar.setPanelText(6, u"ignored"_s);
    QCOMPARE(bar.panelText(6), QString());
    QVERIFY(!bar.panelText(4).isEmpty());
    QVERIFY(!bar.panelText(5).isEmpty());
}

QTEST_MAIN(TestStartUp)
#include "tst_startup.moc"
