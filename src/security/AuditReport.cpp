#include "security/AuditReport.h"

#include "dao/FileProbe.h"
#include "security/SafeText.h"

#include <algorithm>
#include <cstdio>

namespace {

// Findings' texts and notes come with their names already shown visibly (ShownName); any name taken
// straight from the catalogue goes through htmlName.
std::string html(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (const char c : s) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string htmlName(const std::string& s) {
    return html(ShownName(s));
}

// $00BBGGRR as #RRGGBB.
std::string cssColour(std::uint32_t bgr) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02X%02X%02X", bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF);
    return buf;
}

void writeFront(std::ostream& out, const TReportHeader& H, const TReportSummary& S, const TFindingsResult& F,
                const std::vector<TReportAccount>& Accounts);
void writeRows(std::ostream& out, const std::vector<TPermRow>& Rows);

// The appendix: every SID the findings name in short, in full, broken into groups of 16 digits.
void writeSids(std::ostream& out, const TFindingsResult& F) {
    std::vector<std::string> sids;
    for (const TFinding& f : F.Findings)
        if (!f.Sid.empty() && std::find(sids.begin(), sids.end(), f.Sid) == sids.end()) sids.push_back(f.Sid);
    if (sids.empty()) return;
    out << "<h2>Appendix: SIDs in full</h2>\n<table>\n<thead><tr><th>SID</th><th>What it is</th>"
           "<th>In full</th></tr></thead>\n";
    for (const std::string& sid : sids) {
        std::string grouped;
        for (std::size_t i = 0; i < sid.size(); i += 16)
            grouped += (i ? " " : "") + sid.substr(i, 16);
        out << "<tr><td class=\"n\">" << html(ShortSid(sid)) << "</td><td>" << html(SidKind(sid))
            << "</td><td class=\"sid\">" << html(grouped) << "</td></tr>\n";
    }
    out << "</table>\n";
}

const char* severityColour(TSeverity s) {
    return s == TSeverity::High ? "#F4C7C3" : s == TSeverity::Medium ? "#FCE8B2" : "#E8EAED";
}

} // namespace

std::string FileKindText(const std::string& path) {
    switch (dao::probeFile(path).family) {
    case dao::FileFamily::Own:
        return "Keyloupe's own file";
    case dao::FileFamily::Jet3:
        return "genuine Jet 3 file";
    case dao::FileFamily::Jet4:
        return "genuine Jet 4 file";
    case dao::FileFamily::Ace:
        return "Access 2007+ file";
    default:
        return "unknown";
    }
}

void TReportRowCollector::WriteRow(std::int32_t, const TPermRow& Row) {
    if (Row.Explicit != 0) m_rows.push_back(Row);
}

const std::vector<std::pair<std::string, std::string>>& PermissionLegend() {
    static const std::vector<std::pair<std::string, std::string>> legend = {
        {"E", "granted to this user or group itself, in full"},
        {"e", "granted to this user or group itself, but only in part (some of the right's bits)"},
        {"J", "granted in part to the account itself and in full through one of its groups"},
        {"I", "not granted to the account itself, but held in full through a group it belongs to"},
        {"i", "not granted to the account itself, held in part through a group"},
        {"(blank)", "not held at all"},
        {"-", "the right does not apply to this kind of object"},
        {"?", "the logged-in user may not read this account's permissions on the object"},
        {"Perm Exp / Perm All",
         "the explicit and the effective (own plus groups') permission values in hexadecimal"},
        {"Cnt.Inherit",
         "T: new objects in the container take this account's permissions on it; F: they do not"},
        {"Owner", "O: this account owns the object and may always change its permissions"},
        {"white columns", "rights of every object: Create, Delete, ReadSec, WriteSec, WriteOwner"},
        {"green columns", "rights of tables and queries"},
        {"pink columns", "rights of forms, reports and macros"},
        {"violet columns", "rights of modules"},
        {"cyan columns", "rights of the database itself (MSysDb)"},
    };
    return legend;
}

std::string CsvField(const std::string& text) {
    return CsvCell(text);
}

// A finding's text on a terminal, which does no bidi layout: without the isolating marks, and with any
// control or invisible character left shown visibly, so each part stays on its one line.
std::string lineText(const std::string& s) {
    return VisibleText(StripIsolates(s));
}

void WriteFindingsText(std::ostream& out, const TFindingsResult& F) {
    for (const std::string& n : F.Unread)
        out << "[damaged] " << lineText(n) << '\n';
    out << "Verdict: " << lineText(F.Verdict) << '\n';
    for (const TFinding& f : F.Findings) {
        out << '[' << SeverityText(f.Severity) << "] " << lineText(f.Where) << ": " << lineText(f.What)
            << '\n'
            << "  why: " << lineText(f.Why) << '\n'
            << "  what to do: " << lineText(f.Action) << '\n';
        if (!f.Sid.empty()) out << "  SID: " << f.Sid << '\n';
    }
    for (const std::string& n : F.Notes)
        out << "[note] " << lineText(n) << '\n';
    out << F.Findings.size() << (F.Findings.size() == 1 ? " finding\n" : " findings\n");
}

void WriteFindingsCsv(std::ostream& out, const TFindingsResult& F) {
    out << "severity,where,what,why,action,container,object,account,sid\r\n";
    for (const std::string& n : F.Unread)
        out << "damaged,," << CsvField(n) << ",,,,,,\r\n";
    // The verdict comes first after what could not be read, as a record of its own severity.
    out << "verdict,database," << CsvCell(StripIsolates(F.Verdict)) << ",,,,,,\r\n";
    for (const TFinding& f : F.Findings)
        out << SeverityText(f.Severity) << ',' << CsvCell(StripIsolates(f.Where)) << ','
            << CsvCell(StripIsolates(f.What)) << ',' << CsvCell(StripIsolates(f.Why)) << ','
            << CsvCell(StripIsolates(f.Action)) << ',' << CsvCell(TextField(f.Container)) << ','
            << CsvCell(TextField(f.Object)) << ',' << CsvCell(TextField(f.Account)) << ',' << CsvCell(f.Sid)
            << "\r\n";
}

void WriteAuditReportHtml(std::ostream& out, const TReportHeader& H, const TReportSummary& S,
                          const TFindingsResult& F, const std::vector<TReportAccount>& Accounts,
                          const std::vector<TPermRow>& Rows, int Parts) {
    out << "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Keyloupe audit report: "
        << htmlName(H.Database) << "</title>\n<style>\n"
        << "body{font-family:sans-serif;font-size:10pt;margin:1.5em}h1{font-size:15pt}h2{font-size:12pt;"
           "margin-top:1.5em}table{border-collapse:collapse}td,th{border:1px solid #999;padding:2px 4px;"
           "vertical-align:top}th{background:#eee}td.c{text-align:center;font-family:monospace}"
           "td.h{font-family:monospace}td.n{white-space:nowrap}td.g{background:#B8FFCC}td.p{background:#"
           "FFDFFF}"
           "td.v{background:#FFCAFF}td.y{background:#ABFFFF}*{-webkit-print-color-adjust:exact;print-color-"
           "adjust:exact}"
           "thead{display:table-header-group}p.verdict{font-size:12pt;font-weight:bold}"
           "table.rights{width:100%;table-layout:fixed}table.rights td{overflow-wrap:anywhere;"
           "word-break:break-all}td.sid{font-family:monospace;word-break:break-all}"
           "th.up{writing-mode:vertical-rl;transform:rotate(180deg);white-space:nowrap;text-align:left}"
           "@page{size:A4 landscape;margin:12mm}"
           "@media print{h2{page-break-after:avoid}tr{page-break-inside:avoid}}\n"
        << "</style></head><body>\n";
    if (Parts & ReportFront) writeFront(out, H, S, F, Accounts);
    if (Parts & ReportRows) writeRows(out, Rows);
    if (Parts & ReportLegend) {
        out << "<h2>Legend</h2>\n<table>\n<thead><tr><th>Cell</th><th>Meaning</th></tr></thead>\n";
        for (const auto& [term, meaning] : PermissionLegend())
            out << "<tr><th align=\"left\">" << html(term) << "</th><td>" << html(meaning) << "</td></tr>\n";
        out << "</table>\n";
        writeSids(out, F);
    }
    out << "</body></html>\n";
}

namespace {

void writeFront(std::ostream& out, const TReportHeader& H, const TReportSummary& S, const TFindingsResult& F,
                const std::vector<TReportAccount>& Accounts) {
    out << "<h1>Keyloupe audit report</h1>\n";
    for (const std::string& n : F.Unread)
        out << "<p><b>Damaged:</b> " << html(n) << "</p>\n";
    out << "<table>\n";
    auto headerRow = [&](const char* term, const std::string& value) {
        out << "<tr><th align=\"left\">" << term << "</th><td>" << htmlName(value) << "</td></tr>\n";
    };
    headerRow("Database", H.Database + " (" + H.DatabaseKind + ")");
    headerRow("Workgroup file", H.Workgroup + " (" + H.WorkgroupKind + ")");
    headerRow("Logged in as", H.UserName);
    headerRow("Date and time", H.When);
    headerRow("Keyloupe version", H.Version);
    out << "</table>\n<p class=\"verdict\">" << html(F.Verdict) << "</p>\n";
    if (!F.UnreadNote.empty()) out << "<p><b>" << html(F.UnreadNote) << "</b></p>\n";
    out << "<h2>Summary</h2>\n<table>\n";
    auto figure = [&](const char* term, const std::string& value) {
        out << "<tr><td>" << term << "</td><td align=\"right\">" << html(value) << "</td></tr>\n";
    };
    figure("Permissions read", std::to_string(S.PermRows));
    figure("Non-zero permissions [A]", std::to_string(S.PermNonZero));
    figure("Users", std::to_string(S.Users));
    figure("Groups", std::to_string(S.Groups));
    if (S.AcesRead) {
        figure("MSysACEs rows", std::to_string(S.AceRows));
        figure("Non-zero MSysACEs rows [B]", std::to_string(S.AceNonZero));
        figure("Orphan permissions [B - A]", std::to_string(S.AceNonZero - S.PermNonZero));
    } else {
        figure("MSysACEs", "not read: " + S.AceProblem);
    }
    figure("Findings", std::to_string(F.Findings.size()));
    out << "</table>\n<h2>Findings</h2>\n<p><b>" << html(F.Verdict) << "</b></p>\n";
    if (!F.UnreadNote.empty()) out << "<p><b>" << html(F.UnreadNote) << "</b></p>\n";
    for (const std::string& n : F.Notes)
        out << "<p><i>" << html(n) << "</i></p>\n";
    if (F.Findings.empty())
        out << "<p>None.</p>\n";
    else {
        out << "<table>\n<thead><tr><th>Severity</th><th>Where</th><th>What</th><th>Why it matters</th>"
               "<th>What to do</th></tr></thead>\n";
        for (const TFinding& f : F.Findings)
            out << "<tr><td bgcolor=\"" << severityColour(f.Severity) << "\">" << SeverityText(f.Severity)
                << "</td><td>" << html(f.Where) << "</td><td>" << html(f.What) << "</td><td>" << html(f.Why)
                << "</td><td>" << html(f.Action) << "</td></tr>\n";
        out << "</table>\n";
    }

    out << "<h2>Accounts and memberships</h2>\n<table>\n<thead><tr><th>User</th>";
    std::vector<const TReportAccount*> groups;
    for (const auto& a : Accounts)
        if (a.Group) groups.push_back(&a);
    for (const auto* g : groups)
        out << "<th>" << htmlName(g->Name) << "</th>";
    out << "</tr></thead>\n";
    for (const auto& a : Accounts) {
        if (a.Group) continue;
        out << "<tr><td>" << htmlName(a.Name) << "</td>";
        for (const auto* g : groups) {
            const bool member = std::find(a.MemberOf.begin(), a.MemberOf.end(), g->Name) != a.MemberOf.end();
            out << "<td class=\"c\" align=\"center\">" << (member ? "Y" : "") << "</td>";
        }
        out << "</tr>\n";
    }
    out << "</table>\n";
}

// The class of a right column's cells: its colour band.
const char* bandClass(std::uint32_t colour) {
    switch (colour) {
    case 0x00CCFFB8:
        return " class=\"g\"";
    case 0x00FFDFFF:
        return " class=\"p\"";
    case 0x00FFCAFF:
        return " class=\"v\"";
    case 0x00FFFFAB:
        return " class=\"y\"";
    default:
        return "";
    }
}

void writeRows(std::ostream& out, const std::vector<TPermRow>& Rows) {
    // The table fits the width of a landscape page: the right columns are one letter wide under
    // captions set upright, and the names wrap inside the width left over.
    out << "<h2>Non-zero rights per object and account</h2>\n<table class=\"rights\" "
           "style=\"font-size:7pt\">\n<colgroup><col><col><col style=\"width:2em\"><col>"
           "<col style=\"width:5.5em\"><col style=\"width:5.5em\"><col style=\"width:2em\">"
           "<col style=\"width:2em\">";
    for (int col = FirstPermColumn; col <= LastPermColumn; ++col)
        out << "<col style=\"width:1.8em\">";
    out << "</colgroup>\n<thead><tr><th>Container</th><th>Object</th><th>U/G</th><th>Account</th>"
           "<th>Perm Exp</th><th>Perm All</th><th class=\"up\">Inherit</th><th class=\"up\">Owner</th>";
    for (int col = FirstPermColumn; col <= LastPermColumn; ++col) {
        const TSecColInfo& c = SecColInfo[static_cast<std::size_t>(col)];
        out << "<th class=\"up\" bgcolor=\"" << cssColour(c.Color == 0 ? 0xFFFFFF : c.Color) << "\">"
            << c.Caption << "</th>";
    }
    out << "</tr></thead>\n";
    for (const TPermRow& r : Rows) {
        out << "<tr><td>" << htmlName(r.Container) << "</td><td>" << htmlName(r.ObjectName) << "</td><td>"
            << r.Kind << "</td><td>" << htmlName(r.UGName) << "</td><td>" << PermHex(r.Explicit)
            << "</td><td>" << PermHex(r.Effective) << "</td><td>" << r.Inherit << "</td><td>" << r.Owner
            << "</td>";
        for (int col = FirstPermColumn; col <= LastPermColumn; ++col) {
            const std::uint32_t colour = SecColInfo[static_cast<std::size_t>(col)].Color;
            out << "<td" << bandClass(colour) << ">"
                << r.Letters[static_cast<std::size_t>(col - FirstPermColumn)] << "</td>";
        }
        out << "</tr>\n";
    }
    out << "</table>\n";
}

} // namespace
