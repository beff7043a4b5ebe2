#pragma once
// The main window: the four tabs, the refresh cycle that logs in and refills every view, and the
// connect/disconnect wrappers every command uses. No connection is kept open between user actions.
#include "commands/CommandFrame.h"
#include "commands/PermOp.h"
#include "jet/DaoDS.h"
#include "jet/dm_Inspect.h"
#include "plan/Changes.h"
#include "plan/OriginRecord.h"

#include <QMainWindow>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Ui {
class TForm1;
}
class QComboBox;
class QMenu;
class QAction;
class QPushButton;
class TKaDumbIniFileMgr;
class TASGHelper;
class TASGHelper_Perm;
class TASGHelper_UG;
struct TFindingsResult;
struct TFinding;
struct TAuditInputs;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // settingsFile: the settings file to restore from and save to (beside the executable normally).
    explicit TForm1(const QString& settingsFile, QWidget* parent = nullptr);
    ~TForm1() override;

    // --- operations the other parts call ----------------------------------------------------------
    // Connects with the login the first tab shows and records it as the last login; on failure shows
    // "Error: " + the message and returns false.
    bool ConnectFromLogin();
    void DisconnectDB();
    void RefreshAll();
    TDAODatabase& db1();
    bool LoginChanged() const;
    TDAOVersion SelectedDAOVersion() const;
    // The login the first tab shows now.
    TLogin CurrentLogin() const;
    // What a command is handed: that login, the data module, and this window's full refresh.
    TCommandContext CommandContext();

    // Readers (true when they completed; they expect the connection open) and the views' clear
    // operations.
    bool ReadUsersAndGroups();
    bool ReadPermissions();
    bool ReadDatabaseInfo();
    void ClearUsersGroupsView();
    void ClearPermissionsView();
    void ClearDatabaseInfo();
    // The note of what a genuine file could not be read of, under the statistics; hidden when empty.
    void ShowUnread(const std::vector<std::string>& unread);

    // --- state other parts read -------------------------------------------------------------------
    std::int32_t PermRowCount = 0;
    std::int32_t PermNonZeroCount = 0;
    std::int32_t UserCount = 0;
    std::int32_t GroupCount = 0;
    std::int32_t AceCount = 0;
    std::int32_t AceNonZeroCount = 0;
    std::string AceQueryError;
    bool Loading = false;
    // True while the views show genuine Jet files, which are read-only: the items that would write are
    // disabled and the login tab says why. Set by every refresh that connected.
    bool AuditMode = false;
    void SetAuditMode(bool audit);
    // "sandbox of NAME" while a sandbox of a genuine pair is shown, else empty; with the window title and
    // the login tab's note, set by every refresh.
    QString SandboxLabel;
    void ShowSandboxState();

    const QString& LastDatabase() const { return m_lastDatabase; }
    const QString& LastWorkgroup() const { return m_lastWorkgroup; }
    const QString& LastUserName() const { return m_lastUserName; }
    const QString& LastPassword() const { return m_lastPassword; }
    TDAOVersion LastDAOVersion() const { return m_lastDAOVersion; }

    TASGHelper_Perm& PermHelper() { return *m_permHelper; }
    TASGHelper_UG& UGHelper() { return *m_ugHelper; }
    TKaDumbIniFileMgr& IniMgr() { return *m_iniMgr; }

    // The permission and account commands on the grids' current cells (the popup menus' actions): they
    // read the names from the cells and hand them with CommandContext to the commands.
    void ChangePermission(bool Add, bool All);
    void UGCommandAtCurrentCell(TUGCommand Command);
    Ui::TForm1& form() { return *ui; }

    // Findings and the audit report, beside the four tabs: worked out from what the last refresh read.
    bool ReadFindings(); // false when nothing was read or the extra connection failed
    void ClearFindings();
    const TFindingsResult* Findings() const { return m_findings.get(); }
    // Writes the HTML report and a PDF of it beside it (same name, ".pdf"); throws on a write failure.
    bool SaveAuditReport(const QString& htmlPath);
    const std::pair<QString, QString>& LastReportFiles() const { return m_lastReportFiles; }

    // The Changes tab: on a sandbox, what differs from its origin, read by every refresh that connected
    // (it expects the connection open). A sandbox is a database that holds an origin record.
    bool ReadChanges();
    void ClearChanges();
    bool ShowsSandbox() const { return m_origin.has_value(); }
    const std::vector<plan::Change>& Changes() const { return m_changes; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // window life
    void FormCreate();
    void FormClose();
    void CreatePopupMenus();
    void ConnectHandlers();
    void DetectDAOVersions(int savedDAOChoice);

    // settings and login histories
    void RestoreWindowSettings(int& savedDAOChoice);
    void StoreWindowSettings();
    void RestoreHistory(QComboBox* combo);
    void StoreHistory(QComboBox* combo);
    void AddToHistory(QComboBox* combo);
    void cb_Exit(QComboBox* combo);
    void InstallComboExitFilters();
    void btClearHistoryClick();
    void bt_BrowseClick(QObject* sender);

    // tab and buttons
    void PageControl1Change(int index);
    void bt_RefreshClick();
    void mi_QuitClick();
    void mi_AboutClick();

    // permissions grid
    void SetupPermissionsGrid();
    void ck_PermHideSomethingClick();
    void rb_PermSortClick(QObject* sender);
    void bt_PermCopyClick();
    void pu_PermsPopup();

    // users/groups matrix
    void SetupUsersGroupsGrid();
    void ck_UGHideSysObjClick();
    void QuickFilterChanged(TASGHelper& helper, const QString& text);
    void pu_UserGroupsPopup();
    void bt_UGCopyClick();

    // editing commands
    void ConnectCommandHandlers();
    void pui_PermAddClick();
    void pui_PermRemoveClick();
    void pui_PermAllClick();
    void pui_PermNoneClick();
    void pui_PermHexClick();
    void pui_PermOwnerClick();
    void pui_PermFlipInheritClick();
    void pui_UGAddClick();
    void pui_UGRemoveClick();
    void pui_UGDeleteUserClick();
    void pui_UGDeleteGroupClick();
    void bt_UG_AddClick();
    void pui_UGClearPasswordClick();
    void mi_ChangePasswordClick();

    // findings, report and legend
    void ConnectFindingsHandlers();
    void PageFindingsShown();
    void tv_FindingsSelect();
    void bt_FindingShowClick();
    void ShowFindings();
    void cb_FindingSeverityChange();
    void bt_FindingCopyClick();
    const TFinding* CurrentFinding() const;
    QString FindingText(const TFinding& finding) const;
    int FindingRow(const TFinding& finding) const;
    void mi_SaveReportClick();
    void mi_LegendClick();
    // changes and the findings' fixes
    void ConnectChangesHandlers();
    void lv_ChangesActivated();
    void bt_FindingFixClick();
    void UpdateFindingFix();
    std::vector<const TFinding*> SelectedFindings() const;
    std::optional<std::string> PickNewOwner();
    std::optional<plan::OriginRecord> m_origin;
    std::vector<plan::Change> m_changes;
    std::unique_ptr<TFindingsResult> m_findings;
    std::unique_ptr<TAuditInputs> m_auditInputs;
    std::pair<QString, QString> m_lastReportFiles;
    // sandbox
    void ConnectSandboxHandlers();
    void mi_PlanSandboxClick();
    // File > "Export Change Script...": the Changes tab's list as a change script (enabled while it
    // holds the changes of a sandbox).
    void mi_ExportChangeScriptClick();
    // database information
    void ConnectDatabaseInfoHandlers();
    void lb_ACEsExplainClick();
    void bt_PropReadClick();
    void bt_PropClearClick();

    std::unique_ptr<Ui::TForm1> ui;
    std::unique_ptr<TKaDumbIniFileMgr> m_iniMgr;
    std::unique_ptr<TASGHelper_Perm> m_permHelper;
    std::unique_ptr<TASGHelper_UG> m_ugHelper;
    QString m_settingsFile;
    QString m_lastDatabase, m_lastWorkgroup, m_lastUserName, m_lastPassword;
    TDAOVersion m_lastDAOVersion = dvDAO36;
    QString m_lastBrowsedFile; // kept from one browse to the next, never preset from a combo box
    bool m_placed = false;     // centred on the desktop at the first showing

public:
    // Popup menus of the two grids, built in code; their items carry their designer names.
    QMenu* pu_Perms = nullptr;
    QAction* pui_PermAdd = nullptr;
    QAction* pui_PermRemove = nullptr;
    QAction* pui_PermSep1 = nullptr;
    QAction* pui_PermAll = nullptr;
    QAction* pui_PermNone = nullptr;
    QAction* N2 = nullptr;
    QAction* pui_PermHex = nullptr;
    QAction* pui_PermFlipInherit = nullptr;
    QAction* pui_PermOwner = nullptr;
    QMenu* pu_UserGroups = nullptr;
    QAction* pui_UGAdd = nullptr;
    QAction* pui_UGRemove = nullptr;
    QAction* N3 = nullptr;
    QAction* pui_UGDeleteUser = nullptr;
    QAction* pui_UGDeleteGroup = nullptr;
    QAction* N4 = nullptr;
    QAction* pui_UGClearPassword = nullptr;
    // "Apply Suggested Fix" on the Findings tab, beside "Show in Permissions".
    QPushButton* bt_FindingFix = nullptr;
};

// The application's main window; created first at start-up.
extern TForm1* Form1;
