#pragma once
// For GoogleTest suites on widgets: one QApplication per test binary, created on first use (the tests
// run under the offscreen platform).
#include "support/QtPrinting.h"

#include <QApplication>

namespace kltest {

inline QApplication& guiTestApp() {
    static int argc = 1;
    static char name[] = "keyloupe-tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: tearing it down after Qt's own globals at process exit crashes.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

} // namespace kltest
