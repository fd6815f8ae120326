#pragma once

#include <QIcon>

class QGuiApplication;

// The program's identity on the desktop: the id of its desktop entry and its icon.
inline constexpr const char kDesktopId[] = "com.example.Pelvanor";

// The program's icon at every size it is drawn in, from the compiled-in pictures.
QIcon programIcon();
// Gives every window the program's icon and names the desktop entry, so task bars and Wayland
// compositors match the windows to the launcher.
void setUpDesktopIntegration(QGuiApplication& app);
