#pragma once
// The audit report: a header saying what was audited, by whom and when, the DatabaseInfo figures, the
// findings, the accounts and memberships, and every object's non-zero rights per account, as a
// self-contained HTML page, and the findings as text or CSV (RFC 4180) for scripts.
#include "security/CatalogueReader.h"
#include "security/Findings.h"

#include <ostream>
#include <string>
#include <vector>

struct TReportHeader {
    std::string Database, Workgroup;
    std::string DatabaseKind, WorkgroupKind; // FileKindText
    std::string UserName;
    std::string When;    // local date and time, as the caller formats it
    std::string Version; // Keyloupe's version
};

// "Keyloupe's own file", "genuine Jet 3 file", "genuine Jet 4 file", "Access 2007+ file" or "unknown".
std::string FileKindText(const std::string& path);

struct TReportSummary {
    std::int32_t PermRows = 0, PermNonZero = 0, Users = 0, Groups = 0;
    bool AcesRead = false;
    std::int32_t AceRows = 0, AceNonZero = 0; // B; orphans = B - A
    std::string AceProblem;                   // why not read
};

struct TReportAccount {
    std::string Name;
    bool Group = false;
    std::vector<std::string> MemberOf; // users: their groups
};

// Keeps the rows of a walk whose explicit permissions are not 0: the report's last section. (Rows held
// only through groups follow from the groups' own rows, and would make the report ten times as long.)
class TReportRowCollector : public TPermRowWriter {
public:
    void WriteRow(std::int32_t RowIndex, const TPermRow& Row) override;
    const std::vector<TPermRow>& Rows() const { return m_rows; }

private:
    std::vector<TPermRow> m_rows;
};

// The report's parts: header, summary, findings and accounts; the rights table; the legend.
enum TReportPart { ReportFront = 1, ReportRows = 2, ReportLegend = 4, ReportAll = 7 };

// Writes the report, or some of its parts, as one HTML page with its styles inline: no network,
// printable.
void WriteAuditReportHtml(std::ostream& out, const TReportHeader& Header, const TReportSummary& Summary,
                          const TFindingsResult& Findings, const std::vector<TReportAccount>& Accounts,
                          const std::vector<TPermRow>& Rows, int Parts = ReportAll);

// The findings, one block of lines each (text) or one record each with a header record (CSV).
void WriteFindingsText(std::ostream& out, const TFindingsResult& Findings);
void WriteFindingsCsv(std::ostream& out, const TFindingsResult& Findings);

// One CSV field, quoted when it holds a comma, a double quote, CR or LF (RFC 4180), and with a leading
// apostrophe when it would start a spreadsheet formula (CsvCell in security/SafeText.h).
std::string CsvField(const std::string& text);

// What the letters, "-", "?" and the colour bands of the permissions grid mean, as (term, meaning).
const std::vector<std::pair<std::string, std::string>>& PermissionLegend();
