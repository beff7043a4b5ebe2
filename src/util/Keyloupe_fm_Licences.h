#pragma once
// Help > Third-Party Licences: Keyloupe's own licence and, for each library it links, its name, its
// licence and where its source is to be had.
#include <QDialog>

#include <memory>
#include <vector>

namespace Ui {
class Tfm_Licences;
}

struct TThirdPartyLicence {
    const char* Name;    // the library and what Keyloupe uses it for
    const char* Licence; // SPDX-style names, as the Debian package's copyright file gives them
    const char* Source;  // where to get the source
};

// The libraries linked into keyloupe and keyloupe-jet, in the order the dialog lists them.
const std::vector<TThirdPartyLicence>& ThirdPartyLicences();

class Tfm_Licences : public QDialog {
    Q_OBJECT

public:
    explicit Tfm_Licences(QWidget* parent = nullptr);
    ~Tfm_Licences() override;

private:
    std::unique_ptr<Ui::Tfm_Licences> ui;
};
