#pragma once
// The "Add User or Group" dialog: name, PID and password of a new account and whether it is a user or
// a group. "Add" (the default button) closes it with QDialog::Accepted; "Cancel", Escape and the title
// bar with QDialog::Rejected. The User/Group choice carries over from one use to the next.
#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class Tfm_UGAdd;
}

class Tfm_UGAdd : public QDialog {
    Q_OBJECT

public:
    explicit Tfm_UGAdd(QWidget* parent = nullptr);
    ~Tfm_UGAdd() override;

    // The radio group rg_UG: 0 "User", 1 "Group", -1 when neither is selected.
    int ItemIndex() const;
    void SetItemIndex(int index);

    // Empties tx_UGName, tx_PID and tx_Password; the User/Group choice stays.
    void EmptyEdits();
    QString UGName() const;
    QString PID() const;
    QString Password() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::unique_ptr<Ui::Tfm_UGAdd> ui;
};

// The dialog instance created at start-up; null before and after.
extern Tfm_UGAdd* fm_UGAdd;
