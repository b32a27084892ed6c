#include "HistoryWindow.h"

#include "ActTexts.h"
#include "ColumnFit.h"
#include "FormatText.h"
#include "HistoryGrowthModel.h"
#include "HistoryTexts.h"
#include "TextTable.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QPushButton>
#include <QScatterSeries>
#include <QSplitter>
#include <QToolTip>
#include <QTreeView>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

namespace {

constexpr double Kibi = 1024.0;
// How near the pointer a point is to show its figures, or to be picked by a click, in pixels.
constexpr int HoverReach = 8;
constexpr int ClickReach = 12;

// The unit the size axis counts in: the largest that leaves the biggest size at one or more.
std::pair<double, QString> AxisUnit(quint64 biggest)
{
    static const char *const Names[] = {"octets", "Kb", "Mb", "Gb", "Tb"};
    double unit = 1.0;
    int at = 0;
    while (at + 1 < int(std::size(Names)) && double(biggest) >= unit * Kibi) {
        unit *= Kibi;
        ++at;
    }
    return {unit, QString::fromLatin1(Names[at])};
}

QLineSeries *MakeSeries(const QString &name, QColor colour)
{
    auto *series = new QLineSeries;
    series->setName(name);
    series->setPointsVisible(true);
    QPen pen(colour);
    pen.setWidth(2);
    series->setPen(pen);
    return series;
}

} // namespace

HistoryWindow::HistoryWindow(QWidget *parent)
    : QDialog(parent)
    , m_reading([this](const std::shared_ptr<const Read> &read) { readDone(read); })
    , m_growing([this](const std::shared_ptr<const Grown> &grown) { grownDone(grown); })
{
    setObjectName(u"frmHistory"_s);
    setWindowTitle(Text(TextId::HistoryTitle));
    setModal(false);
    resize(720, 640);

    m_folderLine = new QLabel(this);
    m_folderLine->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto *chart = new QChart;
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->legend()->setAlignment(Qt::AlignBottom);
    m_apparent = MakeSeries(Text(TextId::HistoryApparent), QColor(0x1f, 0x5f, 0xb0));
    m_onDisk = MakeSeries(Text(TextId::HistoryOnDisk), QColor(0xd0, 0x6a, 0x10));
    m_marks = new QScatterSeries;
    m_marks->setMarkerSize(14);
    m_marks->setColor(Qt::transparent);
    m_marks->setBorderColor(QColor(0xc0, 0x10, 0x30));
    QPen ring(QColor(0xc0, 0x10, 0x30));
    ring.setWidth(2);
    m_marks->setPen(ring);
    for (QXYSeries *series : std::initializer_list<QXYSeries *>{m_apparent, m_onDisk, m_marks})
        chart->addSeries(series);
    chart->legend()->markers(m_marks).constFirst()->setVisible(false);
    m_dates = new QDateTimeAxis;
    m_dates->setFormat(u"dd/MM/yy"_s);
    m_sizes = new QValueAxis;
    m_sizes->setLabelFormat(u"%.4g"_s);
    chart->addAxis(m_dates, Qt::AlignBottom);
    chart->addAxis(m_sizes, Qt::AlignLeft);
    for (QXYSeries *series : std::initializer_list<QXYSeries *>{m_apparent, m_onDisk, m_marks}) {
        series->attachAxis(m_dates);
        series->attachAxis(m_sizes);
    }
    m_chart = new QChartView(chart, this);
    // Points are found by their place on the screen: near enough to the pointer, not only on
    // the line.
    m_chart->viewport()->installEventFilter(this);
    m_chart->setObjectName(u"chtHistory"_s);
    m_chart->setRenderHint(QPainter::Antialiasing);
    m_chart->setMinimumHeight(220);
    m_chart->setAccessibleName(Text(TextId::HistoryTitle));

    m_from = new QComboBox(this);
    m_from->setObjectName(u"cboHistoryFrom"_s);
    m_to = new QComboBox(this);
    m_to->setObjectName(u"cboHistoryTo"_s);
    for (QComboBox *box : {m_from, m_to})
        box->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    auto *fromLabel = new QLabel(Text(TextId::HistoryFrom), this);
    fromLabel->setBuddy(m_from);
    auto *toLabel = new QLabel(Text(TextId::HistoryTo), this);
    toLabel->setBuddy(m_to);
    const auto picked = [this] {
        if (!m_showing)
            pickWalks(m_from->currentIndex(), m_to->currentIndex());
    };
    connect(m_from, &QComboBox::currentIndexChanged, this, picked);
    connect(m_to, &QComboBox::currentIndexChanged, this, picked);
    m_compare = new QPushButton(this);
    m_compare->setObjectName(u"btnHistoryCompare"_s);
    connect(m_compare, &QPushButton::clicked, this, [this] {
        if (m_first >= 0)
            emit compareAsked(m_volume, m_points[size_t(m_first)].walk,
                              m_points[size_t(m_first)].walkDate);
    });
    auto *dates = new QHBoxLayout;
    dates->addWidget(fromLabel);
    dates->addWidget(m_from);
    dates->addWidget(toLabel);
    dates->addWidget(m_to);
    dates->addStretch(1);
    dates->addWidget(m_compare);

    m_note = new QLabel(this);
    m_note->setWordWrap(true);
    m_model = new HistoryGrowthModel(this);
    m_table = new QTreeView(this);
    m_table->setObjectName(u"tvwHistoryGrowth"_s);
    m_table->setAccessibleName(Text(TextId::HistoryGrowthTree));
    m_table->setRootIsDecorated(false);
    m_table->setUniformRowHeights(true);
    m_table->setAllColumnsShowFocus(true);
    m_table->setAlternatingRowColors(true);
    m_table->setModel(m_model);
    m_table->header()->setStretchLastSection(false);
    m_table->header()->setSectionResizeMode(HistoryGrowthModel::Name, QHeaderView::Stretch);
    for (int column :
         {HistoryGrowthModel::Before, HistoryGrowthModel::After, HistoryGrowthModel::Change})
        m_table->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    // Choosing a subfolder shows it in the tree, and so its own history here.
    connect(m_table, &QTreeView::activated, this, [this](const QModelIndex &index) {
        emit folderChosen(
            index.siblingAtColumn(0).data(HistoryGrowthModel::PathRole).toByteArray());
    });

    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    m_status->setObjectName(u"lblHistoryStatus"_s);

    auto *below = new QWidget(this);
    auto *belowLayout = new QVBoxLayout(below);
    belowLayout->setContentsMargins(0, 0, 0, 0);
    belowLayout->addLayout(dates);
    belowLayout->addWidget(m_note);
    belowLayout->addWidget(m_table, 1);
    auto *split = new QSplitter(Qt::Vertical, this);
    split->addWidget(m_chart);
    split->addWidget(below);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    split->setSizes({360, 240}); // the chart the larger, as the stretch keeps it
    split->setChildrenCollapsible(false);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_folderLine);
    layout->addWidget(split, 1);
    layout->addWidget(m_status);
    showPoints();
}

QLineSeries *HistoryWindow::series(SizeMeasure measure) const
{
    return measure == SizeMeasure::OnDisk ? m_onDisk : m_apparent;
}

void HistoryWindow::setPlace(const Place &place)
{
    const bool same = place.identity == m_place.identity && place.relative == m_place.relative &&
                      place.file == m_place.file;
    m_place = place;
    m_folderLine->setText(
        place.root.isEmpty()
            ? QString()
            : FormatText(Text(TextId::HistoryFolder), ShownPath(place.root + place.relative)));
    m_growing.cancel();
    if (!same) {
        // Another folder: the dates picked were of the one before.
        m_first = m_second = -1;
        m_picked = false;
        m_points.clear();
        m_model->clear();
        m_hasGrowth = false;
        showPoints();
    }
    m_error = {};
    if (place.file.isEmpty() || place.identity.isNull()) {
        m_reading.cancel();
        m_points.clear();
        showPoints();
        return;
    }
    m_reading.run([place](const std::atomic<bool> &) {
        auto read = std::make_shared<Read>();
        HistoryDatabase history(place.file);
        HistoryDatabase::Volume volume;
        read->error = history.findVolume(place.identity, volume);
        if (read->error.kind() == HistoryError::Kind::NotFound) {
            read->error = {};
            return std::shared_ptr<const Read>(std::move(read));
        }
        if (read->error.ok()) {
            read->volume = volume.id;
            read->error = history.series(volume.id, place.relative, read->points);
            if (read->error.kind() == HistoryError::Kind::NotFound)
                read->error = {};
        }
        return std::shared_ptr<const Read>(std::move(read));
    });
    say();
}

void HistoryWindow::readDone(const std::shared_ptr<const Read> &read)
{
    const bool kept = read->volume == m_volume && read->points.size() >= m_points.size() &&
                      std::equal(m_points.begin(), m_points.end(), read->points.begin(),
                                 [](const auto &a, const auto &b) { return a.walk == b.walk; });
    m_error = read->error;
    m_volume = read->volume;
    m_points = read->points;
    // The dates the user picked stay while they are still there; else the last two walks, a walk
    // just recorded among them.
    if (!kept || !m_picked || m_first < 0) {
        m_picked = false;
        m_first = m_points.size() >= 2 ? int(m_points.size()) - 2 : -1;
        m_second = m_points.size() >= 2 ? int(m_points.size()) - 1 : -1;
    }
    m_secondNext = false;
    showPoints();
    readGrowth();
}

void HistoryWindow::showPoints()
{
    QList<QPointF> apparent, onDisk;
    quint64 biggest = 0;
    for (const HistoryDatabase::Value &value : m_points)
        biggest = std::max({biggest, value.apparent, value.onDisk});
    const auto [unit, unitName] = AxisUnit(biggest);
    apparent.reserve(qsizetype(m_points.size()));
    onDisk.reserve(qsizetype(m_points.size()));
    for (const HistoryDatabase::Value &value : m_points) {
        const double when = double(value.walkDate) * 1000.0;
        apparent.append({when, double(value.apparent) / unit});
        onDisk.append({when, double(value.onDisk) / unit});
    }
    m_apparent->replace(apparent);
    m_onDisk->replace(onDisk);
    m_sizes->setTitleText(FormatText(Text(TextId::HistorySizeAxis), unitName));
    m_sizes->setRange(0.0, biggest > 0 ? double(biggest) / unit * 1.1 : 1.0);
    m_sizes->applyNiceNumbers();
    const qint64 first =
        m_points.empty() ? QDateTime::currentSecsSinceEpoch() : m_points.front().walkDate;
    const qint64 last = m_points.empty() ? first : m_points.back().walkDate;
    // A margin each side, so that the first and last points are not on the frame.
    const qint64 margin = std::max<qint64>((last - first) / 20, 3600);
    m_dates->setRange(QDateTime::fromSecsSinceEpoch(first - margin),
                      QDateTime::fromSecsSinceEpoch(last + margin));
    m_dates->setFormat(last - first < 2 * 86400 ? u"dd/MM HH:mm"_s : u"dd/MM/yy"_s);
    m_dates->setTickCount(std::clamp(int(m_points.size()), 2, 6));
    // No walk, no scale: an empty frame says what the status line says.
    for (QAbstractAxis *axis :
         {static_cast<QAbstractAxis *>(m_sizes), static_cast<QAbstractAxis *>(m_dates)})
        axis->setVisible(!m_points.empty());
    m_chart->chart()->legend()->setVisible(!m_points.empty());

    m_showing = true;
    m_from->clear();
    m_to->clear();
    for (const HistoryDatabase::Value &value : m_points) {
        m_from->addItem(WalkDateText(value.walkDate));
        m_to->addItem(WalkDateText(value.walkDate));
    }
    m_showing = false;
    showPicked();
}

void HistoryWindow::showPicked()
{
    m_showing = true;
    m_from->setCurrentIndex(m_first);
    m_to->setCurrentIndex(m_second);
    m_showing = false;
    QList<QPointF> marks;
    for (const int walk : {m_first, m_second})
        if (walk >= 0 && size_t(walk) < m_points.size())
            marks.append(series(m_measure)->at(walk));
    m_marks->replace(marks);
    const bool two = m_first >= 0 && m_second >= 0;
    m_from->setEnabled(m_points.size() >= 2);
    m_to->setEnabled(m_points.size() >= 2);
    m_compare->setEnabled(two && m_first != m_second);
    m_compare->setText(two ? FormatText(Text(TextId::HistoryCompare),
                                        WalkDateText(m_points[size_t(m_first)].walkDate))
                           : FormatText(Text(TextId::HistoryCompare), u"…"_s));
    m_note->setText(two ? FormatText(Text(TextId::HistoryGrowthNote),
                                     WalkDateText(m_points[size_t(m_first)].walkDate),
                                     WalkDateText(m_points[size_t(m_second)].walkDate))
                        : QString());
    say();
}

void HistoryWindow::pickWalks(int first, int second)
{
    const int count = int(m_points.size());
    if (first < 0 || second < 0 || first >= count || second >= count)
        return;
    if (first > second)
        std::swap(first, second);
    m_secondNext = false;
    m_picked = true;
    if (first == m_first && second == m_second && m_hasGrowth)
        return;
    m_first = first;
    m_second = second;
    showPicked();
    readGrowth();
}

void HistoryWindow::readGrowth()
{
    m_hasGrowth = false;
    if (m_first < 0 || m_second < 0 || m_first == m_second) {
        m_growing.cancel();
        m_model->clear();
        say();
        return;
    }
    const qint64 walkA = m_points[size_t(m_first)].walk;
    const qint64 walkB = m_points[size_t(m_second)].walk;
    m_growing.run([file = m_place.file, volume = m_volume, relative = m_place.relative, walkA,
                   walkB, measure = m_measure](const std::atomic<bool> &) {
        auto grown = std::make_shared<Grown>();
        HistoryDatabase history(file);
        grown->error = history.growth(volume, relative, walkA, walkB, measure, grown->rows);
        return std::shared_ptr<const Grown>(std::move(grown));
    });
    say();
}

void HistoryWindow::grownDone(const std::shared_ptr<const Grown> &grown)
{
    m_error = grown->error;
    m_model->setRows(grown->rows, m_measure);
    m_hasGrowth = grown->error.ok();
    say();
}

void HistoryWindow::setSizeMeasure(SizeMeasure measure)
{
    if (measure == m_measure)
        return;
    m_measure = measure;
    showPicked();
    // The growth is ordered in the measure: read again.
    readGrowth();
}

void HistoryWindow::setRecordProblem(const QString &text)
{
    m_recordProblem = text;
    say();
}

// A plain click picks the first date, the next plain click the other; a shift-click always picks
// the other.
void HistoryWindow::pointClicked(int walk, bool other)
{
    if (!m_secondNext && !other) {
        m_first = walk;
        m_secondNext = true;
        m_hasGrowth = false;
        m_model->clear();
        m_second = -1;
        showPicked();
        return;
    }
    m_secondNext = false;
    const int first = m_first >= 0 ? m_first : walk;
    m_first = -1;
    pickWalks(first, walk);
}

// The walk whose point is nearest `at` on the screen, in either measure; -1 when none is within
// `reach` pixels.
int HistoryWindow::walkAt(QPoint at, int reach) const
{
    int nearest = -1;
    int distance = reach * reach + 1;
    for (QLineSeries *line : {m_apparent, m_onDisk})
        for (int i = 0; i < line->count(); ++i) {
            const QPoint away =
                m_chart->mapFromScene(m_chart->chart()->mapToPosition(line->at(i), line)) - at;
            if (const int squared = away.x() * away.x() + away.y() * away.y(); squared < distance) {
                nearest = int(i);
                distance = squared;
            }
        }
    return nearest;
}

bool HistoryWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_chart->viewport())
        return QDialog::eventFilter(watched, event);
    // As any tooltip, once the pointer rests; the scene's own would hide it, having none.
    if (event->type() == QEvent::ToolTip) {
        const auto *help = static_cast<QHelpEvent *>(event);
        if (const int walk = walkAt(help->pos(), HoverReach); walk >= 0) {
            const QRect near(help->pos() - QPoint(HoverReach, HoverReach),
                             QSize(2 * HoverReach, 2 * HoverReach));
            QToolTip::showText(help->globalPos(), pointText(walk), m_chart->viewport(), near);
        } else {
            QToolTip::hideText();
        }
        return true;
    } else if (event->type() == QEvent::MouseButtonPress) {
        const auto *press = static_cast<QMouseEvent *>(event);
        if (const int walk = walkAt(press->position().toPoint(), ClickReach);
            walk >= 0 && press->button() == Qt::LeftButton)
            pointClicked(walk, press->modifiers() & Qt::ShiftModifier);
    }
    return QDialog::eventFilter(watched, event);
}

QString HistoryWindow::pointText(int walk) const
{
    const HistoryDatabase::Value &value = m_points[size_t(walk)];
    return FormatText(Text(TextId::HistoryPointTip), WalkDateText(value.walkDate),
                      AmountText(value.apparent, std::nullopt),
                      AmountText(value.onDisk, std::nullopt), qint64(value.files));
}

QString HistoryWindow::statusText() const
{
    return m_status->text();
}

void HistoryWindow::say()
{
    QStringList lines;
    if (!m_recordProblem.isEmpty())
        lines << m_recordProblem;
    if (!m_error.ok())
        lines << FormatText(Text(TextId::HistoryUnreadable),
                            HistoryErrorText(m_error, m_place.file));
    else if (m_place.root.isEmpty())
        lines << Text(TextId::HistoryNotShown);
    else if (m_place.identity.isNull())
        lines << FormatText(Text(TextId::HistoryNowhere), ShownPath(m_place.root));
    else if (m_reading.isBusy())
        lines << Text(TextId::HistoryReading);
    else if (m_points.empty())
        lines << Text(TextId::HistoryNone);
    else if (m_secondNext && m_first >= 0)
        lines << FormatText(Text(TextId::HistoryFirstPicked),
                            WalkDateText(m_points[size_t(m_first)].walkDate));
    else if (m_points.size() == 1)
        lines << FormatText(Text(TextId::HistoryOneWalk), WalkDateText(m_points[0].walkDate));
    else
        lines << FormatText(Text(TextId::HistoryWalks), qint64(m_points.size()),
                            WalkDateText(m_points.front().walkDate),
                            WalkDateText(m_points.back().walkDate));
    m_status->setText(lines.join(u'\n'));
}
