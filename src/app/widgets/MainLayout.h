#pragma once

#include <optional>

// The arithmetic of the main window's working area, in twips: the folder tree, the splitter bar
// and the list sit side by side between the toolbars and the status bar. Kept apart from the
// widgets so that every rule can be checked without a window.
namespace MainLayout {

// The narrowest the list may become; below it the list keeps its last width rather than vanish.
constexpr int MinListWidth = 120;

struct Input
{
    int clientWidth = 0;
    int clientHeight = 0;
    int functionBarHeight = 0; // always shown
    bool driveBarShown = true;
    int driveBarHeight = 0;
    bool statusBarShown = true;
    int statusBarHeight = 0;
    int treeLeft = 0;
    int treeWidth = 0;
    int splitterWidth = 0;
    int listWidth = 0; // the list's current width
};

struct Placement
{
    int top = 0;  // of tree, splitter and list
    int room = 0; // their height
    int splitterLeft = 0;
    int listLeft = 0;
    int listWidth = 0;
};

Placement Arrange(const Input &in);

// The tree's new width after the splitter moved by dx twips, or nothing when the move would
// leave no tree or a list of MinListWidth or less.
std::optional<int> DraggedTreeWidth(int treeWidth, int listWidth, int dx);

} // namespace MainLayout
