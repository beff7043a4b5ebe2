#include "app/AppObjects.h"

#include "app/fm_Main.h"

#include "commands/Keyloupe_fm_Hex.h"
#include "commands/Keyloupe_fm_UGAdd.h"
#include "dbinfo/Keyloupe_fm_Explain.h"
#include "jet/dm_Inspect.h"
#include "util/Keyloupe_fm_About.h"

Tfm_About* fm_About = nullptr;

TAppObjects::~TAppObjects() {
    ::fm_Explain = nullptr;
    ::fm_Hex = nullptr;
    fm_About = nullptr;
    ::fm_UGAdd = nullptr;
    ::dm_Inspect = nullptr;
    ::Form1 = nullptr;
    fm_Explain.reset();
    fm_Hex.reset();
    fm_About.reset();
    fm_UGAdd.reset();
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
    objects->fm_UGAdd = std::make_unique<Tfm_UGAdd>(objects->Form1.get());
    ::fm_UGAdd = objects->fm_UGAdd.get();
    objects->fm_About = std::make_unique<Tfm_About>(objects->Form1.get());
    ::fm_About = objects->fm_About.get();
    objects->fm_Hex = std::make_unique<Tfm_Hex>(objects->Form1.get());
    ::fm_Hex = objects->fm_Hex.get();
    objects->fm_Explain = std::make_unique<Tfm_Explain>(objects->Form1.get());
    ::fm_Explain = objects->fm_Explain.get();
    return objects;
}
