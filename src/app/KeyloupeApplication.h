#pragma once
// The application object. Its top-level handler catches an exception escaping any event handler where
// Qt dispatches the event and shows the exception's bare message, so nothing escapes into Qt.
#include <QApplication>

class TKeyloupeApplication : public QApplication {
public:
    TKeyloupeApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // Shows the message of an exception that nothing else caught.
    static void HandleException(const std::exception_ptr& error);
};
