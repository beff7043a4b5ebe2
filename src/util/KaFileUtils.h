#pragma once
// Small path helpers.
#include <QString>

// fileName with its extension replaced by extension (which includes the dot, or is empty to drop
// the extension). The extension is the part from the last "." that follows the last "/"; a name
// without one gets the new extension appended.
QString ChangeFileExt(const QString& fileName, const QString& extension);

// The settings file of the executable exePath: the same path with the extension ".ini".
QString SettingsFileNameFor(const QString& exePath);

// Full path of the running executable (the target of /proc/self/exe); empty when it cannot be found.
QString RunningExecutablePath();
