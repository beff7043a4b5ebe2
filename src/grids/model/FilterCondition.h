#pragma once
// One row-filter condition of the string grid, compiled from its text.
//
// Syntax: the text is trimmed and blanks next to the operators "&", ";", "^" and "|" are removed.
// The operators split it into terms that are evaluated strictly from left to right without
// precedence: "&" is AND, ";", "^" and "|" are OR. A term starting with "!" is negated. A term
// matches the whole cell text: "*" matches any run of characters (none included), "?" exactly one
// character, every other character itself. An empty cell therefore matches an empty term or a term
// of "*" only.
#include <QString>
#include <QStringView>

#include <vector>

class TFilterCondition {
public:
    TFilterCondition(int column, const QString& text, bool caseSensitive);

    int column() const { return m_column; }
    const QString& text() const { return m_text; }
    bool caseSensitive() const { return m_caseSensitive; }

    bool matches(QStringView cell) const;

    // Whole-text wildcard match of one pattern ("*", "?"); pattern must already be case-folded when
    // caseSensitive is false.
    static bool wildcardMatch(QStringView pattern, QStringView text, bool caseSensitive);

private:
    struct Term {
        QString pattern;
        bool negated = false;
        bool orWithPrevious = false; // the operator before the term; unused for the first term
    };

    int m_column;
    QString m_text;
    bool m_caseSensitive;
    std::vector<Term> m_terms;
};
