// Names made safe to show: one table of hostile texts and what each output makes of them.
#include "security/SafeText.h"

#include <gtest/gtest.h>

namespace {

TEST(SafeText, EachFormShowsControlAndInvisibleCharactersVisibly) {
    struct Case {
        std::string in, field, visible;
    };
    const Case cases[] = {
        {"Orders", "Orders", "Orders"},
        {"a\nb\tc\rd", "a\\nb\\tc\\rd", "a<U+000A>b<U+0009>c<U+000D>d"},
        {"x\x1b[2Jy\x7f", "x\\x1b[2Jy\\x7f", "x<U+001B>[2Jy<U+007F>"},
        {"back\\slash\\n", "back\\\\slash\\\\n", "back\\slash\\n"},
        {"ad\u200Bmin", "ad\\u200bmin", "ad<U+200B>min"},
        {"a\u202Eb\u2066c\uFEFF\u00AD", "a\\u202eb\\u2066c\\ufeff\\u00ad",
         "a<U+202E>b<U+2066>c<U+FEFF><U+00AD>"},
        {"\u0085\u2028", "\\u0085\\u2028", "<U+0085><U+2028>"},
        {"tag\U000E0041", "tag\\U000e0041", "tag<U+E0041>"},
        {"caf\xe9 \xc0\xaf", "caf\\xe9 \\xc0\\xaf", "caf<0xE9> <0xC0><0xAF>"},
        {"caf\u00e9 \u20ac \u05d0", "caf\u00e9 \u20ac \u05d0", "caf\u00e9 \u20ac \u05d0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TextField(c.in), c.field) << c.in;
        EXPECT_EQ(VisibleText(c.in), c.visible) << c.in;
    }
    // Outside ASCII a name is isolated; the marks come off again for a terminal.
    EXPECT_EQ(ShownName("Orders"), "Orders");
    EXPECT_EQ(ShownName("\u05d0\u202E"), "\u2068\u05d0<U+202E>\u2069");
    EXPECT_EQ(StripIsolates("x " + ShownName("\u05d0\u2068") + " y"), "x \u05d0<U+2068> y");
}

TEST(SafeText, CsvCellsNeverStartAFormula) {
    const std::pair<std::string, std::string> cases[] = {
        {"=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
        {"@SUM(1)", "'@SUM(1)"},
        {"+1", "'+1"},
        {"-1", "'-1"},
        {"\tx", "'\tx"},
        {"\rx", "\"'\rx\""},
        {"-", "-"},
        {"a=b", "a=b"},
        {"a,b", "\"a,b\""},
        {"", ""},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(CsvCell(in), out) << in;
}

TEST(SafeText, LookAlikesOfBuiltInAccounts) {
    const std::pair<std::string, std::string> cases[] = {
        {"ad\u200Bmin", "admin"},
        {"\u0430dmin", "admin"},
        {"ADMIN\u00AD", "admin"},
        {"Adm\u0456ns", "Admins"},
        {"\uFF35sers", "Users"},
        {"Us\u0435rs\u200D", "Users"},
        {"admin", ""},
        {"Admin", ""},
        {"Users", ""},
        {"admins2", ""},
        {"adm1n", ""},
        {"Eng\u0131ne", "Engine"},
    };
    for (const auto& [name, builtIn] : cases)
        EXPECT_EQ(BuiltInLookAlike(name), builtIn) << name;
}

} // namespace
