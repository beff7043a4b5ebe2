#include "commands/Keyloupe_fm_UGAdd.h"

#include "ui_fm_UGAdd.h"

Tfm_UGAdd* fm_UGAdd = nullptr;

Tfm_UGAdd::Tfm_UGAdd(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::Tfm_UGAdd>()) {
    ui->setupUi(this);
    // A fixed dialog border: no resizing, only the close button.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(size());
    connect(ui->bt_OK, &QPushButton::clicked, this, &Tfm_UGAdd::accept);
    connect(ui->CancelBtn, &QPushButton::clicked, this, &Tfm_UGAdd::reject);
}

Tfm_UGAdd::~Tfm_UGAdd() = default;

int Tfm_UGAdd::ItemIndex() const {
    if (ui->rg_UG_User->isChecked()) return 0;
    if (ui->rg_UG_Group->isChecked()) return 1;
    return -1;
}

void Tfm_UGAdd::SetItemIndex(int index) {
    if (index == 0) {
        ui->rg_UG_User->setChecked(true);
    } else if (index == 1) {
        ui->rg_UG_Group->setChecked(true);
    } else {
        // Auto-exclusive buttons refuse to uncheck the last checked one on their own.
        ui->rg_UG_User->setAutoExclusive(false);
        ui->rg_UG_Group->setAutoExclusive(false);
        ui->rg_UG_User->setChecked(false);
        ui->rg_UG_Group->setChecked(false);
        ui->rg_UG_User->setAutoExclusive(true);
        ui->rg_UG_Group->setAutoExclusive(true);
    }
}

void Tfm_UGAdd::EmptyEdits() {
    ui->tx_UGName->clear();
    ui->tx_PID->clear();
    ui->tx_Password->clear();
}

QString Tfm_UGAdd::UGName() const {
    return ui->tx_UGName->text();
}
QString Tfm_UGAdd::PID() const {
    return ui->tx_PID->text();
}
QString Tfm_UGAdd::Password() const {
    return ui->tx_Password->text();
}

void Tfm_UGAdd::showEvent(QShowEvent* event) {
    // Every showing starts in the first field of the tab order.
    ui->tx_UGName->setFocus(Qt::OtherFocusReason);
    QDialog::showEvent(event);
}
