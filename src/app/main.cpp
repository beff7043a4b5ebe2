// Keyloupe: administers user-level security of Jet databases.
#include "AppObjects.h"
#include "KeyloupeApplication.h"
#include "fm_Main.h"

#include "KaExeVerInfo.h"
#include "KaFileUtils.h"
#include "dao/Dao.h"

int main(int argc, char** argv) {
    ExeVerInfo(); // read the version block before any window exists
    dao::registerEngineClasses();
    TKeyloupeApplication app(argc, argv);
    auto objects = CreateAppObjects(SettingsFileNameFor(RunningExecutablePath()));
    objects->Form1->show();
    return app.exec();
}
