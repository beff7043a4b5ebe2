// Window settings and login histories through a real main window: restored at creation, stored at close.
#include "support/AppFixture.h"
#include "support/Engine.h"
#include "support/GuiTestApp.h"

#include "app/QuitOnSignals.h"
#include "dao/Dao.h"

#include "settings/KaDumbIniFile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFocusEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace kltest;

namespace {

void writeFile(const QString& path, const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
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

class SettingsHistory : public ::testing::Test {
protected:
    void SetUp() override {
        guiTestApp();
        dao::registerEngineClasses();
        QFile::remove(ini());
    }

    QTemporaryDir tmp;
    QString ini() const { return tmp.filePath(QStringLiteral("keyloupe.ini")); }
};

TEST_F(SettingsHistory, defaultsWithoutASettingsFile) {
    TAppFixture app(ini());
    ASSERT_EQ(app.form().width(), 600);
    ASSERT_EQ(app.form().height(), 400);
    ASSERT_TRUE(app.find<QRadioButton>("rb_DAO36")->isChecked());
    ASSERT_TRUE(app.find<QCheckBox>("ck_PermHideSysObj")->isChecked());
    ASSERT_FALSE(app.find<QCheckBox>("ck_PermHidePerm0")->isChecked()); // the setting's default wins
    ASSERT_EQ(app.find<QComboBox>("cb_DB")->count(), 0);
}

TEST_F(SettingsHistory, opensCentredAtTheSizeItOpensWith) {
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
            ASSERT_TRUE(qAbs(frame.center().x() - area.center().x()) <= 1) << settings.constData();
            ASSERT_TRUE(qAbs(frame.center().y() - area.center().y()) <= 1) << settings.constData();
        } else {
            ASSERT_EQ(frame.topLeft(), area.topLeft());
        }
        // Showing again (after a minimise, say) does not move it.
        app.form().move(area.topLeft() + QPoint(10, 10));
        app.form().hide();
        app.form().show();
        ASSERT_EQ(app.form().pos(), area.topLeft() + QPoint(10, 10));
    }
}

TEST_F(SettingsHistory, windowSettingsSurviveARestart) {
    {
        TAppFixture app(ini());
        app.form().resize(700, 500);
        app.find<QRadioButton>("rb_DAO35")->setChecked(true);
        app.find<QCheckBox>("ck_PermHideSysObj")->setChecked(false);
        app.find<QCheckBox>("ck_PermHidePerm0")->setChecked(true);
        app.setLogin(QStringLiteral("/data/a.mdb"), QStringLiteral("/data/s.mdw"), QStringLiteral("carol"),
                     QStringLiteral("Secret"));
        for (const char* name : {"cb_DB", "cb_MDW", "cb_Username", "cb_Password"})
            leave(app, app.find<QComboBox>(name));
        app.form().close();
    }
    const QByteArray text = readFile(ini());
    ASSERT_TRUE(text.contains("Main_Width=700\r\n"));
    ASSERT_TRUE(text.contains("Main_DAOVer=0\r\n"));
    ASSERT_TRUE(text.contains("cb_Password_Str=Secret\r\n"));
    ASSERT_EQ(QFile(ini()).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
              QFileDevice::Permissions());
    {
        TAppFixture app(ini());
        ASSERT_EQ(app.form().width(), 700);
        ASSERT_EQ(app.form().height(), 500);
        ASSERT_TRUE(app.find<QRadioButton>("rb_DAO35")->isChecked());
        ASSERT_FALSE(app.find<QCheckBox>("ck_PermHideSysObj")->isChecked());
        ASSERT_TRUE(app.find<QCheckBox>("ck_PermHidePerm0")->isChecked());
        ASSERT_EQ(app.find<QComboBox>("cb_DB")->currentText(), QStringLiteral("/data/a.mdb"));
        ASSERT_EQ(items(app.find<QComboBox>("cb_Username")), QStringList{QStringLiteral("carol")});
        ASSERT_EQ(items(app.find<QComboBox>("cb_Password")), QStringList{QStringLiteral("Secret")});
    }
}

TEST_F(SettingsHistory, theEndOfASessionSavesTheSettingsAsQuitDoes) {
    for (const int signal : {SIGTERM, SIGHUP}) {
        QFile::remove(ini());
        TAppFixture app(ini());
        app.form().resize(640 + signal, 480);
        int quits = 0;
        TQuitOnSignals onSignals([&] {
            app.form().close();
            ++quits;
        });
        ASSERT_EQ(::raise(signal), 0);
        for (int i = 0; i < 200 && quits == 0; ++i)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        ASSERT_EQ(quits, 1) << signal;
        EXPECT_TRUE(readFile(ini()).contains("Main_Width=" + QByteArray::number(640 + signal) + "\r\n"))
            << signal;
    }
}

TEST_F(SettingsHistory, onlyUserNamesAreReusedIgnoringCase) {
    writeFile(ini(), "cb_DB00=/Data/A.mdb\r\ncb_MDW00=/Data/S.mdw\r\ncb_Password00=Secret\r\n"
                     "cb_Username00=Alice\r\n");
    TAppFixture app(ini());
    // On Linux /data/a.MDB and /Data/A.mdb are different files: the typed path stays and is added.
    auto* db = app.find<QComboBox>("cb_DB");
    db->setEditText(QStringLiteral("/data/a.MDB"));
    leave(app, db);
    ASSERT_EQ(items(db), (QStringList{QStringLiteral("/data/a.MDB"), QStringLiteral("/Data/A.mdb")}));
    ASSERT_EQ(db->currentText(), QStringLiteral("/data/a.MDB"));
    auto* mdw = app.find<QComboBox>("cb_MDW");
    mdw->setEditText(QStringLiteral("/data/s.mdw"));
    leave(app, mdw);
    ASSERT_EQ(mdw->currentText(), QStringLiteral("/data/s.mdw"));
    ASSERT_EQ(mdw->count(), 2);
    // The same path again selects its entry and adds nothing.
    db->setEditText(QStringLiteral("/Data/A.mdb"));
    leave(app, db);
    ASSERT_EQ(db->count(), 2);
    ASSERT_EQ(db->currentIndex(), 1);

    auto* user = app.find<QComboBox>("cb_Username");
    user->setEditText(QStringLiteral("ALICE"));
    leave(app, user);
    ASSERT_EQ(items(user), QStringList{QStringLiteral("Alice")});
    ASSERT_EQ(user->currentText(), QStringLiteral("Alice"));

    auto* pwd = app.find<QComboBox>("cb_Password");
    pwd->setEditText(QStringLiteral("secret"));
    leave(app, pwd);
    ASSERT_EQ(items(pwd), (QStringList{QStringLiteral("secret"), QStringLiteral("Secret")}));

    pwd->setEditText(QString());
    leave(app, pwd);
    ASSERT_EQ(pwd->count(), 2); // an empty text adds nothing

    // A browsed file whose name differs from an entry only in case is a file of its own.
    app.hooks.fileAnswers.push_back(QStringLiteral("/Data/a.mdb"));
    app.find<QPushButton>("bt_DBBrowse")->click();
    ASSERT_EQ(db->currentText(), QStringLiteral("/Data/a.mdb"));
    ASSERT_EQ(db->count(), 3);
}

TEST_F(SettingsHistory, aGapEndsTheListAndLaterKeysStayUntouched) {
    writeFile(ini(), "cb_DB00=/a.mdb\r\ncb_DB01=/b.mdb\r\ncb_DB03=/d.mdb\r\ncb_MDW00=???\r\n"
                     "cb_MDW01=/x.mdw\r\ncb_MDW_Str=???\r\ncb_Username_Str=???\r\n");
    {
        TAppFixture app(ini());
        ASSERT_EQ(items(app.find<QComboBox>("cb_DB")),
                  (QStringList{QStringLiteral("/a.mdb"), QStringLiteral("/b.mdb")}));
        ASSERT_EQ(app.find<QComboBox>("cb_MDW")->count(), 0);
        ASSERT_EQ(app.find<QComboBox>("cb_MDW")->currentText(), QString());
        ASSERT_EQ(app.find<QComboBox>("cb_Username")->currentText(), QStringLiteral("admin"));
        app.form().close();
    }
    ASSERT_TRUE(readFile(ini()).contains("cb_DB03=/d.mdb\r\n"));
}

TEST_F(SettingsHistory, clearHistoryEmptiesListsButKeepsTexts) {
    writeFile(ini(), "cb_DB00=/a.mdb\r\ncb_DB_Str=/a.mdb\r\ncb_MDW00=/s.mdw\r\ncb_Username00=bob\r\n"
                     "cb_Password00=pw\r\nMain_Width=650\r\n");
    {
        TAppFixture app(ini());
        app.find<QPushButton>("btClearHistory")->click();
        for (const char* name : {"cb_DB", "cb_MDW", "cb_Username", "cb_Password"})
            ASSERT_EQ(app.find<QComboBox>(name)->count(), 0);
        ASSERT_EQ(app.find<QComboBox>("cb_DB")->currentText(), QStringLiteral("/a.mdb"));
        app.form().close();
    }
    const QByteArray text = readFile(ini());
    ASSERT_FALSE(text.contains("cb_DB00"));
    ASSERT_FALSE(text.contains("cb_Password00"));
    ASSERT_TRUE(text.contains("cb_DB_Str=/a.mdb\r\n"));
    ASSERT_TRUE(text.contains("Main_Width=650\r\n"));
}

TEST_F(SettingsHistory, atMostOneHundredEntriesAreStored) {
    {
        TAppFixture app(ini());
        auto* db = app.find<QComboBox>("cb_DB");
        for (int i = 0; i < 105; ++i) {
            db->setEditText(QStringLiteral("/db%1.mdb").arg(i));
            leave(app, db);
        }
        ASSERT_EQ(db->count(), 105);
        app.form().close();
    }
    TKaDumbIniFileMgr ini(this->ini());
    ini.Load();
    ASSERT_EQ(ini.ReadString(QStringLiteral("cb_DB00"), QString()), QStringLiteral("/db104.mdb"));
    ASSERT_EQ(ini.ReadString(QStringLiteral("cb_DB99"), QString()), QStringLiteral("/db5.mdb"));
    ASSERT_EQ(ini.ReadString(QStringLiteral("cb_DB100"), QStringLiteral("none")), QStringLiteral("none"));
}

TEST_F(SettingsHistory, browseFillsTheTargetAndKeepsTheLastFile) {
    TAppFixture app(ini());
    const QString shop = tmp.filePath(QStringLiteral("shop.mdb"));
    app.hooks.fileAnswers.push_back(shop);
    app.find<QPushButton>("bt_DBBrowse")->click();
    ASSERT_EQ(app.find<QComboBox>("cb_DB")->currentText(), shop);
    ASSERT_EQ(app.find<QComboBox>("cb_DB")->count(), 1);
    ASSERT_EQ(app.hooks.fileRequests.back().title, QStringLiteral("Select Database"));
    ASSERT_EQ(app.hooks.fileRequests.back().defaultSuffix, QStringLiteral("mdb"));
    ASSERT_EQ(app.hooks.fileRequests.back().filterIndex, 0);
    ASSERT_EQ(app.hooks.fileRequests.back().fileName, QString());
    ASSERT_EQ(app.hooks.fileRequests.back().directory, QDir::homePath()); // nothing named yet

    app.hooks.fileAnswers.push_back(std::nullopt); // cancelled: nothing changes
    app.find<QComboBox>("cb_MDW")->setEditText(tmp.filePath(QStringLiteral("typed.mdw")));
    app.find<QPushButton>("bt_MDWBrowse")->click();
    ASSERT_EQ(app.find<QComboBox>("cb_MDW")->currentText(), tmp.filePath(QStringLiteral("typed.mdw")));
    ASSERT_EQ(app.hooks.fileRequests.back().title, QStringLiteral("Select Workgroup MDW file"));
    ASSERT_EQ(app.hooks.fileRequests.back().filterIndex, 1);
    // The dialog opens in the folder of the file the box names, the last file chosen preselected there.
    ASSERT_EQ(app.hooks.fileRequests.back().directory, tmp.path());
    ASSERT_EQ(app.hooks.fileRequests.back().fileName, shop);

    // A box naming a folder that does not exist: the folder of the last file chosen.
    app.hooks.fileAnswers.push_back(std::nullopt);
    app.find<QComboBox>("cb_MDW")->setEditText(QStringLiteral("/no/such/folder/x.mdw"));
    app.find<QPushButton>("bt_MDWBrowse")->click();
    ASSERT_EQ(app.hooks.fileRequests.back().directory, tmp.path());
}

TEST_F(SettingsHistory, unwritableSettingsFileShowsOneBoxAtClose) {
    const QString bad = tmp.filePath(QStringLiteral("no-such-folder/keyloupe.ini"));
    TAppFixture app(bad);
    app.form().close();
    ASSERT_EQ(app.hooks.messages.size(), 1);
    ASSERT_TRUE(app.hooks.messages[0].startsWith(QStringLiteral("Error: ")));
}
