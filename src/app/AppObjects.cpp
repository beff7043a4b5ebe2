#include "AppObjects.h"

#include "fm_Main.h"

#include "Keyloupe_fm_About.h"
#include "jet/dm_Inspect.h"

Tfm_About* fm_About = nullptr;

TAppObjects::~TAppObjects() {
    fm_About = nullptr;
    ::dm_Inspect = nullptr;
    ::Form1 = nullptr;
    fm_About.reset();
    // The data module goes before the window so nothing is left connected behind it.
    dm_Inspect.reset();
    Form1.reset();
}

std::unique_ptr<TAppObjects> CreateAppObjects(const QString& settingsFile) {
    auto objects = std::make_unique<TAppObjects>();
    objects->Form1 = std::make_unique<TForm1>(settingsFile);
    ::Form1 = objects->Form1.get();
    objects->dm_Inspect = std::make_unique<Tdm_Inspect>();
    ::dm_Inspect = objects->dm_Inspect.get();
    objects->fm_About = std::make_unique<Tfm_About>(objects->Form1.get());
    ::fm_About = objects->fm_About.get();
    return objects;
}
