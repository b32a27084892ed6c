#pragma once

#include "TextTable.h"

#include <QToolBar>

#include <functional>

// A bar of the main window's: fixed in place and named for screen readers, as is the button that
// shows the buttons a narrow window has no room for. Owned by the window through Qt's parenting.
class MainToolBar : public QToolBar
{
    Q_OBJECT

public:
    MainToolBar(const QString &objectName, const QString &accessibleName, QWidget *window);

    // A button that shows only its picture, named key; a screen reader says its tooltip.
    QAction *addButton(const char *key, TextId tipId, const std::function<void()> &command);
    // A button for an action that is a menu entry too, so that both show its state; its picture,
    // named key, shows only here, and a screen reader says its tooltip.
    void addShared(QAction *action, const char *key, TextId tipId);
};
