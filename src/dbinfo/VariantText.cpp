#include "dbinfo/VariantText.h"

#include <QDate>
#include <QTime>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace dbinfo {

namespace {

constexpr int kFloatDigits = 15;
constexpr double kSecondsPerDay = 86400.0;
// OLE date limits: 100-01-01 and 9999-12-31 as days since 1899-12-30.
constexpr double kFirstDay = -657434.0;
constexpr double kLastDay = 2958465.0;

// A format string with its quoted parts left alone; f receives each unquoted run of one letter.
template <class F> QString rewriteFormat(const QString& format, F&& f) {
    QString out;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == QLatin1Char('\'')) {
            quoted = !quoted;
            out += c;
            ++i;
            continue;
        }
        if (quoted || !c.isLetter()) {
            out += c;
            ++i;
            continue;
        }
        qsizetype run = 1;
        while (i + run < format.size() && format[i + run] == c)
            ++run;
        f(out, c, run);
        i += run;
    }
    return out;
}

// The locale's short date with a two-digit year widened, so that years of other centuries stay exact.
QString shortDateFormat(const QLocale& locale) {
    return rewriteFormat(locale.dateFormat(QLocale::ShortFormat), [](QString& out, QChar c, qsizetype run) {
        out += QString(c == QLatin1Char('y') && run == 2 ? 4 : run, c);
    });
}

// The locale's long time without the time zone, which a time of day does not have.
QString longTimeFormat(const QLocale& locale) {
    QString format =
        rewriteFormat(locale.timeFormat(QLocale::LongFormat), [](QString& out, QChar c, qsizetype run) {
            if (c == QLatin1Char('t')) {
                while (!out.isEmpty() && out.back().isSpace())
                    out.chop(1);
                return;
            }
            out += QString(run, c);
        });
    return format.trimmed();
}

} // namespace

EVariantTypeCastError::EVariantTypeCastError(com::VarType type)
    : std::runtime_error(std::string("Could not convert variant of type (") + VarTypeName(type) +
                         ") into type (String)") {}

const char* VarTypeName(com::VarType type) {
    switch (type) {
    case com::VarType::Empty:
        return "Empty";
    case com::VarType::Null:
        return "Null";
    case com::VarType::Boolean:
        return "Boolean";
    case com::VarType::Int16:
        return "Smallint";
    case com::VarType::Int32:
        return "Integer";
    case com::VarType::Double:
        return "Double";
    case com::VarType::Currency:
        return "Currency";
    case com::VarType::Date:
        return "Date";
    case com::VarType::String:
        return "String";
    }
    return "Unknown";
}

QString FloatToText(double value, const QLocale& locale) {
    if (std::isnan(value)) return QStringLiteral("NAN");
    if (std::isinf(value)) return value < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (value == 0.0) return QStringLiteral("0");

    // 15 significant digits and the decimal exponent, e.g. "-1.23450000000000e+03".
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.*e", kFloatDigits - 1, value);
    const std::string text(buffer);
    const bool negative = text.front() == '-';
    const std::size_t ePos = text.find('e');
    std::string digits;
    for (std::size_t i = negative ? 1 : 0; i < ePos; ++i)
        if (text[i] != '.') digits += text[i];
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    const int exponent = std::atoi(text.c_str() + ePos + 1);

    const QString separator = locale.decimalPoint();
    QString out = negative ? QStringLiteral("-") : QString();
    const int count = static_cast<int>(digits.size());
    if (exponent >= kFloatDigits || exponent < -5) {
        out += QLatin1Char(digits[0]);
        if (count > 1) out += separator + QString::fromLatin1(digits.data() + 1, count - 1);
        out += QLatin1Char('E') + QString::number(exponent);
    } else if (exponent >= 0) {
        const int whole = exponent + 1;
        if (count <= whole) {
            out += QString::fromLatin1(digits.data(), count) + QString(whole - count, QLatin1Char('0'));
        } else {
            out += QString::fromLatin1(digits.data(), whole) + separator +
                   QString::fromLatin1(digits.data() + whole, count - whole);
        }
    } else {
        out += QLatin1Char('0') + separator + QString(-exponent - 1, QLatin1Char('0')) +
               QString::fromLatin1(digits.data(), count);
    }
    return out;
}

QString CurrencyToText(com::Currency value, const QLocale& locale) {
    const bool negative = value.scaled < 0;
    // Unsigned, so that the most negative value has a magnitude too.
    const std::uint64_t magnitude =
        negative ? std::uint64_t(0) - static_cast<std::uint64_t>(value.scaled) : std::uint64_t(value.scaled);
    QString out = negative ? QStringLiteral("-") : QString();
    out += QString::number(magnitude / 10000);
    std::uint64_t fraction = magnitude % 10000;
    if (fraction != 0) {
        int places = 4;
        while (fraction % 10 == 0) {
            fraction /= 10;
            --places;
        }
        out += locale.decimalPoint() + QStringLiteral("%1").arg(fraction, places, 10, QLatin1Char('0'));
    }
    return out;
}

QString DateToText(com::Date value, const QLocale& locale) {
    const double days = value.days;
    if (!std::isfinite(days) || days < kFirstDay || days >= kLastDay + 1.0)
        throw EVariantTypeCastError(com::VarType::Date);
    // The whole days count from 1899-12-30 towards the value's sign; the fraction is the time of day
    // on either side of it, so -1.25 is 1899-12-29 06:00.
    double dayPart = std::trunc(days);
    auto seconds = static_cast<std::int64_t>(std::llround(std::fabs(days - dayPart) * kSecondsPerDay));
    if (seconds >= static_cast<std::int64_t>(kSecondsPerDay)) {
        seconds = 0;
        dayPart += days < 0 ? -1.0 : 1.0;
    }
    if (dayPart < kFirstDay || dayPart > kLastDay) throw EVariantTypeCastError(com::VarType::Date);

    const QTime time = QTime(0, 0).addSecs(static_cast<int>(seconds));
    if (dayPart == 0.0) return locale.toString(time, longTimeFormat(locale));
    const QDate date = QDate(1899, 12, 30).addDays(static_cast<qint64>(dayPart));
    QString out = locale.toString(date, shortDateFormat(locale));
    if (seconds != 0) out += QLatin1Char(' ') + locale.toString(time, longTimeFormat(locale));
    return out;
}

QString VariantToText(const com::Variant& value, const QLocale& locale) {
    switch (value.type()) {
    case com::VarType::Empty:
        return QString();
    case com::VarType::Boolean:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case com::VarType::Int16:
    case com::VarType::Int32:
        return QString::number(value.toInt32());
    case com::VarType::Double:
        return FloatToText(value.toDouble(), locale);
    case com::VarType::Currency:
        return CurrencyToText(value.toCurrency(), locale);
    case com::VarType::Date:
        return DateToText(value.toDate(), locale);
    case com::VarType::String:
        return QString::fromStdString(value.toString());
    case com::VarType::Null:
        break;
    }
    throw EVariantTypeCastError(value.type());
}

QString VariantToText(const com::Variant& value) {
    return VariantToText(value, QLocale());
}

} // namespace dbinfo
