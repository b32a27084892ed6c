#pragma once

#include <QPoint>
#include <QWidget>

// A bar between two panes, one above the other, that the user drags with the mouse, or moves by
// a step with Up and Down while it has the focus; the panes' owner decides what a move does.
class SplitBar : public QWidget
{
    Q_OBJECT

public:
    explicit SplitBar(QWidget *parent = nullptr);

signals:
    // The bar is to move down by so many pixels (up when negative).
    void moved(int dy);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void focusInEvent(QFocusEvent *) override { update(); }
    void focusOutEvent(QFocusEvent *) override { update(); }

private:
    int m_lastY = 0; // the screen cursor's height when the bar last moved
};
