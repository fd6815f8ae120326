#pragma once

#include <QString>

// What pelvanor does with its command line before any window (or display) is needed.
namespace command_line {

enum class Request { Run, Help, Version };

// argv as main() receives it. "--help" and "--version" answer and end the program; anything else,
// a photo path included, starts the window. Options end at "--".
Request requestFor(int argc, const char* const* argv);
QString helpText();
QString versionText();

} // namespace command_line
