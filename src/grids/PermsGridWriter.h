#pragma once
// Writes catalogue rows into the permissions grid by real row index, growing the grid 20 rows at a
// time as the rows arrive.
#include "control/StringGridModel.h"
#include "security/CatalogueReader.h"

class TPermsGridWriter : public TPermRowWriter {
public:
    explicit TPermsGridWriter(TStringGridModel& model) : m_model(model) {}
    void WriteRow(std::int32_t RowIndex, const TPermRow& Row) override;
    // Trims the grid to the rows written (two rows when none was) with one fixed row.
    void Finish(std::int32_t LastRowIndex);

private:
    TStringGridModel& m_model;
};
