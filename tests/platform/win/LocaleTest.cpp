#include "win/Locale.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
            hadOld_ = true;
        }
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv() {
        if (hadOld_)
            setenv(name_, old_.c_str(), 1);
        else
            unsetenv(name_);
    }

private:
    const char* name_;
    std::string old_;
    bool hadOld_ = false;
};

class ScopedDefaultLocale {
public:
    explicit ScopedDefaultLocale(const QLocale& locale) { QLocale::setDefault(locale); }
    ~ScopedDefaultLocale() { QLocale::setDefault(previous_); }

private:
    QLocale previous_;
};

TEST(LangIdFromLocaleName, MapsLanguageAndTerritory) {
    EXPECT_EQ(win::LangIdFromLocaleName("en_US.UTF-8"), 0x0409);
    EXPECT_EQ(win::LangIdFromLocaleName("es_ES"), 0x0C0A);
    EXPECT_EQ(win::LangIdFromLocaleName("fr_FR.ISO-8859-1"), 0x040C);
    EXPECT_EQ(win::LangIdFromLocaleName("en_GB.UTF-8"), 0x0809);
    EXPECT_EQ(win::LangIdFromLocaleName("de_AT@euro"), 0x0C07);
    // An unknown or missing territory gives the language's default.
    EXPECT_EQ(win::LangIdFromLocaleName("de_BE.UTF-8"), 0x0407);
    EXPECT_EQ(win::LangIdFromLocaleName("fr"), 0x040C);
    // C, POSIX, nothing and unknown languages count as U.S. English.
    EXPECT_EQ(win::LangIdFromLocaleName("C.UTF-8"), 0x0409);
    EXPECT_EQ(win::LangIdFromLocaleName("POSIX"), 0x0409);
    EXPECT_EQ(win::LangIdFromLocaleName(""), 0x0409);
    EXPECT_EQ(win::LangIdFromLocaleName("tlh_XX"), 0x0409);
}

TEST(GetSystemDefaultLangID, FollowsLcAllThenLcMessagesThenLang) {
    ScopedEnv lang("LANG", "fr_FR.UTF-8");
    {
        ScopedEnv all("LC_ALL", nullptr);
        ScopedEnv messages("LC_MESSAGES", nullptr);
        EXPECT_EQ(win::GetSystemDefaultLangID(), 0x040C);
    }
    {
        ScopedEnv all("LC_ALL", "");
        ScopedEnv messages("LC_MESSAGES", "es_ES.UTF-8");
        EXPECT_EQ(win::GetSystemDefaultLangID(), 0x0C0A);
    }
    {
        ScopedEnv all("LC_ALL", "de_DE.UTF-8");
        ScopedEnv messages("LC_MESSAGES", "es_ES.UTF-8");
        EXPECT_EQ(win::GetSystemDefaultLangID(), 0x0407);
    }
    {
        ScopedEnv all("LC_ALL", "POSIX");
        EXPECT_EQ(win::GetSystemDefaultLangID(), 0x0409);
    }
    {
        ScopedEnv all("LC_ALL", nullptr);
        ScopedEnv messages("LC_MESSAGES", nullptr);
        ScopedEnv noLang("LANG", nullptr);
        EXPECT_EQ(win::GetSystemDefaultLangID(), 0x0409);
    }
}

TEST(AnsiCompareText, IgnoresLetterCaseOfWholeTexts) {
    ScopedDefaultLocale locale(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(win::AnsiCompareText(QStringLiteral("Main_Left"), QStringLiteral("MAIN_LEFT")), 0);
    EXPECT_EQ(win::AnsiCompareText(QStringLiteral("\u00e4rger"), QStringLiteral("\u00c4RGER")), 0);
    EXPECT_NE(win::AnsiCompareText(QStringLiteral("Main_Left"), QStringLiteral("Main_Left ")), 0);
    EXPECT_NE(win::AnsiCompareText(QStringLiteral("cb_DB"), QStringLiteral("cb_DB00")), 0);
}

TEST(AnsiCompareText, OrdersByTheUsersLocaleNotByCodes) {
    {
        ScopedDefaultLocale locale(QLocale(QLocale::English, QLocale::UnitedStates));
        // By character codes "B" (0x42) sorts before "a" (0x61).
        EXPECT_LT(win::AnsiCompareText(QStringLiteral("apple"), QStringLiteral("Banana")), 0);
        EXPECT_GT(win::AnsiCompareText(QStringLiteral("Banana"), QStringLiteral("apple")), 0);
        EXPECT_LT(win::AnsiCompareText(QStringLiteral("\u00e4pple"), QStringLiteral("zebra")), 0);
    }
    {
        // Swedish sorts "ä" after "z"; the comparison follows a change of the default locale.
        ScopedDefaultLocale locale(QLocale(QLocale::Swedish, QLocale::Sweden));
        EXPECT_GT(win::AnsiCompareText(QStringLiteral("\u00e4pple"), QStringLiteral("zebra")), 0);
    }
}

} // namespace
