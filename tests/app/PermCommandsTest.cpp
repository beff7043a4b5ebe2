// The permissions grid's popup: which items a right click enables, and what each command writes, seen
// in the grid after the refresh that ends it.
#include "support/AppFixture.h"
#include "support/Engine.h"

#include "commands/Keyloupe_fm_Hex.h"
#include "commands/PermCommands.h"
#include "jet/dm_Inspect.h"
#include "security/PermissionColumns.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace kltest;

namespace {
const QString Tables = QStringLiteral("Tables");
const QString Orders = QStringLiteral("Orders");
const QString Lines = QStringLiteral("Lines");
const QString Container = QStringLiteral("<container>");
const QString alice = QStringLiteral("alice");
const QString bob = QStringLiteral("bob");

// A modal answer that types into the hex field as a user does and presses a button.
std::function<int(QDialog&)> typeAndPress(const QString& keys, const char* button,
                                          QStringList* shown = nullptr, bool* connectedMeanwhile = nullptr) {
    return [=](QDialog& dialog) {
        if (connectedMeanwhile) *connectedMeanwhile = dm_Inspect->db1.Connected();
        auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("tx_Val"));
        if (keys.isNull())
            edit->clear();
        else
            QTest::keyClicks(edit, keys);
        if (shown)
            for (const char* name : {"lb_Perm", "lb_Or", "lb_AndNot"})
                *shown << dialog.findChild<QLabel*>(QLatin1String(name))->text();
        dialog.findChild<QPushButton*>(QLatin1String(button))->click();
        return dialog.result();
    };
}
} // namespace

class PermCommandsTest : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;
    TTestFiles files;
    int run = 0;

    // Fresh files for every test: the commands change them.
    std::unique_ptr<TAppFixture> start(const QString& user = QStringLiteral("admin"),
                                       const QString& password = QString()) {
        files = makeCommandFiles(tmp.filePath(QString::number(++run)));
        auto app = std::make_unique<TAppFixture>(tmp.filePath(QStringLiteral("keyloupe.ini")), files);
        app->login(user, password);
        return app;
    }
    std::int32_t explicitOf(const QString& container, const QString& object, const QString& account) {
        return kltest::explicitOf(open(loginTo(files.mdwPath()), files.mdbPath()), container.toStdString(),
                                  object.toStdString(), account.toStdString());
    }

private slots:
    // A genuine Jet pair: every tab shows it, every item that would write is disabled, a change made
    // anyway is refused with the engine's read-only error, and the files stay as they were.
    void genuinePairIsShownWithEveryEditDisabled() {
        const QString dir = QStringLiteral(KEYLOUPE_JET_SAMPLES);
        if (!QFile::exists(dir + QStringLiteral("/system.mdw"))) QSKIP("the genuine Jet samples are absent");
        const TTestFiles genuine{dir, dir + QStringLiteral("/system.mdw"),
                                 dir + QStringLiteral("/ContourBL.mdb")};
        auto bytes = [](const QString& path) {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        const QByteArray mdw = bytes(genuine.mdw), mdb = bytes(genuine.mdb);
        TAppFixture app(tmp.filePath(QStringLiteral("genuine.ini")), genuine);
        app.login(QStringLiteral("CONTOURCDU"), QStringLiteral("any password"));
        QCOMPARE(app.find<QLabel>("lb_Summary")->text(),
                 QStringLiteral("ContourBL.mdb   Perms: 180 (54 non-zero)  Users: 7 Groups: 2"));
        QVERIFY(app.form().AuditMode);
        QVERIFY(app.form().windowTitle().endsWith(QStringLiteral(" (read-only audit)")));
        QVERIFY(
            app.find<QLabel>("lb_AuditNote")->text().contains(QStringLiteral("password was not checked")));
        QCOMPARE(app.find<QLabel>("lb_MSPerms")->text(), QStringLiteral("57"));
        QCOMPARE(app.find<QLabel>("lb_MSOrphans")->text(), QStringLiteral("0"));
        const QString block = QStringLiteral("Block Code"), owner = QStringLiteral("CONTOURCDU");
        QCOMPARE(app.permCell(Tables, block, owner, colPermExp), QStringLiteral("FFFFF"));
        QCOMPARE(app.permCell(Tables, block, owner, colOwner), QStringLiteral("O"));
        for (int col : {colObjectName, colPermExp, colInherit, colOwner, 9, 12})
            QCOMPARE(app.rightClick(app.perms(), app.permRow(Tables, Container, owner), col), QStringList());
        QCOMPARE(app.rightClick(app.matrix(), app.userRow(QStringLiteral("Contour")),
                                app.groupCol(QStringLiteral("Admins"))),
                 QStringList());
        QVERIFY(!app.find<QPushButton>("bt_UG_Add")->isEnabled());

        app.hooks.messages.clear();
        ApplyPermissionChange(app.form().CommandContext(), Tables, block, TRowKind::Document, poSet, 0,
                              owner);
        QCOMPARE(app.hooks.messages.size(), 1);
        QVERIFY(app.hooks.messages.front().startsWith(QStringLiteral("Error: Cannot change")));
        QVERIFY(app.hooks.messages.front().contains(QStringLiteral("read-only for audit")));
        QCOMPARE(app.permCell(Tables, block, owner, colPermExp), QStringLiteral("FFFFF"));
        QCOMPARE(bytes(genuine.mdw), mdw);
        QCOMPARE(bytes(genuine.mdb), mdb);

        // Own files again: the items come back.
        const TTestFiles own = makeCommandFiles(tmp.filePath(QStringLiteral("own")));
        app.find<QComboBox>("cb_DB")->setCurrentText(own.mdb);
        app.find<QComboBox>("cb_MDW")->setCurrentText(own.mdw);
        app.find<QComboBox>("cb_Username")->setCurrentText(QStringLiteral("admin"));
        app.find<QComboBox>("cb_Password")->setCurrentText(QString());
        app.form().RefreshAll();
        QVERIFY(!app.form().AuditMode);
        QVERIFY(!app.find<QLabel>("lb_AuditNote")->isVisibleTo(&app.form()));
        QVERIFY(app.find<QPushButton>("bt_UG_Add")->isEnabled());
        QVERIFY(!app.form().windowTitle().contains(QStringLiteral("audit")));
    }

    // File > "Plan Changes in a Sandbox...": the sandbox is shown as the same user, says what it is, and
    // takes changes under Jet's rules for that user, while the genuine files stay as they were.
    void sandboxOfAGenuinePairTakesTheUsersChanges() {
        const QString dir = QStringLiteral(KEYLOUPE_JET_SAMPLES);
        if (!QFile::exists(dir + QStringLiteral("/system.mdw"))) QSKIP("the genuine Jet samples are absent");
        const TTestFiles genuine{dir, dir + QStringLiteral("/system.mdw"),
                                 dir + QStringLiteral("/ContourBL.mdb")};
        TAppFixture app(tmp.filePath(QStringLiteral("sandbox.ini")), genuine);
        app.login(QStringLiteral("Contour"), QStringLiteral("any password"));
        auto* plan = app.find<QAction>("mi_PlanSandbox");
        QVERIFY(plan->isEnabled());
        const QString out = tmp.filePath(QStringLiteral("sandbox"));
        app.hooks.fileAnswers.push_back(out);
        plan->trigger();
        QVERIFY(app.hooks.fileRequests.back().folder);
        QCOMPARE(app.find<QComboBox>("cb_DB")->currentText(), out + QStringLiteral("/ContourBL.mdb"));
        QCOMPARE(app.form().LastUserName(), QStringLiteral("Contour"));
        QVERIFY(!app.form().AuditMode);
        QVERIFY(!plan->isEnabled());
        QVERIFY(app.form().windowTitle().endsWith(QStringLiteral(" (sandbox of ContourBL.mdb)")));
        QVERIFY(
            app.find<QLabel>("lb_AuditNote")->text().startsWith(QStringLiteral("Sandbox of ContourBL.mdb")));
        QCOMPARE(app.find<QLabel>("lb_Summary")->text(),
                 QStringLiteral("ContourBL.mdb   Perms: 180 (54 non-zero)  Users: 7 Groups: 2"));
        QCOMPARE(app.find<QLabel>("lb_MSPerms")->text(), QStringLiteral("57"));

        // Contour holds every right on Block Code through Users: the Users group's rights go. On
        // MSysObjects, Users holds ReadDef and RetrieveData only: that change is refused.
        const QString block = QStringLiteral("Block Code"), users = QStringLiteral("Users");
        const QString objects = QStringLiteral("MSysObjects");
        ApplyPermissionChange(app.form().CommandContext(), Tables, block, TRowKind::Document, poSet, 0,
                              users);
        QCOMPARE(app.permCell(Tables, block, users, colPermExp), QStringLiteral("00000"));
        app.hooks.messages.clear();
        ApplyPermissionChange(app.form().CommandContext(), Tables, objects, TRowKind::Document, poSet, 0,
                              users);
        QCOMPARE(app.hooks.messages.size(), 1);
        QVERIFY(app.hooks.messages.front().contains(QStringLiteral("don't have permission")));
        QCOMPARE(app.permCell(Tables, objects, users, colPermExp), QStringLiteral("00014"));

        // The origin is untouched and reads as before.
        app.setLogin(genuine.mdb, genuine.mdw, QStringLiteral("Contour"));
        app.form().RefreshAll();
        QVERIFY(!app.form().windowTitle().contains(QStringLiteral("sandbox")));
        QCOMPARE(app.permCell(Tables, block, users, colPermExp), QStringLiteral("FFFFF"));
    }

    void initTestCase() {
        QVERIFY(tmp.isValid());
        dao::registerEngineClasses();
    }

    void popupEnablesByCell() {
        auto app = start();
        TStringGrid& g = app->perms();
        const int orders = app->permRow(Tables, Orders, alice);
        const int tables = app->permRow(Tables, Container, alice);
        QVERIFY(orders > 0 && tables > 0);
        const QStringList all{"pui_PermAll", "pui_PermNone"};

        QCOMPARE(app->rightClick(g, 0, 12), QStringList());
        QCOMPARE(app->rightClick(g, orders, 5), all + QStringList{"pui_PermHex"});
        QCOMPARE(app->rightClick(g, tables, 7), all + QStringList{"pui_PermFlipInherit"});
        QCOMPARE(app->rightClick(g, orders, 7), all);
        QCOMPARE(app->rightClick(g, orders, 8), all + QStringList{"pui_PermOwner"});
        QCOMPARE(app->rightClick(g, orders, 20), QStringList({"pui_PermAdd", "pui_PermRemove"}) + all);
        QCOMPARE(app->rightClick(g, orders, 2), all);
        // The clicked cell became the current cell, the fixed ones included.
        QCOMPARE(g.currentCol(), 2);
        QCOMPARE(g.realRowIndex(g.currentRow()), orders);

        // "Add All" in column 5 does nothing at all.
        app->rightClick(g, orders, 5, "pui_PermAll");
        QCOMPARE(explicitOf(Tables, Orders, alice), 0x4);
        QVERIFY(app->hooks.messages.isEmpty());
    }

    void addAndRemoveOneRight() {
        auto app = start();
        TStringGrid& g = app->perms();
        // Granting WriteDef brings ReadDef and Delete with it; revoking it clears only its own bit.
        app->rightClick(g, app->permRow(Tables, Orders, alice), 15, "pui_PermAdd");
        QCOMPARE(app->permCell(Tables, Orders, alice, 5), QStringLiteral("1000C"));
        QCOMPARE(app->permCell(Tables, Orders, alice, 15), QStringLiteral("E"));
        app->rightClick(g, app->permRow(Tables, Orders, alice), 15, "pui_PermRemove");
        QCOMPARE(app->permCell(Tables, Orders, alice, 5), QStringLiteral("10004"));
        QCOMPARE(app->permCell(Tables, Orders, alice, 14), QStringLiteral("E")); // ReadDef
        QCOMPARE(app->permCell(Tables, Orders, alice, 10), QStringLiteral("E")); // Delete
        QCOMPARE(explicitOf(Tables, Orders, alice), 0x10004);
        // The selection stays on the cell that was clicked.
        QCOMPARE(g.realRowIndex(g.currentRow()), app->permRow(Tables, Orders, alice));
        QCOMPARE(g.currentCol(), 15);

        // ReadSec held only through Sales: revoking writes the explicit value back unchanged.
        QCOMPARE(app->permCell(Tables, Orders, alice, 11), QStringLiteral("I"));
        app->rightClick(g, app->permRow(Tables, Orders, alice), 11, "pui_PermRemove");
        QCOMPARE(app->permCell(Tables, Orders, alice, 11), QStringLiteral("I"));
        QCOMPARE(explicitOf(Tables, Orders, alice), 0x10004);
        QVERIFY(app->hooks.messages.isEmpty());
    }

    void addAllAndRemoveAll() {
        auto app = start();
        TStringGrid& g = app->perms();
        app->rightClick(g, app->permRow(Tables, Lines, bob), 8, "pui_PermAll");
        QCOMPARE(app->permCell(Tables, Lines, bob, 5), QStringLiteral("FFFFF"));
        QCOMPARE(explicitOf(Tables, Lines, bob), 0xFFFFF);

        // With "Perms = 0" hidden the row leaves the grid once nothing explicit is left.
        app->find<QCheckBox>("ck_PermHidePerm0")->click();
        QVERIFY(app->permRowShown(Tables, Lines, bob));
        app->rightClick(g, app->permRow(Tables, Lines, bob), 20, "pui_PermNone");
        QCOMPARE(explicitOf(Tables, Lines, bob), 0);
        QCOMPARE(app->permCell(Tables, Lines, bob, 5), QStringLiteral("00000"));
        QVERIFY(!app->permRowShown(Tables, Lines, bob));
    }

    void hexDialogWritesTheChosenResult() {
        auto app = start();
        TStringGrid& g = app->perms();
        QStringList shown;
        bool connected = true;
        app->hooks.modalAnswers.push_back(typeAndPress(QStringLiteral("8"), "bt_OR", &shown, &connected));
        app->rightClick(g, app->permRow(Tables, Lines, bob), 5, "pui_PermHex");
        QCOMPARE(app->hooks.modalTitles, QStringList{QStringLiteral("Set Hex Permission Value")});
        QCOMPARE(shown, QStringList({"1000C", "1000C", "10004"}));
        QVERIFY(!connected); // the read's connection is closed before the dialog shows
        QCOMPARE(app->permCell(Tables, Lines, bob, 5), QStringLiteral("1000C"));

        app->hooks.modalAnswers.push_back(typeAndPress(QStringLiteral("8"), "bt_ANDNOT"));
        app->rightClick(g, app->permRow(Tables, Lines, bob), 5, "pui_PermHex");
        QCOMPARE(app->permCell(Tables, Lines, bob, 5), QStringLiteral("10004"));

        app->hooks.modalAnswers.push_back(typeAndPress(QStringLiteral("fffff"), "bt_Set"));
        app->rightClick(g, app->permRow(Tables, Orders, alice), 5, "pui_PermHex");
        QCOMPARE(app->permCell(Tables, Orders, alice, 5), QStringLiteral("FFFFF"));

        // Not hexadecimal: no result is shown and "Set val" cannot be pressed; the rights stay.
        shown.clear();
        app->hooks.modalAnswers.push_back(typeAndPress(QStringLiteral("xyz"), "bt_Set", &shown));
        app->rightClick(g, app->permRow(Tables, Orders, alice), 5, "pui_PermHex");
        QCOMPARE(shown, QStringList({"FFFFF", "", ""}));
        QCOMPARE(explicitOf(Tables, Orders, alice), 0xFFFFF);
        // Nor does an answer that claims a value button was pressed write anything from it.
        app->hooks.modalAnswers.push_back([](QDialog& dialog) {
            dialog.findChild<QLineEdit*>(QStringLiteral("tx_Val"))->setText(QStringLiteral("O"));
            return Tfm_Hex::mrSetVal;
        });
        app->rightClick(g, app->permRow(Tables, Orders, alice), 5, "pui_PermHex");
        QCOMPARE(explicitOf(Tables, Orders, alice), 0xFFFFF);

        app->hooks.modalAnswers.push_back(typeAndPress(QStringLiteral("123456"), "bt_Set"));
        app->rightClick(g, app->permRow(Tables, Orders, alice), 5, "pui_PermHex");
        QCOMPARE(app->permCell(Tables, Orders, alice, 5), QStringLiteral("23456"));
        QVERIFY(app->hooks.messages.isEmpty());
    }

    void hexCancelWritesNothingAndDoesNotRefresh() {
        auto app = start();
        app->hooks.modalAnswers.push_back(typeAndPress(QStringLiteral("1"), "Button1"));
        addUser(loginTo(files.mdwPath()), "carol", "carol-pid");
        app->rightClick(app->perms(), app->permRow(Tables, Lines, bob), 5, "pui_PermHex");
        QCOMPARE(app->hooks.modalTitles.size(), 1);
        QCOMPARE(explicitOf(Tables, Lines, bob), 0x1000C);
        QCOMPARE(app->userRow(QStringLiteral("carol")), -1);
        QVERIFY(!dm_Inspect->db1.Connected());
    }

    void hexReadFailureOpensNoDialog() {
        // bob may not read the security of other accounts: the read fails, and no dialog offers a value
        // nobody has seen.
        auto app = start(bob);
        app->hooks.modalAnswers.push_back(typeAndPress(QStringLiteral("0"), "bt_Set"));
        app->rightClick(app->perms(), app->permRow(Tables, Orders, alice), 5, "pui_PermHex");
        QCOMPARE(app->hooks.messages.size(), 1);
        QVERIFY(app->hooks.messages.front().startsWith(QStringLiteral("Error: ")));
        QVERIFY(app->hooks.modalTitles.isEmpty());
        QVERIFY(!dm_Inspect->db1.Connected());
        QCOMPARE(explicitOf(Tables, Orders, alice), 0x4);
    }

    void aFailedLoginIsTheCommandsOnlyBox() {
        auto app = start();
        const int lines = app->permRow(Tables, Lines, bob);
        // Changed on the grid's tab, so that no change of tab refreshes before the command runs.
        app->find<QTabWidget>("PageControl1")->setCurrentWidget(app->find<QWidget>("ts_Permissions"));
        app->find<QComboBox>("cb_Password")->setEditText(QStringLiteral("wrong"));
        app->rightClick(app->perms(), lines, 9, "pui_PermAdd");
        // The command's connect box, then the refresh's own; no closed-database error in between.
        QCOMPARE(app->hooks.messages.size(), 2);
        QCOMPARE(app->hooks.messages.at(0), app->hooks.messages.at(1));
        QVERIFY(app->hooks.messages.at(0).startsWith(QStringLiteral("Error: ")));
        QCOMPARE(app->find<QLabel>("lb_Summary")->text(), QStringLiteral("Couldn't connect to database"));
        QCOMPARE(explicitOf(Tables, Lines, bob), 0x1000C);

        app->hooks.messages.clear();
        SetNewOwner(app->form().CommandContext(), Tables, Lines, TRowKind::Document, bob);
        FlipInherit(app->form().CommandContext(), Tables, Container, TRowKind::Container, alice);
        QCOMPARE(app->hooks.messages.size(), 4);
        // The hex command's failed read: one box, no dialog and no refresh.
        app->hooks.messages.clear();
        app->find<QLabel>("lb_Summary")->setText(QStringLiteral("unchanged"));
        EnterHexPermission(app->form().CommandContext(), *fm_Hex, Tables, Lines, TRowKind::Document, bob);
        QCOMPARE(app->hooks.messages.size(), 1);
        QVERIFY(app->hooks.modalTitles.isEmpty());
        QCOMPARE(app->find<QLabel>("lb_Summary")->text(), QStringLiteral("unchanged"));
        QVERIFY(!dm_Inspect->db1.Connected());
    }

    void ownerMovesToTheRowsAccount() {
        auto app = start();
        const QString admin = QStringLiteral("admin");
        QCOMPARE(app->permCell(Tables, Orders, admin, 8), QStringLiteral("O"));
        app->rightClick(app->perms(), app->permRow(Tables, Orders, alice), 8, "pui_PermOwner");
        QCOMPARE(app->permCell(Tables, Orders, alice, 8), QStringLiteral("O"));
        QCOMPARE(app->permCell(Tables, Orders, admin, 8), QStringLiteral("-"));
        // Only that document changed hands.
        QCOMPARE(app->permCell(Tables, Lines, admin, 8), QStringLiteral("O"));
        QVERIFY(app->hooks.messages.isEmpty());
    }

    void twoFlipsRestoreTheInheritSetting() {
        auto app = start();
        TStringGrid& g = app->perms();
        const QString before = app->permCell(Tables, Container, alice, 7);
        const QString bobBefore = app->permCell(Tables, Container, bob, 7);
        QVERIFY(before == QStringLiteral("T") || before == QStringLiteral("F"));
        app->rightClick(g, app->permRow(Tables, Container, alice), 7, "pui_PermFlipInherit");
        QCOMPARE(app->permCell(Tables, Container, alice, 7),
                 before == QStringLiteral("T") ? QStringLiteral("F") : QStringLiteral("T"));
        QCOMPARE(app->permCell(Tables, Container, alice, 5), QStringLiteral("00010"));
        QCOMPARE(app->permCell(Tables, Container, bob, 7), bobBefore);
        app->rightClick(g, app->permRow(Tables, Container, alice), 7, "pui_PermFlipInherit");
        QCOMPARE(app->permCell(Tables, Container, alice, 7), before);
        QCOMPARE(app->permCell(Tables, Container, alice, 5), QStringLiteral("00010"));
        QVERIFY(app->hooks.messages.isEmpty());
    }

    void flipOnADocumentIsRefusedBeforeConnecting() {
        auto app = start();
        const QString summary = app->find<QLabel>("lb_Summary")->text();
        addUser(loginTo(files.mdwPath()), "carol", "carol-pid");
        try {
            FlipInherit(app->form().CommandContext(), Tables, Orders, TRowKind::Document, alice);
            QFAIL("no error raised");
        } catch (const std::exception& e) {
            QCOMPARE(QString::fromStdString(e.what()),
                     QStringLiteral("Inherit doesn't apply to non-Container"));
        }
        QVERIFY(app->hooks.messages.isEmpty());
        QCOMPARE(app->userRow(QStringLiteral("carol")), -1); // no refresh
        QCOMPARE(app->find<QLabel>("lb_Summary")->text(), summary);
    }

    void aDocumentNamedLikeTheMarkerIsNotItsContainer() {
        // Forms has no document of alice's; one named "<container>" is planted as an old file may hold it.
        files = makeCommandFiles(tmp.filePath(QString::number(++run)));
        plantDocument(files.mdbPath(), "Forms", "<container>");
        auto app = std::make_unique<TAppFixture>(tmp.filePath(QStringLiteral("keyloupe.ini")), files);
        app->login();
        TStringGrid& g = app->perms();
        auto rowOf = [&](bool containerRow) {
            for (int r = 1; r < g.rowCount(); ++r)
                if (g.cell(1, r) == QStringLiteral("Forms") && g.cell(2, r) == Container &&
                    g.cell(4, r) == alice && (g.cell(7, r) != QStringLiteral("-")) == containerRow)
                    return r;
            return -1;
        };
        QVERIFY(rowOf(true) > 0 && rowOf(false) > 0);
        const std::int32_t containerBefore = explicitOf(QStringLiteral("Forms"), Container, alice);
        QVERIFY(!app->rightClick(g, rowOf(false), 7).contains(QStringLiteral("pui_PermFlipInherit")));
        QVERIFY(app->rightClick(g, rowOf(true), 7).contains(QStringLiteral("pui_PermFlipInherit")));
        app->rightClick(g, rowOf(false), 9, "pui_PermAll");
        QVERIFY(app->hooks.messages.isEmpty());
        QCOMPARE(explicitOf(QStringLiteral("Forms"), Container, alice), containerBefore);
        auto doc = loginTo(files.mdwPath())
                       ->OpenDatabase(files.mdb.toStdString(), dao::Variant(), dao::Variant(), dao::Variant())
                       ->Containers()
                       ->Item("Forms")
                       ->Documents()
                       ->Item("<container>");
        doc->SetUserName("alice");
        QCOMPARE(doc->Permissions(), 0xFFFFF);
        QCOMPARE(g.cell(5, rowOf(false)), QStringLiteral("FFFFF"));
    }

    void refusalsReachTheUserAndChangeNothing() {
        // bob lacks the right to change security on objects admin owns.
        auto app = start(bob);
        app->rightClick(app->perms(), app->permRow(Tables, Lines, bob), 9, "pui_PermAdd");
        QCOMPARE(app->hooks.messages.size(), 1);
        QVERIFY(app->hooks.messages.front().startsWith(QStringLiteral("Error: ")));
        QCOMPARE(explicitOf(Tables, Lines, bob), 0x1000C);

        // A row naming an object that is not there (deleted elsewhere): the refusal, then the refresh.
        app->hooks.messages.clear();
        ApplyPermissionChange(app->form().CommandContext(), Tables, QStringLiteral("Nowhere"),
                              TRowKind::Document, poSet, 1, bob);
        QCOMPARE(app->hooks.messages.size(), 1);
        QVERIFY(app->hooks.messages.front().startsWith(QStringLiteral("Error: ")));
        QVERIFY(app->find<QLabel>("lb_Summary")->text().startsWith(QStringLiteral("cmd.mdb")));
    }
};

QTEST_MAIN(PermCommandsTest)
#include "PermCommandsTest.moc"
