// The DatabaseInfo tab: the MSysACEs statistics and the property listing.
#include "fm_Main.h"

#include "ui_fm_Main.h"

void TForm1::ConnectDatabaseInfoHandlers() {}

bool TForm1::ReadDatabaseInfo() {
    return true;
}

void TForm1::ClearDatabaseInfo() {
    for (QLabel* label : {ui->lb_CDPerms, ui->lb_CDPermsNZ, ui->lb_Groups, ui->lb_Users, ui->lb_MSPerms,
                          ui->lb_MSPermsNZ, ui->lb_MSOrphans})
        label->setText(QStringLiteral("???"));
    ui->me_Props->clear();
}

void TForm1::lb_ACEsExplainClick() {}
void TForm1::bt_PropReadClick() {}
void TForm1::bt_PropClearClick() {}
