// The permissions grid as text or CSV: the same catalogue walk, hide conditions and sort as Keyloupe's
// Permissions tab after a refresh, printed as its "Copy" button copies it (text, with LF line ends) or
// as RFC 4180 records. The audit report as HTML, and the findings, from the same one walk.
#include "keyloupe-jet/Commands.h"
#include "keyloupe-jet/JetTool.h"
#include "keyloupe-jet/Options.h"
#include "keyloupe-jet/Session.h"

#include "grids/model/PermsGridRules.h"
#include "grids/model/PermsGridWriter.h"
#include "plan/Sandbox.h"
#include "security/AceCountQueries.h"
#include "security/AuditReport.h"
#include "security/CatalogueReader.h"
#include "security/Findings.h"
#include "security/SafeText.h"

#include <ctime>
#include <filesystem>
#include <initializer_list>

namespace jettool {

namespace {

// Passes every row of the walk to several writers.
class TTeeWriter : public TPermRowWriter {
public:
    TTeeWriter(std::initializer_list<TPermRowWriter*> writers) : m_writers(writers) {}
    void WriteRow(std::int32_t RowIndex, const TPermRow& Row) override {
        for (TPermRowWriter* w : m_writers)
            w->WriteRow(RowIndex, Row);
    }

private:
    std::vector<TPermRowWriter*> m_writers;
};

void walk(Session& session, dao::Database& db, TPermRowWriter& writer, TCatalogueCounters& counters) {
    WalkCatalogue(db.Containers(), session.workspace().Users(), session.workspace().Groups(), writer,
                  counters);
}

std::string formatOption(const Invocation& inv, std::initializer_list<const char*> allowed) {
    const std::string format = inv.option("format", "text");
    std::string list;
    for (const char* f : allowed) {
        if (format == f) return format;
        list += (list.empty() ? "" : "|") + std::string(f);
    }
    throw UsageError("--format must be " + list + ", not \"" + format + "\"");
}

// The grid's shown rows, header row first: TAB-separated lines ending in LF, as the "Copy" button copies
// them but for the line end, or CSV records ending in CR LF. Names are written by TextField in both, so
// one row is one line. Written row by row.
void writeGridRows(const TStringGridModel& model, bool csv, std::ostream& out) {
    TCellStringTable::InlineBuffer buffer;
    std::string line;
    const int rows = model.displayRowCount();
    for (int d = 0; d < rows; ++d) {
        const int row = model.realRowIndex(d);
        line.clear();
        for (int col = 0; col < model.colCount(); ++col) {
            if (col > 0) line += csv ? ',' : '\t';
            const std::string cell = model.cellView(col, row, buffer).toString().toStdString();
            line += csv ? CsvCell(TextField(cell)) : TextField(cell);
        }
        line += csv ? "\r\n" : "\n";
        out << line;
    }
}

void writeGrid(const Invocation& inv, Session& session, dao::Database& db, const std::string& format,
               std::ostream& out) {
    std::int32_t flags = 0;
    if (inv.option("hide-system", "false") == "true") flags |= PermFilterSysObj;
    if (inv.option("hide-zero", "false") == "true") flags |= PermFilterZero;
    const std::string sort = inv.option("sort", "object");
    if (sort != "object" && sort != "usergroup")
        throw UsageError("--sort must be object or usergroup, not \"" + sort + "\"");

    TStringGridModel model;
    SetupBarePermsModel(model);
    TPermsGridWriter writer(model);
    TCatalogueCounters counters;
    walk(session, db, writer, counters);
    writer.Finish(counters.RowCount);

    ApplyPermsViewOptions(model, flags, sort == "usergroup" ? PermSortUserGroup : PermSortObject);

    writeGridRows(model, format == "csv", out);
}

std::string localNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buf[64];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S %Z", &local);
    return buf;
}

std::string absolutePath(const std::string& path) {
    std::error_code ec;
    const auto p = std::filesystem::absolute(path, ec);
    return ec ? path : p.lexically_normal().string();
}

// The two MSysACEs counts of the DatabaseInfo tab, run on the open database.
void countAces(dao::Database& db, TReportSummary& summary) {
    std::int32_t* const results[] = {&summary.AceRows, &summary.AceNonZero};
    try {
        for (std::size_t i = 0; i < AceCountQueries.size(); ++i) {
            auto rs = db.CreateQueryDef("", AceCountQueries[i])
                          ->OpenRecordset(com::Variant(std::int32_t{dao::dbOpenDynaset}), com::Variant());
            *results[i] = rs->Field(com::Variant("CountOfACM")).toInt32();
        }
        summary.AcesRead = true;
    } catch (const dao::DaoError& e) {
        summary.AceProblem = e.description();
    }
}

std::vector<TReportAccount> readAccounts(dao::Workspace& ws) {
    std::vector<TReportAccount> accounts;
    dao::UsersPtr users = ws.Users();
    const int userCount = users->Count();
    for (int i = 0; i < userCount; ++i) {
        dao::UserPtr user = users->Item(com::Variant(std::int32_t{i}));
        TReportAccount a{user->Name(), false, {}};
        dao::GroupsPtr groups = user->Groups();
        const int groupCount = groups->Count();
        for (int j = 0; j < groupCount; ++j)
            a.MemberOf.push_back(groups->Item(com::Variant(std::int32_t{j}))->Name());
        accounts.push_back(std::move(a));
    }
    dao::GroupsPtr groups = ws.Groups();
    const int groupCount = groups->Count();
    for (int i = 0; i < groupCount; ++i)
        accounts.push_back({groups->Item(com::Variant(std::int32_t{i}))->Name(), true, {}});
    return accounts;
}

void writeHtmlReport(const Invocation& inv, Session& session, const dao::DatabasePtr& db, std::ostream& out) {
    TReportRowCollector rows;
    TFindingsCollector findings;
    TTeeWriter tee{&rows, &findings};
    TCatalogueCounters counters;
    walk(session, *db, tee, counters);
    const TFindingsResult result = findings.Finish(ReadAuditInputs(session.workspacePtr(), db));

    TReportHeader header;
    header.Database = absolutePath(inv.arg(0));
    header.Workgroup = absolutePath(*inv.global.workgroup);
    header.DatabaseKind = FileKindText(inv.arg(0));
    header.WorkgroupKind = FileKindText(*inv.global.workgroup);
    header.UserName = session.workspace().UserName();
    header.When = localNow();
    header.Version = KEYLOUPE_VERSION;

    TReportSummary summary;
    summary.PermRows = counters.RowCount;
    summary.PermNonZero = counters.NonZeroCount;
    summary.Users = session.workspace().Users()->Count();
    summary.Groups = session.workspace().Groups()->Count();
    countAces(*db, summary);

    WriteAuditReportHtml(out, header, summary, result, readAccounts(session.workspace()), rows.Rows());
}

} // namespace

void cmdReport(const Invocation& inv, std::ostream& out) {
    const std::string format = formatOption(inv, {"text", "csv", "html"});
    if (format == "html" && (inv.option("hide-system") || inv.option("hide-zero") || inv.option("sort")))
        throw UsageError("--hide-system, --hide-zero and --sort apply to the text and csv formats only");
    Session session(inv.global);
    dao::DatabasePtr db = session.openDatabase(inv.arg(0), true);
    if (format == "html")
        writeHtmlReport(inv, session, db, out);
    else
        writeGrid(inv, session, *db, format, out);
}

int cmdFindings(const Invocation& inv, std::ostream& out) {
    const std::string format = formatOption(inv, {"text", "csv"});
    Session session(inv.global);
    dao::DatabasePtr db = session.openDatabase(inv.arg(0), true);
    TFindingsCollector collector;
    TCatalogueCounters counters;
    walk(session, *db, collector, counters);
    const TFindingsResult result = collector.Finish(ReadAuditInputs(session.workspacePtr(), db));
    if (format == "text")
        if (const auto origin = plan::ReadOriginRecord(db))
            out << StripIsolates(plan::SandboxLabel(*origin)) << '\n';
    // What could not be read is said where a script's alert sees it, whatever the format.
    if (!result.UnreadNote.empty() && inv.err) *inv.err << ProgramName << ": " << result.UnreadNote << '\n';
    if (format == "csv")
        WriteFindingsCsv(out, result);
    else
        WriteFindingsText(out, result);
    return result.Findings.empty() ? 0 : FindingsExitStatus;
}

} // namespace jettool
