#include "util/KaExeVerInfo.h"
#include "util/KaFileUtils.h"
#include "util/Keyloupe_fm_About.h"
#include "util/Keyloupe_fm_Licences.h"
#include "util/Licence.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QTest>

namespace {

QString labelText(const QWidget& form, const char* name) {
    const auto* label = form.findChild<QLabel*>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<no label %1>").arg(QLatin1String(name));
}

auto languageFixed(win::LANGID id) {
    return [id] { return id; };
}

} // namespace

class UtilTest : public QObject {
    Q_OBJECT

private slots:
    void settingsFileName_data() {
        QTest::addColumn<QString>("exe");
        QTest::addColumn<QString>("ini");
        QTest::newRow("plain") << "/opt/keyloupe/keyloupe"
                               << "/opt/keyloupe/keyloupe.ini";
        QTest::newRow("extension") << "/opt/keyloupe/keyloupe.bin"
                                   << "/opt/keyloupe/keyloupe.ini";
        QTest::newRow("last dot only") << "/opt/x/kl.tar.gz"
                                       << "/opt/x/kl.tar.ini";
        QTest::newRow("dot in folder") << "/opt/kl.d/keyloupe"
                                       << "/opt/kl.d/keyloupe.ini";
        QTest::newRow("trailing dot") << "/opt/keyloupe."
                                      << "/opt/keyloupe.ini";
    }
    void settingsFileName() {
        QFETCH(QString, exe);
        QFETCH(QString, ini);
        QCOMPARE(SettingsFileNameFor(exe), ini);
    }

    void readsEachValueFromItsOwnKey() {
        const TExeVerInfo info(QStringLiteral(SAMPLE_EXE), languageFixed(0x0409));
        QCOMPARE(info.ExeName, QStringLiteral(SAMPLE_EXE));
        QCOMPARE(info.BaseName, QStringLiteral("kl_verinfo_sample"));
        QCOMPARE(info.CompanyName, QStringLiteral("Sample Company"));
        QCOMPARE(info.FileDescription, QStringLiteral("Sample description"));
        QCOMPARE(info.FileVersion, QStringLiteral("2.5.1"));
        QCOMPARE(info.LegalCopyright, QStringLiteral("Copyright (C) 2026 Sample"));
        QCOMPARE(info.ProductName, QStringLiteral("Sample Product"));
        // A key missing from the block and a key with an empty value both leave their field empty.
        QVERIFY(info.OriginalFilename.isEmpty());
        QVERIFY(info.Comments.isEmpty());
    }

    void withoutBlockEveryValueIsEmpty_data() {
        QTest::addColumn<QString>("exe");
        QTest::newRow("no block") << QStringLiteral(NO_BLOCK_EXE);
        QTest::newRow("missing file") << QStringLiteral(NO_BLOCK_EXE ".missing");
    }
    void withoutBlockEveryValueIsEmpty() {
        QFETCH(QString, exe);
        const TExeVerInfo info(exe, languageFixed(0x0409));
        QCOMPARE(info.ExeName, exe);
        QCOMPARE(info.BaseName, QStringLiteral("kl_verinfo_none"));
        for (const QString* value :
             {&info.CompanyName, &info.FileDescription, &info.FileVersion, &info.LegalCopyright,
              &info.OriginalFilename, &info.ProductName, &info.Comments})
            QVERIFY(value->isEmpty());
    }

    void baseNameStopsAtTheFirstDot() {
        const TExeVerInfo info(QStringLiteral(GERMAN_EXE), languageFixed(0x0407));
        QCOMPARE(QFileInfo(info.ExeName).fileName(), QStringLiteral("kl.verinfo.de"));
        QCOMPARE(info.BaseName, QStringLiteral("kl"));
        QCOMPARE(info.OriginalFilename, QStringLiteral("kl.verinfo.de"));
    }

    // A block without a table for the system's language answers from the first translation it lists.
    void otherLanguageFallsBackToTheListedTranslation_data() {
        QTest::addColumn<QString>("exe");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("company");
        QTest::newRow("US block, German system") << QStringLiteral(SAMPLE_EXE) << 0x0407 << "Sample Company";
        QTest::newRow("US block, Spanish system") << QStringLiteral(SAMPLE_EXE) << 0x0C0A << "Sample Company";
        QTest::newRow("German block, US system") << QStringLiteral(GERMAN_EXE) << 0x0409 << "Beispiel GmbH";
        QTest::newRow("German block, German system")
            << QStringLiteral(GERMAN_EXE) << 0x0407 << "Beispiel GmbH";
    }
    void otherLanguageFallsBackToTheListedTranslation() {
        QFETCH(QString, exe);
        QFETCH(int, language);
        QFETCH(QString, company);
        const TExeVerInfo info(exe, languageFixed(static_cast<win::LANGID>(language)));
        QCOMPARE(info.CompanyName, company);
        QVERIFY(!info.FileVersion.isEmpty());
    }

    void sharedInstanceReadsTheRunningExecutable() {
        const TExeVerInfo& shared = ExeVerInfo();
        QCOMPARE(&ExeVerInfo(), &shared);
        QCOMPARE(QFileInfo(shared.ExeName).canonicalFilePath(),
                 QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());
        QCOMPARE(shared.BaseName, QStringLiteral("test_util"));
        QCOMPARE(shared.CompanyName, QStringLiteral("Util Test Company"));
        QCOMPARE(shared.FileVersion, QStringLiteral("0.0.1"));
    }

    void aboutBoxShowsTheFourValues() {
        const TExeVerInfo info(QStringLiteral(SAMPLE_EXE), languageFixed(0x0409));
        const Tfm_About about(info);
        QCOMPARE(about.objectName(), QStringLiteral("fm_About"));
        QCOMPARE(labelText(about, "lb_Company"), QStringLiteral("Sample Company, Hollinsby"));
        QCOMPARE(labelText(about, "lb_Description"), QStringLiteral("Sample description"));
        QCOMPARE(labelText(about, "lb_Version"), QStringLiteral("Version: 2.5.1"));
        QCOMPARE(labelText(about, "lb_Copyright"), QStringLiteral("Copyright (C) 2026 Sample"));
        const auto* memo = about.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
        QVERIFY(memo && memo->isReadOnly() && !memo->toPlainText().isEmpty());
        QVERIFY(memo->toPlainText().contains(QStringLiteral("GPL-3.0-or-later")));
    }

    void licencesDialogNamesEachLibraryItsLicenceAndItsSource() {
        const Tfm_Licences licences;
        QCOMPARE(licences.windowTitle(), QStringLiteral("Third-Party Licences"));
        QVERIFY(licences.findChild<QLabel*>(QStringLiteral("lb_LicencesOwn"))
                    ->text()
                    .startsWith(QString::fromUtf8(KeyloupeLicenceLine)));
        const auto* table = licences.findChild<QTableWidget*>(QStringLiteral("tw_Licences"));
        QCOMPARE(table->rowCount(), 4);
        const QStringList names{QStringLiteral("Qt 6"), QStringLiteral("libmdb"), QStringLiteral("SQLite"),
                                QStringLiteral("libsodium")};
        for (int i = 0; i < table->rowCount(); ++i) {
            QVERIFY2(table->item(i, 0)->text().startsWith(names[i]), qPrintable(table->item(i, 0)->text()));
            QVERIFY(!table->item(i, 1)->text().isEmpty());
            QVERIFY2(table->item(i, 2)->text().startsWith(QStringLiteral("https://")),
                     qPrintable(table->item(i, 2)->text()));
        }
    }

    void aboutBoxWithoutValuesKeepsItsFixedTexts() {
        const TExeVerInfo info(QStringLiteral(NO_BLOCK_EXE), languageFixed(0x0409));
        const Tfm_About about(info);
        QCOMPARE(labelText(about, "lb_Company"), QStringLiteral(", Hollinsby"));
        QCOMPARE(labelText(about, "lb_Description"), QString());
        QCOMPARE(labelText(about, "lb_Version"), QStringLiteral("Version: "));
        QCOMPARE(labelText(about, "lb_Copyright"), QString());
    }

    void aboutBoxDefaultsToTheSharedInstance() {
        const Tfm_About about;
        QCOMPARE(labelText(about, "lb_Company"), QStringLiteral("Util Test Company, Hollinsby"));
        QCOMPARE(labelText(about, "lb_Version"), QStringLiteral("Version: 0.0.1"));
    }
};

QTEST_MAIN(UtilTest)
#include "UtilTest.moc"
