#pragma once
// The MSysACEs statistics of the DatabaseInfo tab: the permissions a refresh read through DAO for the
// accounts of the current workgroup [A], compared with the rows of the database's own security table
// MSysACEs and its non-zero rows [B]. B - A are orphan permissions, held by accounts the workgroup does
// not know. When MSysACEs cannot be read, the box says so and the explanation line opens a dialog with
// the engine's error and advice.
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <string>

class QGroupBox;
class QLabel;
class TDAOQuery;
class Tfm_Explain;

namespace dbinfo {

// Texts of the statistics box.
extern const QString AceCaption;        // "MDB MSysACEs Table "
extern const QString AceCaptionNoPerms; // "MDB MSysACEs Table: NO PERMS! "
extern const QString AceNotAvailable;   // "Not avail"
extern const QString AceExplainOrphans; // "... could become active if user is reinstated."
extern const QString AceExplainClick;   // "Click for explanation"

// Runs the two counting queries of AceCountQueries through qry, on the connection of its database
// (the caller opens it; on a closed one the first query fails). Sets AceCount and AceNonZeroCount (0
// for a query that did not run) and returns the message of the failure that stopped it, empty when
// both ran. No message box is shown.
std::string CountAces(TDAOQuery& qry, std::int32_t& AceCount, std::int32_t& AceNonZeroCount);

// The controls the statistics fill.
struct TDBInfoLabels {
    QLabel* lb_CDPerms;
    QLabel* lb_CDPermsNZ;
    QLabel* lb_Groups;
    QLabel* lb_Users;
    QGroupBox* gb_ACEs;
    QLabel* lb_MSPerms;
    QLabel* lb_MSPermsNZ;
    QLabel* lb_MSOrphans;
    QLabel* lb_ACEsExplain;
};

// The main window's counters: those read by the refresh, and those the statistics set.
struct TDBInfoCounters {
    const std::int32_t& PermRowCount;
    const std::int32_t& PermNonZeroCount;
    const std::int32_t& UserCount;
    const std::int32_t& GroupCount;
    std::int32_t& AceCount;
    std::int32_t& AceNonZeroCount;
    std::string& AceQueryError;
};

// Runs the two counts: sets the two counters and returns the error text (see CountAces).
using TCountAces = std::function<std::string(std::int32_t& AceCount, std::int32_t& AceNonZeroCount)>;

// Fills the statistics from the counters and the two counts. Returns true when it ran to the end;
// any failure is swallowed and gives false, after which the caller clears the statistics.
bool ReadDatabaseInfo(const TDBInfoLabels& labels, const TDBInfoCounters& counters,
                      const TCountAces& countAces);

// The explanation dialog's lines for an error text: the heading, the error (its line breaks kept, the
// empty lines at either end left out, one empty line when there is no error), an empty line and the
// advice.
QStringList AceExplanationLines(const std::string& aceQueryError);

// Fills the dialog's memo with the explanation lines and shows it modally; returns its result.
int ShowAceExplanation(Tfm_Explain& dialog, const std::string& aceQueryError);

// Calls onClick whenever the label is clicked with the left mouse button (pressed and released over
// it), as a label's click event does.
void InstallClickHandler(QLabel& label, std::function<void()> onClick);

} // namespace dbinfo
