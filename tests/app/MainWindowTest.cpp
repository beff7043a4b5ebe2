// The main window's start-up, DAO detection and refresh cycle on engine-made files.
#include "support/AppFixture.h"
#include "support/Engine.h"

#include "dao/Dao.h"
#include "grids/control/StringGrid.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

using namespace kltest;

class MainWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;
    TTestFiles files;
    QString ini() const { return tmp.filePath(QStringLiteral("keyloupe.ini")); }

private slots:
    void keyboardRefreshesCopiesQuitsAndOpensThePopup() {
        TAppFixture app(ini());
        app.setLogin(files.mdb, files.mdw);
        app.form().show();
        QVERIFY(QTest::qWaitForWindowExposed(&app.form()));
        app.form().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&app.form()));
        QTest::keyClick(&app.form(), Qt::Key_F5);
        QVERIFY(app.summary().contains(QStringLiteral("Perms: ")));

        app.showTab("ts_Permissions");
        auto* grid = app.find<TStringGrid>("asg_Perms");
        grid->setFocus();
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(grid, Qt::Key_C, Qt::ControlModifier);
        QVERIFY(QGuiApplication::clipboard()->text().startsWith(QStringLiteral("Num\t")));

        int popups = 0;
        grid->popupHandler = [&](QMenu&, const QPoint&) { ++popups; };
        grid->selectCell(9, 1);
        QTest::keyClick(grid, Qt::Key_Down);
        QTest::keyClick(grid, Qt::Key_Right);
        QCOMPARE(grid->currentRow(), 2);
        QCOMPARE(grid->currentCol(), 10);
        QTest::keyClick(grid, Qt::Key_F10, Qt::ShiftModifier);
        QTest::keyClick(grid, Qt::Key_Menu);
        QTest::keyClick(grid, Qt::Key_F10); // F10 alone is not the popup's key
        QCOMPARE(popups, 2);

        QTest::keyClick(&app.form(), Qt::Key_Q, Qt::ControlModifier);
        QVERIFY(!app.form().isVisible()); // closed through "&Quit"
    }

    void initTestCase() { files = makeBasicFiles(tmp.path()); }

    void startsWithTheDesignedWindow() {
        TAppFixture app(ini());
        QCOMPARE(app.form().windowTitle(), QStringLiteral("Keyloupe: Access/Jet Keyloupe"));
        auto* tabs = app.find<QTabWidget>("PageControl1");
        QCOMPARE(tabs->count(), 6);
        QCOMPARE(tabs->tabText(0), QStringLiteral("Database/Login"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Users/Groups"));
        QCOMPARE(tabs->tabText(2), QStringLiteral("Permissions"));
        QCOMPARE(tabs->tabText(3), QStringLiteral("DatabaseInfo"));
        QCOMPARE(tabs->tabText(4), QStringLiteral("Findings"));
        QCOMPARE(tabs->tabText(5), QStringLiteral("Changes"));
        QCOMPARE(tabs->currentWidget()->objectName(), QStringLiteral("ts_Database"));
        QCOMPARE(app.summary(), QStringLiteral("."));
        QCOMPARE(app.find<QComboBox>("cb_Username")->currentText(), QStringLiteral("admin"));
        for (const char* name : {"lb_CDPerms", "lb_CDPermsNZ", "lb_Groups", "lb_Users", "lb_MSPerms",
                                 "lb_MSPermsNZ", "lb_MSOrphans"})
            QCOMPARE(app.find<QLabel>(name)->text(), QStringLiteral("???"));
        QVERIFY(app.find<QAction>("mi_Quit"));
        QCOMPARE(app.find<QAction>("Close1")->text(), QStringLiteral("&Close"));
        QCOMPARE(app.find<QAction>("mi_About")->text(), QStringLiteral("About"));
        QVERIFY(app.find<QRadioButton>("rb_DAO36")->isChecked());
        QVERIFY(app.find<QRadioButton>("rb_DAO35")->isEnabled());
    }

    void detectsAMissingDaoVersion() {
        com::unregisterClass(dao::CLSID_DBEngine35);
        {
            TAppFixture app(ini());
            auto* rb35 = app.find<QRadioButton>("rb_DAO35");
            QVERIFY(!rb35->isEnabled());
            QCOMPARE(rb35->text(), QStringLiteral("DAO 3.5   ...for Jet 3.5,  Access 97 -- NOT INSTALLED"));
            QVERIFY(app.find<QRadioButton>("rb_DAO36")->isEnabled());
            QVERIFY(app.find<QRadioButton>("rb_DAO36")->isChecked());
        }
        dao::registerEngineClasses();
    }

    void neitherVersionInstalledKeepsDao36Selected() {
        // The fixture registers the classes; remove them before the window is created.
        ui::DialogHooks hooks;
        ui::installDialogHooks(&hooks);
        com::unregisterClass(dao::CLSID_DBEngine35);
        com::unregisterClass(dao::CLSID_DBEngine36);
        auto objects = CreateAppObjects(ini());
        auto* rb35 = objects->Form1->findChild<QRadioButton*>(QStringLiteral("rb_DAO35"));
        auto* rb36 = objects->Form1->findChild<QRadioButton*>(QStringLiteral("rb_DAO36"));
        QVERIFY(!rb35->isEnabled());
        QVERIFY(!rb36->isEnabled());
        QVERIFY(rb36->isChecked());
        QVERIFY(rb36->text().endsWith(QStringLiteral(" -- NOT INSTALLED")));
        objects.reset();
        ui::installDialogHooks(nullptr);
        dao::registerEngineClasses();
    }

    void savedDao35ChoiceIsRestoredWhenBothAreInstalled() {
        QFile f(ini());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("Main_DAOVer=0\r\n");
        f.close();
        TAppFixture app(ini());
        QVERIFY(app.find<QRadioButton>("rb_DAO35")->isChecked());
        QFile::remove(ini());
    }

    void firstTabSwitchRefreshesTheSecondDoesNot() {
        TAppFixture app(ini());
        app.setLogin(files.mdb, files.mdw);
        app.showTab("ts_UserGroups");
        QCOMPARE(app.summary(), QStringLiteral("test.mdb   Perms: %1 (%2 non-zero)  Users: %3 Groups: %4")
                                    .arg(app.form().PermRowCount)
                                    .arg(app.form().PermNonZeroCount)
                                    .arg(app.form().UserCount)
                                    .arg(app.form().GroupCount));
        QCOMPARE(app.form().UserCount, 5);  // admin, alice, bob, Creator, Engine
        QCOMPARE(app.form().GroupCount, 3); // Admins, Sales, Users
        QVERIFY(app.form().PermRowCount > 0);
        QVERIFY(app.hooks.messages.isEmpty());
        QCOMPARE(app.form().LastDatabase(), files.mdb);

        // Nothing changed: switching again leaves the summary alone.
        app.find<QLabel>("lb_Summary")->setText(QStringLiteral("untouched"));
        app.showTab("ts_Database");
        app.showTab("ts_Permissions");
        QCOMPARE(app.summary(), QStringLiteral("untouched"));

        // Only the DAO choice changes: the next switch refreshes.
        app.showTab("ts_Database");
        app.find<QRadioButton>("rb_DAO35")->setChecked(true);
        app.showTab("ts_Permissions");
        QVERIFY(app.summary() != QStringLiteral("untouched"));
        QCOMPARE(app.form().LastDAOVersion(), dvDAO35);
    }

    void comingBackToTheLoginTabNeverRefreshes() {
        TAppFixture app(ini());
        app.setLogin(files.mdb, files.mdw);
        app.showTab("ts_DBInfo");
        app.find<QLabel>("lb_Summary")->setText(QStringLiteral("untouched"));
        app.find<QComboBox>("cb_Username")->setEditText(QStringLiteral("bob"));
        app.showTab("ts_Database");
        QCOMPARE(app.summary(), QStringLiteral("untouched"));
        app.showTab("ts_UserGroups"); // the changed login refreshes on the next other tab
        QVERIFY(app.summary().startsWith(QStringLiteral("test.mdb")));
    }

    void missingWorkgroupFileNeverConnects() {
        TAppFixture app(ini());
        for (const QString& mdw : {QString(), tmp.filePath(QStringLiteral("nowhere.mdw")), tmp.path()}) {
            app.setLogin(files.mdb, mdw);
            app.showTab("ts_Database");
            app.showTab("ts_UserGroups");
            QCOMPARE(app.summary(), QStringLiteral("Workgroup file not found"));
            QVERIFY(app.hooks.messages.isEmpty());
            QCOMPARE(app.form().LastWorkgroup(), QString()); // the stored login is not updated
            QVERIFY(app.form().LoginChanged());
        }
    }

    void wrongPasswordShowsOneBoxAndIsNotRetried() {
        TAppFixture app(ini());
        app.setLogin(files.mdb, files.mdw, QStringLiteral("alice"), QStringLiteral("wrong"));
        app.showTab("ts_Permissions");
        QCOMPARE(app.summary(), QStringLiteral("Couldn't connect to database"));
        QCOMPARE(app.hooks.messages.size(), 1);
        QVERIFY(app.hooks.messages[0].startsWith(QStringLiteral("Error: ")));
        QVERIFY(app.hooks.messages[0].size() > 7);

        app.showTab("ts_Database");
        app.showTab("ts_UserGroups");
        QCOMPARE(app.hooks.messages.size(), 1); // the same login is not tried again
        QCOMPARE(app.summary(), QStringLiteral("Couldn't connect to database"));
    }

    void refreshLeavesNoConnectionOpen() {
        TAppFixture app(ini());
        app.setLogin(files.mdb, files.mdw);
        app.form().RefreshAll();
        QVERIFY(!app.form().db1().Connected());
    }

    void summaryUsesTheFileNamePart() {
        TAppFixture app(ini());
        app.setLogin(files.mdb, files.mdw, QStringLiteral("bob"));
        app.form().RefreshAll();
        QVERIFY(app.summary().startsWith(QStringLiteral("test.mdb   Perms: ")));
        QVERIFY(app.summary().contains(QStringLiteral(" non-zero)  Users: 5 Groups: 3")));
    }

    void quitClosesAndSavesTheSettings() {
        QFile::remove(ini());
        {
            TAppFixture app(ini());
            app.form().show();
            app.find<QAction>("mi_Quit")->trigger();
            QVERIFY(!app.form().isVisible());
        }
        QVERIFY(QFile::exists(ini()));
        QFile::remove(ini());
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
