// The changes between two catalogues, and the findings' fixes on a sandbox.
#include "keyloupe-jet/Commands.h"
#include "keyloupe-jet/JetTool.h"
#include "keyloupe-jet/Options.h"
#include "keyloupe-jet/Session.h"

#include "dao/CatalogueSnapshot.h"
#include "plan/ChangeWriters.h"
#include "plan/CompareCatalogues.h"
#include "plan/FindingFixes.h"
#include "plan/OriginCheck.h"
#include "plan/Sandbox.h"
#include "security/Findings.h"
#include "security/SafeText.h"

#include <iostream>
#include <stdexcept>

namespace jettool {

int cmdChanges(const Invocation& inv, std::ostream& out) {
    const std::string format = inv.option("format", "text");
    if (format != "text" && format != "csv" && format != "json")
        throw UsageError("--format must be text|csv|json, not \"" + format + "\"");
    std::optional<std::string> fromWorkgroup = inv.option("from-workgroup");
    std::optional<std::string> from = inv.option("from");
    if (fromWorkgroup.has_value() != from.has_value())
        throw UsageError("--from-workgroup W0 and --from D0 go together");

    Session session(inv.global);
    dao::DatabasePtr db = session.openDatabase(inv.arg(0), true);
    // A sandbox is compared with its origin unless another pair is named.
    const std::optional<plan::OriginRecord> origin = plan::ReadOriginRecord(db);
    std::vector<std::string> notes;
    if (!from) {
        if (!origin)
            throw UsageError("--from-workgroup W0 and --from D0 name the pair to compare with (a sandbox is "
                             "compared with its origin without them)");
        fromWorkgroup = origin->workgroup.path;
        from = origin->database.path;
        notes = plan::OriginChangedNotes(*origin);
    }
    const dao::CatalogueSnapshot newer = dao::ReadCatalogueSnapshot(session.workspacePtr(), db);
    // The older pair is read as the same user.
    Session other(inv.global.daoVersion, *fromWorkgroup, inv.global.user, inv.global.password);
    dao::DatabasePtr oldDb = other.openDatabase(*from, true);
    const dao::CatalogueSnapshot older = dao::ReadCatalogueSnapshot(other.workspacePtr(), oldDb);

    const std::vector<plan::Change> changes = plan::CompareCatalogues(older, newer);
    // CSV and JSON stay records only: their notes go to standard error.
    if (format != "text")
        for (const std::string& note : notes)
            std::cerr << ProgramName << ": " << StripIsolates(note) << '\n';
    if (format == "csv")
        plan::WriteChangesCsv(out, changes);
    else if (format == "json")
        plan::WriteChangesJson(out, changes);
    else
        plan::WriteChangesText(out, changes, notes);
    return changes.empty() ? 0 : ChangesExitStatus;
}

void cmdFix(const Invocation& inv, std::ostream& out) {
    Session session(inv.global);
    dao::DatabasePtr db = session.openDatabase(inv.arg(0), false);
    if (db->AuditOnly())
        throw std::runtime_error("genuine Jet files are never written: fix a sandbox of them (keyloupe-jet "
                                 "sandbox DB DIR) and carry the changes over from there");
    TFindingsCollector collector;
    TCatalogueCounters counters;
    WalkCatalogue(db->Containers(), session.workspace().Users(), session.workspace().Groups(), collector,
                  counters);
    const TFindingsResult result = collector.Finish(ReadAuditInputs(session.workspacePtr(), db));
    std::vector<const TFinding*> findings;
    for (const TFinding& f : result.Findings)
        findings.push_back(&f);
    const std::string owner = inv.option("owner", "");
    if (owner.empty() && plan::NeedsNewOwner(findings))
        throw UsageError("--owner ACCOUNT is needed: some findings are about objects admin owns, and "
                         "they are given to that account");
    const std::vector<plan::FixStep> steps = plan::FixSteps(findings, owner);
    for (const plan::FixStep& step : steps) {
        plan::ApplyFixStep(db->Containers(), step);
        out << plan::FixStepLine(step) << '\n';
    }
    std::size_t unfixed = 0;
    for (const TFinding* f : findings)
        if (f->Fix == TFixKind::None) ++unfixed;
    out << steps.size() << (steps.size() == 1 ? " fix" : " fixes") << " applied; " << unfixed
        << (unfixed == 1 ? " finding has" : " findings have") << " no mechanical fix\n";
}

} // namespace jettool
