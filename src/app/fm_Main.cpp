#include "app/fm_Main.h"

#include "ui_fm_Main.h"

#include "grids/PermsGrid.h"
#include "grids/UGGrid.h"
#include "jet/dm_Inspect.h"
#include "security/Findings.h"
#include "settings/KaDumbIniFile.h"
#include "ui/Cursor.h"
#include "ui/Dialogs.h"
#include "ui/HintTiming.h"
#include "util/Keyloupe_fm_About.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>

#include <algorithm>

TForm1* Form1 = nullptr;
extern Tfm_About* fm_About;

namespace {

// The file-name part of a path: what follows the last "\", "/" or ":".
QString fileNamePart(const QString& path) {
    int cut = -1;
    for (QChar sep : {QChar('\\'), QChar('/'), QChar(':')})
        cut = std::max(cut, int(path.lastIndexOf(sep)));
    return path.mid(cut + 1);
}

bool fileExists(const QString& path) {
    if (path.isEmpty()) return false;
    QFileInfo info(path);
    return info.exists() && !info.isDir();
}

} // namespace

TForm1::TForm1(const QString& settingsFile, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::TForm1>()), m_settingsFile(settingsFile) {
    ui->setupUi(this);
    CreatePopupMenus();
    ConnectHandlers();
    FormCreate();
}

TForm1::~TForm1() {
    // The grids outlive the helpers (they are children, deleted by the base class), and hiding a grid on
    // the way out still sends its events: cut them off from the helpers before those go.
    for (QObject* grid : {static_cast<QObject*>(ui->asg_Perms), static_cast<QObject*>(ui->asg_UG)})
        QObject::disconnect(grid, nullptr, this, nullptr);
}

TDAODatabase& TForm1::db1() {
    return dm_Inspect->db1;
}

void TForm1::FormCreate() {
    Loading = true;
    int savedDAOChoice = 1;
    {
        m_permHelper = std::make_unique<TASGHelper_Perm>(*ui->asg_Perms, *ui->ck_PermHideSysObj,
                                                         *ui->ck_PermHidePerm0, *ui->rb_PermSortUG);
        m_permHelper->SetupColumns();
        m_ugHelper = std::make_unique<TASGHelper_UG>(*ui->asg_UG, *ui->ck_UGHideSysObj);
        SetupPermissionsGrid();
        SetupUsersGroupsGrid();

        m_lastDatabase.clear();
        m_lastWorkgroup.clear();
        m_lastUserName.clear();
        m_lastPassword.clear();
        m_lastDAOVersion = dvDAO36;
        ClearDatabaseInfo();
        UserCount = GroupCount = 0;
        AceCount = AceNonZeroCount = 0;

        m_iniMgr = std::make_unique<TKaDumbIniFileMgr>(m_settingsFile);
        m_iniMgr->Load();
        RestoreWindowSettings(savedDAOChoice);
        for (QComboBox* combo : {ui->cb_DB, ui->cb_MDW, ui->cb_Username, ui->cb_Password})
            RestoreHistory(combo);

        ui->PageControl1->setCurrentWidget(ui->ts_Database);
        ui::setHintTiming({200, 20, 60000});
        DetectDAOVersions(savedDAOChoice);
    }
    Loading = false;
    // Placed on the desktop when first shown (showEvent).
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_placed || event->spontaneous()) return;
    m_placed = true;
    // Centred on the desktop at the first showing. By now the layout has widened the restored size to
    // what the controls need, so the centring is for the size the window opens with. A window larger
    // than the desktop keeps its title bar on screen.
    QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    QRect frame = frameGeometry();
    frame.moveCenter(area.center());
    move(std::max(frame.left(), area.left()), std::max(frame.top(), area.top()));
}

void TForm1::DetectDAOVersions(int savedDAOChoice) {
    bool installed35 = false, installed36 = false;
    // Each engine object created here is released at the end of the block.
    try {
        dao::DBEnginePtr engine = CreateDAOEngine(dvDAO35, false);
        installed35 = true;
    } catch (const std::exception&) {
    }
    try {
        dao::DBEnginePtr engine = CreateDAOEngine(dvDAO36, false);
        installed36 = true;
    } catch (const std::exception&) {
    }
    const QString notInstalled = QStringLiteral(" -- NOT INSTALLED");
    ui->rb_DAO35->setEnabled(installed35);
    if (!installed35) ui->rb_DAO35->setText(ui->rb_DAO35->text() + notInstalled);
    ui->rb_DAO36->setEnabled(installed36);
    if (!installed36) ui->rb_DAO36->setText(ui->rb_DAO36->text() + notInstalled);

    if (installed35 && installed36) {
        (savedDAOChoice == 0 ? ui->rb_DAO35 : ui->rb_DAO36)->setChecked(true);
    } else if (installed35) {
        ui->rb_DAO35->setChecked(true);
    } else {
        ui->rb_DAO36->setChecked(true);
    }
}

void TForm1::closeEvent(QCloseEvent* event) {
    FormClose();
    event->accept();
}

void TForm1::FormClose() {
    StoreWindowSettings();
    for (QComboBox* combo : {ui->cb_DB, ui->cb_MDW, ui->cb_Username, ui->cb_Password})
        StoreHistory(combo);
    m_iniMgr->Save();
}

void TForm1::ConnectHandlers() {
    connect(ui->bt_Refresh, &QPushButton::clicked, this, &TForm1::bt_RefreshClick);
    connect(ui->PageControl1, &QTabWidget::currentChanged, this, &TForm1::PageControl1Change);
    connect(ui->mi_Quit, &QAction::triggered, this, &TForm1::mi_QuitClick);
    // Keyboard: F5 refreshes as the button does, Ctrl+Q quits through "&Quit", Ctrl+C on a grid copies
    // what its "Copy" button copies.
    ui->mi_Quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    connect(new QShortcut(QKeySequence(Qt::Key_F5), this), &QShortcut::activated, this,
            &TForm1::bt_RefreshClick);
    auto copyShortcut = [this](QWidget* grid, void (TForm1::*copy)()) {
        auto* shortcut = new QShortcut(QKeySequence::Copy, grid);
        shortcut->setContext(Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, copy);
    };
    copyShortcut(ui->asg_Perms, &TForm1::bt_PermCopyClick);
    copyShortcut(ui->asg_UG, &TForm1::bt_UGCopyClick);
    // "&Close" closes the main window like its close box.
    connect(ui->Close1, &QAction::triggered, this, &TForm1::mi_QuitClick);
    connect(ui->mi_About, &QAction::triggered, this, &TForm1::mi_AboutClick);
    connect(ui->btClearHistory, &QPushButton::clicked, this, &TForm1::btClearHistoryClick);
    connect(ui->bt_DBBrowse, &QPushButton::clicked, this, [this] { bt_BrowseClick(ui->bt_DBBrowse); });
    connect(ui->bt_MDWBrowse, &QPushButton::clicked, this, [this] { bt_BrowseClick(ui->bt_MDWBrowse); });
    InstallComboExitFilters();
    ConnectCommandHandlers();
    ConnectDatabaseInfoHandlers();
    ConnectFindingsHandlers();
    ConnectSandboxHandlers();
    ConnectChangesHandlers();
}

void TForm1::bt_RefreshClick() {
    RefreshAll();
}

void TForm1::mi_QuitClick() {
    close();
}

void TForm1::PageControl1Change(int index) {
    if (ui->PageControl1->widget(index) != ui->ts_Database && LoginChanged()) RefreshAll();
    if (ui->PageControl1->widget(index) == ui->ts_Findings) PageFindingsShown();
}

TDAOVersion TForm1::SelectedDAOVersion() const {
    return ui->rb_DAO35->isChecked() ? dvDAO35 : dvDAO36;
}

bool TForm1::LoginChanged() const {
    return ui->cb_DB->currentText() != m_lastDatabase || ui->cb_MDW->currentText() != m_lastWorkgroup ||
           ui->cb_Username->currentText() != m_lastUserName ||
           ui->cb_Password->currentText() != m_lastPassword || SelectedDAOVersion() != m_lastDAOVersion;
}

TLogin TForm1::CurrentLogin() const {
    return {ui->cb_DB->currentText().toStdString(), ui->cb_MDW->currentText().toStdString(),
            ui->cb_Username->currentText().toStdString(), ui->cb_Password->currentText().toStdString(),
            SelectedDAOVersion()};
}

TCommandContext TForm1::CommandContext() {
    return {CurrentLogin(), *dm_Inspect, [this] { RefreshAll(); }};
}

bool TForm1::ConnectFromLogin() {
    m_lastDatabase = ui->cb_DB->currentText();
    m_lastWorkgroup = ui->cb_MDW->currentText();
    m_lastUserName = ui->cb_Username->currentText();
    m_lastPassword = ui->cb_Password->currentText();
    m_lastDAOVersion = SelectedDAOVersion();
    return ::ConnectFromLogin(*dm_Inspect, CurrentLogin());
}

void TForm1::DisconnectDB() {
    dm_Inspect->Disconnect();
}

void TForm1::RefreshAll() {
    ClearFindings();
    ClearChanges();
    ui->lb_Summary->setText(QString());
    if (!fileExists(ui->cb_MDW->currentText())) {
        ui->lb_Summary->setText(QStringLiteral("Workgroup file not found"));
        ClearUsersGroupsView();
        ClearPermissionsView();
        ClearDatabaseInfo();
        return;
    }
    if (!ConnectFromLogin()) {
        SetAuditMode(false);
        ShowSandboxState();
        ui->lb_Summary->setText(QStringLiteral("Couldn't connect to database"));
        ClearUsersGroupsView();
        ClearPermissionsView();
        ClearDatabaseInfo();
        return;
    }

    SetAuditMode(db1().AuditOnly());
    ShowSandboxState();
    bool usersRead = false, permsRead = false, infoRead = false;
    auto cleanUp = [&] {
        ui::setScreenCursor(ui::CursorShape::Default);
        DisconnectDB();
        if (!usersRead) ClearUsersGroupsView();
        if (!permsRead) ClearPermissionsView();
        if (!infoRead) ClearDatabaseInfo();
        ui->lb_Summary->setText(fileNamePart(ui->cb_DB->currentText()) + QStringLiteral("   Perms: ") +
                                QString::number(PermRowCount) + QStringLiteral(" (") +
                                QString::number(PermNonZeroCount) + QStringLiteral(" non-zero)  Users: ") +
                                QString::number(UserCount) + QStringLiteral(" Groups: ") +
                                QString::number(GroupCount));
    };
    try {
        ui::setScreenCursor(ui::CursorShape::HourGlass);
        usersRead = ReadUsersAndGroups();
        permsRead = ReadPermissions();
        ReadChanges(); // before the counts, which close the connection
        infoRead = ReadDatabaseInfo();
        ui->me_Props->clear();
    } catch (...) {
        cleanUp();
        throw;
    }
    cleanUp();
    if (ui->PageControl1->currentWidget() == ui->ts_Findings) ReadFindings();
}

void TForm1::SetAuditMode(bool audit) {
    AuditMode = audit;
    const QString suffix = QStringLiteral(" (read-only audit)");
    QString title = windowTitle();
    if (title.endsWith(suffix)) title.chop(suffix.size());
    setWindowTitle(audit ? title + suffix : title);
    ui->lb_AuditNote->setText(
        audit
            ? QStringLiteral("Genuine Jet files: opened read-only for audit, and never written. The password "
                             "was not checked (Jet's stored password scheme is not public): anyone who can "
                             "read these files can read every permission shown here. Changes are disabled.")
            : QString());
    ui->lb_AuditNote->setVisible(audit);
    ui->bt_UG_Add->setEnabled(!audit); // the matrix popup asks AuditMode as it opens
    ui->mi_ChangePassword->setEnabled(!audit);
    ui->mi_PlanSandbox->setEnabled(audit);
}

void TForm1::mi_AboutClick() {
    if (fm_About) ui::showModal(*fm_About);
}
