#include "util/Keyloupe_fm_Licences.h"

#include "ui_fm_Licences.h"
#include "util/Licence.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableWidgetItem>

const std::vector<TThirdPartyLicence>& ThirdPartyLicences() {
    static const std::vector<TThirdPartyLicence> libraries = {
        {"Qt 6 (Core, Gui, Widgets): windows, dialogs, text and printing",
         "LGPL-3.0-only, GPL-2.0-only or GPL-3.0-only",
         "https://download.qt.io/official_releases/qt/ (Debian source package qt6-base)"},
        {"libmdb (MDB Tools): reads genuine Jet files", "LGPL-2.0-or-later",
         "https://github.com/mdbtools/mdbtools (Debian source package mdbtools)"},
        {"SQLite: holds Keyloupe's own databases and workgroup files", "Public domain",
         "https://sqlite.org/download.html (Debian source package sqlite3)"},
        {"libsodium: the password hashes of Keyloupe's own workgroup files", "ISC",
         "https://github.com/jedisct1/libsodium (Debian source package libsodium)"},
    };
    return libraries;
}

Tfm_Licences::Tfm_Licences(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::Tfm_Licences>()) {
    ui->setupUi(this);
    ui->lb_LicencesOwn->setText(QString::fromUtf8(KeyloupeLicenceLine) +
                                QStringLiteral(" The full text is in the file LICENSE of the source and in "
                                               "/usr/share/doc/keyloupe/copyright. Keyloupe links these "
                                               "libraries dynamically; each keeps its own licence:"));
    const auto& libraries = ThirdPartyLicences();
    QTableWidget& table = *ui->tw_Licences;
    table.setRowCount(static_cast<int>(libraries.size()));
    for (int i = 0; i < table.rowCount(); ++i) {
        const TThirdPartyLicence& l = libraries[std::size_t(i)];
        int col = 0;
        for (const char* text : {l.Name, l.Licence, l.Source}) {
            auto* item = new QTableWidgetItem(QString::fromUtf8(text));
            item->setToolTip(item->text());
            table.setItem(i, col++, item);
        }
    }
    // The dialog takes the table's full size: every name, licence and address shows whole.
    table.setWordWrap(false);
    table.resizeColumnsToContents();
    table.resizeRowsToContents();
    int width = 2 * table.frameWidth() + 8,
        height = table.horizontalHeader()->sizeHint().height() + 2 * table.frameWidth();
    for (int c = 0; c < table.columnCount(); ++c)
        width += table.columnWidth(c);
    for (int r = 0; r < table.rowCount(); ++r)
        height += table.rowHeight(r);
    table.setMinimumSize(width, height);
    adjustSize();
    connect(ui->bt_LicencesClose, &QPushButton::clicked, this, &QDialog::accept);
}

Tfm_Licences::~Tfm_Licences() = default;
