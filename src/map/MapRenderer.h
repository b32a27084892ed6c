#pragma once

#include "MapLayout.h"

#include <QImage>

#include <atomic>
#include <vector>

// Draws the layout with cushion shading into an image of layout.size() * devicePixelRatio device
// pixels, with that ratio set on it, so nesting reads without borders. Deterministic: the same
// layout gives the same bytes. No text: the widget draws the labels. Every pixel of the top
// folder's rectangle is painted. Returns a null image when *cancelled becomes true.
// With tileColours (one per tile), the tiles take those colours rather than their kinds'.
QImage RenderMap(const MapLayout &layout, qreal devicePixelRatio,
                 const std::atomic<bool> *cancelled = nullptr,
                 const std::vector<QRgb> *tileColours = nullptr);
