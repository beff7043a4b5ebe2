// The Findings tab, the audit report and the Legend. Findings are worked out from the rows the last
// refresh put into the grids (no second walk of the catalogue) and from the engine's audit facts,
// read through one extra connection when the tab is first shown after a refresh.
#include "app/fm_Main.h"

#include "app/AppObjects.h"
#include "app/AuditReportPdf.h"
#include "app/Keyloupe_fm_Legend.h"
#include "grids/PermsGrid.h"
#include "jet/dm_Inspect.h"
#include "security/AuditReport.h"
#include "security/Findings.h"
#include "ui/Cursor.h"
#include "ui/Dialogs.h"
#include "ui/HintTiming.h"
#include "ui_fm_Main.h"
#include "util/KaFileUtils.h"

#include <QClipboard>
#include <QDateTime>
#include <QFileInfo>
#include <QGuiApplication>
#include <QShortcut>
#include <QStandardPaths>
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

// A row of the findings list: the finding's index in the result, and its order under each column.
// Severity sorts high before low; the other columns by their text, ignoring case; ties keep the
// findings' own order.
class FindingItem : public QTreeWidgetItem {
public:
    FindingItem(QTreeWidget* list, const TFinding& f, int index)
        : QTreeWidgetItem(list, {QString::fromLatin1(SeverityText(f.Severity)),
                                 QString::fromStdString(f.Where), QString::fromStdString(f.What)}),
          m_severity(static_cast<int>(f.Severity)), m_index(index) {
        setToolTip(2, ui::plainToolTip(text(2)));
        // The finding's place in the result, for code that sees only the tree's items.
        setData(0, Qt::UserRole, index);
    }
    int index() const { return m_index; }
    TSeverity severity() const { return static_cast<TSeverity>(m_severity); }
    bool operator<(const QTreeWidgetItem& other) const override {
        const auto& o = static_cast<const FindingItem&>(other);
        const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
        if (column != 0) {
            const int c = text(column).compare(o.text(column), Qt::CaseInsensitive);
            if (c != 0) return c < 0;
        } else if (m_severity != o.m_severity) {
            return m_severity < o.m_severity;
        }
        return m_index < o.m_index;
    }

private:
    int m_severity, m_index;
};

const FindingItem* findingItem(const QTreeWidgetItem* item) {
    return static_cast<const FindingItem*>(item);
}

// The column of the right every row shows a letter in: "?" there marks a row the login could not read.
int readSecColumn() {
    for (int c = FirstPermColumn; c <= LastPermColumn; ++c)
        if (SecColInfo[static_cast<std::size_t>(c)].Caption == "ReadSec") return c;
    return FirstPermColumn;
}

QString joinedAnd(const QStringList& parts) {
    if (parts.size() <= 1) return parts.join(QString());
    return parts.mid(0, parts.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") + parts.last();
}

} // namespace

void TForm1::ConnectFindingsHandlers() {
    connect(ui->tv_Findings, &QTreeWidget::currentItemChanged, this, [this] { tv_FindingsSelect(); });
    connect(ui->tv_Findings, &QTreeWidget::itemActivated, this, [this] { bt_FindingShowClick(); });
    connect(ui->bt_FindingShow, &QPushButton::clicked, this, &TForm1::bt_FindingShowClick);
    connect(ui->cb_FindingSeverity, &QComboBox::currentIndexChanged, this, &TForm1::cb_FindingSeverityChange);
    // Ctrl+C copies the current finding, as on the grids; Enter or a double click shows its row.
    auto* copy = new QShortcut(QKeySequence::Copy, ui->tv_Findings);
    copy->setContext(Qt::WidgetShortcut);
    connect(copy, &QShortcut::activated, this, &TForm1::bt_FindingCopyClick);
    ui->tv_Findings->sortByColumn(0, Qt::AscendingOrder);
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
    ui->lb_FindingsVerdict->clear();
    ui->lb_FindingsVerdict->setVisible(false);
    ui->lb_FindingsSummary->setText(QStringLiteral("Refresh, then show this tab to see the findings."));
    ui->PageControl1->setTabText(ui->PageControl1->indexOf(ui->ts_Findings), QStringLiteral("Findings"));
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
    const int readSec = readSecColumn();
    for (int r = 1; r < grid.rowCount(); ++r) {
        const QString name = grid.cell(colUGName, r);
        // Only the Users group's and admin's rows can make findings, and rows the login could not read
        // are counted; the others are not rebuilt.
        if (name != QStringLiteral("Users") &&
            name.compare(QStringLiteral("admin"), Qt::CaseInsensitive) != 0 &&
            grid.cell(readSec, r) != QStringLiteral("?"))
            continue;
        if (isBodyRow(grid, r)) collector.WriteRow(r, rowFromGrid(grid, r));
    }
    m_findings = std::make_unique<TFindingsResult>(collector.Finish(*inputs));
    m_auditInputs = std::move(inputs);

    ShowFindings();
    return true;
}

void TForm1::ShowFindings() {
    const TFindingsResult& r = *m_findings;
    QTreeWidget& list = *ui->tv_Findings;
    list.setSortingEnabled(false);
    for (std::size_t i = 0; i < r.Findings.size(); ++i)
        new FindingItem(&list, r.Findings[i], static_cast<int>(i));
    list.setSortingEnabled(true);

    ui->lb_FindingsVerdict->setText(QString::fromStdString(r.Verdict));
    ui->lb_FindingsVerdict->setVisible(true);
    const std::size_t high = r.Count(TSeverity::High), medium = r.Count(TSeverity::Medium),
                      low = r.Count(TSeverity::Low);
    QStringList summary;
    // What could not be read comes first: findings may hide there.
    for (const std::string& unread : r.Unread)
        summary << QStringLiteral("Damaged: ") + QString::fromStdString(unread);
    if (!r.UnreadNote.empty()) summary << QString::fromStdString(r.UnreadNote);
    summary << (r.Findings.empty() ? QStringLiteral("No findings.")
                                   : QStringLiteral("%1 findings: %2 high, %3 medium, %4 low.")
                                         .arg(r.Findings.size())
                                         .arg(high)
                                         .arg(medium)
                                         .arg(low));
    for (const std::string& note : r.Notes)
        summary << QString::fromStdString(note);
    ui->lb_FindingsSummary->setText(summary.join(QLatin1Char('\n')));
    ui->PageControl1->setTabText(
        ui->PageControl1->indexOf(ui->ts_Findings),
        QStringLiteral("Findings (%1 high, %2 medium, %3 low)").arg(high).arg(medium).arg(low));
    list.resizeColumnToContents(0);
    list.setColumnWidth(1, 200);
    cb_FindingSeverityChange();
}

void TForm1::cb_FindingSeverityChange() {
    QTreeWidget& list = *ui->tv_Findings;
    const int choice = ui->cb_FindingSeverity->currentIndex(); // All, High, Medium, Low
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list.topLevelItem(i);
        item->setHidden(choice > 0 && static_cast<int>(findingItem(item)->severity()) != choice - 1);
    }
    QTreeWidgetItem* current = list.currentItem();
    if (!current || current->isHidden()) {
        current = nullptr;
        for (int i = 0; i < list.topLevelItemCount() && !current; ++i)
            if (!list.topLevelItem(i)->isHidden()) current = list.topLevelItem(i);
        list.setCurrentItem(current);
    }
    tv_FindingsSelect();
}

const TFinding* TForm1::CurrentFinding() const {
    const QTreeWidgetItem* item = ui->tv_Findings->currentItem();
    if (!m_findings || !item || item->isHidden()) return nullptr;
    const int i = findingItem(item)->index();
    if (i < 0 || i >= static_cast<int>(m_findings->Findings.size())) return nullptr;
    return &m_findings->Findings[static_cast<std::size_t>(i)];
}

QString TForm1::FindingText(const TFinding& f) const {
    QString text = QStringLiteral("%1\n\nWhy it matters: %2\n\nWhat to do: %3")
                       .arg(QString::fromStdString(f.What), QString::fromStdString(f.Why),
                            QString::fromStdString(f.Action));
    if (!f.Sid.empty())
        text += QStringLiteral("\n\nSID in full: ") + QString::fromStdString(f.Sid) + QStringLiteral(" (") +
                QString::fromStdString(SidKind(f.Sid)) + QLatin1Char(')');
    return text;
}

void TForm1::bt_FindingCopyClick() {
    if (const TFinding* f = CurrentFinding())
        QGuiApplication::clipboard()->setText(
            QStringLiteral("[%1] %2: ")
                .arg(QString::fromLatin1(SeverityText(f->Severity)), QString::fromStdString(f->Where)) +
            FindingText(*f));
}

void TForm1::tv_FindingsSelect() {
    const TFinding* f = CurrentFinding();
    if (!f) {
        ui->me_FindingDetail->clear();
        ui->bt_FindingShow->setEnabled(false);
        return;
    }
    ui->me_FindingDetail->setPlainText(FindingText(*f));
    ui->bt_FindingShow->setEnabled(!f->Container.empty());
}

int TForm1::FindingRow(const TFinding& f) const {
    const TStringGrid& grid = *ui->asg_Perms;
    const QString container = QString::fromStdString(f.Container), object = QString::fromStdString(f.Object),
                  account = QString::fromStdString(f.Account);
    for (int r = 1; r < grid.rowCount(); ++r)
        if (grid.cell(colContainer, r) == container && grid.cell(colObjectName, r) == object &&
            grid.cell(colUGName, r) == account)
            return r;
    return -1;
}

void TForm1::bt_FindingShowClick() {
    const TFinding* found = CurrentFinding();
    if (!found || found->Container.empty()) return;
    const TFinding& f = *found;
    // Orphan permissions and unknown owners belong to SIDs no account of this workgroup has: the grid has
    // no row of theirs, and the DatabaseInfo tab is where they are counted.
    if (f.Account.empty()) {
        ui::showMessage(QStringLiteral("No account of this workgroup has the SID of this finding, so the "
                                       "Permissions tab has no row for it. The DatabaseInfo tab counts its "
                                       "entries among the orphan permissions."));
        ui->PageControl1->setCurrentWidget(ui->ts_DBInfo);
        return;
    }
    const int real = FindingRow(f);
    TStringGrid& grid = *ui->asg_Perms;
    const QString where =
        QString::fromStdString(f.Account) + QStringLiteral("'s row of ") + QString::fromStdString(f.Where);
    if (real < 0) {
        ui::showMessage(
            QStringLiteral("The Permissions tab has no row for %1: refresh to read it again.").arg(where));
        return;
    }
    if (grid.displayRowIndex(real) < 0) {
        // Name what hides the row, and offer to clear exactly that.
        const TASGHelper_Perm& helper = *m_permHelper;
        const QString object = grid.cell(colObjectName, real), account = grid.cell(colUGName, real);
        bool byFilter = false;
        if (!helper.QuickFilterText.isEmpty()) {
            byFilter = true;
            for (int c : helper.QuickFilterColumns)
                if (grid.cell(c, real).contains(helper.QuickFilterText, Qt::CaseInsensitive))
                    byFilter = false;
        }
        const bool bySystem = ui->ck_PermHideSysObj->isChecked() &&
                              (object.startsWith(QStringLiteral("MSys")) ||
                               account == QStringLiteral("Engine") || account == QStringLiteral("Creator"));
        const bool byZero =
            ui->ck_PermHidePerm0->isChecked() && grid.cell(colPermExp, real) == QStringLiteral("00000");
        QStringList what;
        if (byFilter) what << QStringLiteral("the quick filter \"%1\"").arg(helper.QuickFilterText);
        if (bySystem) what << QStringLiteral("\"System objects\"");
        if (byZero) what << QStringLiteral("\"Perms = 0\"");
        if (what.isEmpty()) what << QStringLiteral("the Permissions tab's filter");
        const QString question =
            QStringLiteral("%1 is hidden by %2 on the Permissions tab. Clear %3 and go to the "
                           "row?")
                .arg(where, joinedAnd(what),
                     what.size() == 1 ? QStringLiteral("it") : QStringLiteral("them"));
        if (ui::confirm(question) != ui::Answer::Yes) return;
        if (byFilter) ui->tx_PermFilter->clear();
        if (bySystem) ui->ck_PermHideSysObj->setChecked(false);
        if (byZero) ui->ck_PermHidePerm0->setChecked(false);
        if (bySystem || byZero) ck_PermHideSomethingClick();
    }
    const int shown = grid.displayRowIndex(real);
    if (shown < 0) return;
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
    // The database's folder when a report can be written there, else the user's documents folder.
    const QFileInfo folder(QFileInfo(m_lastDatabase).absolutePath());
    request.directory = folder.isDir() && folder.isWritable()
                            ? folder.absoluteFilePath()
                            : QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
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
