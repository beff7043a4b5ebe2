// File > "Plan Changes in a Sandbox...": a sandbox copy of the genuine pair shown, logged in to as the
// same user; how the window says that a sandbox is shown; and File > "Export Change Script...", which
// writes the sandbox's changes as a script that carries them out on Windows.
#include "app/fm_Main.h"

#include "ui_fm_Main.h"

#include "plan/ChangeScript.h"
#include "plan/Sandbox.h"
#include "security/SafeText.h"
#include "ui/Cursor.h"
#include "ui/Dialogs.h"

#include <QFileInfo>

void TForm1::ConnectSandboxHandlers() {
    connect(ui->mi_PlanSandbox, &QAction::triggered, this, &TForm1::mi_PlanSandboxClick);
    connect(ui->mi_ExportChangeScript, &QAction::triggered, this, &TForm1::mi_ExportChangeScriptClick);
}

void TForm1::mi_PlanSandboxClick() {
    if (!AuditMode) return; // only a genuine pair has a sandbox
    ui::OpenFileRequest request;
    request.title = QStringLiteral("Plan Changes in a Sandbox: an empty folder for the sandbox");
    request.directory = QFileInfo(m_lastDatabase).path();
    request.folder = true;
    const std::optional<QString> dir = ui::openFile(this, request);
    if (!dir) return;
    plan::OriginRecord origin;
    try {
        ui::setScreenCursor(ui::CursorShape::HourGlass);
        origin = plan::ImportSandbox(m_lastWorkgroup.toStdString(), m_lastDatabase.toStdString(),
                                     m_lastUserName.toStdString(), dir->toStdString());
        ui::setScreenCursor(ui::CursorShape::Default);
    } catch (const std::exception& e) {
        ui::setScreenCursor(ui::CursorShape::Default);
        ui::showMessage(QStringLiteral("Error: ") + QString::fromStdString(e.what()));
        return;
    }
    // Logged in to the sandbox as the same user; every sandbox account has the empty password.
    const plan::SandboxPaths paths =
        plan::SandboxPathsIn(dir->toStdString(), m_lastWorkgroup.toStdString(), m_lastDatabase.toStdString());
    ui->cb_MDW->setCurrentText(QString::fromStdString(paths.workgroup));
    ui->cb_DB->setCurrentText(QString::fromStdString(paths.database));
    ui->cb_Username->setCurrentText(QString::fromStdString(origin.user));
    ui->cb_Password->setCurrentText(QString());
    RefreshAll();
}

void TForm1::ShowSandboxState() {
    QString label;
    if (db1().Connected()) {
        try {
            if (const auto origin = plan::ReadOriginRecord(db1().DatabaseObject()))
                label = QString::fromStdString(plan::SandboxLabel(*origin));
        } catch (const std::exception&) {
            label = QStringLiteral("sandbox (its origin record cannot be read)");
        }
    }
    // The title's part that named the sandbox shown before goes first, whatever NAME holds.
    const QString oldSuffix = QStringLiteral(" (") + SandboxLabel + QStringLiteral(")");
    QString title = windowTitle();
    if (!SandboxLabel.isEmpty()) title.remove(oldSuffix);
    SandboxLabel = label;
    setWindowTitle(label.isEmpty() ? title : title + QStringLiteral(" (") + label + QStringLiteral(")"));
    if (label.isEmpty()) return;
    ui->lb_AuditNote->setText(
        label.left(1).toUpper() + label.mid(1) +
        QStringLiteral(", for planning changes: the genuine pair's accounts, owners and permissions without "
                       "data or passwords (every account has the empty password). Changes follow Jet's rules "
                       "for the user logged in; the genuine files are never written."));
    ui->lb_AuditNote->setVisible(true);
}

void TForm1::mi_ExportChangeScriptClick() {
    // The script carries the changes the Changes tab lists, as the last refresh read them.
    if (!ShowsSandbox() || !ui->mi_ExportChangeScript->isEnabled()) return;
    const QFileInfo database(m_lastDatabase);
    ui::OpenFileRequest request;
    request.title = QStringLiteral("Export Change Script");
    request.filters = {QStringLiteral("JScript files (*.js)")};
    request.defaultSuffix = QStringLiteral("js");
    request.directory = database.path();
    request.fileName = database.completeBaseName() + QStringLiteral("-changes.js");
    request.saving = true;
    const std::optional<QString> file = ui::openFile(this, request);
    if (!file) return;
    if (!plan::IsChangeScriptName(file->toStdString())) {
        ui::showMessage(QStringLiteral("The change script was not written: its name must end in .js, since "
                                       "cscript runs a file of that name as JScript on Windows (not \"") +
                        QString::fromStdString(VisibleText(QFileInfo(*file).fileName().toStdString())) +
                        QStringLiteral("\")."));
        return;
    }
    plan::ScriptFileResult result;
    try {
        result = plan::WriteChangeScriptFile(m_changes, *m_origin, m_lastUserName.toStdString(),
                                             file->toStdString());
    } catch (const std::exception& e) {
        ui::showMessage(QStringLiteral("Error: ") + QString::fromStdString(e.what()));
        return;
    }
    ui::showMessage(
        result.written
            ? QString::fromStdString(result.message) +
                  QStringLiteral(
                      ".\nCopy it next to the genuine files on Windows and run it there with cscript: "
                      "without /apply it only reports what it would change.")
            : QStringLiteral("No changes: the sandbox holds no change that a script can carry out, so no "
                             "script was written."));
}
