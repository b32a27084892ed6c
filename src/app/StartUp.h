#pragma once

#include <memory>

class MainWindow;

// The program's start: the splash for a second, then the main window, then the splash goes.
// Returns the shown main window; the caller runs the event loop.
std::unique_ptr<MainWindow> StartUp(int splashMilliseconds = 1000);
