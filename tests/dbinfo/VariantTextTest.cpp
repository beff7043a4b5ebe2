// The variant-to-text rule of the property listing, kind by kind, in a comma and a point locale.
#include "VariantText.h"

#include <gtest/gtest.h>

#include <QDate>

#include <cmath>
#include <cstdint>
#include <limits>

using com::Variant;
using dbinfo::VariantToText;

namespace {

const QLocale German(QLocale::German, QLocale::Germany);
const QLocale English(QLocale::English, QLocale::UnitedStates);

// An OLE date: days since 1899-12-30 plus the time of day as a fraction.
com::Date oleDate(QDate date, int h = 0, int m = 0, int s = 0) {
    return com::Date{double(QDate(1899, 12, 30).daysTo(date)) + (h * 3600 + m * 60 + s) / 86400.0};
}

QString text(const Variant& v, const QLocale& locale = German) {
    return VariantToText(v, locale);
}

} // namespace

TEST(VariantToText, EmptyBooleanIntegersAndTextNeedNoLocale) {
    EXPECT_EQ(text(Variant()), QString());
    EXPECT_EQ(text(Variant(true)), QStringLiteral("True"));
    EXPECT_EQ(text(Variant(false)), QStringLiteral("False"));
    EXPECT_EQ(text(Variant(std::int16_t{-32768})), QStringLiteral("-32768"));
    EXPECT_EQ(text(Variant(std::int32_t{2147483647})), QStringLiteral("2147483647"));
    EXPECT_EQ(text(Variant(std::int32_t{1033})), QStringLiteral("1033")); // no group separator
    EXPECT_EQ(text(Variant("C:\\data\\Grüße.mdb; x = 1")), QString::fromUtf8("C:\\data\\Grüße.mdb; x = 1"));
    EXPECT_EQ(text(Variant("")), QString());
}

TEST(VariantToText, NullRaisesTheConversionError) {
    try {
        text(Variant::null());
        FAIL() << "no error for Null";
    } catch (const dbinfo::EVariantTypeCastError& e) {
        EXPECT_STREQ(e.what(), "Could not convert variant of type (Null) into type (String)");
    }
}

TEST(VariantToText, DoublesUseFifteenDigitsAndTheLocalesSeparator) {
    EXPECT_EQ(text(Variant(1234.5)), QStringLiteral("1234,5"));
    EXPECT_EQ(text(Variant(1234.5), English), QStringLiteral("1234.5"));
    EXPECT_EQ(text(Variant(-2.5)), QStringLiteral("-2,5"));
    EXPECT_EQ(text(Variant(100.0)), QStringLiteral("100"));
    EXPECT_EQ(text(Variant(0.0)), QStringLiteral("0"));
    EXPECT_EQ(text(Variant(0.1 + 0.2)), QStringLiteral("0,3")); // the 17th digit is dropped
    EXPECT_EQ(text(Variant(1.0 / 3.0)), QStringLiteral("0,333333333333333"));
    EXPECT_EQ(text(Variant(2.0 / 3.0)), QStringLiteral("0,666666666666667")); // rounded at digit 15
    EXPECT_EQ(text(Variant(99999999999999.9)), QStringLiteral("99999999999999,9"));
    EXPECT_EQ(text(Variant(999999999999999.0)), QStringLiteral("999999999999999"));
    EXPECT_EQ(text(Variant(0.00001)), QStringLiteral("0,00001"));
    EXPECT_EQ(text(Variant(-0.000012345)), QStringLiteral("-0,000012345"));
}

TEST(VariantToText, DoublesOutsideTheFixedRangeUseAnExponent) {
    EXPECT_EQ(text(Variant(1e15)), QStringLiteral("1E15"));
    EXPECT_EQ(text(Variant(123456789012345678.0)), QStringLiteral("1,23456789012346E17"));
    EXPECT_EQ(text(Variant(-1e20), English), QStringLiteral("-1E20"));
    EXPECT_EQ(text(Variant(1.5e-7)), QStringLiteral("1,5E-7"));
    EXPECT_EQ(text(Variant(9.999999999999999e-6)), QStringLiteral("0,00001")); // rounds up into range
    EXPECT_EQ(text(Variant(std::numeric_limits<double>::quiet_NaN())), QStringLiteral("NAN"));
    EXPECT_EQ(text(Variant(-std::numeric_limits<double>::infinity())), QStringLiteral("-INF"));
}

TEST(VariantToText, CurrencyHasUpToFourDecimals) {
    EXPECT_EQ(text(Variant(com::Currency{123450})), QStringLiteral("12,345"));
    EXPECT_EQ(text(Variant(com::Currency{123450}), English), QStringLiteral("12.345"));
    EXPECT_EQ(text(Variant(com::Currency{1000000})), QStringLiteral("100"));
    EXPECT_EQ(text(Variant(com::Currency{-5})), QStringLiteral("-0,0005"));
    EXPECT_EQ(text(Variant(com::Currency{-125000})), QStringLiteral("-12,5"));
    EXPECT_EQ(text(Variant(com::Currency{0})), QStringLiteral("0"));
    EXPECT_EQ(text(Variant(com::Currency{std::numeric_limits<std::int64_t>::min()})),
              QStringLiteral("-922337203685477,5808"));
}

TEST(VariantToText, DatesShowTheTimeOnlyWhenThereIsOne) {
    EXPECT_EQ(text(Variant(oleDate(QDate(2023, 12, 24)))), QStringLiteral("24.12.2023"));
    EXPECT_EQ(text(Variant(oleDate(QDate(2023, 12, 24), 13, 5, 9))), QStringLiteral("24.12.2023 13:05:09"));
    // Years of other centuries keep all four digits.
    EXPECT_EQ(text(Variant(oleDate(QDate(1925, 3, 1))), English), QStringLiteral("3/1/1925"));
    const QString afternoon = text(Variant(oleDate(QDate(2023, 12, 24), 13, 5, 9)), English);
    EXPECT_TRUE(afternoon.startsWith(QStringLiteral("12/24/2023 1:05:09"))) << afternoon.toStdString();
    EXPECT_TRUE(afternoon.endsWith(QStringLiteral("PM"))) << afternoon.toStdString();
}

TEST(VariantToText, DateEdges) {
    // Day 0 is a time of day alone.
    EXPECT_EQ(text(Variant(com::Date{0.25})), QStringLiteral("06:00:00"));
    EXPECT_EQ(text(Variant(com::Date{0.0})), QStringLiteral("00:00:00"));
    // Before 1899-12-30 the fraction still counts forward from midnight.
    EXPECT_EQ(text(Variant(com::Date{-1.25})), QStringLiteral("29.12.1899 06:00:00"));
    // Rounded to the second, carrying into the next day.
    com::Date late = oleDate(QDate(2023, 12, 24));
    late.days += 86399.6 / 86400.0;
    EXPECT_EQ(text(Variant(late)), QStringLiteral("25.12.2023"));
    for (double days : {1.0e7, -1.0e7, std::numeric_limits<double>::quiet_NaN()}) {
        try {
            text(Variant(com::Date{days}));
            ADD_FAILURE() << "no error for " << days;
        } catch (const dbinfo::EVariantTypeCastError& e) {
            EXPECT_STREQ(e.what(), "Could not convert variant of type (Date) into type (String)");
        }
    }
}

TEST(VariantToText, OneArgumentFormFollowsTheUsersLocale) {
    const QLocale saved;
    QLocale::setDefault(German);
    const QString german = VariantToText(Variant(0.5));
    QLocale::setDefault(English);
    const QString english = VariantToText(Variant(0.5));
    QLocale::setDefault(saved);
    EXPECT_EQ(german, QStringLiteral("0,5"));
    EXPECT_EQ(english, QStringLiteral("0.5"));
}
