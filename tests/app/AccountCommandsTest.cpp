// The users/groups matrix popup and the "Add User or Group" dialog, seen in the matrix after the
// refresh that ends every command.
#include "support/AppFixture.h"
#include "support/Engine.h"

#include "commands/AccountCommands.h"
#include "commands/Keyloupe_fm_UGAdd.h"

#include <QAction>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace kltest;

namespace {
const QString Sales = QStringLiteral("Sales");

// A modal answer that fills the add dialog as a user does; group picks "Group", else the choice stays.
std::function<int(QDialog&)> fillIn(const QString& name, const QString& pid, const QString& password,
                                    bool group = false, QStringList* seen = nullptr) {
    return [=](QDialog& dialog) {
        auto edit = [&](const char* n) { return dialog.findChild<QLineEdit*>(QLatin1String(n)); };
        if (seen)
            *seen << edit("tx_UGName")->text() << edit("tx_PID")->text() << edit("tx_Password")->text()
                  << QString::number(static_cast<Tfm_UGAdd&>(dialog).ItemIndex());
        QTest::keyClicks(edit("tx_UGName"), name);
        QTest::keyClicks(edit("tx_PID"), pid);
        QTest::keyClicks(edit("tx_Password"), password);
        if (group) dialog.findChild<QRadioButton*>(QStringLiteral("rg_UG_Group"))->click();
        dialog.findChild<QPushButton*>(QStringLiteral("bt_OK"))->click();
        return dialog.result();
    };
}
} // namespace

class AccountCommandsTest : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;
    TTestFiles files;
    int run = 0;

    // Whether a login of user with password succeeds on the current test files.
    bool daoLogin(const QString& user, const QString& password) {
        try {
            loginTo(files.mdwPath(), user.toStdString(), password.toStdString());
            return true;
        } catch (const dao::DaoError&) {
            return false;
        }
    }

    std::unique_ptr<TAppFixture> start(const QString& user = QStringLiteral("admin")) {
        files = makeCommandFiles(tmp.filePath(QString::number(++run)));
        auto app = std::make_unique<TAppFixture>(tmp.filePath(QStringLiteral("keyloupe.ini")), files);
        app->login(user);
        return app;
    }
    QString member(TAppFixture& app, const QString& user, const QString& group) {
        return app.matrix().cell(app.groupCol(group), app.userRow(user));
    }
    void clickButton(TAppFixture& app) {
        QTest::mouseClick(app.find<QPushButton>("bt_UG_Add"), Qt::LeftButton);
    }

private slots:
    void initTestCase() { QVERIFY(tmp.isValid()); }

    void membershipByRealRowBehindHiddenUsers() {
        auto app = start();
        TStringGrid& m = app->matrix();
        // zed sorts after the hidden Creator and Engine rows: its display row is not its real row.
        const int zed = app->userRow(QStringLiteral("zed"));
        QVERIFY(m.displayRowIndex(zed) > 0 && m.displayRowIndex(zed) != zed);
        app->rightClick(m, zed, app->groupCol(Sales), "pui_UGAdd");
        QCOMPARE(member(*app, QStringLiteral("zed"), Sales), QStringLiteral("Y"));
        QCOMPARE(member(*app, QStringLiteral("bob"), Sales), QStringLiteral("-"));

        app->rightClick(m, app->userRow(QStringLiteral("alice")), app->groupCol(Sales), "pui_UGRemove");
        QCOMPARE(member(*app, QStringLiteral("alice"), Sales), QStringLiteral("-"));
        QCOMPARE(member(*app, QStringLiteral("zed"), Sales), QStringLiteral("Y"));
        QVERIFY(app->hooks.messages.isEmpty());

        // Removing a membership that is not there: the engine's refusal is shown.
        app->rightClick(m, app->userRow(QStringLiteral("bob")), app->groupCol(Sales), "pui_UGRemove");
        QCOMPARE(app->hooks.messages.size(), 1);
        QVERIFY(app->hooks.messages.front().startsWith(QStringLiteral("Error: ")));
    }

    void deletionsAskFirstAndAlwaysRefresh() {
        auto app = start();
        TStringGrid& m = app->matrix();
        addUser(loginTo(files.mdwPath()), "carol", "carol-pid");
        app->hooks.confirmAnswers = {ui::Answer::No};
        app->rightClick(m, app->userRow(QStringLiteral("bob")), app->groupCol(Sales), "pui_UGDeleteUser");
        QCOMPARE(app->hooks.confirmations, QStringList{QStringLiteral("OK to delete User: bob?")});
        QVERIFY(app->userRow(QStringLiteral("bob")) > 0);
        QVERIFY(app->userRow(QStringLiteral("carol")) > 0); // the refresh ran all the same

        app->hooks.confirmAnswers = {ui::Answer::Yes};
        app->rightClick(m, app->userRow(QStringLiteral("bob")), app->groupCol(Sales), "pui_UGDeleteUser");
        QCOMPARE(app->userRow(QStringLiteral("bob")), -1);
        QVERIFY(!accountExists(files.mdwPath(), "bob"));

        app->hooks.confirmAnswers = {ui::Answer::Yes};
        app->rightClick(m, app->userRow(QStringLiteral("alice")), app->groupCol(Sales), "pui_UGDeleteGroup");
        QCOMPARE(app->hooks.confirmations.last(), QStringLiteral("OK to delete Group: Sales?"));
        QCOMPARE(app->groupCol(Sales), -1);
        QVERIFY(app->userRow(QStringLiteral("alice")) > 0);
        QVERIFY(app->hooks.messages.isEmpty());
    }

    // Admins clear a forgotten password after asking; a user changes their own with the old one.
    void passwordsAreClearedByAdminsAndChangedByTheirOwners() {
        auto app = start();
        TStringGrid& m = app->matrix();
        const int alice = app->userRow(QStringLiteral("alice"));
        app->hooks.confirmAnswers = {ui::Answer::No, ui::Answer::Yes};
        app->rightClick(m, alice, 0, "pui_UGClearPassword");
        QCOMPARE(app->hooks.confirmations,
                 QStringList{QStringLiteral("OK to clear the password of User: alice?")});
        QVERIFY(daoLogin(QStringLiteral("alice"), QStringLiteral("alice1")));
        app->rightClick(m, alice, 0, "pui_UGClearPassword");
        QVERIFY(!daoLogin(QStringLiteral("alice"), QStringLiteral("alice1")));
        QVERIFY(daoLogin(QStringLiteral("alice"), QString()));
        QVERIFY(app->hooks.messages.isEmpty());

        // alice, no member of Admins, may not clear bob's; the engine's refusal is the box.
        app->login(QStringLiteral("alice"));
        app->hooks.confirmAnswers = {ui::Answer::Yes};
        app->rightClick(m, app->userRow(QStringLiteral("bob")), 0, "pui_UGClearPassword");
        QCOMPARE(app->hooks.messages.size(), 1);
        QVERIFY(app->hooks.messages.front().startsWith(QStringLiteral("Error: ")));

        // She sets her own: the repeat must agree before OK is offered, the old one must be right.
        app->hooks.messages.clear();
        auto answer = [](const char* oldPw, const char* newPw, const char* repeat) {
            return [=](QDialog& d) {
                d.findChild<QLineEdit*>(QStringLiteral("tx_OldPassword"))->setText(QLatin1String(oldPw));
                d.findChild<QLineEdit*>(QStringLiteral("tx_NewPassword"))->setText(QLatin1String(newPw));
                d.findChild<QLineEdit*>(QStringLiteral("tx_RepeatPassword"))->setText(QLatin1String(repeat));
                auto* ok = d.findChild<QDialogButtonBox*>(QStringLiteral("bb_Password"))
                               ->button(QDialogButtonBox::Ok);
                if (!ok->isEnabled()) return int(QDialog::Rejected);
                ok->click();
                return d.result();
            };
        };
        auto* change = app->form().findChild<QAction*>(QStringLiteral("mi_ChangePassword"));
        app->hooks.modalAnswers = {answer("", "new1", "new2"), answer("wrong", "new1", "new1"),
                                   answer("", "new1", "new1")};
        change->trigger();
        QVERIFY(app->hooks.messages.isEmpty()); // a mismatch never reaches the engine
        change->trigger();
        QCOMPARE(app->hooks.messages.size(), 1);
        QVERIFY(app->hooks.messages.front().startsWith(QStringLiteral("Error: ")));
        change->trigger();
        QCOMPARE(app->hooks.messages.last(), QStringLiteral("The password of alice was changed."));
        QCOMPARE(app->find<QComboBox>("cb_Password")->currentText(), QStringLiteral("new1"));
        QVERIFY(daoLogin(QStringLiteral("alice"), QStringLiteral("new1")));
    }

    void headerCellsOfferOnlyTheCommandsTheirNameServes() {
        auto app = start();
        TStringGrid& m = app->matrix();
        const int bob = app->userRow(QStringLiteral("bob"));
        const int sales = app->groupCol(Sales);
        QCOMPARE(app->rightClick(m, bob, sales), QStringList({"pui_UGAdd", "pui_UGRemove", "pui_UGDeleteUser",
                                                              "pui_UGDeleteGroup", "pui_UGClearPassword"}));
        QCOMPARE(app->rightClick(m, bob, 0), QStringList({"pui_UGDeleteUser", "pui_UGClearPassword"}));
        QCOMPARE(app->rightClick(m, 0, sales), QStringList{"pui_UGDeleteGroup"});
        QCOMPARE(app->rightClick(m, 0, 0), QStringList());

        // Run on a user's name cell all the same, the group commands take no header caption for a name.
        app->hooks.confirmAnswers = {ui::Answer::Yes};
        m.selectCell(0, m.displayRowIndex(bob));
        for (TUGCommand command : {ugDeleteGroup, ugAddToGroup, ugRemoveFromGroup})
            app->form().UGCommandAtCurrentCell(command);
        m.selectCell(sales, 0);
        app->form().UGCommandAtCurrentCell(ugDeleteUser);
        QVERIFY(app->hooks.confirmations.isEmpty());
        QVERIFY(app->hooks.messages.isEmpty());

        // The name cell still names its user.
        app->rightClick(m, bob, 0, "pui_UGDeleteUser");
        QCOMPARE(app->hooks.confirmations, QStringList{QStringLiteral("OK to delete User: bob?")});
        QVERIFY(!accountExists(files.mdwPath(), "bob"));
    }

    void aFailedLoginIsTheCommandsOnlyBox() {
        auto app = start();
        // Changed on the grid's tab, so that no change of tab refreshes before the command runs.
        app->find<QTabWidget>("PageControl1")->setCurrentWidget(app->find<QWidget>("ts_UserGroups"));
        app->find<QComboBox>("cb_Password")->setEditText(QStringLiteral("wrong"));
        app->hooks.confirmAnswers = {ui::Answer::Yes};
        app->rightClick(app->matrix(), app->userRow(QStringLiteral("bob")), app->groupCol(Sales),
                        "pui_UGDeleteUser");
        // The command's connect box and the refresh's own; nothing asked, nothing deleted.
        QCOMPARE(app->hooks.messages.size(), 2);
        QCOMPARE(app->hooks.messages.at(0), app->hooks.messages.at(1));
        QVERIFY(app->hooks.messages.at(0).startsWith(QStringLiteral("Error: ")));
        QVERIFY(app->hooks.confirmations.isEmpty());
        QVERIFY(accountExists(files.mdwPath(), "bob"));
        QCOMPARE(app->find<QLabel>("lb_Summary")->text(), QStringLiteral("Couldn't connect to database"));

        app->hooks.messages.clear();
        DoUGCommand(app->form().CommandContext(), ugAddToGroup, QStringLiteral("bob"), Sales);
        app->hooks.modalAnswers.push_back(
            fillIn(QStringLiteral("carol"), QStringLiteral("c-pid"), QString()));
        clickButton(*app);
        QCOMPARE(app->hooks.messages.size(), 4);
        QVERIFY(!accountExists(files.mdwPath(), "carol"));
        QCOMPARE(app->find<QLabel>("lb_Summary")->text(), QStringLiteral("Couldn't connect to database"));
    }

    void addDialogCreatesUsersAndGroups() {
        auto app = start();
        QStringList seen;
        app->hooks.modalAnswers.push_back(fillIn(QStringLiteral("Auditors"), QStringLiteral("audit-pid"),
                                                 QStringLiteral("pw"), true, &seen));
        clickButton(*app);
        QCOMPARE(app->hooks.modalTitles, QStringList{QStringLiteral("Add User or Group")});
        QVERIFY(app->groupCol(QStringLiteral("Auditors")) > 0);
        QCOMPARE(app->userRow(QStringLiteral("Auditors")), -1);
        QVERIFY(app->hooks.messages.isEmpty());

        // The next showing starts with empty edits and keeps "Group".
        app->hooks.modalAnswers.push_back(
            fillIn(QStringLiteral("Clerks"), QStringLiteral("clerk-pid"), QString(), false, &seen));
        clickButton(*app);
        QCOMPARE(seen, QStringList({"", "", "", "0", "", "", "", "1"}));
        QVERIFY(app->groupCol(QStringLiteral("Clerks")) > 0);

        // A user gets the password typed: it logs in with it.
        fm_UGAdd->SetItemIndex(0);
        app->hooks.modalAnswers.push_back(
            fillIn(QStringLiteral("carol"), QStringLiteral("carol-pid"), QStringLiteral("c4rol")));
        clickButton(*app);
        QVERIFY(app->userRow(QStringLiteral("carol")) > 0);
        QVERIFY(loginTo(files.mdwPath(), "carol", "c4rol"));
    }

    void blankNameAndCancel() {
        auto app = start();
        addUser(loginTo(files.mdwPath()), "carol", "carol-pid");
        clickButton(*app); // no answer queued: the dialog is cancelled
        QCOMPARE(app->hooks.modalTitles.size(), 1);
        QCOMPARE(app->userRow(QStringLiteral("carol")), -1); // nothing, not even a refresh
        QVERIFY(app->hooks.messages.isEmpty());

        app->hooks.modalAnswers.push_back(fillIn(QString(), QStringLiteral("pid-1234"), QString()));
        clickButton(*app);
        QCOMPARE(app->hooks.messages, QStringList{QStringLiteral("Error: Name must not be blank.")});
        QVERIFY(app->userRow(QStringLiteral("carol")) > 0); // the refresh ran
    }

    void nonAdminLoginIsRefused() {
        auto app = start(QStringLiteral("bob"));
        app->hooks.modalAnswers.push_back(
            fillIn(QStringLiteral("Hackers"), QStringLiteral("hack-pid"), QString(), true));
        clickButton(*app);
        QCOMPARE(app->hooks.messages.size(), 1);
        QVERIFY(app->hooks.messages.front().startsWith(QStringLiteral("Error: ")));
        QVERIFY(!accountExists(files.mdwPath(), "Hackers"));
        QCOMPARE(app->groupCol(QStringLiteral("Hackers")), -1);

        app->hooks.confirmAnswers = {ui::Answer::Yes};
        app->rightClick(app->matrix(), app->userRow(QStringLiteral("alice")), app->groupCol(Sales),
                        "pui_UGDeleteUser");
        QCOMPARE(app->hooks.messages.size(), 2);
        QVERIFY(app->hooks.messages.last().startsWith(QStringLiteral("Error: ")));
        QVERIFY(accountExists(files.mdwPath(), "alice"));
    }
};

QTEST_MAIN(AccountCommandsTest)
#include "AccountCommandsTest.moc"
