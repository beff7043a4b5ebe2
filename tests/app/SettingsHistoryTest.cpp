// Window settings and login histories through a real main window: restored at creation, stored at close.
#include "AppTestSupport.h"

#include "dao/Dao.h"

#include "settings/KaDumbIniFile.h"

#include <QCheckBox>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>

namespace {

void writeFile(const QString& path, const QByteArray& text) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

QStringList items(QComboBox* combo) {
    QStringList list;
    for (int i = 0; i < combo->count(); ++i)
        list << combo->itemText(i);
    return list;
}

// Gives the combo box focus, then moves the focus away, as a user tabbing out of it does.
void leave(TAppFixture& app, QComboBox* combo) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QCoreApplication::sendEvent(combo, &out);
    Q_UNUSED(app);
}

} // namespace

class SettingsHistoryTest : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;
    QString ini() const { return tmp.filePath(QStringLiteral("keyloupe.ini")); }

private slots:
    void initTestCase() { dao::registerEngineClasses(); }
    void init() { QFile::remove(ini()); }

    void defaultsWithoutASettingsFile() {
        TAppFixture app(ini());
        QCOMPARE(app.form().width(), 600);
        QCOMPARE(app.form().height(), 400);
        QVERIFY(app.find<QRadioButton>("rb_DAO36")->isChecked());
        QVERIFY(app.find<QCheckBox>("ck_PermHideSysObj")->isChecked());
        QVERIFY(!app.find<QCheckBox>("ck_PermHidePerm0")->isChecked()); // the setting's default wins
        QCOMPARE(app.find<QComboBox>("cb_DB")->count(), 0);
    }

    void opensCentredAtTheSizeItOpensWith() {
        // No settings; a saved size smaller than the controls need; one larger than the desktop.
        for (const QByteArray& settings : {QByteArray(),
                                           QByteArray("Main_Width=100\r\nMain_Height=50\r\n"
                                                      "Main_Left=900\r\nMain_Top=700\r\n"),
                                           QByteArray("Main_Width=2000\r\nMain_Height=1200\r\n")}) {
            writeFile(ini(), settings);
            TAppFixture app(ini());
            app.form().show();
            const QRect area = app.form().screen()->availableGeometry();
            const QRect frame = app.form().frameGeometry();
            if (frame.width() <= area.width() && frame.height() <= area.height()) {
                QVERIFY2(qAbs(frame.center().x() - area.center().x()) <= 1, settings.constData());
                QVERIFY2(qAbs(frame.center().y() - area.center().y()) <= 1, settings.constData());
            } else {
                QCOMPARE(frame.topLeft(), area.topLeft());
            }
            // Showing again (after a minimise, say) does not move it.
            app.form().move(area.topLeft() + QPoint(10, 10));
            app.form().hide();
            app.form().show();
            QCOMPARE(app.form().pos(), area.topLeft() + QPoint(10, 10));
        }
    }

    void windowSettingsSurviveARestart() {
        {
            TAppFixture app(ini());
            app.form().resize(700, 500);
            app.find<QRadioButton>("rb_DAO35")->setChecked(true);
            app.find<QCheckBox>("ck_PermHideSysObj")->setChecked(false);
            app.find<QCheckBox>("ck_PermHidePerm0")->setChecked(true);
            app.setLogin(QStringLiteral("/data/a.mdb"), QStringLiteral("/data/s.mdw"),
                         QStringLiteral("carol"), QStringLiteral("Secret"));
            for (const char* name : {"cb_DB", "cb_MDW", "cb_Username", "cb_Password"})
                leave(app, app.find<QComboBox>(name));
            app.form().close();
        }
        const QByteArray text = readFile(ini());
        QVERIFY(text.contains("Main_Width=700\r\n"));
        QVERIFY(text.contains("Main_DAOVer=0\r\n"));
        QVERIFY(text.contains("cb_Password_Str=Secret\r\n"));
        QCOMPARE(QFile(ini()).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
                 QFileDevice::Permissions());
        {
            TAppFixture app(ini());
            QCOMPARE(app.form().width(), 700);
            QCOMPARE(app.form().height(), 500);
            QVERIFY(app.find<QRadioButton>("rb_DAO35")->isChecked());
            QVERIFY(!app.find<QCheckBox>("ck_PermHideSysObj")->isChecked());
            QVERIFY(app.find<QCheckBox>("ck_PermHidePerm0")->isChecked());
            QCOMPARE(app.find<QComboBox>("cb_DB")->currentText(), QStringLiteral("/data/a.mdb"));
            QCOMPARE(items(app.find<QComboBox>("cb_Username")), QStringList{QStringLiteral("carol")});
            QCOMPARE(items(app.find<QComboBox>("cb_Password")), QStringList{QStringLiteral("Secret")});
        }
    }

    void onlyUserNamesAreReusedIgnoringCase() {
        writeFile(ini(), "cb_DB00=/Data/A.mdb\r\ncb_MDW00=/Data/S.mdw\r\ncb_Password00=Secret\r\n"
                         "cb_Username00=Alice\r\n");
        TAppFixture app(ini());
        // On Linux /data/a.MDB and /Data/A.mdb are different files: the typed path stays and is added.
        auto* db = app.find<QComboBox>("cb_DB");
        db->setEditText(QStringLiteral("/data/a.MDB"));
        leave(app, db);
        QCOMPARE(items(db), (QStringList{QStringLiteral("/data/a.MDB"), QStringLiteral("/Data/A.mdb")}));
        QCOMPARE(db->currentText(), QStringLiteral("/data/a.MDB"));
        auto* mdw = app.find<QComboBox>("cb_MDW");
        mdw->setEditText(QStringLiteral("/data/s.mdw"));
        leave(app, mdw);
        QCOMPARE(mdw->currentText(), QStringLiteral("/data/s.mdw"));
        QCOMPARE(mdw->count(), 2);
        // The same path again selects its entry and adds nothing.
        db->setEditText(QStringLiteral("/Data/A.mdb"));
        leave(app, db);
        QCOMPARE(db->count(), 2);
        QCOMPARE(db->currentIndex(), 1);

        auto* user = app.find<QComboBox>("cb_Username");
        user->setEditText(QStringLiteral("ALICE"));
        leave(app, user);
        QCOMPARE(items(user), QStringList{QStringLiteral("Alice")});
        QCOMPARE(user->currentText(), QStringLiteral("Alice"));

        auto* pwd = app.find<QComboBox>("cb_Password");
        pwd->setEditText(QStringLiteral("secret"));
        leave(app, pwd);
        QCOMPARE(items(pwd), (QStringList{QStringLiteral("secret"), QStringLiteral("Secret")}));

        pwd->setEditText(QString());
        leave(app, pwd);
        QCOMPARE(pwd->count(), 2); // an empty text adds nothing

        // A browsed file whose name differs from an entry only in case is a file of its own.
        app.hooks.fileAnswers.push_back(QStringLiteral("/Data/a.mdb"));
        app.find<QPushButton>("bt_DBBrowse")->click();
        QCOMPARE(db->currentText(), QStringLiteral("/Data/a.mdb"));
        QCOMPARE(db->count(), 3);
    }

    void aGapEndsTheListAndLaterKeysStayUntouched() {
        writeFile(ini(), "cb_DB00=/a.mdb\r\ncb_DB01=/b.mdb\r\ncb_DB03=/d.mdb\r\ncb_MDW00=???\r\n"
                         "cb_MDW01=/x.mdw\r\ncb_MDW_Str=???\r\ncb_Username_Str=???\r\n");
        {
            TAppFixture app(ini());
            QCOMPARE(items(app.find<QComboBox>("cb_DB")),
                     (QStringList{QStringLiteral("/a.mdb"), QStringLiteral("/b.mdb")}));
            QCOMPARE(app.find<QComboBox>("cb_MDW")->count(), 0);
            QCOMPARE(app.find<QComboBox>("cb_MDW")->currentText(), QString());
            QCOMPARE(app.find<QComboBox>("cb_Username")->currentText(), QStringLiteral("admin"));
            app.form().close();
        }
        QVERIFY(readFile(ini()).contains("cb_DB03=/d.mdb\r\n"));
    }

    void clearHistoryEmptiesListsButKeepsTexts() {
        writeFile(ini(), "cb_DB00=/a.mdb\r\ncb_DB_Str=/a.mdb\r\ncb_MDW00=/s.mdw\r\ncb_Username00=bob\r\n"
                         "cb_Password00=pw\r\nMain_Width=650\r\n");
        {
            TAppFixture app(ini());
            app.find<QPushButton>("btClearHistory")->click();
            for (const char* name : {"cb_DB", "cb_MDW", "cb_Username", "cb_Password"})
                QCOMPARE(app.find<QComboBox>(name)->count(), 0);
            QCOMPARE(app.find<QComboBox>("cb_DB")->currentText(), QStringLiteral("/a.mdb"));
            app.form().close();
        }
        const QByteArray text = readFile(ini());
        QVERIFY(!text.contains("cb_DB00"));
        QVERIFY(!text.contains("cb_Password00"));
        QVERIFY(text.contains("cb_DB_Str=/a.mdb\r\n"));
        QVERIFY(text.contains("Main_Width=650\r\n"));
    }

    void atMostOneHundredEntriesAreStored() {
        {
            TAppFixture app(ini());
            auto* db = app.find<QComboBox>("cb_DB");
            for (int i = 0; i < 105; ++i) {
                db->setEditText(QStringLiteral("/db%1.mdb").arg(i));
                leave(app, db);
            }
            QCOMPARE(db->count(), 105);
            app.form().close();
        }
        TKaDumbIniFileMgr ini(this->ini());
        ini.Load();
        QCOMPARE(ini.ReadString(QStringLiteral("cb_DB00"), QString()), QStringLiteral("/db104.mdb"));
        QCOMPARE(ini.ReadString(QStringLiteral("cb_DB99"), QString()), QStringLiteral("/db5.mdb"));
        QCOMPARE(ini.ReadString(QStringLiteral("cb_DB100"), QStringLiteral("none")), QStringLiteral("none"));
    }

    void browseFillsTheTargetAndKeepsTheLastFile() {
        TAppFixture app(ini());
        app.hooks.fileAnswers.push_back(QStringLiteral("/files/shop.mdb"));
        app.find<QPushButton>("bt_DBBrowse")->click();
        QCOMPARE(app.find<QComboBox>("cb_DB")->currentText(), QStringLiteral("/files/shop.mdb"));
        QCOMPARE(app.find<QComboBox>("cb_DB")->count(), 1);
        QCOMPARE(app.hooks.fileRequests.back().title, QStringLiteral("Select Database"));
        QCOMPARE(app.hooks.fileRequests.back().defaultSuffix, QStringLiteral("mdb"));
        QCOMPARE(app.hooks.fileRequests.back().filterIndex, 0);
        QCOMPARE(app.hooks.fileRequests.back().fileName, QString());

        app.hooks.fileAnswers.push_back(std::nullopt); // cancelled: nothing changes
        app.find<QComboBox>("cb_MDW")->setEditText(QStringLiteral("/typed.mdw"));
        app.find<QPushButton>("bt_MDWBrowse")->click();
        QCOMPARE(app.find<QComboBox>("cb_MDW")->currentText(), QStringLiteral("/typed.mdw"));
        QCOMPARE(app.hooks.fileRequests.back().title, QStringLiteral("Select Workgroup MDW file"));
        QCOMPARE(app.hooks.fileRequests.back().filterIndex, 1);
        // The dialog starts from the last file chosen, never from the combo box.
        QCOMPARE(app.hooks.fileRequests.back().fileName, QStringLiteral("/files/shop.mdb"));
    }

    void unwritableSettingsFileShowsOneBoxAtClose() {
        const QString bad = tmp.filePath(QStringLiteral("no-such-folder/keyloupe.ini"));
        TAppFixture app(bad);
        app.form().close();
        QCOMPARE(app.hooks.messages.size(), 1);
        QVERIFY(app.hooks.messages[0].startsWith(QStringLiteral("Error: ")));
    }
};

QTEST_MAIN(SettingsHistoryTest)
#include "SettingsHistoryTest.moc"
