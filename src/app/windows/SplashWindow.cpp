#include "SplashWindow.h"

#include "TwipsScale.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

namespace {
// Sizes and places, in twips.
constexpr int WindowWidth = 7500;
constexpr int WindowHeight = 4860;
constexpr int CaptionLeft = 360;
constexpr int CaptionTop = 4515;
constexpr int CaptionWidth = 2730;
constexpr int CaptionHeight = 195;
} // namespace

SplashWindow::SplashWindow(QWidget *parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
    , img(new QLabel(this))
    , lblCaption(new QLabel(this))
{
    setObjectName(QStringLiteral("frmSplash"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAccessibleName(captionText());
    const TwipsScale twips = TwipsScale::of(this);
    setFixedSize(twips.toPixelsX(WindowWidth), twips.toPixelsY(WindowHeight));

    img->setObjectName(QStringLiteral("img"));
    img->setGeometry(rect());
    img->setScaledContents(true);
    // What the picture says.
    img->setAccessibleName(QStringLiteral("Quarnel, analyse de l'espace disque"));
    img->setPixmap(QPixmap(QStringLiteral(":/splash.png")));

    lblCaption->setObjectName(QStringLiteral("lblCaption"));
    lblCaption->setTextFormat(Qt::PlainText);
    lblCaption->setText(captionText());
    // White whatever the desktop's colours: the caption is drawn over the picture's own dark
    // background, not over the palette's. The label paints no background of its own.
    QPalette onPicture = lblCaption->palette();
    onPicture.setColor(QPalette::WindowText, Qt::white);
    lblCaption->setPalette(onPicture);
    QFont small = lblCaption->font();
    small.setPixelSize(std::max(8, twips.toPixelsY(CaptionHeight) - 2));
    lblCaption->setFont(small);
    lblCaption->setGeometry(twips.toPixelsX(CaptionLeft), twips.toPixelsY(CaptionTop),
                            twips.toPixelsX(CaptionWidth), twips.toPixelsY(CaptionHeight));

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

QString SplashWindow::captionText()
{
    return QCoreApplication::applicationName() + QStringLiteral(" v") +
           QCoreApplication::applicationVersion();
}
