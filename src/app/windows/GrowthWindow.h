#pragma once

#include "GrowthLog.h"

#include <QDialog>

class GrowthModel;
class QCheckBox;
class QComboBox;
class QLabel;
class QSortFilterProxyModel;
class QTreeView;

// "What grew": the folders and files whose size changed over the last minute, the last hour or
// since the walk, biggest growth first, with the rate. Fed by the live view; choosing a row shows
// it in the tree and the list.
class GrowthWindow : public QDialog
{
    Q_OBJECT
public:
    explicit GrowthWindow(QWidget *parent = nullptr);
    GrowthLog::Span span() const;
    // Whether the map is to be coloured by the growth shown.
    bool colourMap() const;
    // The rows for the span shown; `live` false when the volume shown is not followed.
    void showRows(const QByteArray &root, std::vector<GrowthLog::Row> rows, bool onDisk, bool live);
    GrowthModel *model() const { return m_model; }
    QTreeView *table() const { return m_table; }

signals:
    void spanChanged();
    void colourMapChanged();
    void pathChosen(const QByteArray &path);

private:
    QComboBox *m_span;
    QCheckBox *m_onMap;
    QLabel *m_note;
    QTreeView *m_table;
    GrowthModel *m_model;
    QSortFilterProxyModel *m_sorted;
};
