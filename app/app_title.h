#pragma once

// The application's title: it names the program to the desktop and titles every message box.
// The main window's own caption reads "Pelvanor v2.0".
inline constexpr const char kApplicationTitle[] = "Pelvanor v1.1";
