#include "MainLayout.h"

#include <QTest>

Q_DECLARE_METATYPE(std::optional<int>)

class TestMainLayout : public QObject
{
    Q_OBJECT
private slots:
    void arrange_data();
    void arrange();
    void drag_data();
    void drag();
};

namespace {
// The window as it opens: 11115 x 8610 twips of client area, bars at their designed heights,
// the tree 2550 wide, the splitter 30.
MainLayout::Input Standard()
{
    MainLayout::Input in;
    in.clientWidth = 11115;
    in.clientHeight = 8610;
    in.functionBarHeight = 360;
    in.driveBarHeight = 360;
    in.statusBarHeight = 300;
    in.treeWidth = 2550;
    in.splitterWidth = 30;
    in.listWidth = 8535;
    return in;
}
} // namespace

void TestMainLayout::arrange_data()
{
    QTest::addColumn<int>("clientWidth");
    QTest::addColumn<int>("clientHeight");
    QTest::addColumn<bool>("driveBar");
    QTest::addColumn<bool>("statusBar");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("room");
    QTest::addColumn<int>("listLeft");
    QTest::addColumn<int>("listWidth");
    QTest::newRow("all bars") << 11115 << 8610 << true << true << 720 << 7590 << 2580 << 8535;
    QTest::newRow("drive bar hidden: up and taller by its height")
        << 11115 << 8610 << false << true << 360 << 7950 << 2580 << 8535;
    QTest::newRow("status bar hidden: taller by its height")
        << 11115 << 8610 << true << false << 720 << 7890 << 2580 << 8535;
    QTest::newRow("list just over the limit") << 2701 << 8610 << true << true << 720 << 7590 << 2580
                                              << 121;
    QTest::newRow("list at the limit keeps its width")
        << 2700 << 8610 << true << true << 720 << 7590 << 2580 << 8535;
    QTest::newRow("bars taller than the window") << 11115 << 500 << true << true << 720 << 0 << 2580
                                                 << 8535;
}

void TestMainLayout::arrange()
{
    QFETCH(int, clientWidth);
    QFETCH(int, clientHeight);
    QFETCH(bool, driveBar);
    QFETCH(bool, statusBar);
    MainLayout::Input in = Standard();
    in.clientWidth = clientWidth;
    in.clientHeight = clientHeight;
    in.driveBarShown = driveBar;
    in.statusBarShown = statusBar;
    const MainLayout::Placement out = MainLayout::Arrange(in);
    QTEST(out.top, "top");
    QTEST(out.room, "room");
    QCOMPARE(out.splitterLeft, 2550);
    QTEST(out.listLeft, "listLeft");
    QTEST(out.listWidth, "listWidth");
}

void TestMainLayout::drag_data()
{
    QTest::addColumn<int>("treeWidth");
    QTest::addColumn<int>("listWidth");
    QTest::addColumn<int>("dx");
    QTest::addColumn<std::optional<int>>("expected");
    QTest::newRow("right") << 2550 << 8535 << 150 << std::optional<int>(2700);
    QTest::newRow("left") << 2550 << 8535 << -150 << std::optional<int>(2400);
    QTest::newRow("tree would vanish") << 150 << 8535 << -150 << std::optional<int>();
    QTest::newRow("tree keeps one twip") << 150 << 8535 << -149 << std::optional<int>(1);
    QTest::newRow("list would reach 120") << 2550 << 270 << 150 << std::optional<int>();
    QTest::newRow("list keeps 121") << 2550 << 270 << 149 << std::optional<int>(2699);
}

void TestMainLayout::drag()
{
    QFETCH(int, treeWidth);
    QFETCH(int, listWidth);
    QFETCH(int, dx);
    QTEST(MainLayout::DraggedTreeWidth(treeWidth, listWidth, dx), "expected");
}

QTEST_APPLESS_MAIN(TestMainLayout)
#include "tst_mainlayout.moc"
