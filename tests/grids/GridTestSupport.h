#pragma once
// Shared by the grid tests: one QApplication per test binary, created on first use (the tests run
// under the offscreen platform), and readable failure output for Qt strings.
#include <QApplication>
#include <QString>
#include <QStringList>

#include <ostream>

inline QApplication& guiTestApp() {
    static int argc = 1;
    static char name[] = "grid-tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: tearing it down after Qt's own globals at process exit crashes.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* out) {
    *out << '{' << list.join("\", \"").prepend('"').append('"').toStdString() << '}';
}
