#pragma once
// What Keyloupe does with its command line: the program takes no arguments, but answers --help and
// --version without opening a window (and so without needing a display), and refuses anything else.
// Also where the settings file is kept.
#include <QString>

#include <optional>
#include <ostream>

// An exit status when the command line has been answered (0) or refused (2); nothing when the window
// should open.
std::optional<int> HandleCommandLine(int argc, const char* const* argv, std::ostream& out, std::ostream& err);

// The settings file: beside the executable (its name with ".ini") when it exists there or that folder
// may be written; otherwise, as for a program installed in /usr/bin, "keyloupe.ini" in the user's
// configuration folder (configFolder, normally QStandardPaths::AppConfigLocation), which is created.
QString SettingsFileLocation(const QString& exePath, const QString& configFolder);
