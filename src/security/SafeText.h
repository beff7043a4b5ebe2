#pragma once
// Names read from a file, a path or typed by a user, made safe to show. Such a name may hold anything a
// genuine file can: line breaks, TABs, ESC, bytes that are not UTF-8, zero-width and bidi characters.
// Every output of Keyloupe passes them through one of these before showing them:
//
// - TextField: a field of a line-based text output (dump, accounts, report --format text, the
//   findings as text). Control characters and invisible characters are written as C escapes (\n, \t,
//   \r, \x1b, \u200b) and a backslash is doubled, so one row is always one line and the text can be
//   read back without doubt.
// - VisibleText: a name inside a sentence (findings, the report, hints, the window). Control and
//   invisible characters are written as <U+200B>, bytes that are not UTF-8 as <0xE9>; nothing else
//   changes, so a backslash stays one backslash.
// - ShownName: VisibleText, isolated from the text around it (U+2068 ... U+2069) when it holds a
//   character outside ASCII, so a right-to-left name cannot reorder the sentence it stands in.
//   StripIsolates takes those marks out again for outputs that do no bidi layout (a terminal).
// - JsonString: a JSON string literal that every parser reads alike.
// - CsvCell: an RFC 4180 field that a spreadsheet takes as text, never as a formula.
//
// None of them uses Qt; the window converts the result with QString::fromStdString.
#include <string>
#include <string_view>

// True when the code point is a control character (C0, DEL, C1) or a character that shows nothing:
// Unicode format characters (zero-width, bidi controls, the byte order mark, tags), the line and
// paragraph separators, variation selectors and the fillers that render blank.
bool IsInvisibleCodePoint(char32_t c);

std::string TextField(std::string_view text);
std::string VisibleText(std::string_view text);
std::string ShownName(std::string_view text);
std::string StripIsolates(std::string_view text);

// One CSV field: a field that begins with '=', '+', '-', '@', TAB or CR gets a leading apostrophe (the
// way spreadsheet programs mark text), then it is quoted when it holds a comma, a double quote, CR or
// LF (RFC 4180).
std::string CsvCell(std::string_view text);

// A JSON string in double quotes: the quote and the backslash escaped, every control and invisible
// character (IsInvisibleCodePoint) as \uXXXX (a surrogate pair beyond U+FFFF), each byte that is not
// UTF-8 as \uFFFD (JSON holds text only), everything else as it is.
std::string JsonString(std::string_view text);

// The built-in account a name only looks like ("admin", "Admins", "Users", "Engine", "Creator"):
// the name differs from it, but equals it once invisible characters are dropped, look-alike letters
// of other scripts (Cyrillic, Greek, full-width) are read as their Latin twins and case is ignored.
// Empty when the name looks like none, or is one of them.
std::string BuiltInLookAlike(std::string_view name);
