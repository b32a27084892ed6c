#include "AboutWindow.h"

#include "Icons.h"
#include "SettingsStore.h"
#include "ShellOpen.h"
#include "TextTable.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {
constexpr int IconSize = 32;
} // namespace

AboutWindow::AboutWindow(SettingsStore *settings, QWidget *parent)
    : AboutWindow(settings, parent, Steps{})
{}

AboutWindow::AboutWindow(SettingsStore *settings, QWidget *parent, Steps steps)
    : QDialog(parent)
    , m_settings(settings)
    , m_steps(std::move(steps))
    , picIcon(new QLabel(this))
    , lblTitle(new QLabel(this))
    , lblSiteURL(new QLabel(this))
    , cmdSysInfo(new QPushButton(u"&System Info..."_s, this))
    , cmdOK(new QPushButton(u"OK"_s, this))
{
    setObjectName(u"frmAbout"_s);
    setWindowTitle(u"About "_s + QCoreApplication::applicationName());

    picIcon->setObjectName(u"picIcon"_s);
    picIcon->setAccessibleName(u"Icône de Quarnel"_s);
    // At the screen's pixel density: a 2x screen gets the 64-pixel picture, not 32 blown up.
    picIcon->setPixmap(AppIcon().pixmap(QSize(IconSize, IconSize), picIcon->devicePixelRatioF()));

    lblTitle->setObjectName(u"lblTitle"_s);
    lblTitle->setTextFormat(Qt::PlainText);
    lblTitle->setText(QCoreApplication::applicationName() + u" v"_s +
                      QCoreApplication::applicationVersion());

    const QString address = SiteAddress.toString();
    lblSiteURL->setObjectName(u"lblSiteURL"_s);
    lblSiteURL->setTextFormat(Qt::RichText);
    lblSiteURL->setText(u"<a href=\""_s + address.toHtmlEscaped() + u"\">"_s +
                        address.toHtmlEscaped() + u"</a>"_s);
    // We open it ourselves, so that a failure can be reported.
    lblSiteURL->setOpenExternalLinks(false);
    lblSiteURL->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(lblSiteURL, &QLabel::linkActivated, this, [this] { lblSiteURL_Click(); });

    cmdSysInfo->setObjectName(u"cmdSysInfo"_s);
    cmdSysInfo->setAutoDefault(false);
    connect(cmdSysInfo, &QPushButton::clicked, this, [this] { StartSysInfo(); });

    cmdOK->setObjectName(u"cmdOK"_s);
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    auto *layout = new QGridLayout(this);
    layout->addWidget(picIcon, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(lblTitle, 0, 1);
    layout->addWidget(lblSiteURL, 1, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdSysInfo);
    buttons->addWidget(cmdOK);
    layout->addLayout(buttons, 2, 0, 1, 2);
    setFixedSize(sizeHint());
}

void AboutWindow::showModal(QWidget *parent, SettingsStore *settings)
{
    AboutWindow window(settings, parent);
    window.exec();
}

bool AboutWindow::GetKeyValue(const SettingsStore *store, QStringView key, QStringView value,
                              QString &out)
{
    out.clear();
    if (!store)
        return false;
    auto settings = store->openKey();
    // The entries sit at the root of the store, as machine-wide values, not in the options' group.
    while (!settings->group().isEmpty())
        settings->endGroup();
    const QString name = key.toString() + u'/' + value.toString();
    if (!settings->contains(name))
        return false;
    if (const auto text = QueryRegValue(*settings, name, SettingKind::Text)) {
        out = text->toString();
        if (const qsizetype nul = out.indexOf(QChar(0)); nul >= 0)
            out.truncate(nul);
    }
    return true;
}

void AboutWindow::StartSysInfo()
{
    QString path;
    bool started = false;
    if (GetKeyValue(m_settings, u"SysInfo", u"PATH", path)) {
        started = m_steps.start(path);
    } else {
        const bool located = GetKeyValue(m_settings, u"SysInfo", u"Location", path);
        if (!located)
            path = DefaultLocation();
        const QString program = path + u'/' + ProgramName.toString();
        if ((located || !path.isEmpty()) && QFileInfo(program).isFile())
            started = m_steps.start(program);
    }
    if (!started)
        m_steps.reportUnavailable(this, TextTable::text(TextId::SysInfoUnavailable));
}

QString AboutWindow::DefaultLocation()
{
    const QString program = QStandardPaths::findExecutable(ProgramName.toString());
    return program.isEmpty() ? QString() : QFileInfo(program).absolutePath();
}

void AboutWindow::lblSiteURL_Click()
{
    if (m_steps.openLink(QUrl(SiteAddress.toString())))
        return;
    const QString text = u"Error "_s + QString::number(LinkErrorNumber) + u": "_s +
                         LinkErrorDescription.toString() + u"\r\n"_s +
                         u"in frmAbout.lblSiteURL_Click."_s + u"\r\n"_s;
    QMessageBox box(QMessageBox::Critical, u"Error"_s, text, QMessageBox::Ok, this);
    box.exec();
}

bool AboutWindow::startProgram(const QString &program)
{
    return !program.isEmpty() && QProcess::startDetached(program);
}

void AboutWindow::showUnavailable(QWidget *parent, const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QCoreApplication::applicationName(), text, QMessageBox::Ok,
                    parent);
    box.exec();
}

bool AboutWindow::openSite(const QUrl &url)
{
    // The shell-open routine with the verb "Open"; on failure the caller tells the user.
    return ShellOpen(u"Open"_s, url.toString());
}
