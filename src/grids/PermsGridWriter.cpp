#include "PermsGridWriter.h"

#include <cstdio>

namespace {
QString text(const std::string& s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}
} // namespace

void TPermsGridWriter::WriteRow(std::int32_t RowIndex, const TPermRow& Row) {
    TStringGridModel& model = m_model;
    if (model.rowCount() - 1 < RowIndex) model.setRowCount(model.rowCount() + 20);
    char digits[16];
    const int n = std::snprintf(digits, sizeof digits, "%d", Row.Seq);
    model.setCell(colNum, RowIndex, QString::fromLatin1(digits, n));
    model.setCell(colContainer, RowIndex, text(Row.Container));
    model.setCell(colObjectName, RowIndex, text(Row.ObjectName));
    const QChar kind = QLatin1Char(Row.Kind);
    model.setCell(colUserGroup, RowIndex, QStringView(&kind, 1));
    model.setCell(colUGName, RowIndex, text(Row.UGName));
    model.setCell(colPermExp, RowIndex, QString::fromLatin1(PermHex(Row.Explicit)));
    model.setCell(colPermAll, RowIndex, QString::fromLatin1(PermHex(Row.Effective)));
    const QChar inherit = QLatin1Char(Row.Inherit);
    model.setCell(colInherit, RowIndex, QStringView(&inherit, 1));
    const QChar owner = QLatin1Char(Row.Owner);
    model.setCell(colOwner, RowIndex, QStringView(&owner, 1));
    for (int c = FirstPermColumn; c <= LastPermColumn; ++c) {
        const QChar letter = QLatin1Char(Row.Letters[static_cast<std::size_t>(c - FirstPermColumn)]);
        model.setCell(c, RowIndex, QStringView(&letter, 1));
    }
}

void TPermsGridWriter::Finish(std::int32_t LastRowIndex) {
    m_model.setRowCount(LastRowIndex > 0 ? LastRowIndex + 1 : 2);
    m_model.setFixedRowCount(1);
}
