#pragma once
// The changes between two catalogues as people and scripts read them: one line of words per change
// (keyloupe-jet changes and the window's Changes tab show the same lines), CSV records (RFC 4180) and
// one JSON array.
#include "plan/Changes.h"

#include <ostream>
#include <string>
#include <vector>

namespace plan {

// The change in words, on one line: names are written as a text output's fields (TextField: control and
// invisible characters as C escapes, a backslash doubled). For example
//   permissions of Users (group) on Tables \ Orders: 000F4 -> 00000, removes ReadDef, RetrieveData
std::string ChangeLine(const Change& change);

// "3 changes", "No differences.", "2 changes, 1 object on one side only".
std::string ChangesSummary(const std::vector<Change>& changes);

// notes: lines said first, each as "[note] " and the note (for example that a sandbox's origin files
// changed since the import), shown visibly without bidi isolates. Then one line per change and the summary.
void WriteChangesText(std::ostream& out, const std::vector<Change>& changes,
                      const std::vector<std::string>& notes = {});

// A header record, then one record per change: kind, container, object, account, accountKind, group,
// pid, before, after, rightsAdded, rightsRemoved. Records end in CR LF; each field is written as the
// text output writes it (one record one line) and never starts a spreadsheet formula (CsvCell).
void WriteChangesCsv(std::ostream& out, const std::vector<Change>& changes);

// One array, one object per change with "kind" and the keys that apply to it: "container" and "object"
// (empty for the container itself), "account" and "accountKind" ("U" or "G"), "group", "pid", "before"
// and "after" (permissions as hexadecimal text, owners as account names, inherit as true or false).
// Names are exact: control and invisible characters as \u escapes, bytes that are not UTF-8 as \ufffd.
void WriteChangesJson(std::ostream& out, const std::vector<Change>& changes);

} // namespace plan
