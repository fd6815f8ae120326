#pragma once

#include <QString>
#include <QStringList>

// What pelvanor does with its command line before any window (or display) is needed.
namespace command_line {

enum class Request { Run, Help, Version };

// argv as main() receives it. "--help" and "--version" answer and end the program; anything else,
// a photo path included, starts the window. Options end at "--".
Request requestFor(int argc, const char* const* argv);
// The photo to open from the arguments after the program's name, skipping a leading "--"; empty
// when none is named.
QString photoArgument(const QStringList& arguments);
QString helpText();
QString versionText();

} // namespace command_line
