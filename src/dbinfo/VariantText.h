#pragma once
// The system's rule for turning a variant into text, as the property listing shows values:
// - Empty: empty text;
// - Int16, Int32: decimal digits;
// - Double: general form with up to 15 significant digits and the locale's decimal separator; plain
//   digits for 0.00001 <= |x| < 1E15, else a mantissa and "E" with the exponent ("1,5E-7", "1E20");
//   "NAN", "INF" and "-INF" for the special values;
// - Currency: the number with up to 4 decimals (trailing zeros dropped), the locale's decimal
//   separator, no grouping and no currency symbol ("-12,5");
// - Date: the locale's short date (a two-digit year widened to four digits), followed by a space and
//   the locale's long time (without a time zone) when there is a time of day; a value without a date
//   part (day 0, 1899-12-30) gives the time alone. Rounded to the second;
// - Boolean: "True" or "False";
// - String: unchanged.
// Null, and any value the rules above cannot render, raise EVariantTypeCastError.
#include "com/Variant.h"

#include <QLocale>
#include <QString>

#include <stdexcept>

namespace dbinfo {

// A value that has no text form; the message reads
// "Could not convert variant of type (<kind>) into type (String)".
class EVariantTypeCastError : public std::runtime_error {
public:
    explicit EVariantTypeCastError(com::VarType type);
};

// The name of a variant kind as the conversion error spells it ("Null", "Integer", "Date" ...).
const char* VarTypeName(com::VarType type);

// The value as text in the given locale; the one-argument form uses the user's locale (QLocale()).
QString VariantToText(const com::Variant& value, const QLocale& locale);
QString VariantToText(const com::Variant& value);

QString FloatToText(double value, const QLocale& locale);
QString CurrencyToText(com::Currency value, const QLocale& locale);
// Fails with EVariantTypeCastError for days outside the years 100 to 9999 or not finite.
QString DateToText(com::Date value, const QLocale& locale);

} // namespace dbinfo
