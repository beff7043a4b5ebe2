#include "app/KeyloupeApplication.h"

#include "ui/Dialogs.h"

#include <exception>

TKeyloupeApplication::TKeyloupeApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TKeyloupeApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        HandleException(std::current_exception());
        return false;
    }
}

void TKeyloupeApplication::HandleException(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        ui::showMessage(QString::fromStdString(e.what()));
    } catch (...) {
        ui::showMessage(QStringLiteral("Unknown error"));
    }
}
