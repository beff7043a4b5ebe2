#include "util/Keyloupe_fm_About.h"

#include "ui_fm_About.h"
#include "util/KaExeVerInfo.h"

Tfm_About::Tfm_About(QWidget* parent) : Tfm_About(ExeVerInfo(), parent) {}

Tfm_About::Tfm_About(const TExeVerInfo& info, QWidget* parent) : QDialog(parent), ui(new Ui::Tfm_About) {
    ui->setupUi(this);
    // A fixed dialog border: no resizing, only the close button.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(size());
    FormCreate(info);
}

Tfm_About::~Tfm_About() = default;

void Tfm_About::FormCreate(const TExeVerInfo& info) {
    ui->lb_Company->setText(info.CompanyName + QStringLiteral(", Hollinsby"));
    ui->lb_Description->setText(info.FileDescription);
    ui->lb_Version->setText(QStringLiteral("Version: ") + info.FileVersion);
    ui->lb_Copyright->setText(info.LegalCopyright);
}
