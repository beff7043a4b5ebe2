#include "settings/KaDumbIniFile.h"

#include "ui/Dialogs.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <functional>
#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        ASSERT_TRUE(dir.isValid());
        ui::installDialogHooks(&hooks);
    }
    void TearDown() override { ui::installDialogHooks(nullptr); }

    QString path(const char* name = "keyloupe.ini") const { return dir.filePath(QString::fromLatin1(name)); }

    void writeFile(const QByteArray& bytes, const QString& file) const {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }

    QByteArray readFile(const QString& file) const {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }

    TKaDumbIniFileMgr loaded(const QByteArray& bytes) const {
        writeFile(bytes, path());
        TKaDumbIniFileMgr ini(path());
        ini.Load();
        return ini;
    }

    static mode_t modeOf(const QString& file) {
        struct stat st {};
        return ::stat(QFile::encodeName(file).constData(), &st) == 0 ? (st.st_mode & 07777) : 0;
    }

    QTemporaryDir dir;
    ui::DialogHooks hooks;
};

TEST_F(IniFileTest, WithoutAFileEveryReadGivesItsDefaultAndSaveCreatesIt) {
    TKaDumbIniFileMgr ini(path());
    ini.Load();
    EXPECT_FALSE(QFile::exists(path())); // neither creating nor loading touches the file
    EXPECT_EQ(ini.ReadInteger("Main_Width", 0, 2000, 600), 600);
    EXPECT_TRUE(ini.ReadBool("Main_PermHideSysObj", true));
    EXPECT_FALSE(ini.ReadBool("Main_PermHidePerm0", false));
    EXPECT_EQ(ini.ReadString("cb_DB00", "???"), "???");

    ini.WriteInteger("Main_Width", 640);
    ini.Save();
    EXPECT_TRUE(hooks.messages.isEmpty());
    EXPECT_EQ(readFile(path()), "Main_Width=640\r\n");
}

TEST_F(IniFileTest, IntegerConversionAndLimits) {
    struct Case {
        const char* value;
        int expected;
    };
    const Case cases[] = {
        {"5000", 2000},      {"abc", 600},         {"0x200", 512},     {"12px", 600},
        {"", 600},           {"  42", 42},         {"+42", 42},        {"-5", 0},
        {"$1F", 31},         {"x1f", 31},          {"X10", 16},        {"0X10", 16},
        {"42 ", 600},        {"- 5", 600},         {"0x", 600},        {"$", 600},
        {"2147483648", 600}, {"99999999999", 600}, {"1e3", 600},       {"\t42", 600},
        {"0012", 12},        {"-$10", 0},          {"$FFFFFFFF", 600}, {"1999", 1999},
    };
    for (const Case& c : cases) {
        TKaDumbIniFileMgr ini = loaded(QByteArray("Main_Width=") + c.value + "\r\n");
        EXPECT_EQ(ini.ReadInteger("Main_Width", 0, 2000, 600), c.expected) << "value " << c.value;
    }
    TKaDumbIniFileMgr ini = loaded("Main_DAOVer=7\r\nLow=-2147483648\r\nOver=2147483648\r\nNeg=-17\r\n");
    EXPECT_EQ(ini.ReadInteger("Main_DAOVer", 0, 1, 1), 1);
    EXPECT_EQ(ini.ReadInteger("Low", INT32_MIN, INT32_MAX, 0), INT32_MIN);
    EXPECT_EQ(ini.ReadInteger("Over", INT32_MIN, INT32_MAX, 3), 3);
    EXPECT_EQ(ini.ReadInteger("Neg", -100, 100, 0), -17);
    // Crossed limits: the maximum applies first, then the minimum wins.
    EXPECT_EQ(ini.ReadInteger("Neg", 10, 5, 0), 10);
    EXPECT_EQ(ini.ReadInteger("Missing", 10, 5, 7), 10);
}

TEST_F(IniFileTest, KeysMatchCaseInsensitivelyAndWriteReplacesInPlace) {
    TKaDumbIniFileMgr ini = loaded("Main_Top=10\r\nMAIN_LEFT=250\r\nmain_left=999\r\nzz=1\r\n");
    EXPECT_EQ(ini.ReadInteger("Main_Left", 0, 1000, 100), 250); // the first match counts
    ini.WriteInteger("Main_Left", 300);
    EXPECT_EQ(ini.Lines(), QStringList({"Main_Top=10", "Main_Left=300", "main_left=999", "zz=1"}));
    ini.Save();
    EXPECT_EQ(readFile(path()), "Main_Left=300\r\nmain_left=999\r\nMain_Top=10\r\nzz=1\r\n");
}

TEST_F(IniFileTest, NothingIsTrimmedAndOnlyTheFirstEqualsSplits) {
    TKaDumbIniFileMgr ini = loaded("Main_Left = 5\r\nNoEquals\r\nPath=a=b\r\n=empty key\r\n");
    EXPECT_EQ(ini.ReadInteger("Main_Left", 0, 1000, 100), 100);
    EXPECT_EQ(ini.ReadString("Main_Left ", "-"), " 5");
    EXPECT_EQ(ini.ReadString("NoEquals", "-"), "-");
    EXPECT_EQ(ini.ReadString("Path", "-"), "a=b");
    ini.WriteString("NoEquals", "x");
    ini.WriteString("Path", "c");
    EXPECT_EQ(ini.Lines(), QStringList({"Main_Left = 5", "NoEquals", "Path=c", "=empty key", "NoEquals=x"}));
}

TEST_F(IniFileTest, BooleansReadTrueOnlyForALeadingT) {
    TKaDumbIniFileMgr ini = loaded("Main_PermHideSysObj=\r\nA=true\r\nB=t\r\nC=1\r\nD=yes\r\nE= T\r\n");
    EXPECT_FALSE(ini.ReadBool("Main_PermHideSysObj", true)); // present but empty
    EXPECT_TRUE(ini.ReadBool("Missing", true));
    EXPECT_TRUE(ini.ReadBool("A", false));
    EXPECT_TRUE(ini.ReadBool("B", false));
    EXPECT_FALSE(ini.ReadBool("C", true));
    EXPECT_FALSE(ini.ReadBool("D", true));
    EXPECT_FALSE(ini.ReadBool("E", true));
    ini.WriteBool("A", false);
    ini.WriteBool("New", true);
    EXPECT_EQ(ini.ReadString("A", "-"), "F");
    EXPECT_EQ(ini.ReadString("New", "-"), "T");
}

TEST_F(IniFileTest, EveryLineEndIsRecognisedAndSaveWritesCrLf) {
    TKaDumbIniFileMgr ini = loaded("d=4\r\nc=3\rb=2\na=1\r\r\n\n\xe9t\xe9=\xff");
    EXPECT_EQ(ini.Lines(), QStringList({"d=4", "c=3", "b=2", "a=1", "", "", QString::fromUtf8("été=ÿ")}));
    ini.Save();
    // Not valid UTF-8, so read as Latin-1; written back as UTF-8.
    EXPECT_EQ(readFile(path()), "a=1\r\nb=2\r\nc=3\r\nd=4\r\n\xc3\xa9t\xc3\xa9=\xc3\xbf\r\n");
    // Loading again replaces the lines rather than adding to them.
    ini.Load();
    EXPECT_EQ(ini.Lines().size(), 5);
}

TEST_F(IniFileTest, TextOutsideLatin1SurvivesASaveAndUtf8FilesReadAsUtf8) {
    const QString path = QString::fromUtf8(
        "/home/\xd0\x98\xd0\xb2\xd0\xb0\xd0\xbd/\xc5\xbc\xc3\xb3\xc5\x82w \xe2\x82\xac.mdb");
    TKaDumbIniFileMgr ini(this->path());
    ini.WriteString("cb_DB00", path);
    ini.Save();
    EXPECT_EQ(readFile(this->path()), "cb_DB00=" + path.toUtf8() + "\r\n");
    TKaDumbIniFileMgr reread(this->path());
    reread.Load();
    EXPECT_EQ(reread.ReadString("cb_DB00", "-"), path);

    // An editor's UTF-8, with or without a byte-order mark, which never becomes part of a key.
    TKaDumbIniFileMgr edited = loaded("\xef\xbb\xbf"
                                      "cb_Username00=J\xc3\xbcrgen\r\nx=\xc3\xa9\r\n");
    EXPECT_EQ(edited.ReadString("cb_Username00", "-"), QString::fromUtf8("J\xc3\xbcrgen"));
    EXPECT_EQ(edited.ReadString("x", "-"), QString::fromUtf8("\xc3\xa9"));
    // A byte that is not UTF-8 makes its own line Latin-1, and only that one: the UTF-8 values around it
    // are not written back double-encoded.
    TKaDumbIniFileMgr mixed = loaded("a=\xc3\xa9\r\nb=\xe9\r\nc=\xe2\x82\xac");
    EXPECT_EQ(mixed.Lines(),
              QStringList({QString::fromUtf8("a=é"), QString::fromUtf8("b=é"), QString::fromUtf8("c=€")}));
    mixed.Save();
    EXPECT_EQ(readFile(this->path()), "a=\xc3\xa9\r\nb=\xc3\xa9\r\nc=\xe2\x82\xac\r\n");
}

TEST_F(IniFileTest, SaveDropsBlankLinesAndSortsSectionHeadersAmongTheRest) {
    TKaDumbIniFileMgr ini = loaded("b=2\r\n\r\n[Settings]\r\n  \t\r\nA=1\r\nc=3\r\n");
    EXPECT_EQ(ini.Lines().size(), 6);
    ini.Save();
    EXPECT_EQ(ini.Lines(), QStringList({"[Settings]", "A=1", "b=2", "c=3"}));
    EXPECT_EQ(readFile(path()), "[Settings]\r\nA=1\r\nb=2\r\nc=3\r\n");
}

TEST_F(IniFileTest, DeleteKeysWithPrefixIgnoresTheCaseOfLettersOnly) {
    TKaDumbIniFileMgr ini = loaded("cb_DB00=a.mdb\r\nMain_Left=1\r\nCB_DB_Str=x\r\ncb_DBX=1\r\ncb_D\r\n"
                                   "xcb_DB=2\r\ncb_DW00=w.mdw\r\ncb-DB01=y\r\n");
    ini.DeleteKeysWithPrefix("cb_DB");
    EXPECT_EQ(ini.Lines(), QStringList({"Main_Left=1", "cb_D", "xcb_DB=2", "cb_DW00=w.mdw", "cb-DB01=y"}));
}

TEST_F(IniFileTest, SavedFileIsPrivateToItsOwner) {
    TKaDumbIniFileMgr ini(path());
    ini.WriteString("cb_PW00", "secret");
    ini.Save();
    EXPECT_EQ(modeOf(path()), 0600u);

    // A file made readable by others (by hand or by another tool) is private again after a save.
    ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), 0644), 0);
    ini.Save();
    EXPECT_EQ(modeOf(path()), 0600u);
    EXPECT_EQ(readFile(path()), "cb_PW00=secret\r\n");
}

TEST_F(IniFileTest, SaveIntoAnUnwritablePlaceShowsTheErrorAndKeepsTheLines) {
    writeFile("not a folder", path("plainfile"));
    for (const QString& target : {path("missing/keyloupe.ini"), path("plainfile/keyloupe.ini")}) {
        hooks.messages.clear();
        TKaDumbIniFileMgr ini(target);
        ini.WriteString("b", "2");
        ini.WriteString("", "");
        ini.WriteString("a", "1");
        ini.Save();
        ASSERT_EQ(hooks.messages.size(), 1) << target.toStdString();
        EXPECT_TRUE(hooks.messages.front().startsWith("Error: "));
        EXPECT_GT(hooks.messages.front().size(), 7);
        EXPECT_EQ(ini.Lines(), QStringList({"=", "a=1", "b=2"}));
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList{"plainfile"});
}

// Runs check (0 when all it expects held) as a user who may write to the files but may not create
// files in their folder: as root, who may create files anywhere, in a child process that has become
// "nobody" and owns the files; otherwise with the folder made read-only.
int WhereTheFolderTakesNoNewFile(const QString& folder, const QStringList& files,
                                 const std::function<int()>& check) {
    const QByteArray dirName = QFile::encodeName(folder);
    if (::geteuid() != 0) {
        ::chmod(dirName.constData(), 0555);
        const int result = check();
        ::chmod(dirName.constData(), 0700);
        return result;
    }
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody) return 100;
    ::chmod(dirName.constData(), 0755);
    for (const QString& file : files)
        if (::chown(QFile::encodeName(file).constData(), nobody->pw_uid, nobody->pw_gid) != 0) return 101;
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0)
            ::_exit(102);
        ::_exit(check());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ::chmod(dirName.constData(), 0700);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 103;
}

TEST_F(IniFileTest, AFolderThatTakesNoNewFileStillLetsAWritableFileBeSaved) {
    writeFile("b=2\r\na=1\r\n", path());
    writeFile("x=1\r\n", path("locked.ini"));
    ASSERT_EQ(::chmod(QFile::encodeName(path()).constData(), 0644), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(path("locked.ini")).constData(), 0400), 0);
    const int failed = WhereTheFolderTakesNoNewFile(dir.path(), {path(), path("locked.ini")}, [&] {
        int failures = 0;
        TKaDumbIniFileMgr ini(path());
        ini.Load();
        ini.WriteString("c", "3");
        ini.Save();
        if (!hooks.messages.isEmpty()) failures |= 1;
        if (readFile(path()) != "a=1\r\nb=2\r\nc=3\r\n") failures |= 2;
        if (modeOf(path()) != 0600u) failures |= 4;
        // Neither the folder nor the file may be written: the failure is shown as ever.
        TKaDumbIniFileMgr locked(path("locked.ini"));
        locked.Load();
        locked.WriteString("y", "2");
        locked.Save();
        if (hooks.messages.size() != 1 || !hooks.messages.front().startsWith("Error: ")) failures |= 8;
        if (readFile(path("locked.ini")) != "x=1\r\n") failures |= 16;
        return failures;
    });
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot),
              QStringList({"keyloupe.ini", "locked.ini"}));
}

// The file size limit makes every write beyond it fail, even for root.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &old_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

TEST_F(IniFileTest, FailedSaveLeavesTheOldFileIntact) {
    const QByteArray old = "Main_Left=250\r\nMain_Top=90\r\n";
    TKaDumbIniFileMgr ini = loaded(old);
    for (int i = 0; i < 50; ++i)
        ini.WriteString(QStringLiteral("cb_DB%1").arg(i, 2, 10, QChar(u'0')), "/data/x.mdb");
    {
        FileSizeLimit limit(static_cast<rlim_t>(old.size()) + 10);
        ini.Save();
    }
    ASSERT_EQ(hooks.messages.size(), 1);
    EXPECT_EQ(hooks.messages.front(), "Error: " + qt_error_string(EFBIG));
    EXPECT_EQ(readFile(path()), old);
    EXPECT_EQ(ini.Lines().size(), 52);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList{"keyloupe.ini"});

    // Once writing works again the kept lines are saved.
    ini.Save();
    EXPECT_EQ(hooks.messages.size(), 1);
    TKaDumbIniFileMgr reread(path());
    reread.Load();
    EXPECT_EQ(reread.Lines(), ini.Lines());
}

TEST_F(IniFileTest, AFailedRewriteInPlaceLeavesTheOldFileIntact) {
    const QByteArray old = "Main_Left=250\r\nMain_Top=90\r\n";
    writeFile(old, path());
    const int failed = WhereTheFolderTakesNoNewFile(dir.path(), {path()}, [&] {
        TKaDumbIniFileMgr ini(path());
        ini.Load();
        for (int i = 0; i < 50; ++i)
            ini.WriteString(QStringLiteral("cb_DB%1").arg(i, 2, 10, QChar(u'0')), "/data/x.mdb");
        {
            FileSizeLimit limit(static_cast<rlim_t>(old.size()) + 10);
            ini.Save();
        }
        int failures = 0;
        if (hooks.messages != QStringList{"Error: " + qt_error_string(EFBIG)}) failures |= 1;
        if (readFile(path()) != old) failures |= 2;
        // A shorter content is written in place and the file cut to its length.
        TKaDumbIniFileMgr shorter(path());
        shorter.WriteString("a", "1");
        shorter.Save();
        if (readFile(path()) != "a=1\r\n") failures |= 4;
        return failures;
    });
    EXPECT_EQ(failed, 0);
}

TEST_F(IniFileTest, UnreadableFileCountsAsMissing) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.ini"));
    TKaDumbIniFileMgr ini(path("folder.ini"));
    ini.WriteString("stale", "1");
    ini.Load();
    EXPECT_TRUE(ini.Lines().isEmpty());
    EXPECT_TRUE(hooks.messages.isEmpty());
}

} // namespace
