// The Findings tab, the saved audit report and the Legend, on engine-made files. The test workgroup's
// admin has no password and is in Admins, bob has none either; admin created the database, so it owns
// MSysDb, and Jet's default catalogue leaves the Users group full rights on every container.
#include "support/AppFixture.h"
#include "support/Engine.h"
#include "support/TestFiles.h"

#include "app/Keyloupe_fm_Legend.h"
#include "grids/control/StringGrid.h"
#include "security/AuditReport.h"
#include "security/Findings.h"
#include "security/PermissionColumns.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextTable>
#include <QTreeWidget>

#include <sstream>

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

        // A finding whose row is hidden names what hides it and offers to clear exactly that.
        const TFinding* msysDb = find(*r, TSeverity::High, QStringLiteral("MSysDb"));
        app.showTab("ts_Findings");
        app.find<QLineEdit>("tx_PermFilter")->setText(QStringLiteral("Orders"));
        if (!app.find<QCheckBox>("ck_PermHideSysObj")->isChecked())
            app.find<QCheckBox>("ck_PermHideSysObj")->click();
        auto showMsysDb = [&](ui::Answer answer) {
            app.hooks.confirmAnswers.push_back(answer);
            QTreeWidgetItem* item =
                list->findItems(QString::fromStdString(msysDb->What), Qt::MatchExactly, 2)[0];
            list->setCurrentItem(item);
            QTest::mouseClick(app.find<QPushButton>("bt_FindingShow"), Qt::LeftButton);
        };
        showMsysDb(ui::Answer::No);
        QCOMPARE(app.hooks.confirmations.size(), 1);
        QCOMPARE(
            app.hooks.confirmations.back(),
            QStringLiteral("admin's row of Databases \\ MSysDb is hidden by the quick filter \"Orders\" and "
                           "\"System objects\" on the Permissions tab. Clear them and go to the row?"));
        QCOMPARE(app.find<QLineEdit>("tx_PermFilter")->text(), QStringLiteral("Orders")); // nothing cleared
        QCOMPARE(app.find<QTabWidget>("PageControl1")->currentWidget()->objectName(),
                 QStringLiteral("ts_Findings"));
        showMsysDb(ui::Answer::Yes);
        QVERIFY(app.find<QLineEdit>("tx_PermFilter")->text().isEmpty());
        QVERIFY(!app.find<QCheckBox>("ck_PermHideSysObj")->isChecked());
        QVERIFY(!app.find<QCheckBox>("ck_PermHidePerm0")->isChecked());
        QCOMPARE(app.find<QTabWidget>("PageControl1")->currentWidget()->objectName(),
                 QStringLiteral("ts_Permissions"));
        const int msysRow = grid.realRowIndex(grid.currentRow());
        QCOMPARE(grid.cell(colObjectName, msysRow), QStringLiteral("MSysDb"));
        QCOMPARE(grid.cell(colUGName, msysRow), QStringLiteral("admin"));
        QVERIFY(app.hooks.messages.isEmpty());

        // A refresh makes the findings stale; they are worked out again on the tab.
        app.showTab("ts_Findings");
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
        const QString summary = app.find<QLabel>("lb_FindingsSummary")->text();
        QVERIFY(summary.contains(QStringLiteral("were not checked: ")));
        // The rows alice may not read come first, with the worst that could hide in them.
        QVERIFY(r->UnreadRows > 0);
        QVERIFY(r->UnreadMayHide);
        QCOMPARE(r->UnreadWorst, TSeverity::High);
        QVERIFY2(summary.startsWith(
                     QStringLiteral("%1 permission rows could not be read by this login").arg(r->UnreadRows)),
                 qPrintable(summary));
        QVERIFY(summary.contains(QStringLiteral("The worst that could hide there is a high finding")));
    }

    void theListSortsFiltersAndCountsBySeverity() {
        TAppFixture app(ini());
        app.setLogin(files.mdb, files.mdw);
        app.showTab("ts_Findings");
        const TFindingsResult& r = *app.form().Findings();
        auto* list = app.find<QTreeWidget>("tv_Findings");
        auto* tabs = app.find<QTabWidget>("PageControl1");
        QCOMPARE(tabs->tabText(tabs->indexOf(app.find<QWidget>("ts_Findings"))),
                 QStringLiteral("Findings (%1 high, %2 medium, %3 low)")
                     .arg(r.Count(TSeverity::High))
                     .arg(r.Count(TSeverity::Medium))
                     .arg(r.Count(TSeverity::Low)));
        QCOMPARE(app.find<QLabel>("lb_FindingsVerdict")->text().toStdString(), r.Verdict);

        // A click on "Where" sorts by place, a second one the other way round.
        app.form().show();
        QVERIFY(QTest::qWaitForWindowExposed(&app.form()));
        QHeaderView* header = list->header();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(1) + 5, 5));
        QStringList places;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            places << list->topLevelItem(i)->text(1);
        QStringList sorted = places;
        std::sort(sorted.begin(), sorted.end(),
                  [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
        QCOMPARE(places, sorted);
        QVERIFY(places.front() != places.back());
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(1) + 5, 5));
        QCOMPARE(list->topLevelItem(0)->text(1), places.back());

        // "Medium" leaves the medium findings; the current one and its details follow.
        auto* severity = app.find<QComboBox>("cb_FindingSeverity");
        QCOMPARE(severity->count(), 4);
        severity->setCurrentIndex(severity->findText(QStringLiteral("Medium")));
        int shown = 0;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            if (!list->topLevelItem(i)->isHidden()) {
                ++shown;
                QCOMPARE(list->topLevelItem(i)->text(0), QStringLiteral("medium"));
            }
        QCOMPARE(shown, static_cast<int>(r.Count(TSeverity::Medium)));
        QVERIFY(!list->currentItem()->isHidden());
        QVERIFY(app.find<QPlainTextEdit>("me_FindingDetail")
                    ->toPlainText()
                    .startsWith(list->currentItem()->text(2)));

        // The keyboard: Down moves to the next shown finding, Ctrl+C copies it.
        list->setFocus();
        const QTreeWidgetItem* before = list->currentItem();
        QTest::keyClick(list, Qt::Key_Down);
        QVERIFY(list->currentItem() != before);
        QCOMPARE(list->currentItem()->text(0), QStringLiteral("medium"));
        QTest::keyClick(list, Qt::Key_C, Qt::ControlModifier);
        QVERIFY(QGuiApplication::clipboard()->text().startsWith(
            QStringLiteral("[medium] %1: %2")
                .arg(list->currentItem()->text(1), list->currentItem()->text(2))));
    }

    void anOrphanFindingLeadsToTheDatabaseInfoTab() {
        const TInfoFiles info = makeInfoFiles(tmp.path());
        loginTo(info.mdw.toStdString())->Users()->Delete("zoe"); // her two grants become orphans
        TAppFixture app(ini());
        app.setLogin(info.readable, info.mdw);
        app.showTab("ts_Findings");
        const TFindingsResult& r = *app.form().Findings();
        const TFinding* orphan = find(r, TSeverity::Low, QStringLiteral("unknown SID"));
        QVERIFY(orphan);
        QVERIFY(QString::fromStdString(orphan->What)
                    .contains(QStringLiteral("an account of another workgroup, or a deleted one")));
        auto* list = app.find<QTreeWidget>("tv_Findings");
        list->setCurrentItem(list->findItems(QString::fromStdString(orphan->What), Qt::MatchExactly, 2)[0]);
        QVERIFY(app.find<QPlainTextEdit>("me_FindingDetail")
                    ->toPlainText()
                    .contains(QStringLiteral("SID in full: ") + QString::fromStdString(orphan->Sid)));
        QTest::mouseClick(app.find<QPushButton>("bt_FindingShow"), Qt::LeftButton);
        QCOMPARE(app.hooks.messages.size(), 1);
        QVERIFY(app.hooks.messages.front().startsWith(
            QStringLiteral("No account of this workgroup has the SID")));
        QCOMPARE(app.find<QTabWidget>("PageControl1")->currentWidget()->objectName(),
                 QStringLiteral("ts_DBInfo"));
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
        QCOMPARE(app.hooks.fileRequests.front().directory, QFileInfo(files.mdb).absolutePath()); // writable
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
        // The verdict comes before the summary.
        const QString expected = QString::fromStdString(app.form().Findings()->Verdict);
        int verdict = text.indexOf(expected);
        if (verdict < 0)
            verdict = text.indexOf(QString(expected).replace(QStringLiteral("'"), QStringLiteral("&#39;")));
        QVERIFY(verdict > 0 && verdict < text.indexOf(QStringLiteral("<h2>Summary</h2>")));
        QFile pdf(tmp.filePath(QStringLiteral("audit.pdf")));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(5) == "%PDF-");
        QVERIFY(pdf.size() > 5000);
        // Every table of the pages laid out for the PDF repeats its header on a new page.
        std::ostringstream front;
        const TFindingsResult& r = *app.form().Findings();
        WriteAuditReportHtml(front, {}, {}, r, {{"Admins", true, {}}, {"admin", false, {"Admins"}}}, {},
                             ReportFront | ReportLegend);
        QTextDocument doc;
        doc.setHtml(QString::fromStdString(front.str()));
        int tables = 0;
        for (QTextFrame* frame : doc.rootFrame()->childFrames()) {
            auto* table = qobject_cast<QTextTable*>(frame);
            if (!table) continue;
            ++tables;
            // The two small tables of terms and figures at the top of the first page have no header.
            const QString first = table->cellAt(0, 0).firstCursorPosition().block().text();
            if (first == QStringLiteral("Database") || first == QStringLiteral("Permissions read")) continue;
            QVERIFY2(table->format().headerRowCount() == 1, qPrintable(first));
        }
        QCOMPARE(tables, 5); // header, summary, findings, accounts, legend
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
        // At its own size it shows every entry, in rows of one height, without scrolling.
        legend.show();
        QVERIFY(QTest::qWaitForWindowExposed(&legend));
        QCOMPARE(table->verticalScrollBar()->maximum(), 0);
        QCOMPARE(table->horizontalScrollBar()->maximum(), 0);
        for (int i = 1; i < table->rowCount(); ++i)
            QCOMPARE(table->rowHeight(i), table->rowHeight(0));
    }
};

QTEST_MAIN(FindingsTabTest)
#include "FindingsTabTest.moc"
