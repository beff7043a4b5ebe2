#include "dbinfo/Keyloupe_fm_Explain.h"

#include "ui_fm_Explain.h"

#include <QKeyEvent>

Tfm_Explain::Tfm_Explain(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::Tfm_Explain>()) {
    ui->setupUi(this);
    // A fixed dialog border: no resizing, only the close button.
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(size());
    connect(ui->bt_OK, &QPushButton::clicked, this, &Tfm_Explain::bt_OKClick);
}

Tfm_Explain::~Tfm_Explain() = default;

QPlainTextEdit& Tfm_Explain::Memo() {
    return *ui->Memo;
}

QPushButton& Tfm_Explain::bt_OK() {
    return *ui->bt_OK;
}

void Tfm_Explain::bt_OKClick() {
    accept();
}

void Tfm_Explain::keyPressEvent(QKeyEvent* event) {
    // With no default and no cancel button, Enter and Escape do nothing here.
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->ignore();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}

Tfm_Explain* fm_Explain = nullptr;
