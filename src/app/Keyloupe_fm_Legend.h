#pragma once
// Help > Legend: what the letters, "-", "?" and the colour bands of the permissions grid mean.
#include <QDialog>

#include <memory>

namespace Ui {
class Tfm_Legend;
}

class Tfm_Legend : public QDialog {
    Q_OBJECT
public:
    explicit Tfm_Legend(QWidget* parent = nullptr);
    ~Tfm_Legend() override;

private:
    std::unique_ptr<Ui::Tfm_Legend> ui;
};
