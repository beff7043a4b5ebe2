#include "CommandFrame.h"

#include "ui/Dialogs.h"

void ShowCommandError(const std::exception& error) {
    ui::showMessage(QStringLiteral("Error: ") + QString::fromStdString(error.what()));
}
