// The Findings tab, the audit report and the Legend. Findings are worked out from the rows the last
// refresh put into the grids (no second walk of the catalogue) and from the engine's audit facts,
// read through one extra connection when the tab is first shown after a refresh.
#include "app/fm_Main.h"

#include "app/AppObjects.h"
#include "app/AuditReportPdf.h"
#include "app/Keyloupe_fm_Legend.h"
#include "jet/dm_Inspect.h"
#include "security/AuditReport.h"
#include "security/Findings.h"
#include "ui/Cursor.h"
#include "ui/Dialogs.h"
#include "ui/HintTiming.h"
#include "ui_fm_Main.h"
#include "util/KaFileUtils.h"

#include <QDateTime>
#include <QFileInfo>
#include <QTreeWidgetItem>

#include <fstream>
#include <sstream>

namespace {

// A permissions row as the grid holds it.
TPermRow rowFromGrid(const TStringGrid& grid, int r) {
    TPermRow row;
    row.Container = grid.cell(colContainer, r).toStdString();
    row.ObjectName = grid.cell(colObjectName, r).toStdString();
    row.Kind = grid.cell(colUserGroup, r) == QStringLiteral("G") ? 'G' : 'U';
    row.UGName = grid.cell(colUGName, r).toStdString();
    auto hex = [&](int col) { return static_cast<std::int32_t>(grid.cell(col, r).toUInt(nullptr, 16)); };
    row.Explicit = hex(colPermExp);
    row.Effective = hex(colPermAll);
    auto first = [&](int col) {
        const QString t = grid.cell(col, r);
        return t.isEmpty() ? ' ' : t.at(0).toLatin1();
    };
    row.Inherit = first(colInherit);
    row.Owner = first(colOwner);
    for (int c = FirstPermColumn; c <= LastPermColumn; ++c)
        row.Letters[static_cast<std::size_t>(c - FirstPermColumn)] = first(c);
    return row;
}

bool isBodyRow(const TStringGrid& grid, int r) {
    return !grid.cell(colContainer, r).isEmpty() && !grid.cell(colUGName, r).isEmpty();
}

const char* severityIcon(TSeverity s) {
    return s == TSeverity::High ? "high" : s == TSeverity::Medium ? "medium" : "low";
}

} // namespace

void TForm1::ConnectFindingsHandlers() {
    connect(ui->tv_Findings, &QTreeWidget::currentItemChanged, this, [this] { tv_FindingsSelect(); });
    connect(ui->tv_Findings, &QTreeWidget::itemActivated, this, [this] { bt_FindingShowClick(); });
    connect(ui->bt_FindingShow, &QPushButton::clicked, this, &TForm1::bt_FindingShowClick);
    connect(ui->mi_SaveReport, &QAction::triggered, this, &TForm1::mi_SaveReportClick);
    connect(ui->mi_Legend, &QAction::triggered, this, &TForm1::mi_LegendClick);
    ClearFindings();
}

void TForm1::ClearFindings() {
    m_findings.reset();
    m_auditInputs.reset();
    ui->tv_Findings->clear();
    ui->me_FindingDetail->clear();
    ui->bt_FindingShow->setEnabled(false);
    ui->lb_FindingsSummary->setText(QStringLiteral("Refresh, then show this tab to see the findings."));
}

bool TForm1::ReadFindings() {
    ClearFindings();
    if (PermRowCount == 0) return false; // nothing was read
    if (!ConnectFromLogin()) return false;
    auto inputs = std::make_unique<TAuditInputs>();
    try {
        ui::HourGlass busy;
        *inputs = ReadAuditInputs(db1().WorkspaceObject(), db1().DatabaseObject());
    } catch (const std::exception& e) {
        DisconnectDB();
        ui::showMessage(QStringLiteral("Error: ") + QString::fromStdString(e.what()));
        return false;
    }
    DisconnectDB();

    TFindingsCollector collector;
    const TStringGrid& grid = *ui->asg_Perms;
    for (int r = 1; r < grid.rowCount(); ++r) {
        const QString name = grid.cell(colUGName, r);
        // Only the Users group's and admin's rows can make findings; the others are not rebuilt.
        if (name != QStringLiteral("Users") &&
            name.compare(QStringLiteral("admin"), Qt::CaseInsensitive) != 0)
            continue;
        if (isBodyRow(grid, r)) collector.WriteRow(r, rowFromGrid(grid, r));
    }
    m_findings = std::make_unique<TFindingsResult>(collector.Finish(*inputs));
    m_auditInputs = std::move(inputs);

    int counts[3] = {0, 0, 0};
    for (const TFinding& f : m_findings->Findings) {
        ++counts[static_cast<int>(f.Severity)];
        auto* item = new QTreeWidgetItem(ui->tv_Findings,
                                         {QString::fromLatin1(severityIcon(f.Severity)),
                                          QString::fromStdString(f.Where), QString::fromStdString(f.What)});
        item->setToolTip(2, ui::plainToolTip(QString::fromStdString(f.What)));
    }
    QString summary = m_findings->Findings.empty()
                          ? QStringLiteral("No findings.")
                          : QStringLiteral("%1 findings: %2 high, %3 medium, %4 low.")
                                .arg(m_findings->Findings.size())
                                .arg(counts[0])
                                .arg(counts[1])
                                .arg(counts[2]);
    for (const std::string& note : m_findings->Notes)
        summary += QLatin1Char('\n') + QString::fromStdString(note);
    // What could not be read comes first: the findings may miss what it held.
    for (auto it = m_findings->Unread.rbegin(); it != m_findings->Unread.rend(); ++it)
        summary = QStringLiteral("Damaged: ") + QString::fromStdString(*it) + QLatin1Char('\n') + summary;
    ui->lb_FindingsSummary->setText(summary);
    ui->tv_Findings->resizeColumnToContents(0);
    ui->tv_Findings->setColumnWidth(1, 200);
    if (ui->tv_Findings->topLevelItemCount() > 0)
        ui->tv_Findings->setCurrentItem(ui->tv_Findings->topLevelItem(0));
    return true;
}

void TForm1::tv_FindingsSelect() {
    const int i = ui->tv_Findings->indexOfTopLevelItem(ui->tv_Findings->currentItem());
    if (!m_findings || i < 0 || i >= static_cast<int>(m_findings->Findings.size())) {
        ui->me_FindingDetail->clear();
        ui->bt_FindingShow->setEnabled(false);
        return;
    }
    const TFinding& f = m_findings->Findings[static_cast<std::size_t>(i)];
    ui->me_FindingDetail->setPlainText(QStringLiteral("%1\n\nWhy it matters: %2\n\nWhat to do: %3")
                                           .arg(QString::fromStdString(f.What), QString::fromStdString(f.Why),
                                                QString::fromStdString(f.Action)));
    ui->bt_FindingShow->setEnabled(!f.Container.empty());
}

int TForm1::FindingRow(const TFinding& f) const {
    const TStringGrid& grid = *ui->asg_Perms;
    const QString container = QString::fromStdString(f.Container), object = QString::fromStdString(f.Object),
                  account = QString::fromStdString(f.Account);
    for (int r = 1; r < grid.rowCount(); ++r)
        if (grid.cell(colContainer, r) == container && grid.cell(colObjectName, r) == object &&
            (account.isEmpty() || grid.cell(colUGName, r) == account))
            return r;
    return -1;
}

void TForm1::bt_FindingShowClick() {
    const int i = ui->tv_Findings->indexOfTopLevelItem(ui->tv_Findings->currentItem());
    if (!m_findings || i < 0 || i >= static_cast<int>(m_findings->Findings.size())) return;
    const TFinding& f = m_findings->Findings[static_cast<std::size_t>(i)];
    if (f.Container.empty()) return;
    const int real = FindingRow(f);
    TStringGrid& grid = *ui->asg_Perms;
    const int shown = real < 0 ? -1 : grid.displayRowIndex(real);
    if (shown < 0) {
        ui::showMessage(
            QStringLiteral("The row of this finding is hidden by the Hide options on the Permissions tab."));
        return;
    }
    ui->PageControl1->setCurrentWidget(ui->ts_Permissions);
    grid.selectCell(colUGName, shown);
    grid.scrollCellIntoView(colUGName, shown);
    grid.setFocus();
}

void TForm1::PageFindingsShown() {
    if (!m_findings) ReadFindings();
}

bool TForm1::SaveAuditReport(const QString& htmlPath) {
    if (!m_findings && !ReadFindings()) return false;
    TReportHeader header{
        m_lastDatabase.toStdString(),
        m_lastWorkgroup.toStdString(),
        FileKindText(m_lastDatabase.toStdString()),
        FileKindText(m_lastWorkgroup.toStdString()),
        m_lastUserName.toStdString(),
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString(),
        KEYLOUPE_VERSION};
    TReportSummary summary{PermRowCount,          PermNonZeroCount, UserCount,       GroupCount,
                           AceQueryError.empty(), AceCount,         AceNonZeroCount, AceQueryError};

    std::vector<TReportAccount> accounts;
    const TStringGrid& ug = *ui->asg_UG;
    for (int c = 1; c < ug.colCount(); ++c)
        if (!ug.cell(c, 0).isEmpty()) accounts.push_back({ug.cell(c, 0).toStdString(), true, {}});
    for (int r = 1; r < ug.rowCount(); ++r) {
        if (ug.cell(0, r).isEmpty()) continue;
        TReportAccount user{ug.cell(0, r).toStdString(), false, {}};
        for (int c = 1; c < ug.colCount(); ++c)
            if (ug.cell(c, r) == QStringLiteral("Y")) user.MemberOf.push_back(ug.cell(c, 0).toStdString());
        accounts.push_back(std::move(user));
    }
    TReportRowCollector rows;
    const TStringGrid& grid = *ui->asg_Perms;
    for (int r = 1; r < grid.rowCount(); ++r)
        if (isBodyRow(grid, r) && grid.cell(colPermExp, r) != QStringLiteral("00000"))
            rows.WriteRow(r, rowFromGrid(grid, r));

    ui::HourGlass busy;
    {
        std::ofstream out(htmlPath.toStdString(), std::ios::binary | std::ios::trunc);
        WriteAuditReportHtml(out, header, summary, *m_findings, accounts, rows.Rows());
        out.flush();
        if (!out) throw std::runtime_error("Cannot write '" + htmlPath.toStdString() + "'.");
    }
    const QFileInfo info(htmlPath);
    const QString pdfPath = info.path() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral(".pdf");
    std::ostringstream front, legend;
    WriteAuditReportHtml(front, header, summary, *m_findings, accounts, {}, ReportFront);
    WriteAuditReportHtml(legend, header, summary, *m_findings, accounts, {}, ReportLegend);
    WriteAuditReportPdf(pdfPath, front.str(), rows.Rows(), legend.str());
    m_lastReportFiles = {htmlPath, pdfPath};
    return true;
}

void TForm1::mi_SaveReportClick() {
    if (PermRowCount == 0) {
        ui::showMessage(QStringLiteral("Refresh first: the report shows what the last refresh read."));
        return;
    }
    ui::OpenFileRequest request;
    request.title = QStringLiteral("Save Audit Report");
    request.filters = {QStringLiteral("HTML files (*.html)")};
    request.defaultSuffix = QStringLiteral("html");
    request.directory = QFileInfo(m_lastDatabase).path();
    request.fileName = QFileInfo(m_lastDatabase).completeBaseName() + QStringLiteral("-audit.html");
    request.saving = true;
    const std::optional<QString> path = ui::openFile(this, request);
    if (!path) return;
    try {
        if (SaveAuditReport(*path))
            ui::showMessage(QStringLiteral("The audit report was saved as %1 and %2.")
                                .arg(m_lastReportFiles.first, m_lastReportFiles.second));
    } catch (const std::exception& e) {
        ui::showMessage(QStringLiteral("Error: ") + QString::fromStdString(e.what()));
    }
}

void TForm1::mi_LegendClick() {
    Tfm_Legend legend(this);
    ui::showModal(legend);
}
