#include "TwipsScale.h"

#include <QWidget>

#include <algorithm>
#include <cmath>

namespace {
int PerPixel(int dpi)
{
    return dpi > 0 ? std::max(1, int(std::lround(double(TwipsScale::TwipsPerInch) / dpi))) : 15;
}
} // namespace

TwipsScale TwipsScale::of(const QWidget *widget)
{
    return TwipsScale(PerPixel(widget->logicalDpiX()), PerPixel(widget->logicalDpiY()));
}
