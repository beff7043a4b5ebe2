// keyloupe-jet change-script: the changes between a pair and its origin (or any other pair) as a JScript
// file that applies them on Windows through DAO.
#include "keyloupe-jet/Commands.h"
#include "keyloupe-jet/Options.h"
#include "keyloupe-jet/Session.h"

#include "dao/CatalogueSnapshot.h"
#include "plan/ChangeScript.h"
#include "plan/CompareCatalogues.h"
#include "plan/OriginCheck.h"
#include "plan/Sandbox.h"
#include "security/SafeText.h"

#include <QFileInfo>
#include <QString>

#include <stdexcept>

namespace jettool {
namespace {

// A file of a pair that is not a sandbox's origin, as it is now.
plan::OriginFile describeFile(const std::string& path) {
    const QFileInfo info(QString::fromStdString(path));
    return {info.absoluteFilePath().toStdString(), static_cast<std::uint64_t>(info.size()),
            plan::FileSha256(path), info.lastModified().toUTC().toString(Qt::ISODate).toStdString()};
}

} // namespace

void cmdChangeScript(const Invocation& inv, std::ostream& out) {
    const std::string file = inv.option("out", "");
    if (!plan::IsChangeScriptName(file))
        throw UsageError("--out FILE names the script to write; its name ends in .js");
    const std::optional<std::string> fromWorkgroup = inv.option("from-workgroup");
    const std::optional<std::string> from = inv.option("from");
    if (fromWorkgroup.has_value() != from.has_value())
        throw UsageError("--from-workgroup W0 and --from D0 go together");

    Session session(inv.global);
    dao::DatabasePtr db = session.openDatabase(inv.arg(0), true);
    const dao::CatalogueSnapshot newer = dao::ReadCatalogueSnapshot(session.workspacePtr(), db);

    plan::OriginRecord origin;
    if (from) {
        origin.workgroup = describeFile(*fromWorkgroup);
        origin.database = describeFile(*from);
        origin.user = inv.global.user;
    } else {
        const std::optional<plan::OriginRecord> record = plan::ReadOriginRecord(db);
        if (!record)
            throw UsageError(
                "'" + inv.arg(0) +
                "' is not a sandbox: name the pair to compare with by --from-workgroup and --from");
        origin = *record;
        for (const std::string& note : plan::OriginChangedNotes(origin))
            out << "[note] " << StripIsolates(note) << '\n';
    }
    // The older pair is read as the same user (a genuine origin does not check the password).
    Session other(inv.global.daoVersion, origin.workgroup.path, inv.global.user, inv.global.password);
    dao::DatabasePtr oldDb = other.openDatabase(origin.database.path, true);
    const dao::CatalogueSnapshot older = dao::ReadCatalogueSnapshot(other.workspacePtr(), oldDb);
    if (from) origin.jetFormat = older.databaseFormat;

    const plan::ScriptFileResult result =
        plan::WriteChangeScriptFile(plan::CompareCatalogues(older, newer), origin, inv.global.user, file);
    out << result.message << '\n';
}

} // namespace jettool
