#include "grids/model/FilterCondition.h"

namespace {

bool isBlank(QChar c) {
    return c == u' ' || c == u'\t';
}
bool isOperator(QChar c) {
    return c == u'&' || c == u';' || c == u'^' || c == u'|';
}

// Trims the text and drops the blanks on both sides of every operator.
QString normalise(const QString& text) {
    const QString trimmed = text.trimmed();
    QString out;
    out.reserve(trimmed.size());
    for (qsizetype i = 0; i < trimmed.size(); ++i) {
        const QChar c = trimmed[i];
        if (isBlank(c)) {
            qsizetype j = i;
            while (j < trimmed.size() && isBlank(trimmed[j]))
                ++j;
            const bool afterOperator = !out.isEmpty() && isOperator(out.back());
            const bool beforeOperator = j < trimmed.size() && isOperator(trimmed[j]);
            if (!afterOperator && !beforeOperator) out.append(trimmed.mid(i, j - i));
            i = j - 1;
            continue;
        }
        out.append(c);
    }
    return out;
}

} // namespace

TFilterCondition::TFilterCondition(int column, const QString& text, bool caseSensitive)
    : m_column(column), m_text(text), m_caseSensitive(caseSensitive) {
    const QString source = normalise(text);
    Term term;
    qsizetype start = 0;
    for (qsizetype i = 0; i <= source.size(); ++i) {
        if (i < source.size() && !isOperator(source[i])) continue;
        QStringView piece = QStringView(source).mid(start, i - start);
        term.negated = piece.startsWith(u'!');
        if (term.negated) piece = piece.mid(1);
        term.pattern = caseSensitive ? piece.toString() : piece.toString().toCaseFolded();
        m_terms.push_back(term);
        if (i < source.size()) term.orWithPrevious = source[i] != u'&';
        start = i + 1;
    }
}

bool TFilterCondition::wildcardMatch(QStringView pattern, QStringView text, bool caseSensitive) {
    qsizetype p = 0, t = 0, star = -1, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            resume = t;
            continue;
        }
        if (p < pattern.size()) {
            const QChar c = caseSensitive ? text[t] : text[t].toCaseFolded();
            if (pattern[p] == u'?' || pattern[p] == c) {
                ++p;
                ++t;
                continue;
            }
        }
        if (star < 0) return false;
        p = star + 1;
        t = ++resume;
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

bool TFilterCondition::matches(QStringView cell) const {
    bool result = false;
    for (std::size_t i = 0; i < m_terms.size(); ++i) {
        const Term& term = m_terms[i];
        if (i > 0 && (term.orWithPrevious ? result : !result)) continue; // the outcome is already fixed
        result = wildcardMatch(term.pattern, cell, m_caseSensitive) != term.negated;
    }
    return result;
}
