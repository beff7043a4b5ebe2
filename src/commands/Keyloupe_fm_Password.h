#pragma once
// "Change Password": the logged-in user's old password and the new one twice. OK is enabled only while
// the two new entries agree; OK closes with QDialog::Accepted, Cancel and Escape with Rejected.
#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class Tfm_Password;
}

class Tfm_Password : public QDialog {
    Q_OBJECT

public:
    explicit Tfm_Password(QWidget* parent = nullptr);
    ~Tfm_Password() override;

    QString OldPassword() const;
    QString NewPassword() const;

private:
    void UpdateOk();
    std::unique_ptr<Ui::Tfm_Password> ui;
};
