// The command line of keyloupe and where its settings file lives.
#include "app/CommandLine.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sstream>

class CommandLineTest : public QObject {
    Q_OBJECT

    static std::optional<int> run(std::vector<const char*> args, std::string* out = nullptr,
                                  std::string* err = nullptr) {
        args.insert(args.begin(), "keyloupe");
        std::ostringstream o, e;
        const auto status = HandleCommandLine(static_cast<int>(args.size()), args.data(), o, e);
        if (out) *out = o.str();
        if (err) *err = e.str();
        return status;
    }

private slots:
    void answersHelpAndVersionAndRefusesTheRest() {
        QVERIFY(!run({}));
        std::string out, err;
        QCOMPARE(run({"--version"}, &out), std::optional<int>(0));
        QCOMPARE(out, std::string("keyloupe 1.0.0\n"));
        QCOMPARE(run({"--help"}, &out), std::optional<int>(0));
        QVERIFY(out.rfind("usage: keyloupe [--help | --version]\n", 0) == 0);
        QCOMPARE(run({"mydb.mdb"}, &out, &err), std::optional<int>(2));
        QVERIFY(out.empty());
        QCOMPARE(
            err,
            std::string("keyloupe: unexpected argument 'mydb.mdb'\nusage: keyloupe [--help | --version]\n"));
        QCOMPARE(run({"--version", "--help"}), std::optional<int>(2));
    }

    void settingsStayBesideTheExecutableUnlessThatCannotBe() {
        QTemporaryDir tmp;
        const QString exe = tmp.filePath(QStringLiteral("bin/keyloupe"));
        const QString config = tmp.filePath(QStringLiteral("config/Keyloupe/keyloupe"));
        QDir().mkpath(tmp.filePath(QStringLiteral("bin")));
        QCOMPARE(SettingsFileLocation(exe, config), tmp.filePath(QStringLiteral("bin/keyloupe.ini")));
        QVERIFY(!QFileInfo::exists(config)); // nothing made where it is not used
        // A folder that cannot be written (here: one that is not there) sends the file to the
        // configuration folder, which is made owner-only.
        const QString elsewhere = tmp.filePath(QStringLiteral("gone/keyloupe"));
        QCOMPARE(SettingsFileLocation(elsewhere, config), config + QStringLiteral("/keyloupe.ini"));
        QVERIFY(QFileInfo(config).isDir());
        QCOMPARE(QFile::permissions(config) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
