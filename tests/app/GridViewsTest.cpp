// The permissions grid and the users/groups matrix after real refreshes on engine-made files.
#include "support/AppFixture.h"
#include "support/Engine.h"

#include "dao/Dao.h"
#include "grids/ASGHelper.h"
#include "grids/PermsGrid.h"
#include "grids/UGGrid.h"
#include "grids/control/StringGrid.h"
#include "keyloupe-jet/JetTool.h"
#include "ui/Cursor.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <sstream>

using namespace kltest;

namespace {

struct Row {
    int real;
    QStringList cells;
};

// The rows shown, in display order.
std::vector<Row> shownRows(TStringGrid& grid) {
    std::vector<Row> rows;
    for (int d = 1; d < grid.displayRowCount(); ++d) {
        Row row{grid.realRowIndex(d), {}};
        for (int c = 0; c < grid.colCount(); ++c)
            row.cells << grid.cell(c, row.real);
        rows.push_back(row);
    }
    return rows;
}

const Row* findRow(const std::vector<Row>& rows, const QString& container, const QString& object,
                   const QString& account) {
    for (const Row& r : rows)
        if (r.cells[1] == container && r.cells[2] == object && r.cells[4] == account) return &r;
    return nullptr;
}

} // namespace

class GridViewsTest : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;
    TTestFiles files;
    QString ini() const { return tmp.filePath(QStringLiteral("keyloupe.ini")); }

    TStringGrid& perms(TAppFixture& app) { return *app.find<TStringGrid>("asg_Perms"); }
    TStringGrid& matrix(TAppFixture& app) { return *app.find<TStringGrid>("asg_UG"); }

    void refreshAs(TAppFixture& app, const QString& user = QStringLiteral("admin"),
                   const QString& password = QString()) {
        app.setLogin(files.mdb, files.mdw, user, password);
        app.form().RefreshAll();
    }
    void showAll(TAppFixture& app) {
        app.find<QCheckBox>("ck_PermHideSysObj")->setChecked(false);
        app.find<QCheckBox>("ck_PermHidePerm0")->setChecked(false);
    }

private slots:
    void initTestCase() {
        files = makeBasicFiles(tmp.path());
        // A lower-case "msys" table, and a secured table that only admin may read the security of.
        dao::DatabasePtr db = open(loginTo(files.mdwPath()), files.mdbPath());
        db->CreateDocument("Tables", "msysLocal");
        grant(db, "Tables", "Orders", "Sales", 0x14);
        for (const char* account : {"Users", "Admins", "alice"})
            grant(db, "Tables", "Orders", account, 0);
    }

    // The quick filter narrows both grids as one types, on top of the hide options, and keeps the current
    // row where it is still shown.
    void quickFilterNarrowsByNameOnTopOfTheHideOptions() {
        TAppFixture app(ini());
        app.setLogin(files.mdb, files.mdw);
        app.showTab("ts_Permissions");
        auto& grid = *app.find<TStringGrid>("asg_Perms");
        auto shownColumn = [&](int col) {
            QStringList cells;
            for (int r = 1; r < grid.displayRowCount(); ++r)
                cells << grid.cell(col, grid.realRowIndex(r));
            return cells;
        };
        const int all = grid.displayRowCount();
        auto* filter = app.find<QLineEdit>("tx_PermFilter");
        QTest::keyClicks(filter, "ORD");
        QVERIFY(grid.displayRowCount() > 1 && grid.displayRowCount() < all);
        for (int r = 1; r < grid.displayRowCount(); ++r) {
            const int real = grid.realRowIndex(r);
            QVERIFY(grid.cell(1, real).contains("ord", Qt::CaseInsensitive) ||
                    grid.cell(2, real).contains("ord", Qt::CaseInsensitive) ||
                    grid.cell(4, real).contains("ord", Qt::CaseInsensitive));
        }
        QVERIFY(shownColumn(2).contains("Orders"));
        // An account name matches too, and the hide options still apply beneath.
        filter->setText("alice");
        const QStringList accounts = shownColumn(4);
        QVERIFY(!accounts.isEmpty());
        QVERIFY(std::all_of(accounts.begin(), accounts.end(), [](const QString& n) { return n == "alice"; }));
        const int alices = grid.displayRowCount();
        app.find<QCheckBox>("ck_PermHidePerm0")->click();
        QVERIFY(grid.displayRowCount() < alices);
        app.find<QCheckBox>("ck_PermHidePerm0")->click();
        // The current row stays when it is still shown, and a refresh keeps the filter.
        grid.selectCell(4, 2);
        const int current = grid.realRowIndex(2);
        filter->setText("alic");
        QCOMPARE(grid.realRowIndex(grid.currentRow()), current);
        app.form().RefreshAll();
        QCOMPARE(grid.displayRowCount(), alices);
        filter->clear();
        QCOMPARE(grid.displayRowCount(), all);

        auto& matrix = *app.find<TStringGrid>("asg_UG");
        app.find<QLineEdit>("tx_UGFilter")->setText("BO");
        QCOMPARE(matrix.displayRowCount(), 2);
        QCOMPARE(matrix.cell(0, matrix.realRowIndex(1)), QStringLiteral("bob"));
    }

    void rowsAreReadInCatalogueOrderAndCounted() {
        TAppFixture app(ini());
        showAll(app);
        refreshAs(app);
        TStringGrid& grid = perms(app);
        QCOMPARE(grid.rowCount() - 1, app.form().PermRowCount);
        const int accounts = app.form().UserCount + app.form().GroupCount;
        QCOMPARE(app.form().UserCount, 5);
        QCOMPARE(app.form().GroupCount, 3);

        // The Modules container holds no documents: one row per user, then one per group.
        std::vector<Row> modules;
        for (const Row& r : shownRows(grid))
            if (r.cells[1] == QStringLiteral("Modules")) modules.push_back(r);
        QCOMPARE(int(modules.size()), accounts);
        std::sort(modules.begin(), modules.end(),
                  [](const Row& a, const Row& b) { return a.cells[0].toInt() < b.cells[0].toInt(); });
        for (int i = 0; i < accounts; ++i) {
            QCOMPARE(modules[i].cells[3], i < 5 ? QStringLiteral("U") : QStringLiteral("G"));
            QCOMPARE(modules[i].cells[2], QStringLiteral("<container>"));
            QVERIFY(modules[i].cells[7] == QStringLiteral("T") || modules[i].cells[7] == QStringLiteral("F"));
        }
        // Num holds the reading order: consecutive numbers for consecutive reads.
        for (int i = 1; i < accounts; ++i)
            QCOMPARE(modules[i].cells[0].toInt(), modules[i - 1].cells[0].toInt() + 1);

        int nonZero = 0;
        for (const Row& r : shownRows(grid))
            nonZero += r.cells[5] != QStringLiteral("00000");
        QCOMPARE(nonZero, app.form().PermNonZeroCount);
    }

    void documentRowsOwnerMarksAndDatabaseColumns() {
        TAppFixture app(ini());
        showAll(app);
        refreshAs(app);
        const auto rows = shownRows(perms(app));
        const Row* adminOrders =
            findRow(rows, QStringLiteral("Tables"), QStringLiteral("Orders"), QStringLiteral("admin"));
        const Row* aliceOrders =
            findRow(rows, QStringLiteral("Tables"), QStringLiteral("Orders"), QStringLiteral("alice"));
        QVERIFY(adminOrders && aliceOrders);
        QCOMPARE(adminOrders->cells[7], QStringLiteral("-"));
        QCOMPARE(adminOrders->cells[8], QStringLiteral("O")); // admin created it
        QCOMPARE(aliceOrders->cells[8], QStringLiteral("-"));
        // alice holds RetrieveData only through Sales: "I" under RetrieveData, nothing explicit.
        QCOMPARE(aliceOrders->cells[5], QStringLiteral("00000"));
        QCOMPARE(aliceOrders->cells[16], QStringLiteral("I"));
        const Row* salesOrders =
            findRow(rows, QStringLiteral("Tables"), QStringLiteral("Orders"), QStringLiteral("Sales"));
        QCOMPARE(salesOrders->cells[5], QStringLiteral("00014"));
        QCOMPARE(salesOrders->cells[16], QStringLiteral("E"));
        // Form rights do not apply to a table.
        QCOMPARE(salesOrders->cells[20], QStringLiteral("-"));

        for (const Row& r : rows) {
            const bool msysDb =
                r.cells[1] == QStringLiteral("Databases") && r.cells[2] == QStringLiteral("MSysDb");
            for (int c = 28; c <= 30; ++c)
                QCOMPARE(r.cells[c] != QStringLiteral("-"), msysDb);
        }
    }

    void hintsNameTheRowAndTheRight() {
        TAppFixture app(ini());
        showAll(app);
        refreshAs(app);
        TStringGrid& grid = perms(app);
        int display = -1;
        for (int d = 1; d < grid.displayRowCount(); ++d) {
            const int r = grid.realRowIndex(d);
            if (grid.cell(2, r) == QStringLiteral("Orders") && grid.cell(4, r) == QStringLiteral("alice"))
                display = d;
        }
        QVERIFY(display > 0);
        QCOMPARE(PermsCellHint(grid, display, 16),
                 QStringLiteral("Tables: Orders   alice   \r\nRetrieveData  Enbl: 00014 Dsbl: 00010"));
        QCOMPARE(PermsCellHint(grid, display, 15),
                 QStringLiteral("Tables: Orders   alice   \r\nWriteDef  Enbl: 1000C Dsbl: 00008"));
        QCOMPARE(PermsCellHint(grid, display, 8), QString()); // no hint over the descriptive columns
        QCOMPARE(PermsCellHint(grid, 0, 9),
                 QStringLiteral("Container: Object Name   UGName   \r\nCreate  Enbl: 00001 Dsbl: 00001"));
    }

    void unreadableRowsShowQuestionMarks() {
        TAppFixture app(ini());
        showAll(app);
        refreshAs(app, QStringLiteral("bob"));
        const auto rows = shownRows(perms(app));
        QVERIFY(!rows.empty());
        // bob may not read the security of others on a database admin owns: "?" where a right applies.
        const Row* aliceOrders =
            findRow(rows, QStringLiteral("Tables"), QStringLiteral("Orders"), QStringLiteral("alice"));
        QVERIFY(aliceOrders);
        QCOMPARE(aliceOrders->cells[16], QStringLiteral("?"));
        QCOMPARE(aliceOrders->cells[20], QStringLiteral("-"));
        QCOMPARE(app.form().PermRowCount, perms(app).rowCount() - 1);
    }

    void hideOptionsAndSortSwitch() {
        TAppFixture app(ini());
        showAll(app);
        refreshAs(app);
        const int all = perms(app).displayRowCount();

        app.find<QCheckBox>("ck_PermHideSysObj")->click(); // on
        auto rows = shownRows(perms(app));
        QVERIFY(int(rows.size()) < all - 1);
        for (const Row& r : rows) {
            QVERIFY(!r.cells[2].startsWith(QStringLiteral("MSys")));
            QVERIFY(r.cells[4] != QStringLiteral("Engine") && r.cells[4] != QStringLiteral("Creator"));
        }
        QVERIFY(
            findRow(rows, QStringLiteral("Tables"), QStringLiteral("msysLocal"), QStringLiteral("admin")));

        app.find<QCheckBox>("ck_PermHidePerm0")->click(); // on
        rows = shownRows(perms(app));
        for (const Row& r : rows)
            QVERIFY(r.cells[5] != QStringLiteral("00000"));
        // alice's Orders row is hidden though its effective value is not zero.
        QVERIFY(!findRow(rows, QStringLiteral("Tables"), QStringLiteral("Orders"), QStringLiteral("alice")));

        // Sorting by group/user keeps the hide options in force and puts groups first.
        app.find<QRadioButton>("rb_PermSortUG")->click();
        const auto sorted = shownRows(perms(app));
        QCOMPARE(sorted.size(), rows.size());
        QCOMPARE(sorted.front().cells[3], QStringLiteral("G"));
        for (size_t i = 1; i < sorted.size(); ++i) {
            const QStringList& a = sorted[i - 1].cells;
            const QStringList& b = sorted[i].cells;
            QVERIFY(a[3] <= b[3]);
            if (a[3] == b[3]) QVERIFY(a[4].compare(b[4], Qt::CaseInsensitive) <= 0);
        }
    }

    void selectionIsKeptByRealIndexAcrossARefresh() {
        TAppFixture app(ini());
        showAll(app);
        refreshAs(app);
        TStringGrid& grid = perms(app);
        grid.selectCell(12, 7);
        const int real = grid.realRowIndex(7);
        app.form().RefreshAll();
        QCOMPARE(grid.currentCol(), 12);
        QCOMPARE(grid.realRowIndex(grid.currentRow()), real);
    }

    void matrixMarksSortAndHiddenSystemUsers() {
        TAppFixture app(ini());
        refreshAs(app);
        TStringGrid& m = matrix(app);
        QCOMPARE(m.cell(0, 0), QStringLiteral("Users \\ Groups"));
        QCOMPARE(m.colCount(), 4);
        QStringList shownUsers;
        for (int d = 1; d < m.displayRowCount(); ++d)
            shownUsers << m.cell(0, m.realRowIndex(d));
        QCOMPARE(shownUsers,
                 (QStringList{QStringLiteral("admin"), QStringLiteral("alice"), QStringLiteral("bob")}));
        int salesCol = -1, adminsCol = -1;
        for (int c = 1; c < m.colCount(); ++c) {
            if (m.cell(c, 0) == QStringLiteral("Sales")) salesCol = c;
            if (m.cell(c, 0) == QStringLiteral("Admins")) adminsCol = c;
        }
        QVERIFY(salesCol > 0 && adminsCol > 0);
        auto mark = [&](const QString& user, int col) {
            for (int r = 1; r < m.rowCount(); ++r)
                if (m.cell(0, r) == user) return m.cell(col, r);
            return QString();
        };
        QCOMPARE(mark(QStringLiteral("alice"), salesCol), QStringLiteral("Y"));
        QCOMPARE(mark(QStringLiteral("bob"), salesCol), QStringLiteral("-"));
        QCOMPARE(mark(QStringLiteral("admin"), adminsCol), QStringLiteral("Y"));

        app.find<QCheckBox>("ck_UGHideSysObj")->click(); // show Engine and Creator
        QCOMPARE(m.displayRowCount() - 1, 5);
        QCOMPARE(app.form().UserCount, 5);

        app.form().ClearUsersGroupsView();
        QCOMPARE(m.rowCount(), 2);
        QCOMPARE(m.cell(0, 1), QString());
        QCOMPARE(m.cell(salesCol, 0), QStringLiteral("Sales")); // row 0 stays
    }

    void matrixHeadersAndNumbersAreDrawnToFit() {
        TAppFixture app(ini());
        TStringGrid& m = matrix(app);
        // The header row and column use the matrix's own font, not the default one.
        QCOMPARE(m.headerFont().family(), QStringLiteral("Tahoma"));
        QCOMPARE(m.headerFont().pointSize(), 8);
        QCOMPARE(m.headerFont(), m.bodyFont());

        // "Num" fits the largest number it shows, and is never narrower than laid out.
        TStringGrid& grid = perms(app);
        const QFontMetrics metrics(grid.bodyFont());
        const auto fits = [&](const QString& number) {
            return grid.colWidth(0) >= metrics.horizontalAdvance(number) + 2 * TStringGrid::TextInset;
        };
        FitNumberColumn(grid, 123456);
        QVERIFY(grid.colWidth(0) > 32);
        QVERIFY(fits(QStringLiteral("123456")) && fits(QStringLiteral("888888")));
        FitNumberColumn(grid, 7);
        QCOMPARE(grid.colWidth(0), 32);
        grid.setColWidth(0, 5);
        refreshAs(app);
        QVERIFY(fits(QString::number(app.form().PermRowCount)));
        QVERIFY(grid.colWidth(0) >= 32);
    }

    void leavingTheHeaderOrAPopupTakesTheSplitCursorAway() {
        TAppFixture app(ini());
        app.form().show();
        for (TStringGrid* grid : {&perms(app), &matrix(app)}) {
            grid->popupHandler = [](QMenu&, const QPoint&) {};
            const QPoint edge(grid->colWidth(0) + 1 + grid->colWidth(1) + 1, 5); // column 1's edge
            QMouseEvent move(QEvent::MouseMove, edge, grid->viewport()->mapToGlobal(edge), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(grid->viewport(), &move);
            QCOMPARE(ui::screenCursor(), ui::CursorShape::HSplit);
            QEvent leave(QEvent::Leave);
            QCoreApplication::sendEvent(grid->viewport(), &leave);
            QCOMPARE(ui::screenCursor(), ui::CursorShape::Default);

            // A right click during a drag: the popup ends it, and the next click resizes nothing.
            QCoreApplication::sendEvent(grid->viewport(), &move);
            const int width = grid->colWidth(1);
            QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, edge);
            QTest::mousePress(grid->viewport(), Qt::RightButton, {}, edge + QPoint(40, 0));
            QCOMPARE(ui::screenCursor(), ui::CursorShape::Default);
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, edge + QPoint(40, 0));
            QCOMPARE(grid->colWidth(1), width);
            grid->popupHandler = nullptr;
        }
    }

    void failedRefreshEmptiesTheGrids() {
        TAppFixture app(ini());
        refreshAs(app);
        app.setLogin(files.mdb, files.mdw, QStringLiteral("admin"), QStringLiteral("wrong"));
        app.form().RefreshAll();
        TStringGrid& grid = perms(app);
        QCOMPARE(grid.rowCount(), 10);
        for (int r = 1; r < 10; ++r)
            QCOMPARE(grid.cell(4, r), QString());
        QCOMPARE(grid.cell(4, 0), QStringLiteral("UGName"));
    }

    void copyPutsTheShownCellsOnTheClipboard() {
        TAppFixture app(ini());
        refreshAs(app);
        app.find<QPushButton>("bt_PermCopy")->click();
        const QString text = QGuiApplication::clipboard()->text();
        const QStringList lines = text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), perms(app).displayRowCount());
        QCOMPARE(lines[0].split(QLatin1Char('\t')).size(), 31);
        QVERIFY(lines[0].startsWith(QStringLiteral("Num\tContainer\tObject Name\t User/Group\tUGName")));
    }

    // The command-line report is the grid's copy text with LF line ends, for every view option.
    void reportMatchesTheGridsCopyText() {
        TAppFixture app(ini());
        refreshAs(app, QStringLiteral("alice"), QStringLiteral("alice1"));
        struct Case {
            bool hideSystem, hideZero, byUserGroup;
        };
        for (const Case& c : {Case{false, false, false}, Case{true, false, true}, Case{true, true, false},
                              Case{false, true, true}}) {
            if (app.find<QCheckBox>("ck_PermHideSysObj")->isChecked() != c.hideSystem)
                app.find<QCheckBox>("ck_PermHideSysObj")->click();
            if (app.find<QCheckBox>("ck_PermHidePerm0")->isChecked() != c.hideZero)
                app.find<QCheckBox>("ck_PermHidePerm0")->click();
            app.find<QRadioButton>(c.byUserGroup ? "rb_PermSortUG" : "rb_PermSortObject")->click();
            app.find<QPushButton>("bt_PermCopy")->click();
            QString grid = QGuiApplication::clipboard()->text();
            grid.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));

            std::vector<std::string> args{"--workgroup", files.mdw.toStdString(),
                                          "--user",      "alice",
                                          "--password",  "alice1",
                                          "report",      files.mdb.toStdString(),
                                          "--sort",      c.byUserGroup ? "usergroup" : "object"};
            if (c.hideSystem) args.push_back("--hide-system");
            if (c.hideZero) args.push_back("--hide-zero");
            std::ostringstream out, err;
            std::istringstream noInput;
            QCOMPARE(jettool::run(args, out, err, noInput), 0);
            QCOMPARE(QString::fromStdString(out.str()), grid);
        }
    }
};

QTEST_MAIN(GridViewsTest)
#include "GridViewsTest.moc"
