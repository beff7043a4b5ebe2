// The Changes tab of a sandbox (what differs from its origin, read by the refresh cycle) and "Apply
// Suggested Fix" on the Findings tab, which carries out the findings' mechanical fixes through the
// permission and owner commands and then refreshes, so that the fixes show as changes.
#include "app/fm_Main.h"

#include "commands/PermCommands.h"
#include "dao/CatalogueSnapshot.h"
#include "grids/control/StringGrid.h"
#include "plan/ChangeWriters.h"
#include "plan/CompareCatalogues.h"
#include "plan/FindingFixes.h"
#include "plan/OriginCheck.h"
#include "plan/Sandbox.h"
#include "security/Findings.h"
#include "security/PermissionColumns.h"
#include "security/SafeText.h"
#include "ui/Dialogs.h"
#include "ui_fm_Main.h"

#include <QFileInfo>
#include <QInputDialog>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>

namespace {

const QString ChangesTitle = QStringLiteral("Changes");

bool isBuiltInAccount(const QString& name) {
    for (const char* n : {"admin", "Users", "Engine", "Creator"})
        if (name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0) return true;
    return false;
}

} // namespace

void TForm1::ConnectChangesHandlers() {
    bt_FindingFix = new QPushButton(QStringLiteral("Apply Suggested Fix"), ui->ts_Findings);
    bt_FindingFix->setObjectName(QStringLiteral("bt_FindingFix"));
    bt_FindingFix->setToolTip(QStringLiteral(
        "On a sandbox: remove the Users group's and admin's rights from the objects the selected findings "
        "name, and give the objects admin owns to an account you pick; then refresh."));
    ui->FindingsLayout->insertWidget(ui->FindingsLayout->indexOf(ui->bt_FindingShow) + 1, bt_FindingFix);
    ui->tv_Findings->setSelectionMode(QAbstractItemView::ExtendedSelection);
    connect(bt_FindingFix, &QPushButton::clicked, this, &TForm1::bt_FindingFixClick);
    connect(ui->tv_Findings, &QTreeWidget::itemSelectionChanged, this, &TForm1::UpdateFindingFix);
    connect(ui->lv_Changes, &QListWidget::itemActivated, this, &TForm1::lv_ChangesActivated);
    ClearChanges();
}

void TForm1::ClearChanges() {
    m_origin.reset();
    m_changes.clear();
    ui->lv_Changes->clear();
    ui->PageControl1->setTabText(ui->PageControl1->indexOf(ui->ts_Changes), ChangesTitle);
    ui->lb_ChangesSummary->setText(QStringLiteral(
        "The changes are listed on a sandbox, against the genuine pair it was imported from (File > \"Plan "
        "Changes in a Sandbox...\")."));
    ui->mi_ExportChangeScript->setEnabled(false);
    UpdateFindingFix();
}

bool TForm1::ReadChanges() {
    ClearChanges();
    QString summary;
    try {
        m_origin = plan::ReadOriginRecord(db1().DatabaseObject());
        if (!m_origin) return true;
        const dao::CatalogueSnapshot sandbox =
            dao::ReadCatalogueSnapshot(db1().WorkspaceObject(), db1().DatabaseObject());
        // The origin is read as the user logged in to the sandbox (genuine files check no password).
        const dao::CatalogueSnapshot origin = plan::ReadPairSnapshot(
            CreateDAOEngine(SelectedDAOVersion(), false), m_origin->workgroup.path, m_origin->database.path,
            m_lastUserName.toStdString(), m_lastPassword.toStdString());
        m_changes = plan::CompareCatalogues(origin, sandbox);
        for (const std::string& note : plan::OriginChangedNotes(*m_origin))
            summary += QString::fromStdString(note) + QLatin1Char('\n');
    } catch (const std::exception& e) {
        m_changes.clear();
        ui->lb_ChangesSummary->setText(QStringLiteral("The changes against the origin could not be read: ") +
                                       QString::fromStdString(VisibleText(e.what())));
        UpdateFindingFix();
        return false;
    }
    summary += QStringLiteral("Against %1 and %2, imported %3 by %4: %5")
                   .arg(QString::fromStdString(ShownName(m_origin->database.path)),
                        QString::fromStdString(ShownName(m_origin->workgroup.path)),
                        QString::fromStdString(VisibleText(m_origin->importedAt)),
                        QString::fromStdString(ShownName(m_origin->user)),
                        QString::fromStdString(plan::ChangesSummary(m_changes)));
    ui->lb_ChangesSummary->setText(summary);
    for (const plan::Change& c : m_changes)
        ui->lv_Changes->addItem(QString::fromStdString(plan::ChangeLine(c)));
    ui->PageControl1->setTabText(ui->PageControl1->indexOf(ui->ts_Changes),
                                 QStringLiteral("%1 (%2)").arg(ChangesTitle).arg(m_changes.size()));
    ui->mi_ExportChangeScript->setEnabled(true);
    UpdateFindingFix();
    return true;
}

void TForm1::lv_ChangesActivated() {
    const int i = ui->lv_Changes->currentRow();
    if (i < 0 || i >= static_cast<int>(m_changes.size())) return;
    const plan::Change& c = m_changes[static_cast<std::size_t>(i)];
    const QString account = QString::fromStdString(c.account);
    TStringGrid* grid = nullptr;
    int row = -1, col = 0;
    switch (c.kind) {
    case plan::ChangeKind::AccountCreated:
    case plan::ChangeKind::MembershipAdded:
    case plan::ChangeKind::MembershipRemoved: {
        // The user's row, at the group's column for a membership; a new group's column.
        grid = ui->asg_UG;
        const QString group =
            c.accountKind == 'G' && c.group.empty() ? account : QString::fromStdString(c.group);
        for (int r = 1; r < grid->rowCount() && c.accountKind != 'G'; ++r)
            if (grid->cell(0, r) == account) row = r;
        for (int k = 1; k < grid->colCount() && !group.isEmpty(); ++k)
            if (grid->cell(k, 0) == group) col = k;
        if (c.accountKind == 'G' && col > 0) row = 1;
        break;
    }
    case plan::ChangeKind::Owner:
    case plan::ChangeKind::Inherit:
    case plan::ChangeKind::Permissions:
    case plan::ChangeKind::ObjectOnlyHere: {
        grid = ui->asg_Perms;
        col = colUGName;
        const QString container = QString::fromStdString(c.container);
        const QString object =
            c.object.empty() ? QString::fromLatin1(ContainerObjectName) : QString::fromStdString(c.object);
        for (int r = 1; r < grid->rowCount() && row < 0; ++r)
            if (grid->cell(colContainer, r) == container && grid->cell(colObjectName, r) == object &&
                (c.object.empty() == (grid->cell(colInherit, r) != QStringLiteral("-"))) &&
                (account.isEmpty() || c.kind == plan::ChangeKind::ObjectOnlyHere ||
                 grid->cell(colUGName, r) == account))
                row = r;
        break;
    }
    case plan::ChangeKind::AccountDeleted:
    case plan::ChangeKind::ObjectOnlyThere:
        ui::showMessage(QStringLiteral("This change has no row here: what it names is only in the origin."));
        return;
    }
    const int shown = row < 0 ? -1 : grid->displayRowIndex(row);
    if (shown < 0) {
        ui::showMessage(
            QStringLiteral("The row of this change is not shown: it is hidden by the options of its "
                           "tab, or the refresh did not read it."));
        return;
    }
    ui->PageControl1->setCurrentWidget(grid == ui->asg_UG ? ui->ts_UserGroups : ui->ts_Permissions);
    grid->selectCell(col, shown);
    grid->scrollCellIntoView(col, shown);
    grid->setFocus();
}

std::vector<const TFinding*> TForm1::SelectedFindings() const {
    std::vector<const TFinding*> selected;
    if (!m_findings) return selected;
    for (QTreeWidgetItem* item : ui->tv_Findings->selectedItems()) {
        if (item->isHidden()) continue; // filtered out by severity
        // The list may be sorted: each item knows its finding's place in the result.
        const int i = item->data(0, Qt::UserRole).toInt();
        if (i >= 0 && i < static_cast<int>(m_findings->Findings.size()))
            selected.push_back(&m_findings->Findings[static_cast<std::size_t>(i)]);
    }
    return selected;
}

void TForm1::UpdateFindingFix() {
    if (!bt_FindingFix) return;
    bool fixable = false;
    for (const TFinding* f : SelectedFindings())
        fixable = fixable || f->Fix != TFixKind::None;
    bt_FindingFix->setEnabled(ShowsSandbox() && fixable);
}

std::optional<std::string> TForm1::PickNewOwner() {
    QStringList names;
    const TStringGrid& ug = *ui->asg_UG;
    for (int r = 1; r < ug.rowCount(); ++r)
        if (!ug.cell(0, r).isEmpty() && !isBuiltInAccount(ug.cell(0, r))) names << ug.cell(0, r);
    for (int c = 1; c < ug.colCount(); ++c)
        if (!ug.cell(c, 0).isEmpty() && !isBuiltInAccount(ug.cell(c, 0))) names << ug.cell(c, 0);
    if (names.isEmpty()) {
        ui::showMessage(QStringLiteral("There is no account to give admin's objects to: create one on the "
                                       "Users/Groups tab first."));
        return std::nullopt;
    }
    QInputDialog dialog(this);
    dialog.setObjectName(QStringLiteral("fm_FixOwner"));
    dialog.setWindowTitle(QStringLiteral("Apply Suggested Fix"));
    dialog.setLabelText(QStringLiteral("Give the objects admin owns to:"));
    dialog.setComboBoxItems(names);
    dialog.setComboBoxEditable(false);
    if (names.contains(m_lastUserName)) dialog.setTextValue(m_lastUserName);
    if (ui::showModal(dialog) != QDialog::Accepted || !names.contains(dialog.textValue()))
        return std::nullopt;
    return dialog.textValue().toStdString();
}

void TForm1::bt_FindingFixClick() {
    if (!ShowsSandbox()) return;
    std::vector<const TFinding*> fixable;
    for (const TFinding* f : SelectedFindings())
        if (f->Fix != TFixKind::None) fixable.push_back(f);
    if (fixable.empty()) return;
    std::string owner;
    if (plan::NeedsNewOwner(fixable)) {
        const std::optional<std::string> picked = PickNewOwner();
        if (!picked) return;
        owner = *picked;
    }
    // One command per step, each in the ordinary frame but without its refresh; the first that fails
    // has shown its error and ends the run. One refresh then shows what was done.
    TCommandContext context = CommandContext();
    context.Refresh = nullptr;
    for (const plan::FixStep& step : plan::FixSteps(fixable, owner)) {
        const QString container = QString::fromStdString(step.container);
        const QString object = QString::fromStdString(step.object);
        const QString account = QString::fromStdString(step.account);
        const TRowKind kind = step.containerRow ? TRowKind::Container : TRowKind::Document;
        const bool done =
            step.owner ? SetNewOwner(context, container, object, kind, account)
                       : ApplyPermissionChange(context, container, object, kind, step.keep ? poAndNot : poSet,
                                               step.keep ? ~step.keep : 0, account);
        if (!done) break;
    }
    RefreshAll();
}
