#include "MapRenderer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

// Every tile raises a parabolic ridge along x and along y over its own extent; the ridges of a
// tile and its folders add up to a surface whose bumps show the nesting. Deeper ridges are lower,
// so a folder's outline stays stronger than its files'.
constexpr double TopRidge = 0.4;
constexpr double RidgeFalloff = 0.75;
// Light from the top left and mostly from above, so flat ground is bright and only the far slopes
// darken; ambient keeps them from going black.
constexpr float Ambient = 0.25f;
constexpr float Diffuse = 0.8f;
constexpr float LightX = -0.160128f, LightY = -0.160128f, LightZ = 0.973994f; // (-1, -1, 6.08)

// The surface as z = x2 * x^2 + x1 * x + y2 * y^2 + y1 * y, in device pixels.
struct Cushion
{
    double x2 = 0, x1 = 0, y2 = 0, y1 = 0;
};

// A ridge of height h * (end - start) whose slope at the edges is 4h: the same shape for a tile
// of any size.
void AddRidge(double &square, double &linear, double start, double end, double height)
{
    const double extent = end - start;
    if (extent <= 0)
        return;
    square -= 4 * height / extent;
    linear += 4 * height * (start + end) / extent;
}

struct PixelRect
{
    int left, top, right, bottom; // right and bottom excluded
};

// Edges rounded to device pixels one by one, so neighbours that share an edge share a pixel
// boundary.
PixelRect ToPixels(const MapTile &tile, qreal ratio, QSize image)
{
    const auto at = [ratio](float v, int limit) {
        return std::clamp(int(std::lround(double(v) * ratio)), 0, limit);
    };
    return {at(tile.x, image.width()), at(tile.y, image.height()),
            at(tile.x + tile.width, image.width()), at(tile.y + tile.height, image.height())};
}

// `slopeX` is scratch space, kept from tile to tile.
void Shade(QImage &image, const PixelRect &r, const Cushion &c, QRgb colour,
           std::vector<float> &slopeX)
{
    if (r.left >= r.right || r.top >= r.bottom)
        return;
    // The slope across a column is the same on every row: work it out once.
    slopeX.resize(size_t(r.right - r.left));
    for (int x = r.left; x < r.right; ++x)
        slopeX[size_t(x - r.left)] = float(-(2 * c.x2 * (x + 0.5) + c.x1));
    const float red = float(qRed(colour)), green = float(qGreen(colour)),
                blue = float(qBlue(colour));
    for (int y = r.top; y < r.bottom; ++y) {
        const float ny = float(-(2 * c.y2 * (y + 0.5) + c.y1));
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = r.left; x < r.right; ++x) {
            const float nx = slopeX[size_t(x - r.left)];
            const float cosine =
                (nx * LightX + ny * LightY + LightZ) / std::sqrt(nx * nx + ny * ny + 1.0f);
            const float light = Ambient + Diffuse * std::max(cosine, 0.0f);
            line[x] = qRgb(int(std::min(red * light, 255.0f)), int(std::min(green * light, 255.0f)),
                           int(std::min(blue * light, 255.0f)));
        }
    }
}

} // namespace

QImage RenderMap(const MapLayout &layout, qreal devicePixelRatio,
                 const std::atomic<bool> *cancelled, const std::vector<QRgb> *tileColours)
{
    const QSize pixels(qRound(layout.size().width() * devicePixelRatio),
                       qRound(layout.size().height() * devicePixelRatio));
    QImage image(pixels, QImage::Format_RGB32);
    image.setDevicePixelRatio(devicePixelRatio);
    // Under the tiles, in case rounding leaves a pixel between two of them.
    image.fill(KindColour(FileKind::Folder));
    const std::vector<MapTile> &tiles = layout.tiles();
    std::vector<bool> hasChildren(tiles.size());
    for (const MapTile &tile : tiles)
        if (tile.parent != MapLayout::NoTile)
            hasChildren[tile.parent] = true;
    std::vector<double> ridges(1, TopRidge); // by depth
    std::array<QRgb, size_t(FileKind::Folder) + 1> colours;
    for (size_t kind = 0; kind < colours.size(); ++kind)
        colours[kind] = KindColour(FileKind(kind)).rgb();
    std::vector<float> scratch;
    // A folder's tile comes before its items, so its surface is known when theirs is needed.
    std::vector<Cushion> cushions(tiles.size());
    for (size_t i = 0; i < tiles.size(); ++i) {
        if (i % 4096 == 0 && cancelled && cancelled->load(std::memory_order_relaxed))
            return {};
        const MapTile &tile = tiles[i];
        Cushion &c = cushions[i];
        if (tile.parent != MapLayout::NoTile)
            c = cushions[tile.parent];
        while (ridges.size() <= tile.depth)
            ridges.push_back(ridges.back() * RidgeFalloff);
        const double height = ridges[tile.depth];
        const double x = double(tile.x) * devicePixelRatio, y = double(tile.y) * devicePixelRatio;
        AddRidge(c.x2, c.x1, x, x + double(tile.width) * devicePixelRatio, height);
        AddRidge(c.y2, c.y1, y, y + double(tile.height) * devicePixelRatio, height);
        if (!hasChildren[i])
            Shade(image, ToPixels(tile, devicePixelRatio, pixels), c,
                  tileColours ? (*tileColours)[i] : colours[size_t(tile.kind)], scratch);
    }
    return image;
}
