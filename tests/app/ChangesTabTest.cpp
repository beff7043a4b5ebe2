// The Changes tab and "Apply Suggested Fix" on a sandbox of the genuine pair system.mdw + ContourBL.mdb:
// what the grids' commands change shows as changes against the origin, and the findings' fixes too.
#include "support/AppFixture.h"
#include "support/ToolRun.h"

#include "dao/Dao.h"
#include "plan/Sandbox.h"
#include "security/Findings.h"
#include "security/PermissionColumns.h"

#include <QAction>
#include <QFile>
#include <QInputDialog>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace kltest;

class ChangesTabTest : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;

    static QStringList lines(TAppFixture& app) {
        QStringList out;
        auto* list = app.find<QListWidget>("lv_Changes");
        for (int i = 0; i < list->count(); ++i)
            out << list->item(i)->text();
        return out;
    }
    static QString changesTitle(TAppFixture& app) {
        auto* tabs = app.find<QTabWidget>("PageControl1");
        return tabs->tabText(tabs->indexOf(app.find<QWidget>("ts_Changes")));
    }

private slots:
    void initTestCase() { dao::registerEngineClasses(); }

    void editsAndFixesShowAsChangesAgainstTheOrigin() {
        const QString samples = QStringLiteral(KEYLOUPE_JET_SAMPLES);
        if (!QFile::exists(samples + QStringLiteral("/system.mdw")))
            QSKIP("the genuine Jet samples are absent");
        const QString dir = tmp.filePath(QStringLiteral("sb"));
        plan::ImportSandbox((samples + QStringLiteral("/system.mdw")).toStdString(),
                            (samples + QStringLiteral("/ContourBL.mdb")).toStdString(), "admin",
                            dir.toStdString());
        const TTestFiles sandbox{dir, dir + QStringLiteral("/system.mdw"),
                                 dir + QStringLiteral("/ContourBL.mdb")};
        // admin owns the Forms container before the window opens: a finding to give it away.
        QCOMPARE(runTool({"set-owner", sandbox.mdbPath(), "Forms", "<container>", "admin", "--workgroup",
                          sandbox.mdwPath(), "--password", ""})
                     .status,
                 0);

        TAppFixture app(tmp.filePath(QStringLiteral("keyloupe.ini")), sandbox);
        app.login();
        QVERIFY(app.form().ShowsSandbox());
        QCOMPARE(changesTitle(app), QStringLiteral("Changes (1)"));
        QCOMPARE(lines(app), QStringList{QStringLiteral("owner of Forms (container): CONTOURCDU -> admin")});

        // "Remove All Permissions" on the Users row of a table: one more change, and a double click on it
        // goes to that row.
        const QString tables = QStringLiteral("Tables"), block = QStringLiteral("Block Code"),
                      users = QStringLiteral("Users");
        app.rightClick(app.perms(), app.permRow(tables, block, users), 12, "pui_PermNone");
        QCOMPARE(changesTitle(app), QStringLiteral("Changes (2)"));
        const QString removed = lines(app).at(1);
        QVERIFY2(removed.startsWith(
                     QStringLiteral("permissions of Users (group) on Tables \\ Block Code: FFFFF -> "
                                    "00000, removes Create, Delete,")),
                 qPrintable(removed));
        auto* list = app.find<QListWidget>("lv_Changes");
        list->setCurrentRow(1);
        emit list->itemActivated(list->item(1));
        QCOMPARE(app.find<QTabWidget>("PageControl1")->currentWidget()->objectName(),
                 QStringLiteral("ts_Permissions"));
        TStringGrid& grid = app.perms();
        QCOMPARE(grid.realRowIndex(grid.currentRow()), app.permRow(tables, block, users));

        // Every finding selected: the fixes remove the Users group's rights and give admin's container to
        // the account picked once; then no finding with a fix is left.
        app.showTab("ts_Findings");
        auto* findings = app.find<QTreeWidget>("tv_Findings");
        findings->selectAll();
        auto* fix = app.find<QPushButton>("bt_FindingFix");
        QVERIFY(fix->isEnabled());
        QStringList offered;
        app.hooks.modalAnswers.push_back([&](QDialog& d) {
            auto& input = static_cast<QInputDialog&>(d);
            offered = input.comboBoxItems();
            input.setTextValue(QStringLiteral("Contour"));
            return int(QDialog::Accepted);
        });
        QTest::mouseClick(fix, Qt::LeftButton);
        QVERIFY(app.hooks.messages.isEmpty());
        QVERIFY(offered.contains(QStringLiteral("CONTOURCDU")) &&
                !offered.contains(QStringLiteral("admin")) && !offered.contains(users));
        QVERIFY(lines(app).contains(QStringLiteral("owner of Forms (container): CONTOURCDU -> Contour")));
        QVERIFY(app.form().Findings());
        for (const TFinding& f : app.form().Findings()->Findings)
            QVERIFY2(f.Fix == TFixKind::None, f.What.c_str());
        QVERIFY(!fix->isEnabled());
    }

    // File > "Export Change Script...": nothing to carry is said and writes no file; a name without .js
    // is refused; one change gives the script, in the folder and under the name proposed.
    void exportChangeScript() {
        const QString samples = QStringLiteral(KEYLOUPE_JET_SAMPLES);
        if (!QFile::exists(samples + QStringLiteral("/system.mdw")))
            QSKIP("the genuine Jet samples are absent");
        const QString dir = tmp.filePath(QStringLiteral("export"));
        plan::ImportSandbox((samples + QStringLiteral("/system.mdw")).toStdString(),
                            (samples + QStringLiteral("/ContourBL.mdb")).toStdString(), "admin",
                            dir.toStdString());
        TAppFixture app(tmp.filePath(QStringLiteral("export.ini")),
                        {dir, dir + QStringLiteral("/system.mdw"), dir + QStringLiteral("/ContourBL.mdb")});
        auto* exportItem = app.find<QAction>("mi_ExportChangeScript");
        QVERIFY(!exportItem->isEnabled());
        app.login();
        QVERIFY(exportItem->isEnabled());
        const QString script = dir + QStringLiteral("/ContourBL-changes.js");
        app.hooks.fileAnswers.push_back(script);
        exportItem->trigger();
        QCOMPARE(app.hooks.fileRequests.back().directory, dir);
        QCOMPARE(app.hooks.fileRequests.back().fileName, QStringLiteral("ContourBL-changes.js"));
        QVERIFY2(app.hooks.messages.back().startsWith(QStringLiteral("No changes")),
                 qPrintable(app.hooks.messages.back()));
        QVERIFY(!QFile::exists(script));

        app.rightClick(
            app.perms(),
            app.permRow(QStringLiteral("Tables"), QStringLiteral("Block Code"), QStringLiteral("Users")), 12,
            "pui_PermNone");
        app.hooks.fileAnswers.push_back(dir + QStringLiteral("/changes.txt"));
        app.hooks.fileAnswers.push_back(script);
        exportItem->trigger();
        QVERIFY(app.hooks.messages.back().contains(QStringLiteral("must end in .js")));
        QVERIFY(!QFile::exists(dir + QStringLiteral("/changes.txt")));
        exportItem->trigger();
        QCOMPARE(app.hooks.messages.back().section(QLatin1Char('\n'), 0, 0),
                 QStringLiteral("Wrote %1: 1 change.").arg(script));
        QFile file(script);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readLine().startsWith("// Keyloupe change script: "));
    }
};

QTEST_MAIN(ChangesTabTest)
#include "ChangesTabTest.moc"
