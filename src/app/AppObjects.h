#pragma once
// The windows and the data module of a Keyloupe run, created in start-up order: the main window, the
// data module, then the dialogs. The data module does not exist while the main window is created.
#include <QString>

#include <memory>

class TForm1;
class Tdm_Inspect;
class Tfm_About;
class Tfm_UGAdd;
class Tfm_Hex;
class Tfm_Explain;

struct TAppObjects {
    TAppObjects() = default;
    TAppObjects(const TAppObjects&) = delete;
    TAppObjects& operator=(const TAppObjects&) = delete;
    ~TAppObjects();

    std::unique_ptr<TForm1> Form1;
    std::unique_ptr<Tdm_Inspect> dm_Inspect;
    std::unique_ptr<Tfm_UGAdd> fm_UGAdd;
    std::unique_ptr<Tfm_About> fm_About;
    std::unique_ptr<Tfm_Hex> fm_Hex;
    std::unique_ptr<Tfm_Explain> fm_Explain;
};

// Creates everything in start-up order and publishes the instances in the global pointers (Form1,
// dm_Inspect, fm_About ...); they are cleared again when the objects are destroyed.
std::unique_ptr<TAppObjects> CreateAppObjects(const QString& settingsFile);
