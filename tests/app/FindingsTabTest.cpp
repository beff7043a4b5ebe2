// The Findings tab, the saved audit report and the Legend, on engine-made files. The test workgroup's
// admin has no password and is in Admins, bob has none either; admin created the database, so it owns
// MSysDb, and Jet's default catalogue leaves the Users group full rights on every container.
#include "support/AppFixture.h"
#include "support/Engine.h"

#include "app/Keyloupe_fm_Legend.h"
#include "grids/control/StringGrid.h"
#include "security/AuditReport.h"
#include "security/Findings.h"
#include "security/PermissionColumns.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

using namespace kltest;

class FindingsTabTest : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;
    TTestFiles files;
    QString ini() const { return tmp.filePath(QStringLiteral("keyloupe.ini")); }

    static const TFinding* find(const TFindingsResult& r, TSeverity s, const QString& what) {
        for (const TFinding& f : r.Findings)
            if (f.Severity == s && QString::fromStdString(f.What).contains(what)) return &f;
        return nullptr;
    }

private slots:
    void initTestCase() { files = makeBasicFiles(tmp.path()); }

    void showingTheTabWorksTheFindingsOutAndLeadsToTheirRows() {
        TAppFixture app(ini());
        app.setLogin(files.mdb, files.mdw);
        app.showTab("ts_Permissions");
        QVERIFY(!app.form().Findings()); // not before the tab is shown
        app.showTab("ts_Findings");
        const TFindingsResult* r = app.form().Findings();
        QVERIFY(r);
        QVERIFY(find(*r, TSeverity::High, QStringLiteral("The database (MSysDb) is owned by admin.")));
        QVERIFY(
            find(*r, TSeverity::High, QStringLiteral("'admin' is a member of Admins and has no password.")));
        QVERIFY(find(*r, TSeverity::Medium, QStringLiteral("'bob' has no password.")));
        QVERIFY(!find(*r, TSeverity::Medium, QStringLiteral("'alice'")));
        QVERIFY(find(*r, TSeverity::Medium, QStringLiteral("admin is still a member of Admins.")));
        const TFinding* users = find(*r, TSeverity::High, QStringLiteral("The Users group holds"));
        QVERIFY(users);
        // Jet's default catalogue gives nobody RetrieveData on MSysACEs, so the orphans are not checked.
        QCOMPARE(r->Notes.size(), std::size_t(1));
        QVERIFY(r->Notes.front().find("RetrieveData") != std::string::npos);
        // Severities come in order, and the list shows every finding.
        for (std::size_t i = 1; i < r->Findings.size(); ++i)
            QVERIFY(r->Findings[i - 1].Severity <= r->Findings[i].Severity);
        auto* list = app.find<QTreeWidget>("tv_Findings");
        QCOMPARE(list->topLevelItemCount(), static_cast<int>(r->Findings.size()));

        // The Users finding leads to the Users row of its object on the Permissions tab.
        const int index = static_cast<int>(users - r->Findings.data());
        list->setCurrentItem(list->topLevelItem(index));
        QTest::mouseClick(app.find<QPushButton>("bt_FindingShow"), Qt::LeftButton);
        auto& grid = *app.find<TStringGrid>("asg_Perms");
        QCOMPARE(app.find<QTabWidget>("PageControl1")->currentWidget()->objectName(),
                 QStringLiteral("ts_Permissions"));
        const int row = grid.realRowIndex(grid.currentRow());
        QCOMPARE(grid.cell(colUGName, row), QStringLiteral("Users"));
        QCOMPARE(grid.cell(colContainer, row).toStdString(), users->Container);
        QCOMPARE(grid.cell(colObjectName, row).toStdString(), users->Object);

        // A finding whose row the hide options hide says so instead of moving.
        app.hooks.messages.clear();
        const TFinding* msysDb = find(*r, TSeverity::High, QStringLiteral("MSysDb"));
        app.showTab("ts_Findings");
        list->setCurrentItem(list->topLevelItem(static_cast<int>(msysDb - r->Findings.data())));
        QTest::mouseClick(app.find<QPushButton>("bt_FindingShow"), Qt::LeftButton);
        QCOMPARE(app.hooks.messages.size(), 1);
        QVERIFY(app.hooks.messages.front().contains(QStringLiteral("hidden by the Hide options")));

        // A refresh makes the findings stale; they are worked out again on the tab.
        app.form().RefreshAll();
        QVERIFY(app.form().Findings()); // the tab is current, so the refresh worked them out again
        app.showTab("ts_Database");
        app.form().RefreshAll();
        QVERIFY(!app.form().Findings());
    }

    void aUserWhoMayNotReadMSysACEsGetsNotesInsteadOfFacts() {
        TAppFixture app(ini());
        app.setLogin(files.mdb, files.mdw, QStringLiteral("alice"), QStringLiteral("alice1"));
        app.showTab("ts_Findings");
        const TFindingsResult* r = app.form().Findings();
        QVERIFY(r);
        QCOMPARE(r->Notes.size(), std::size_t(2)); // no RetrieveData on MSysACEs, not a member of Admins
        QVERIFY(
            app.find<QLabel>("lb_FindingsSummary")->text().contains(QStringLiteral("were not checked: ")));
    }

    void theReportIsSavedAsHtmlAndPdf() {
        TAppFixture app(ini());
        app.setLogin(files.mdb, files.mdw);
        app.find<QCheckBox>("ck_PermHideSysObj")->setChecked(true); // the report ignores the hide options
        app.form().RefreshAll();
        const QString html = tmp.filePath(QStringLiteral("audit.html"));
        app.hooks.fileAnswers.push_back(html);
        app.form().findChild<QAction*>(QStringLiteral("mi_SaveReport"))->trigger();
        QCOMPARE(app.hooks.fileRequests.size(), std::size_t(1));
        QVERIFY(app.hooks.fileRequests.front().saving);
        QCOMPARE(app.hooks.messages.size(), 1);
        QVERIFY(app.hooks.messages.front().startsWith(QStringLiteral("The audit report was saved as ")));

        QFile page(html);
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(page.readAll());
        for (const QString& part :
             {files.mdb, files.mdw, QStringLiteral("Keyloupe&#39;s own file"), QStringLiteral("1.0.0"),
              QStringLiteral("The database (MSysDb) is owned by admin."), QStringLiteral("MSysDb"),
              QStringLiteral("<h2>Legend</h2>")})
            QVERIFY2(text.contains(part) ||
                         text.contains(QString(part).replace(QStringLiteral("&#39;"), QStringLiteral("'"))),
                     qPrintable(part));
        QVERIFY(!text.contains(QStringLiteral("http")));
        QFile pdf(tmp.filePath(QStringLiteral("audit.pdf")));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(5) == "%PDF-");
        QVERIFY(pdf.size() > 5000);
    }

    void theLegendExplainsEveryCell() {
        Tfm_Legend legend;
        auto* table = legend.findChild<QTableWidget*>(QStringLiteral("tw_Legend"));
        QCOMPARE(table->rowCount(), static_cast<int>(PermissionLegend().size()));
        QStringList terms;
        for (int i = 0; i < table->rowCount(); ++i)
            terms << table->item(i, 0)->text();
        for (const char* t : {"E", "e", "J", "I", "i", "(blank)", "-", "?"})
            QVERIFY2(terms.contains(QLatin1String(t)), t);
    }
};

QTEST_MAIN(FindingsTabTest)
#include "FindingsTabTest.moc"
