#include "app/Keyloupe_fm_Legend.h"

#include "security/AuditReport.h"
#include "ui_fm_Legend.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableWidgetItem>

#include <algorithm>

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
    // Every entry on one line, in rows of one height, and the table as large as its entries: the whole
    // legend shows without scrolling at the dialog's own size.
    QTableWidget& table = *ui->tw_Legend;
    table.setWordWrap(false);
    table.resizeColumnsToContents();
    table.resizeRowsToContents();
    int rowHeight = 0, height = table.horizontalHeader()->sizeHint().height() + 2 * table.frameWidth();
    for (int i = 0; i < table.rowCount(); ++i)
        rowHeight = std::max(rowHeight, table.rowHeight(i));
    table.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table.verticalHeader()->setDefaultSectionSize(rowHeight);
    for (int i = 0; i < table.rowCount(); ++i)
        table.setRowHeight(i, rowHeight);
    height += rowHeight * table.rowCount();
    const int width = table.columnWidth(0) + table.columnWidth(1) + 2 * table.frameWidth() + 8;
    table.setMinimumSize(width, height);
    table.setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    adjustSize();
    connect(ui->bt_LegendClose, &QPushButton::clicked, this, &QDialog::accept);
}

Tfm_Legend::~Tfm_Legend() = default;
