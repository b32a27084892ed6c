#include "ListSnapshot.h"

#include <QHeaderView>
#include <QStandardItemModel>
#include <QTest>
#include <QTreeView>

using namespace Qt::StringLiterals;

// What the printer is given of a list view: its columns as shown and its rows in order.
class TestListSnapshot : public QObject
{
    Q_OBJECT
private slots:
    void columnsAndRowsAsShown();
};

void TestListSnapshot::columnsAndRowsAsShown()
{
    QStandardItemModel model(0, 3);
    model.setHorizontalHeaderLabels({u"Nom"_s, u"Taille"_s, u"Date"_s});
    model.setHeaderData(1, Qt::Horizontal, int(Qt::AlignRight | Qt::AlignVCenter),
                        Qt::TextAlignmentRole);
    model.setHeaderData(2, Qt::Horizontal, int(Qt::AlignHCenter), Qt::TextAlignmentRole);
    QPixmap blue(16, 16);
    blue.fill(Qt::blue);
    const QIcon shared(blue);
    const auto addRow = [&](const QString &name, bool withIcon) {
        auto *first = new QStandardItem(name);
        if (withIcon)
            first->setIcon(shared);
        model.appendRow({first, new QStandardItem(u"1 000"_s), new QStandardItem(u"hier"_s)});
    };
    addRow(u"b"_s, true);
    addRow(u"a"_s, false);
    addRow(u"c"_s, true);

    QTreeView view;
    view.setModel(&model);
    view.header()->resizeSection(0, 200);
    view.header()->resizeSection(1, 90);
    view.setColumnHidden(2, true);

    const PrintedList list = SnapshotOf(view, 15, 12, QSize(16, 16));
    QCOMPARE(list.columns.size(), 3);
    QCOMPARE(list.columns[0].width, 3000.0);
    QCOMPARE(list.columns[1].width, 1350.0);
    QCOMPARE(list.columns[0].alignment, 0);
    QCOMPARE(list.columns[1].alignment, 1);
    QCOMPARE(list.columns[2].alignment, 2);
    QVERIFY(list.columns[2].hidden && !list.columns[1].hidden);
    QCOMPARE(list.rowHeight, view.sizeHintForRow(0) * 12.0);
    QCOMPARE(list.font.name, view.font().family());

    QCOMPARE(list.rows.size(), 3);
    QCOMPARE(list.rows[1].texts, (QStringList{u"a"_s, u"1 000"_s, u"hier"_s}));
    QVERIFY(!list.rows[1].icon);
    // One picture for every row showing the same icon, drawn at four times its size.
    QVERIFY(list.rows[0].icon && list.rows[2].icon);
    QCOMPARE(list.rows[0].icon->cacheKey(), list.rows[2].icon->cacheKey());
    QCOMPARE(list.rows[0].icon->deviceIndependentSize(), QSizeF(16, 16));
}

QTEST_MAIN(TestListSnapshot)
#include "tst_listsnapshot.moc"
