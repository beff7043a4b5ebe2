#include "commands/Keyloupe_fm_Password.h"

#include "ui_fm_Password.h"

#include <QPushButton>

Tfm_Password::Tfm_Password(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::Tfm_Password>()) {
    ui->setupUi(this);
    connect(ui->bb_Password, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(ui->bb_Password, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(ui->tx_NewPassword, &QLineEdit::textChanged, this, &Tfm_Password::UpdateOk);
    connect(ui->tx_RepeatPassword, &QLineEdit::textChanged, this, &Tfm_Password::UpdateOk);
    UpdateOk();
}

Tfm_Password::~Tfm_Password() = default;

QString Tfm_Password::OldPassword() const {
    return ui->tx_OldPassword->text();
}

QString Tfm_Password::NewPassword() const {
    return ui->tx_NewPassword->text();
}

void Tfm_Password::UpdateOk() {
    ui->bb_Password->button(QDialogButtonBox::Ok)
        ->setEnabled(ui->tx_NewPassword->text() == ui->tx_RepeatPassword->text());
}
