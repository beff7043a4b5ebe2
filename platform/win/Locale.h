#pragma once
// Locale services that the Windows design took from the system: the locale-aware, case-insensitive
// text comparison and the system's default language identifier.
#include <QString>
#include <QStringView>

#include <cstdint>
#include <string_view>

namespace win {

using LANGID = std::uint16_t;

constexpr LANGID LANG_ID_EN_US = 0x0409;

// Compares two whole texts in the user's locale, ignoring letter case (as CompareString with
// NORM_IGNORECASE): negative when a sorts first, 0 when they are equal, positive otherwise.
int AnsiCompareText(QStringView a, QStringView b);
inline int AnsiCompareText(const QString& a, const QString& b) {
    return AnsiCompareText(QStringView(a), QStringView(b));
}

// The language identifier of a POSIX locale name such as "de_DE.UTF-8" or "fr_CA@euro": the
// codeset and modifier are ignored, a known language with an unknown or missing territory gives the
// language's default identifier. "C", "POSIX", an empty name and languages outside the table give
// 0x0409 (U.S. English).
LANGID LangIdFromLocaleName(std::string_view localeName);

// The language of the process locale: the first non-empty of LC_ALL, LC_MESSAGES and LANG, mapped by
// LangIdFromLocaleName.
LANGID GetSystemDefaultLangID();

} // namespace win
