#pragma once
// What every editing command shares: the "Error: " box for a failure caught at the command's top, and
// the conversion of grid texts to the engine's strings.
#include <QString>

#include <exception>
#include <string>

// Shows "Error: " followed by the exception's message in a plain message box.
void ShowCommandError(const std::exception& error);

// A name taken from a grid cell or an edit field, as the engine takes it.
inline std::string DaoText(const QString& text) {
    return text.toStdString();
}
