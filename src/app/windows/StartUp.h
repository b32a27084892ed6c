#pragma once

#include <memory>

class MainWindow;
class SettingsStore;

// The program's start: the splash for a second, then the main window over the machine's volumes,
// then the splash goes. Returns the shown main window; the caller runs the event loop. The
// settings store (not owned) may be null, for a window that remembers nothing.
std::unique_ptr<MainWindow> StartUp(SettingsStore *settings, int splashMilliseconds = 1000);

// Qt's own texts (message box buttons, the file dialog) in French like the rest of the program,
// whatever the system's language: installs Qt's French translation from Qt's translations folder.
// False, with Qt's texts left in English, when the system has none.
bool InstallQtFrench();
