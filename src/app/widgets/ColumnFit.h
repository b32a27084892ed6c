#pragma once

#include <QHash>
#include <QObject>
#include <QString>

class QTreeView;

// Fits a list's columns to what they show until the user sizes one himself: each value column
// to its heading or its widest value, whichever is wider, and the name column to the room left,
// so that no number is cut and no width lies empty. For lists whose widths were never stored.
class ColumnFit : public QObject
{
    Q_OBJECT
public:
    ColumnFit(QTreeView *view, int nameColumn);

    // The widest text a value column will show (a volume's total, say); columns without one
    // are fitted to their heading and the rows in view.
    void setWidest(int column, const QString &text);
    // A percentage column's widest: ten marks of its bar and a whole percentage; the rest of a
    // longer bar gives way (ElideLeftDelegate).
    void setPercentColumn(int column);
    void fit();
    bool isActive() const { return m_active; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTreeView *m_view;
    QObject *m_viewport;
    int m_nameColumn;
    QHash<int, QString> m_widest;
    bool m_active = true;
    bool m_fitting = false;
};
