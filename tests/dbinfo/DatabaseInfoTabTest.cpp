// The DatabaseInfo tab in the main window on files made through the engine: the MSysACEs statistics,
// the explanation dialog and the property listing.
#include "dbinfo/Keyloupe_fm_Explain.h"
#include "dbinfo/SecurityStats.h"
#include "jet/dm_Inspect.h"
#include "support/AppFixture.h"
#include "support/Engine.h"
#include "ui/Cursor.h"
#include "ui/Dialogs.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace kltest;

namespace {

// The main window and its companions on the files of makeInfoFiles.
struct TApp : TAppFixture {
    explicit TApp(const QString& dir) : TAppFixture(dir + "/keyloupe.ini"), files(makeInfoFiles(dir)) {
        form().show();
    }
    void refresh(const QString& db, const QString& workgroup, const QString& user = "admin") {
        setLogin(db, workgroup, user);
        form().RefreshAll();
    }
    QLabel* label(const char* name) { return find<QLabel>(name); }
    int number(const char* name) { return label(name)->text().toInt(); }
    QString caption() { return find<QGroupBox>("gb_ACEs")->title(); }
    QStringList values() {
        QStringList out;
        for (const char* name : {"lb_CDPerms", "lb_CDPermsNZ", "lb_Groups", "lb_Users", "lb_MSPerms",
                                 "lb_MSPermsNZ", "lb_MSOrphans", "lb_ACEsExplain"})
            out << label(name)->text();
        return out;
    }
    QStringList props() {
        return find<QPlainTextEdit>("me_Props")->toPlainText().split('\n', Qt::SkipEmptyParts);
    }
    // Clicks the explanation line; the dialog's memo lines (none when no dialog came).
    QStringList clickExplanation() {
        QStringList lines;
        hooks.modalAnswers.push_back([&lines](QDialog& dialog) {
            lines = dialog.findChild<QPlainTextEdit*>("Memo")->toPlainText().split('\n');
            return int(QDialog::Accepted);
        });
        QTest::mouseClick(label("lb_ACEsExplain"), Qt::LeftButton);
        hooks.modalAnswers.clear();
        return lines;
    }

    TInfoFiles files;
};

const QString Orphans = "... could become active if user is reinstated.";
const QString NoPerms = "MDB MSysACEs Table: NO PERMS! ";
const QStringList Advice{"", "If this is a permissions problem, use Permissions grid to try to add:",
                         "RetrieveData permissions for current user on MSysACEs table."};

} // namespace

class DatabaseInfoTabTest : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;
    int runs = 0;
    // Each test works on files of its own.
    QString freshDir() {
        const QString dir = tmp.filePath(QString::number(++runs));
        QDir().mkpath(dir);
        return dir;
    }

private slots:
    void initTestCase() { dao::registerEngineClasses(); }

    void bothQueriesShowTheOrphansOfADeletedAccount() {
        TApp app(freshDir());
        app.refresh(app.files.readable, app.files.mdw);
        const auto [rows, nonZero] = rawAceCounts(app.files.readable.toStdString());
        TForm1& form = app.form();
        QVERIFY(rows > 0 && form.PermRowCount > 0);
        QCOMPARE(app.values(),
                 (QStringList{QString::number(form.PermRowCount), QString::number(form.PermNonZeroCount),
                              QString::number(form.GroupCount), QString::number(form.UserCount),
                              QString::number(rows), QString::number(nonZero),
                              QString::number(nonZero - form.PermNonZeroCount), Orphans}));
        QCOMPARE(app.caption(), QStringLiteral("MDB MSysACEs Table "));
        QCOMPARE(form.AceQueryError, std::string());
        QVERIFY(!dm_Inspect->db1.Connected() && app.hooks.messages.isEmpty());

        const int before = app.number("lb_MSOrphans");
        loginTo(app.files.mdw.toStdString())->Users()->Delete("zoe");
        form.RefreshAll();
        QCOMPARE(app.number("lb_MSPermsNZ"), nonZero);
        QCOMPARE(app.number("lb_MSOrphans"), before + ZoeGrants);
    }

    void unreadableTableIsExplainedAndKeptThroughAFailedRefresh() {
        TApp app(freshDir());
        app.refresh(app.files.locked, app.files.mdw);
        TForm1& form = app.form();
        QCOMPARE(app.caption(), NoPerms);
        QCOMPARE(app.values().mid(4),
                 (QStringList{"Not avail", "Not avail", "Not avail", "Click for explanation"}));
        QCOMPARE(app.number("lb_CDPerms"), form.PermRowCount);
        QCOMPARE(form.AceCount, 0);
        const QString error = QString::fromStdString(form.AceQueryError);
        QVERIFY(error.contains("MSysACEs"));
        QVERIFY(app.hooks.messages.isEmpty() && !dm_Inspect->db1.Connected());

        QStringList lines = app.clickExplanation();
        QCOMPARE(app.hooks.modalTitles, QStringList{"Explain"});
        QCOMPARE(lines.value(0), QStringLiteral("Attempt to read MSysACEs Table encountered error:"));
        QVERIFY(!lines.value(1).isEmpty() && error.contains(lines.value(1)));
        QCOMPARE(lines.mid(2), Advice);

        // A failed refresh resets the numbers but keeps the caption, the line and the error.
        app.refresh(app.files.locked, app.files.mdw + ".gone");
        QCOMPARE(app.values(), QStringList(7, "???") << "Click for explanation");
        QCOMPARE(app.caption(), NoPerms);
        QCOMPARE(app.clickExplanation().value(1), lines.value(1));

        // Following the advice brings the numbers.
        const auto locked = open(loginTo(app.files.mdw.toStdString()), app.files.locked.toStdString());
        grant(locked, "Tables", "MSysACEs", "admin",
              explicitOf(locked, "Tables", "MSysACEs", "admin") | 0x14);
        app.refresh(app.files.locked, app.files.mdw);
        QCOMPARE(app.number("lb_MSPerms"), rawAceCounts(app.files.locked.toStdString()).first);
        QCOMPARE(app.values().last(), Orphans);
        QVERIFY(form.AceQueryError.empty());
    }

    void explainDialogWithoutErrorClosesOnlyByOK() {
        TApp app(freshDir());
        QCOMPARE(fm_Explain, app.objects->fm_Explain.get());
        const QStringList noError{"Attempt to read MSysACEs Table encountered error:", ""};
        QCOMPARE(app.clickExplanation(), noError + Advice);
        // A right click, or a press released outside the label, is no click.
        QLabel* label = app.label("lb_ACEsExplain");
        QTest::mouseClick(label, Qt::RightButton);
        QTest::mousePress(label, Qt::LeftButton);
        QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(label->width() + 5, 1));
        QCOMPARE(app.hooks.modalTitles.size(), 1);

        fm_Explain->show();
        QVERIFY(QTest::qWaitForWindowExposed(fm_Explain));
        QTest::keyClick(fm_Explain, Qt::Key_Escape);
        QTest::keyClick(fm_Explain, Qt::Key_Return);
        QVERIFY(fm_Explain->isVisible());
        QTest::mouseClick(&fm_Explain->bt_OK(), Qt::LeftButton);
        QVERIFY(!fm_Explain->isVisible());
    }

    // Display rules on counts the engine cannot produce: an empty readable table, A greater than B.
    void emptyReadableTableAndNegativeOrphans() {
        TApp app(freshDir());
        const dbinfo::TDBInfoLabels labels{
            app.label("lb_CDPerms"),   app.label("lb_CDPermsNZ"),      app.label("lb_Groups"),
            app.label("lb_Users"),     app.find<QGroupBox>("gb_ACEs"), app.label("lb_MSPerms"),
            app.label("lb_MSPermsNZ"), app.label("lb_MSOrphans"),      app.label("lb_ACEsExplain")};
        const std::int32_t rows = 40, nonZero = 12, users = 4, groups = 3;
        std::int32_t aces = -1, aceNonZero = -1;
        std::string error = "stale";
        const dbinfo::TDBInfoCounters counters{rows, nonZero, users, groups, aces, aceNonZero, error};
        auto counts = [](std::int32_t all, std::int32_t nz) {
            return [=](std::int32_t& a, std::int32_t& b) {
                a = all, b = nz;
                return std::string();
            };
        };
        QVERIFY(dbinfo::ReadDatabaseInfo(labels, counters, counts(0, 0)));
        QCOMPARE(app.caption(), NoPerms);
        QCOMPARE(app.values(),
                 (QStringList{"40", "12", "3", "4", "Not avail", "Not avail", "Not avail", Orphans}));
        QCOMPARE(error, std::string());
        QVERIFY(dbinfo::ReadDatabaseInfo(labels, counters, counts(9, 5)));
        QCOMPARE(app.values().mid(4, 3), (QStringList{"9", "5", "-7"}));
        QVERIFY(!dbinfo::ReadDatabaseInfo(labels, counters, [](std::int32_t&, std::int32_t&) -> std::string {
            throw std::runtime_error("lost");
        }));
    }

    void propertyListing() {
        TApp app(freshDir());
        app.refresh(app.files.readable, app.files.mdw);
        std::vector<ui::CursorShape> cursors;
        ui::setScreenCursorHook([&](ui::CursorShape shape) { cursors.push_back(shape); });
        auto* read = app.find<QPushButton>("bt_PropRead");
        QTest::mouseClick(read, Qt::LeftButton);
        const QStringList first = app.props();
        QTest::mouseClick(read, Qt::LeftButton);
        ui::setScreenCursorHook(nullptr);
        const QStringList lines = app.props();
        QCOMPARE(lines, first);
        QCOMPARE(cursors.back(), ui::CursorShape::Default);
        QVERIFY(!dm_Inspect->db1.Connected() && app.hooks.messages.isEmpty());

        // Three blocks, each numbered from 0.
        const QString separator(53, '-');
        QCOMPARE(lines.count(separator), 6);
        int expected = 0, blocks = 0;
        for (int i = 0; i < lines.size(); ++i) {
            if (lines[i] == separator) {
                QCOMPARE(lines.value(i + 2), separator);
                QCOMPARE(lines[i + 1], (QStringList{"DBEngine Properties", "Workspace Properties",
                                                    "Database Properties"}[blocks++]));
                i += 2, expected = 0;
            } else {
                QVERIFY2(lines[i].startsWith(QString::number(expected++) + ": "), qPrintable(lines[i]));
            }
        }
        QVERIFY(lines
                    .filter(QRegularExpression("^\\d+: ReplicaID = Error: Could not convert variant of type "
                                               "\\(Null\\) into type \\(String\\)$"))
                    .size() == 1);
        QVERIFY(lines.filter(QRegularExpression("^\\d+: Connection = Error: .+")).size() == 1);

        // Clear, a refresh, and a refused login each leave the memo empty.
        QTest::mouseClick(app.find<QPushButton>("bt_PropClear"), Qt::LeftButton);
        QVERIFY(app.props().isEmpty());
        QTest::mouseClick(read, Qt::LeftButton);
        app.form().RefreshAll();
        QVERIFY(app.props().isEmpty());
        QTest::mouseClick(read, Qt::LeftButton);
        app.find<QComboBox>("cb_Username")->setEditText("nobody");
        QTest::mouseClick(read, Qt::LeftButton);
        QVERIFY(app.props().isEmpty());
        QCOMPARE(app.hooks.messages.size(), 1);
        QVERIFY(app.hooks.messages[0].startsWith("Error: "));
    }
};

QTEST_MAIN(DatabaseInfoTabTest)
#include "DatabaseInfoTabTest.moc"
