// The variant-to-text rule of the property listing, kind by kind, in a comma and a point locale.
#include "dbinfo/VariantText.h"

#include <gtest/gtest.h>

#include <QDate>

#include <limits>

using com::Variant;

namespace {

const QLocale De(QLocale::German, QLocale::Germany);
const QLocale Us(QLocale::English, QLocale::UnitedStates);

Variant oleDate(QDate date, double secondsOfDay = 0) {
    return Variant(com::Date{double(QDate(1899, 12, 30).daysTo(date)) + secondsOfDay / 86400.0});
}

} // namespace

TEST(VariantToText, EachKind) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        Variant value;
        const QLocale& locale;
        const char* text;
    } cases[] = {
        {Variant(), De, ""},
        {Variant(true), De, "True"},
        {Variant(false), De, "False"},
        {Variant(std::int16_t{-32768}), De, "-32768"},
        {Variant(std::int32_t{2147483647}), De, "2147483647"},
        {Variant("C:\\Grüße.mdb; x = 1"), De, "C:\\Grüße.mdb; x = 1"},
        // Doubles: 15 significant digits, the locale's separator, an exponent outside 1E-5 .. 1E15.
        {Variant(1234.5), De, "1234,5"},
        {Variant(1234.5), Us, "1234.5"},
        {Variant(0.1 + 0.2), De, "0,3"},
        {Variant(2.0 / 3.0), De, "0,666666666666667"},
        {Variant(999999999999999.0), De, "999999999999999"},
        {Variant(-0.000012345), De, "-0,000012345"},
        {Variant(1e15), De, "1E15"},
        {Variant(123456789012345678.0), De, "1,23456789012346E17"},
        {Variant(1.5e-7), De, "1,5E-7"},
        {Variant(9.999999999999999e-6), De, "0,00001"},
        {Variant(nan), De, "NAN"},
        {Variant(-std::numeric_limits<double>::infinity()), De, "-INF"},
        // Currency: up to four decimals, no grouping.
        {Variant(com::Currency{123450}), De, "12,345"},
        {Variant(com::Currency{1000000}), Us, "100"},
        {Variant(com::Currency{-5}), De, "-0,0005"},
        {Variant(com::Currency{std::numeric_limits<std::int64_t>::min()}), De, "-922337203685477,5808"},
        // Dates: the time only when there is one, four-digit years, rounded to the second.
        {oleDate(QDate(2023, 12, 24)), De, "24.12.2023"},
        {oleDate(QDate(2023, 12, 24), 13 * 3600 + 5 * 60 + 9), De, "24.12.2023 13:05:09"},
        {oleDate(QDate(1925, 3, 1)), Us, "3/1/1925"},
        {oleDate(QDate(2023, 12, 24), 86399.6), De, "25.12.2023"},
        {Variant(com::Date{0.25}), De, "06:00:00"},
        {Variant(com::Date{-1.25}), De, "29.12.1899 06:00:00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(dbinfo::VariantToText(c.value, c.locale), QString::fromUtf8(c.text));
    const QString pm = dbinfo::VariantToText(oleDate(QDate(2023, 12, 24), 13 * 3600 + 5 * 60 + 9), Us);
    EXPECT_TRUE(pm.startsWith("12/24/2023 1:05:09") && pm.endsWith("PM")) << pm.toStdString();
}

TEST(VariantToText, ValuesWithoutTextRaiseTheConversionError) {
    const std::pair<Variant, const char*> cases[] = {
        {Variant::null(), "Could not convert variant of type (Null) into type (String)"},
        {Variant(com::Date{1.0e7}), "Could not convert variant of type (Date) into type (String)"},
        {Variant(com::Date{std::numeric_limits<double>::quiet_NaN()}),
         "Could not convert variant of type (Date) into type (String)"},
    };
    for (const auto& [value, message] : cases) {
        try {
            dbinfo::VariantToText(value, De);
            ADD_FAILURE() << "no error for " << message;
        } catch (const dbinfo::EVariantTypeCastError& e) {
            EXPECT_STREQ(e.what(), message);
        }
    }
}

TEST(VariantToText, OneArgumentFormFollowsTheUsersLocale) {
    const QLocale saved;
    QLocale::setDefault(De);
    const QString german = dbinfo::VariantToText(Variant(0.5));
    QLocale::setDefault(Us);
    const QString english = dbinfo::VariantToText(Variant(0.5));
    QLocale::setDefault(saved);
    EXPECT_EQ(german, "0,5");
    EXPECT_EQ(english, "0.5");
}
