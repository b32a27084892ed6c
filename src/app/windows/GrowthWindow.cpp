#include "GrowthWindow.h"

#include "GrowthModel.h"
#include "TextTable.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSortFilterProxyModel>
#include <QTreeView>
#include <QVBoxLayout>

GrowthWindow::GrowthWindow(QWidget *parent)
    : QDialog(parent)
    , m_span(new QComboBox(this))
    , m_onMap(new QCheckBox(Text(TextId::GrowthOnMap), this))
    , m_note(new QLabel(this))
    , m_table(new QTreeView(this))
    , m_model(new GrowthModel(this))
    , m_sorted(new QSortFilterProxyModel(this))
{
    setObjectName(QStringLiteral("frmGrowth"));
    setWindowTitle(Text(TextId::GrowthTitle));
    m_span->setObjectName(QStringLiteral("cboGrowthSpan"));
    m_span->addItems(
        {Text(TextId::GrowthMinute), Text(TextId::GrowthHour), Text(TextId::GrowthSinceWalk)});
    m_span->setCurrentIndex(int(GrowthLog::Span::SinceWalk));
    connect(m_span, &QComboBox::currentIndexChanged, this, &GrowthWindow::spanChanged);
    m_onMap->setObjectName(QStringLiteral("chkGrowthMap"));
    connect(m_onMap, &QCheckBox::toggled, this, &GrowthWindow::colourMapChanged);
    m_model->setHeaders({Text(TextId::ColumnName), Text(TextId::GrowthColumn),
                         Text(TextId::GrowthRateColumn), Text(TextId::ColumnSize)});
    m_sorted->setSourceModel(m_model);
    m_sorted->setSortRole(GrowthModel::SortRole);
    m_table->setObjectName(QStringLiteral("lvwGrowth"));
    m_table->setModel(m_sorted);
    m_table->setRootIsDecorated(false);
    m_table->setUniformRowHeights(true);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(GrowthModel::Growth, Qt::DescendingOrder);
    m_table->header()->setSectionResizeMode(GrowthModel::Name, QHeaderView::Stretch);
    m_table->header()->setStretchLastSection(false);
    for (const int column : {GrowthModel::Growth, GrowthModel::Rate, GrowthModel::Size})
        m_table->header()->setSectionResizeMode(column, QHeaderView::ResizeToContents);
    connect(m_table, &QTreeView::activated, this, [this](const QModelIndex &index) {
        emit pathChosen(index.data(GrowthModel::PathRole).toByteArray());
    });
    m_note->setWordWrap(true);
    auto *layout = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    top->addWidget(m_span);
    top->addWidget(m_onMap);
    top->addStretch();
    layout->addLayout(top);
    layout->addWidget(m_table, 1);
    layout->addWidget(m_note);
    resize(640, 420);
}

bool GrowthWindow::colourMap() const
{
    return m_onMap->isChecked();
}

GrowthLog::Span GrowthWindow::span() const
{
    return GrowthLog::Span(m_span->currentIndex());
}

void GrowthWindow::showRows(const QByteArray &root, std::vector<GrowthLog::Row> rows, bool onDisk,
                            bool live)
{
    const bool none = rows.empty();
    m_model->setRows(root, std::move(rows), onDisk, Text(TextId::GrowthRate));
    m_note->setText(!live  ? Text(TextId::GrowthNotLive)
                    : none ? Text(TextId::GrowthNothing)
                           : QString());
    m_note->setVisible(!m_note->text().isEmpty());
}
