// The permissions grid as text: the same catalogue walk, hide conditions and sort as Keyloupe's
// Permissions tab after a refresh, printed as its "Copy" button copies it, with LF line ends.
#include "Commands.h"
#include "Options.h"
#include "Session.h"

#include "ASGHelper.h"
#include "PermsGrid.h"
#include "PermsGridWriter.h"
#include "security/CatalogueReader.h"

namespace jettool {

void cmdReport(const Invocation& inv, std::ostream& out) {
    std::int32_t flags = 0;
    if (inv.option("hide-system", "false") == "true") flags |= PermFilterSysObj;
    if (inv.option("hide-zero", "false") == "true") flags |= PermFilterZero;
    const std::string sort = inv.option("sort", "object");
    if (sort != "object" && sort != "usergroup")
        throw UsageError("--sort must be object or usergroup, not \"" + sort + "\"");

    Session session(inv.global);
    dao::DatabasePtr db = session.openDatabase(inv.arg(0), true);

    TStringGridModel model;
    model.setColCount(SecColCount);
    model.setRowCount(1);
    model.setFixedColCount(FirstPermColumn);
    model.setFixedRowCount(1);
    SetupPermsHeader(model);
    TPermsGridWriter writer(model);
    TCatalogueCounters counters;
    WalkCatalogue(db->Containers(), session.workspace().Users(), session.workspace().Groups(), writer,
                  counters);
    writer.Finish(counters.RowCount);

    model.setOnGetFormat(&SetTextCompareStyle);
    model.clearSortKeys();
    AddPermsSortColumns(model, sort == "usergroup" ? PermSortUserGroup : PermSortObject);
    model.setMultiKeySort(true);
    model.sortBody();
    AddPermsFilterConditions(model, flags);
    model.setFilterActive(flags > 0);

    QString text = model.copyText();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out << text.toStdString();
}

} // namespace jettool
