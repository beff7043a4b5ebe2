#include "app/Keyloupe_fm_Legend.h"

#include "security/AuditReport.h"
#include "ui_fm_Legend.h"

#include <QPushButton>
#include <QTableWidgetItem>

Tfm_Legend::Tfm_Legend(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::Tfm_Legend>()) {
    ui->setupUi(this);
    const auto& legend = PermissionLegend();
    ui->tw_Legend->setRowCount(static_cast<int>(legend.size()));
    for (int i = 0; i < static_cast<int>(legend.size()); ++i) {
        ui->tw_Legend->setItem(i, 0,
                               new QTableWidgetItem(QString::fromStdString(legend[std::size_t(i)].first)));
        ui->tw_Legend->setItem(i, 1,
                               new QTableWidgetItem(QString::fromStdString(legend[std::size_t(i)].second)));
    }
    ui->tw_Legend->resizeColumnToContents(0);
    ui->tw_Legend->resizeRowsToContents();
    connect(ui->bt_LegendClose, &QPushButton::clicked, this, &QDialog::accept);
}

Tfm_Legend::~Tfm_Legend() = default;
