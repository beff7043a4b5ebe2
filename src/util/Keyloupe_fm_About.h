#pragma once
// The About box: company, description, version and copyright of the executable, and the credits.
#include <QDialog>

#include <memory>

class TExeVerInfo;

namespace Ui {
class Tfm_About;
}

class Tfm_About : public QDialog {
    Q_OBJECT

public:
    // Shows the values of the running executable (the shared ExeVerInfo).
    explicit Tfm_About(QWidget* parent = nullptr);
    // Shows the values of info.
    explicit Tfm_About(const TExeVerInfo& info, QWidget* parent = nullptr);
    ~Tfm_About() override;

private:
    void FormCreate(const TExeVerInfo& info);

    std::unique_ptr<Ui::Tfm_About> ui;
};
