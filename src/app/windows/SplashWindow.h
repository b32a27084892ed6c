#pragma once

#include <QWidget>

class QLabel;

// The borderless window shown for a second at start-up: the splash picture over the whole window
// and, near its bottom left, the program's name and version.
class SplashWindow : public QWidget
{
    Q_OBJECT
public:
    explicit SplashWindow(QWidget *parent = nullptr);

    // "Quarnel v1.0.0": the application's name, " v" and its version.
    static QString captionText();

private:
    QLabel *img = nullptr; // owned through Qt's parenting, as is lblCaption
    QLabel *lblCaption = nullptr;
};
