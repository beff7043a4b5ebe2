// The DatabaseInfo tab: the MSysACEs statistics and the property listing.
#include "app/fm_Main.h"

#include "ui_fm_Main.h"

#include "dao/AuditFacts.h"
#include "dbinfo/Keyloupe_fm_Explain.h"
#include "dbinfo/PropertyListing.h"
#include "dbinfo/SecurityStats.h"
#include "jet/dm_Inspect.h"

void TForm1::ConnectDatabaseInfoHandlers() {
    connect(ui->bt_PropRead, &QPushButton::clicked, this, &TForm1::bt_PropReadClick);
    connect(ui->bt_PropClear, &QPushButton::clicked, this, &TForm1::bt_PropClearClick);
    dbinfo::InstallClickHandler(*ui->lb_ACEsExplain, [this] { lb_ACEsExplainClick(); });
}

bool TForm1::ReadDatabaseInfo() {
    const dbinfo::TDBInfoLabels labels{ui->lb_CDPerms,   ui->lb_CDPermsNZ, ui->lb_Groups,
                                       ui->lb_Users,     ui->gb_ACEs,      ui->lb_MSPerms,
                                       ui->lb_MSPermsNZ, ui->lb_MSOrphans, ui->lb_ACEsExplain};
    const dbinfo::TDBInfoCounters counters{PermRowCount, PermNonZeroCount, UserCount,    GroupCount,
                                           AceCount,     AceNonZeroCount,  AceQueryError};
    ShowUnread({});
    return dbinfo::ReadDatabaseInfo(labels, counters, [this](std::int32_t& aces, std::int32_t& nonZero) {
        // The counts run on a connection of their own, closed again whatever happens. A connect that
        // fails has shown its box; the first query then reports the closed database.
        ConnectFromLogin();
        std::string error;
        try {
            if (db1().Connected() && db1().AuditOnly())
                ShowUnread(dao::ReadCatalogueFacts(db1().DatabaseObject()).unread);
            error = dbinfo::CountAces(dm_Inspect->qry1, aces, nonZero);
        } catch (...) {
            DisconnectDB();
            throw;
        }
        DisconnectDB();
        return error;
    });
}

void TForm1::ShowUnread(const std::vector<std::string>& unread) {
    QString text;
    for (const std::string& part : unread)
        text += (text.isEmpty() ? QString() : QStringLiteral("\n")) + QStringLiteral("Damaged: ") +
                QString::fromStdString(part);
    ui->lb_Unread->setText(text);
    ui->lb_Unread->setVisible(!unread.empty());
}

void TForm1::ClearDatabaseInfo() {
    ShowUnread({});
    for (QLabel* label : {ui->lb_CDPerms, ui->lb_CDPermsNZ, ui->lb_Groups, ui->lb_Users, ui->lb_MSPerms,
                          ui->lb_MSPermsNZ, ui->lb_MSOrphans})
        label->setText(QStringLiteral("???"));
    ui->me_Props->clear();
}

void TForm1::lb_ACEsExplainClick() {
    if (fm_Explain) dbinfo::ShowAceExplanation(*fm_Explain, AceQueryError);
}

void TForm1::bt_PropReadClick() {
    // On a connection of its own; a connect that fails has shown its box, and nothing is listed.
    ui->me_Props->clear();
    if (ConnectFromLogin()) {
        try {
            dbinfo::ReadPropertyListing(db1(), *ui->me_Props);
        } catch (...) {
            DisconnectDB();
            throw;
        }
    }
    DisconnectDB();
}

void TForm1::bt_PropClearClick() {
    ui->me_Props->clear();
}
