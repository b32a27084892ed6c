#include "HelpWindow.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QStyle>
#include <QTextBrowser>
#include <QToolBar>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {
const QString BuiltInHelp = u":/help/qnl.html"_s;

QPointer<HelpWindow> s_window; // the window showIndex opened; it deletes itself on close
} // namespace

HelpWindow::HelpWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_browser(new QTextBrowser(this))
{
    setObjectName(u"HelpWindow"_s);
    setWindowTitle(u"Aide de Quarnel"_s);
    // Help left open must not keep the program running once the main window has closed.
    setAttribute(Qt::WA_QuitOnClose, false);

    auto *bar = new QToolBar(this);
    bar->setObjectName(u"helpToolBar"_s);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->setMovable(false);
    bar->setAccessibleName(u"Navigation dans l'aide"_s);

    m_back = bar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), u"Précédent"_s);
    m_back->setObjectName(u"actBack"_s);
    m_back->setShortcut(QKeySequence::Back);
    m_back->setEnabled(false);
    m_forward = bar->addAction(style()->standardIcon(QStyle::SP_ArrowForward), u"Suivant"_s);
    m_forward->setObjectName(u"actForward"_s);
    m_forward->setShortcut(QKeySequence::Forward);
    m_forward->setEnabled(false);
    m_home = bar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), u"Sommaire"_s);
    m_home->setObjectName(u"actHome"_s);
    m_home->setShortcut(QKeySequence(Qt::ALT | Qt::Key_Home));
    m_back->setToolTip(u"Précédent (Alt+Gauche)"_s);
    m_forward->setToolTip(u"Suivant (Alt+Droite)"_s);
    m_home->setToolTip(u"Sommaire (Alt+Début)"_s);

    m_browser->setObjectName(u"helpBrowser"_s);
    m_browser->setAccessibleName(u"Contenu de l'aide"_s);
    m_browser->setOpenLinks(true);
    // Links that leave the help file go to the desktop's browser or mail program.
    m_browser->setOpenExternalLinks(true);
    m_browser->document()->setDocumentMargin(14);
    usePaperPalette();
    // Running text reads poorly below 10 points; larger desktop fonts are kept.
    QFont text = m_browser->font();
    if (text.pointSizeF() > 0 && text.pointSizeF() < 10.0) {
        text.setPointSizeF(10.0);
        m_browser->setFont(text);
    }

    connect(m_back, &QAction::triggered, m_browser, &QTextBrowser::backward);
    connect(m_forward, &QAction::triggered, m_browser, &QTextBrowser::forward);
    connect(m_home, &QAction::triggered, this, &HelpWindow::goToIndex);
    connect(m_browser, &QTextBrowser::backwardAvailable, m_back, &QAction::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, m_forward, &QAction::setEnabled);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_browser);

    QSize size(820, 680);
    if (const QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() * 9 / 10);
    resize(size);

    m_browser->setSource(helpFileUrl());
}

QString HelpWindow::helpFilePath(const QString &programDir)
{
    const QString candidates[] = {
        QDir::cleanPath(programDir + u"/../share/quarnel/qnl.html"_s),
        QDir::cleanPath(programDir + u"/qnl.html"_s),
    };
    for (const QString &path : candidates)
        if (QFileInfo(path).isFile())
            return path;
    return BuiltInHelp;
}

QString HelpWindow::helpFilePath()
{
    return helpFilePath(QCoreApplication::applicationDirPath());
}

QUrl HelpWindow::helpFileUrl()
{
    const QString path = helpFilePath();
    if (path.startsWith(u":/"_s))
        return QUrl(u"qrc"_s + path);
    return QUrl::fromLocalFile(path);
}

// The help file sets its own text and heading colours, chosen for a light page; on a dark desktop
// the page keeps the style's light colours so that it stays readable, while the window around it
// follows the desktop.
void HelpWindow::usePaperPalette()
{
    const QPalette desktop = palette();
    const QPalette paper = style()->standardPalette();
    const bool darkDesktop =
        desktop.color(QPalette::Base).lightness() < desktop.color(QPalette::Text).lightness();
    const bool lightPaper =
        paper.color(QPalette::Base).lightness() > paper.color(QPalette::Text).lightness();
    m_browser->setPalette(darkDesktop && lightPaper ? paper : QPalette());
}

void HelpWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        usePaperPalette();
    QWidget::changeEvent(event);
}

void HelpWindow::goToIndex()
{
    // The index is the top of the page first shown; going there by a history entry lets
    // Précédent come back to where the reader was.
    m_browser->home();
}

HelpWindow *HelpWindow::showIndex(QWidget *parent)
{
    if (s_window) {
        s_window->goToIndex();
    } else {
        s_window = new HelpWindow(parent);
        s_window->setAttribute(Qt::WA_DeleteOnClose);
    }
    s_window->setWindowState(s_window->windowState() & ~Qt::WindowMinimized);
    s_window->show();
    s_window->raise();
    s_window->activateWindow();
    return s_window;
}

HelpWindow *HelpWindow::instance()
{
    return s_window;
}
