// Keyloupe: administers user-level security of Jet databases.
#include "app/AppObjects.h"
#include "app/CommandLine.h"
#include "app/KeyloupeApplication.h"
#include "app/QuitOnSignals.h"
#include "app/fm_Main.h"

#include "dao/Dao.h"
#include "util/KaExeVerInfo.h"
#include "util/KaFileUtils.h"

#include <QIcon>
#include <QStandardPaths>

#include <iostream>

int main(int argc, char** argv) {
    if (const auto status = HandleCommandLine(argc, argv, std::cout, std::cerr)) return *status;
    ExeVerInfo(); // read the version block before any window exists
    dao::registerEngineClasses();
    QCoreApplication::setOrganizationName(QStringLiteral("Keyloupe"));
    QCoreApplication::setApplicationName(QStringLiteral("keyloupe"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KEYLOUPE_VERSION));
    TKeyloupeApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("org.keyloupe.Keyloupe"));
    QGuiApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/keyloupe.png")));
    auto objects = CreateAppObjects(SettingsFileLocation(
        RunningExecutablePath(), QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)));
    objects->Form1->show();
    // A session that ends saves the settings as "&Quit" does; an open dialog is left with the rest.
    TQuitOnSignals quitOnSignals([&objects] {
        objects->Form1->close();
        QCoreApplication::quit();
    });
    return app.exec();
}
