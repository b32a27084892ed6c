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

    int caught = 0;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;

private:
    void look();
    QTimer m_timer;
};
