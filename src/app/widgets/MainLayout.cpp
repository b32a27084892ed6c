#include "MainLayout.h"

#include <algorithm>

namespace MainLayout {

Placement Arrange(const Input &in)
{
    Placement out;
    out.top = in.functionBarHeight;
    int room = in.clientHeight - in.functionBarHeight;
    if (in.driveBarShown) {
        room -= in.driveBarHeight;
        out.top += in.driveBarHeight;
    }
    if (in.statusBarShown)
        room -= in.statusBarHeight;
    // Bars taller than the window leave no room rather than a negative height.
    out.room = std::max(0, room);
    out.splitterLeft = in.treeLeft + in.treeWidth;
    out.listLeft = out.splitterLeft + in.splitterWidth;
    const int width = in.clientWidth - in.treeWidth - in.splitterWidth;
    out.listWidth = width > MinListWidth ? width : in.listWidth;
    return out;
}

std::optional<int> DraggedTreeWidth(int treeWidth, int listWidth, int dx)
{
    if (treeWidth + dx > 0 && listWidth - dx > MinListWidth)
        return treeWidth + dx;
    return std::nullopt;
}

} // namespace MainLayout
