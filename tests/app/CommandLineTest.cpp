// The command line of keyloupe and where its settings file lives.
#include "app/CommandLine.h"
#include "support/QtPrinting.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sstream>

class CommandLine : public ::testing::Test {
protected:
    static std::optional<int> run(std::vector<const char*> args, std::string* out = nullptr,
                                  std::string* err = nullptr) {
        args.insert(args.begin(), "keyloupe");
        std::ostringstream o, e;
        const auto status = HandleCommandLine(static_cast<int>(args.size()), args.data(), o, e);
        if (out) *out = o.str();
        if (err) *err = e.str();
        return status;
    }
};

TEST_F(CommandLine, answersHelpAndVersionAndRefusesTheRest) {
    ASSERT_FALSE(run({}));
    std::string out, err;
    ASSERT_EQ(run({"--version"}, &out), std::optional<int>(0));
    ASSERT_EQ(out.substr(0, out.find('\n') + 1), std::string("keyloupe 1.0.0\n"));
    ASSERT_NE(out.find("Licence: GPL-3.0-or-later"), std::string::npos);
    ASSERT_EQ(run({"--help"}, &out), std::optional<int>(0));
    ASSERT_TRUE(out.rfind("usage: keyloupe [--help | --version]\n", 0) == 0);
    ASSERT_EQ(run({"mydb.mdb"}, &out, &err), std::optional<int>(2));
    ASSERT_TRUE(out.empty());
    ASSERT_EQ(
        err, std::string("keyloupe: unexpected argument 'mydb.mdb'\nusage: keyloupe [--help | --version]\n"));
    ASSERT_EQ(run({"--version", "--help"}), std::optional<int>(2));
}

TEST_F(CommandLine, settingsStayBesideTheExecutableUnlessThatCannotBe) {
    QTemporaryDir tmp;
    const QString exe = tmp.filePath(QStringLiteral("bin/keyloupe"));
    const QString config = tmp.filePath(QStringLiteral("config/Keyloupe/keyloupe"));
    QDir().mkpath(tmp.filePath(QStringLiteral("bin")));
    ASSERT_EQ(SettingsFileLocation(exe, config), tmp.filePath(QStringLiteral("bin/keyloupe.ini")));
    ASSERT_FALSE(QFileInfo::exists(config)); // nothing made where it is not used
    // A folder that cannot be written (here: one that is not there) sends the file to the
    // configuration folder, which is made owner-only.
    const QString elsewhere = tmp.filePath(QStringLiteral("gone/keyloupe"));
    ASSERT_EQ(SettingsFileLocation(elsewhere, config), config + QStringLiteral("/keyloupe.ini"));
    ASSERT_TRUE(QFileInfo(config).isDir());
    ASSERT_EQ(QFile::permissions(config) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());
}
