#pragma once

#include <QUrl>
#include <QWidget>

class QAction;
class QTextBrowser;

// The help window: the French help file qnl.html in a browser that follows its links, with
// Précédent, Suivant and Sommaire (back, forward, index). The program keeps one such window at a
// time; showIndex opens it or brings it forward. It owns its browser and actions through Qt's
// parenting.
class HelpWindow : public QWidget
{
    Q_OBJECT
public:
    explicit HelpWindow(QWidget *parent = nullptr);

    // The help file: the first of <programDir>/../share/quarnel/qnl.html (an installed tree),
    // <programDir>/qnl.html (a build tree), and the copy built into the program, ":/help/qnl.html",
    // which is always there, so that help opens even when the installation is incomplete.
    static QString helpFilePath(const QString &programDir);
    static QString helpFilePath();
    static QUrl helpFileUrl();

    // Opens the one help window at its index, or raises the open one and takes it back to the
    // index. A new window becomes a child window of parent and goes when it is closed.
    static HelpWindow *showIndex(QWidget *parent);
    // The window that showIndex opened, while it is open.
    static HelpWindow *instance();

    QTextBrowser *browser() const { return m_browser; }
    void goToIndex();

protected:
    void changeEvent(QEvent *event) override;

private:
    void usePaperPalette();

    QTextBrowser *m_browser = nullptr;
    QAction *m_back = nullptr;
    QAction *m_forward = nullptr;
    QAction *m_home = nullptr;
};
