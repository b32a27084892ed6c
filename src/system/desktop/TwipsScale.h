#pragma once

class QWidget;

// Converts the twips (1/1440 inch) the window's layout is written in to the screen's pixels:
// twips per pixel = 1440 / logical DPI, 15 at 96 DPI. Read once per window.
class TwipsScale
{
public:
    static constexpr int TwipsPerInch = 1440;

    constexpr TwipsScale() = default;
    constexpr TwipsScale(int perPixelX, int perPixelY)
        : m_x(perPixelX)
        , m_y(perPixelY)
    {}
    static TwipsScale of(const QWidget *widget);

    constexpr int perPixelX() const { return m_x; }
    constexpr int perPixelY() const { return m_y; }
    constexpr int toPixelsX(int twips) const { return twips / m_x; }
    constexpr int toPixelsY(int twips) const { return twips / m_y; }

private:
    int m_x = 15;
    int m_y = 15;
};
