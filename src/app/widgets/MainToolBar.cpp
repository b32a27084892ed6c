#include "MainToolBar.h"

#include "Icons.h"

#include <QAction>
#include <QToolButton>

MainToolBar::MainToolBar(const QString &objectName, const QString &accessibleName, QWidget *window)
    : QToolBar(window)
{
    setObjectName(objectName);
    setMovable(false);
    setAccessibleName(accessibleName);
    // Shown when the window is too narrow for all the buttons, it has no text of its own.
    if (auto *more = findChild<QToolButton *>(QStringLiteral("qt_toolbar_ext_button")))
        more->setAccessibleName(QStringLiteral("Autres boutons"));
}

QAction *MainToolBar::addButton(const char *key, TextId tipId, const std::function<void()> &command)
{
    const QString name = QLatin1StringView(key);
    QAction *button = addAction(ToolIcon(name), QString());
    button->setObjectName(name);
    button->setToolTip(Text(tipId));
    widgetForAction(button)->setAccessibleName(Text(tipId));
    connect(button, &QAction::triggered, this, command);
    return button;
}

void MainToolBar::addShared(QAction *action, const char *key, TextId tipId)
{
    action->setIcon(ToolIcon(QLatin1StringView(key)));
    action->setIconVisibleInMenu(false);
    action->setToolTip(Text(tipId));
    addAction(action);
    widgetForAction(action)->setAccessibleName(Text(tipId));
}
