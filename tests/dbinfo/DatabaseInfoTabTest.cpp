// The DatabaseInfo tab in the main window on files made through the engine: the MSysACEs statistics,
// the explanation dialog and the property listing.
#include "AppObjects.h"
#include "Keyloupe_fm_Explain.h"
#include "SecurityStats.h"
#include "fm_Main.h"
#include "jet/dm_Inspect.h"
#include "ui/Cursor.h"
#include "ui/Dialogs.h"

#include "dao/Dao.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <memory>
#include <stdexcept>

using com::Variant;

namespace {

constexpr std::int32_t TableRead = 0x14; // ReadDef + RetrieveData
// Rights given to "zoe" on two tables; deleting her account leaves them behind as orphans.
constexpr int ZoeGrants = 2;

struct TFiles {
    QString mdw, readable, locked;
};

dao::WorkspacePtr login(const QString& mdw, const std::string& user = "admin", const std::string& pwd = "") {
    auto engine = com::createInstanceAs<dao::DBEngine>(dao::CLSID_DBEngine36, dao::IID_DBEngine);
    engine->SetSystemDB(mdw.toStdString());
    return engine->CreateWorkspace("check", user, pwd, Variant(std::int32_t(dao::dbUseJet)));
}

dao::DocumentPtr document(const dao::DatabasePtr& db, const char* container, const char* name) {
    return db->Containers()->Item(Variant(container))->Documents()->Item(Variant(name));
}

void grant(const dao::DatabasePtr& db, const char* table, const char* account, std::int32_t rights) {
    dao::DocumentPtr doc = document(db, "Tables", table);
    doc->SetUserName(account);
    doc->SetPermissions(doc->Permissions() | rights);
}

// A workgroup with users zoe and kim; readable.mdb where Admins may read MSysACEs and zoe holds rights
// on two tables; locked.mdb left at the engine's defaults, where nobody may read MSysACEs.
TFiles makeFiles(const QString& dir) {
    TFiles files{dir + "/work.mdw", dir + "/readable.mdb", dir + "/locked.mdb"};
    dao::CreateWorkgroupFile(files.mdw.toStdString(), "Info", "Keyloupe Tests", "info-wid-1");
    dao::WorkspacePtr ws = login(files.mdw);
    ws->Users()->Append(ws->CreateUser(Variant("zoe"), Variant("zoe-pid-0001"), Variant("zoe1")));
    ws->Users()->Append(ws->CreateUser(Variant("kim"), Variant("kim-pid-0002"), Variant("kim1")));
    dao::DatabasePtr db = ws->CreateDatabase(files.readable.toStdString(), "4.0");
    db->CreateDocument("Tables", "Orders");
    db->CreateDocument("Tables", "Customers");
    grant(db, "Orders", "zoe", TableRead);
    grant(db, "Customers", "zoe", TableRead);
    grant(db, "MSysACEs", "Admins", TableRead);
    dao::DatabasePtr plain = ws->CreateDatabase(files.locked.toStdString(), "4.0");
    plain->CreateDocument("Tables", "Calls");
    return files;
}

dao::DatabasePtr openDatabase(const dao::WorkspacePtr& ws, const QString& path) {
    return ws->OpenDatabase(path.toStdString(), Variant(), Variant(), Variant());
}

// The rows of MSysACEs and the non-zero ones, read straight from the file.
std::pair<int, int> rawAceCounts(const QString& path) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot open " + path.toStdString());
    }
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT count(*), count(CASE WHEN ACM <> 0 THEN 1 END) FROM MSysACEs", -1, &st,
                       nullptr);
    std::pair<int, int> counts{-1, -1};
    if (st && sqlite3_step(st) == SQLITE_ROW) counts = {sqlite3_column_int(st, 0), sqlite3_column_int(st, 1)};
    sqlite3_finalize(st);
    sqlite3_close(db);
    return counts;
}

int labelNumber(QLabel* label) {
    bool ok = false;
    const int value = label->text().toInt(&ok);
    return ok ? value : INT_MIN;
}

// The main window and its companions, with the dialogs answered by hooks.
class TApp {
public:
    explicit TApp(const QString& settingsFile) {
        ui::installDialogHooks(&hooks);
        objects = CreateAppObjects(settingsFile);
        objects->Form1->show();
    }
    ~TApp() {
        objects.reset();
        ui::installDialogHooks(nullptr);
    }
    TForm1& form() { return *objects->Form1; }
    template <class T = QLabel> T* find(const char* name) {
        return form().findChild<T*>(QLatin1String(name));
    }
    void setLogin(const QString& db, const QString& mdw, const QString& user = "admin",
                  const QString& pwd = {}) {
        find<QComboBox>("cb_DB")->setEditText(db);
        find<QComboBox>("cb_MDW")->setEditText(mdw);
        find<QComboBox>("cb_Username")->setEditText(user);
        find<QComboBox>("cb_Password")->setEditText(pwd);
    }
    QString caption() { return find<QGroupBox>("gb_ACEs")->title(); }
    QString explainLine() { return find("lb_ACEsExplain")->text(); }
    QStringList values() {
        QStringList out;
        for (const char* name : {"lb_CDPerms", "lb_CDPermsNZ", "lb_Groups", "lb_Users", "lb_MSPerms",
                                 "lb_MSPermsNZ", "lb_MSOrphans"})
            out << find(name)->text();
        return out;
    }
    QStringList propLines() {
        const QString text = find<QPlainTextEdit>("me_Props")->toPlainText();
        return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
    }
    // Clicks the explanation line and returns the dialog's memo lines (empty when no dialog came).
    QStringList clickExplanation() {
        QStringList lines;
        hooks.modalAnswers.push_back([&lines](QDialog& dialog) {
            lines = dialog.findChild<QPlainTextEdit*>(QStringLiteral("Memo"))->toPlainText().split('\n');
            return int(QDialog::Accepted);
        });
        QTest::mouseClick(find("lb_ACEsExplain"), Qt::LeftButton);
        hooks.modalAnswers.clear();
        return lines;
    }

    ui::DialogHooks hooks;
    std::unique_ptr<TAppObjects> objects;
};

const QStringList SevenUnknown(7, QStringLiteral("???"));

} // namespace

class DatabaseInfoTabTest : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;
    int dirs = 0;
    QString ini() const { return tmp.filePath(QStringLiteral("keyloupe.ini")); }
    // Fresh files for each test that changes them.
    TFiles freshFiles() {
        const QString dir = tmp.filePath(QString::number(++dirs));
        QDir().mkpath(dir);
        return makeFiles(dir);
    }

private slots:
    void initTestCase() { dao::registerEngineClasses(); }

    void bothQueriesShowTheOrphansOfADeletedAccount() {
        const TFiles files = freshFiles();
        TApp app(ini());
        app.setLogin(files.readable, files.mdw);
        app.form().RefreshAll();

        const auto [rows, nonZero] = rawAceCounts(files.readable);
        QVERIFY(rows > 0 && nonZero > 0);
        TForm1& form = app.form();
        QCOMPARE(form.AceQueryError, std::string());
        QCOMPARE(form.AceCount, rows);
        QCOMPARE(form.AceNonZeroCount, nonZero);
        QCOMPARE(app.caption(), QStringLiteral("MDB MSysACEs Table "));
        QCOMPARE(app.explainLine(), QStringLiteral("... could become active if user is reinstated."));
        QCOMPARE(labelNumber(app.find("lb_MSPerms")), rows);
        QCOMPARE(labelNumber(app.find("lb_MSPermsNZ")), nonZero);
        QVERIFY(form.PermRowCount > 0);
        QCOMPARE(labelNumber(app.find("lb_CDPerms")), form.PermRowCount);
        QCOMPARE(labelNumber(app.find("lb_CDPermsNZ")), form.PermNonZeroCount);
        dao::WorkspacePtr ws = login(files.mdw);
        QCOMPARE(labelNumber(app.find("lb_Users")), int(ws->Users()->Count()));
        QCOMPARE(labelNumber(app.find("lb_Groups")), int(ws->Groups()->Count()));
        const int orphansBefore = labelNumber(app.find("lb_MSOrphans"));
        QCOMPARE(orphansBefore, nonZero - form.PermNonZeroCount);
        // The statistics' own connection is closed again, as is the refresh's.
        QVERIFY(!dm_Inspect->db1.Connected());
        QVERIFY(app.hooks.messages.isEmpty());

        ws->Users()->Delete("zoe");
        app.form().RefreshAll();
        QCOMPARE(labelNumber(app.find("lb_MSPermsNZ")), nonZero);
        QCOMPARE(labelNumber(app.find("lb_MSOrphans")), orphansBefore + ZoeGrants);
        QCOMPARE(labelNumber(app.find("lb_MSOrphans")), nonZero - form.PermNonZeroCount);
    }

    void unreadableAcesAreExplainedUntilReadRightIsGranted() {
        const TFiles files = freshFiles();
        TApp app(ini());
        app.setLogin(files.locked, files.mdw);
        app.form().RefreshAll();

        TForm1& form = app.form();
        QCOMPARE(app.caption(), QStringLiteral("MDB MSysACEs Table: NO PERMS! "));
        QCOMPARE(app.values().mid(4), QStringList(3, QStringLiteral("Not avail")));
        QCOMPARE(app.explainLine(), QStringLiteral("Click for explanation"));
        QCOMPARE(form.AceCount, 0);
        QCOMPARE(form.AceNonZeroCount, 0);
        QVERIFY(QString::fromStdString(form.AceQueryError).contains(QStringLiteral("MSysACEs")));
        // The left box is filled all the same; nothing was shown at once.
        QCOMPARE(labelNumber(app.find("lb_CDPerms")), form.PermRowCount);
        QVERIFY(app.hooks.messages.isEmpty());
        QVERIFY(!dm_Inspect->db1.Connected());

        const QStringList lines = app.clickExplanation();
        QCOMPARE(app.hooks.modalTitles, QStringList{QStringLiteral("Explain")});
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines[0], QStringLiteral("Attempt to read MSysACEs Table encountered error:"));
        QVERIFY(!lines[1].isEmpty());
        QVERIFY(QString::fromStdString(form.AceQueryError).contains(lines[1]));
        QCOMPARE(lines[2], QString());
        QCOMPARE(lines[3],
                 QStringLiteral("If this is a permissions problem, use Permissions grid to try to add:"));
        QCOMPARE(lines[4], QStringLiteral("RetrieveData permissions for current user on MSysACEs table."));

        // Following the advice brings the numbers.
        grant(openDatabase(login(files.mdw), files.locked), "MSysACEs", "admin", TableRead);
        app.form().RefreshAll();
        QCOMPARE(app.caption(), QStringLiteral("MDB MSysACEs Table "));
        QCOMPARE(app.explainLine(), QStringLiteral("... could become active if user is reinstated."));
        QCOMPARE(form.AceQueryError, std::string());
        QCOMPARE(labelNumber(app.find("lb_MSPerms")), rawAceCounts(files.locked).first);
    }

    void failedRefreshKeepsCaptionAndExplanation() {
        const TFiles files = freshFiles();
        TApp app(ini());
        app.setLogin(files.locked, files.mdw);
        app.form().RefreshAll();
        const std::string error = app.form().AceQueryError;
        QVERIFY(!error.empty());

        // Workgroup file missing.
        app.setLogin(files.locked, files.mdw + ".gone");
        app.form().RefreshAll();
        QCOMPARE(app.values(), SevenUnknown);
        QCOMPARE(app.caption(), QStringLiteral("MDB MSysACEs Table: NO PERMS! "));
        QCOMPARE(app.explainLine(), QStringLiteral("Click for explanation"));
        QCOMPARE(app.form().AceQueryError, error);

        // Login refused: one message box, the same picture.
        app.find("lb_MSPerms")->setText(QStringLiteral("stale"));
        app.setLogin(files.locked, files.mdw, "admin", "wrong");
        app.form().RefreshAll();
        QCOMPARE(app.hooks.messages.size(), 1);
        QVERIFY(app.hooks.messages[0].startsWith(QStringLiteral("Error: ")));
        QCOMPARE(app.values(), SevenUnknown);
        QCOMPARE(app.explainLine(), QStringLiteral("Click for explanation"));
        // The explanation still tells the last error.
        const QStringList lines = app.clickExplanation();
        QCOMPARE(lines.size(), 5);
        QVERIFY(QString::fromStdString(error).contains(lines[1]));
    }

    void explanationWithoutAnErrorHasAnEmptySecondLine() {
        const TFiles files = freshFiles();
        TApp app(ini());
        app.setLogin(files.readable, files.mdw);
        // Before any refresh, and after a clean one.
        for (int round = 0; round < 2; ++round) {
            const QStringList lines = app.clickExplanation();
            QCOMPARE(lines.size(), 5);
            QCOMPARE(lines[1], QString());
            QCOMPARE(lines[4],
                     QStringLiteral("RetrieveData permissions for current user on MSysACEs table."));
            app.form().RefreshAll();
        }
        QCOMPARE(app.hooks.modalTitles.size(), 2);
        // A right click or a press that ends outside the label is not a click.
        QTest::mouseClick(app.find("lb_ACEsExplain"), Qt::RightButton);
        QLabel* label = app.find("lb_ACEsExplain");
        QTest::mousePress(label, Qt::LeftButton);
        QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(label->width() + 5, 1));
        QCOMPARE(app.hooks.modalTitles.size(), 2);
    }

    void explainDialogIsCreatedLastAndClosesOnlyByOK() {
        TApp app(ini());
        QVERIFY(fm_Explain);
        QCOMPARE(fm_Explain, app.objects->fm_Explain.get());
        QCOMPARE(fm_Explain->parentWidget(), &app.form());
        Tfm_Explain& dialog = *fm_Explain;
        QCOMPARE(dialog.objectName(), QStringLiteral("fm_Explain"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Explain"));
        QCOMPARE(dialog.size(), QSize(372, 265));
        QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
        QVERIFY(dialog.Memo().isReadOnly());
        QCOMPARE(dialog.Memo().verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        QCOMPARE(dialog.Memo().lineWrapMode(), QPlainTextEdit::WidgetWidth);
        QCOMPARE(dialog.findChild<QFrame*>(QStringLiteral("Panel1"))->height(), 33);
        QCOMPARE(dialog.bt_OK().text(), QStringLiteral("OK"));
        QVERIFY(!dialog.bt_OK().isDefault());
        QVERIFY(!dialog.bt_OK().autoDefault());

        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QTest::keyClick(&dialog, Qt::Key_Return);
        QVERIFY(dialog.isVisible());
        QTest::mouseClick(&dialog.bt_OK(), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }

    // The display rules on counts the engine cannot produce.
    void emptyReadableTableAndNegativeOrphans() {
        TApp app(ini());
        TForm1& form = app.form();
        const dbinfo::TDBInfoLabels labels{
            app.find("lb_CDPerms"),   app.find("lb_CDPermsNZ"),       app.find("lb_Groups"),
            app.find("lb_Users"),     app.find<QGroupBox>("gb_ACEs"), app.find("lb_MSPerms"),
            app.find("lb_MSPermsNZ"), app.find("lb_MSOrphans"),       app.find("lb_ACEsExplain")};
        const std::int32_t permRows = 40, permNonZero = 12, users = 4, groups = 3;
        std::int32_t aces = -1, aceNonZero = -1;
        std::string error = "stale";
        const dbinfo::TDBInfoCounters counters{permRows, permNonZero, users, groups, aces, aceNonZero, error};

        // Readable but empty: shown like an unreadable table, but without an error to explain.
        app.find("lb_ACEsExplain")->setText(QStringLiteral("Click for explanation"));
        QVERIFY(dbinfo::ReadDatabaseInfo(labels, counters, [](std::int32_t& a, std::int32_t& b) {
            a = 0;
            b = 0;
            return std::string();
        }));
        QCOMPARE(app.caption(), QStringLiteral("MDB MSysACEs Table: NO PERMS! "));
        QCOMPARE(app.values(), (QStringList{"40", "12", "3", "4", "Not avail", "Not avail", "Not avail"}));
        QCOMPARE(app.explainLine(), QStringLiteral("... could become active if user is reinstated."));
        QCOMPARE(error, std::string());

        // More permissions read than non-zero rows in the table: a negative count with its sign.
        QVERIFY(dbinfo::ReadDatabaseInfo(labels, counters, [](std::int32_t& a, std::int32_t& b) {
            a = 9;
            b = 5;
            return std::string();
        }));
        QCOMPARE(app.caption(), QStringLiteral("MDB MSysACEs Table "));
        QCOMPARE(app.values().mid(4), (QStringList{"9", "5", "-7"}));

        // A failure while filling is swallowed and reported as false.
        QVERIFY(!dbinfo::ReadDatabaseInfo(labels, counters, [](std::int32_t&, std::int32_t&) -> std::string {
            throw std::runtime_error("lost");
        }));
        Q_UNUSED(form);
    }

    void propertyListingOfEngineWorkspaceAndDatabase() {
        const TFiles files = freshFiles();
        TApp app(ini());
        app.setLogin(files.readable, files.mdw);
        std::vector<ui::CursorShape> cursors;
        ui::setScreenCursorHook([&](ui::CursorShape shape) { cursors.push_back(shape); });
        QTest::mouseClick(app.find<QPushButton>("bt_PropRead"), Qt::LeftButton);
        const QStringList first = app.propLines();
        QTest::mouseClick(app.find<QPushButton>("bt_PropRead"), Qt::LeftButton);
        ui::setScreenCursorHook(nullptr);
        const QStringList lines = app.propLines();
        QCOMPARE(lines, first); // the second Read replaces the first listing
        QVERIFY(app.hooks.messages.isEmpty());
        QVERIFY(!dm_Inspect->db1.Connected());
        QCOMPARE(cursors,
                 (std::vector<ui::CursorShape>{ui::CursorShape::HourGlass, ui::CursorShape::Default,
                                               ui::CursorShape::HourGlass, ui::CursorShape::Default}));

        // Three blocks; their property lines are numbered from 0 and match the collections' sizes.
        dao::WorkspacePtr ws = login(files.mdw);
        dao::DatabasePtr db = openDatabase(ws, files.readable);
        auto engine = com::createInstanceAs<dao::DBEngine>(dao::CLSID_DBEngine36, dao::IID_DBEngine);
        const QStringList titles{"DBEngine Properties", "Workspace Properties", "Database Properties"};
        const int sizes[] = {engine->Properties()->Count(), ws->Properties()->Count(),
                             db->Properties()->Count()};
        const QString separator(53, QLatin1Char('-'));
        int at = 0;
        for (int block = 0; block < 3; ++block) {
            QCOMPARE(lines.value(at), separator);
            QCOMPARE(lines.value(at + 1), titles[block]);
            QCOMPARE(lines.value(at + 2), separator);
            at += 3;
            QVERIFY(sizes[block] > 0);
            for (int i = 0; i < sizes[block]; ++i, ++at)
                QVERIFY2(lines.value(at).startsWith(QString::number(i) + QStringLiteral(": ")),
                         qPrintable(lines.value(at)));
        }
        QCOMPARE(lines.size(), at);

        // The Null ReplicaID and the failing Connection keep their lines.
        const QStringList database = lines.mid(lines.indexOf(titles[2]) + 2);
        const QRegularExpression replica(
            QStringLiteral("^\\d+: ReplicaID = Error: Could not convert variant of type \\(Null\\) into type "
                           "\\(String\\)$"));
        QCOMPARE(database.filter(replica).size(), 1);
        const QStringList connection =
            database.filter(QRegularExpression(QStringLiteral("^\\d+: Connection = ")));
        QCOMPARE(connection.size(), 1);
        QVERIFY(connection[0].contains(QStringLiteral(" = Error: ")));
        QVERIFY(!connection[0].endsWith(QStringLiteral("Error: ")));
        QVERIFY(lines.filter(QRegularExpression(QStringLiteral("^\\d+: Name = .*readable\\.mdb$"))).size() ==
                1);

        // Clear, and the next refresh, empty it.
        QTest::mouseClick(app.find<QPushButton>("bt_PropClear"), Qt::LeftButton);
        QVERIFY(app.propLines().isEmpty());
        QTest::mouseClick(app.find<QPushButton>("bt_PropClear"), Qt::LeftButton);
        QVERIFY(app.propLines().isEmpty());
        QTest::mouseClick(app.find<QPushButton>("bt_PropRead"), Qt::LeftButton);
        QVERIFY(!app.propLines().isEmpty());
        app.form().RefreshAll();
        QVERIFY(app.propLines().isEmpty());
        QCOMPARE(app.find<QPlainTextEdit>("me_Props")->font().family(), QStringLiteral("Courier New"));
    }

    void propertyListingStaysEmptyWhenTheLoginFails() {
        const TFiles files = freshFiles();
        TApp app(ini());
        app.setLogin(files.readable, files.mdw);
        QTest::mouseClick(app.find<QPushButton>("bt_PropRead"), Qt::LeftButton);
        QVERIFY(!app.propLines().isEmpty());
        app.setLogin(files.readable, files.mdw, "zoe", "not-her-password");
        QTest::mouseClick(app.find<QPushButton>("bt_PropRead"), Qt::LeftButton);
        QVERIFY(app.propLines().isEmpty());
        QCOMPARE(app.hooks.messages.size(), 1);
        QVERIFY(app.hooks.messages[0].startsWith(QStringLiteral("Error: ")));
        QVERIFY(!dm_Inspect->db1.Connected());
    }
};

QTEST_MAIN(DatabaseInfoTabTest)
#include "DatabaseInfoTabTest.moc"
