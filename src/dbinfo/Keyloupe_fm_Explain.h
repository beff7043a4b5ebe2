#pragma once
// The explanation dialog of the DatabaseInfo tab: a read-only memo above a panel with an OK button. The
// button is neither default nor cancel, so Enter and Escape do not close the dialog; only OK and the
// window's close button do.
#include <QDialog>

#include <memory>

class QPlainTextEdit;
class QPushButton;

namespace Ui {
class Tfm_Explain;
}

class Tfm_Explain : public QDialog {
    Q_OBJECT

public:
    explicit Tfm_Explain(QWidget* parent = nullptr);
    ~Tfm_Explain() override;

    QPlainTextEdit& Memo();
    QPushButton& bt_OK();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void bt_OKClick();

    std::unique_ptr<Ui::Tfm_Explain> ui;
};

// The application's explanation dialog; created last at start-up, null before.
extern Tfm_Explain* fm_Explain;
