#pragma once

#include <QLabel>

// One panel of the status bar: a sunken frame whose text, when the panel is given less room than
// it asks for, ends in "…" rather than being cut mid-letter. It asks for its text's width but
// can be made as narrow as its frame: the bar decides who yields.
class StatusPanel : public QLabel
{
    Q_OBJECT
public:
    explicit StatusPanel(QWidget *parent = nullptr);

    QSize minimumSizeHint() const override;
    // Where the "…" goes; at the end unless set.
    void setElideMode(Qt::TextElideMode mode);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Qt::TextElideMode m_elideMode = Qt::ElideRight;
};
