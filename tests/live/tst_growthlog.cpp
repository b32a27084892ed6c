#include "GrowthLog.h"
#include "GrowthModel.h"

#include <QAbstractItemModelTester>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 Second = 1000;
constexpr qint64 Minute = 60 * Second;

LiveFollower::Batch Change(const char *path, quint64 from, quint64 to)
{
    LiveFollower::Batch batch;
    batch.totals.push_back({path, from, to, from / 2, to / 2});
    return batch;
}

} // namespace

// What grew over each span, biggest first, with a long session folded into a few numbers.
class TestGrowth : public QObject
{
    Q_OBJECT
private slots:
    void spans_data();
    void spans();
    void modelShowsRows();
};

void TestGrowth::spans_data()
{
    QTest::addColumn<int>("span");
    QTest::addColumn<bool>("onDisk");
    QTest::addColumn<QByteArrayList>("expected"); // "path growth rate" in order
    // Changes at 0 s, 30 s, 65 s and 2 h after the walk (see below), looked at 2 h 10 s on.
    QTest::newRow("last minute") << int(GrowthLog::Span::Minute) << false
                                 << QByteArrayList{"/v/log 500 8"};
    QTest::newRow("last hour") << int(GrowthLog::Span::Hour) << false
                               << QByteArrayList{"/v/log 500 0"};
    QTest::newRow("since the walk, a shrink last")
        << int(GrowthLog::Span::SinceWalk) << false
        << QByteArrayList{"/v/log 1700 0", "/v/a/ -300 -0"};
    QTest::newRow("since the walk, on the disk") << int(GrowthLog::Span::SinceWalk) << true
                                                 << QByteArrayList{"/v/log 850 0", "/v/a/ -150 -0"};
}

void TestGrowth::spans()
{
    QFETCH(int, span);
    QFETCH(bool, onDisk);
    QFETCH(QByteArrayList, expected);
    GrowthLog log;
    const qint64 start = 1'000'000;
    log.clear(start);
    log.record(Change("/v/log", 0, 1000), start);
    log.record(Change("/v/a/", 1000, 700), start + 30 * Second);
    log.record(Change("/v/log", 1000, 1200), start + 65 * Second);
    log.record(Change("/v/b/", 10, 10), start + 66 * Second); // back where it was
    const qint64 now = start + 120 * Minute + 10 * Second;
    log.record(Change("/v/log", 1200, 1700), now - Second);
    QByteArrayList rows;
    for (const GrowthLog::Row &row : log.rows(GrowthLog::Span(span), now, onDisk))
        rows.append(row.path + ' ' + QByteArray::number(onDisk ? row.allocatedGrowth : row.growth) +
                    ' ' + QByteArray::number(row.rate, 'f', 0));
    QCOMPARE(rows, expected);
    QCOMPARE(log.netGrowth("/v/log", onDisk), onDisk ? 850 : 1700);
}

void TestGrowth::modelShowsRows()
{
    GrowthModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.setHeaders({u"Nom"_s, u"Croissance"_s, u"Débit"_s, u"Taille"_s});
    GrowthLog log;
    log.clear(0);
    log.record(Change("/v/a/big", 0, 2'000'000), 1000);
    log.record(Change("/v/a/small", 900, 0), 1000);
    model.setRows("/v/", log.rows(GrowthLog::Span::SinceWalk, 2 * Second, false), false,
                  QStringLiteral("%s octets/s"));
    QCOMPARE(model.rowCount(), 2);
    const auto text = [&](int row, int column) {
        return model.index(row, column).data().toString();
    };
    QCOMPARE(text(0, GrowthModel::Name), QStringLiteral("a/big"));
    QCOMPARE(text(0, GrowthModel::Growth), QStringLiteral("+2 000 000"));
    QCOMPARE(text(0, GrowthModel::Rate), QStringLiteral("1 000 000 octets/s"));
    QCOMPARE(text(1, GrowthModel::Growth), QString(QChar(0x2212)) + QStringLiteral("900"));
    QCOMPARE(model.index(1, GrowthModel::Size).data(GrowthModel::SortRole).toULongLong(), 0u);
    model.setRows("/v/", {}, false, {});
    QCOMPARE(model.rowCount(), 0);
}

QTEST_GUILESS_MAIN(TestGrowth)
#include "tst_growthlog.moc"
