// The DatabaseInfo tab: the MSysACEs statistics and the property listing.
#include "fm_Main.h"

#include "ui_fm_Main.h"

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
    return dbinfo::ReadDatabaseInfo(labels, counters, [this](std::int32_t& aces, std::int32_t& nonZero) {
        return dbinfo::CountAces(*this, dm_Inspect->qry1, aces, nonZero);
    });
}

void TForm1::ClearDatabaseInfo() {
    for (QLabel* label : {ui->lb_CDPerms, ui->lb_CDPermsNZ, ui->lb_Groups, ui->lb_Users, ui->lb_MSPerms,
                          ui->lb_MSPermsNZ, ui->lb_MSOrphans})
        label->setText(QStringLiteral("???"));
    ui->me_Props->clear();
}

void TForm1::lb_ACEsExplainClick() {
    if (fm_Explain) dbinfo::ShowAceExplanation(*fm_Explain, AceQueryError);
}

void TForm1::bt_PropReadClick() {
    dbinfo::ReadPropertyListing(*this, *ui->me_Props);
}

void TForm1::bt_PropClearClick() {
    ui->me_Props->clear();
}
