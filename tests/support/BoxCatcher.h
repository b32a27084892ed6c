#pragma once

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTimer>

// Accepts the first message box the program shows while it exists, noting what the box said.
// It looks a hundred times a second, as the box opens inside some nested event loop.
class BoxCatcher : public QObject
{
    Q_OBJECT
public:
    BoxCatcher();

    // Empty, and no icon, while no box was caught.
    QString title() const { return m_title; }
    QString text() const { return m_text; }
    QMessageBox::Icon icon() const { return m_icon; }

private:
    void look();
    QTimer m_timer;
    QString m_title;
    QString m_text;
    QMessageBox::Icon m_icon = QMessageBox::NoIcon;
};
