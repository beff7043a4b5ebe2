#include "win/Locale.h"

#include <QCollator>
#include <QLocale>

#include <array>
#include <cstdlib>

namespace win {

namespace {

// One collator per thread, rebuilt when the application changes the default locale. Building a
// collator is expensive; comparisons are called for every row of a sort.
QCollator& userCollator() {
    thread_local QLocale builtFor = QLocale();
    thread_local QCollator collator = [] {
        QCollator c{QLocale()};
        c.setCaseSensitivity(Qt::CaseInsensitive);
        return c;
    }();
    const QLocale current;
    if (current != builtFor) {
        builtFor = current;
        collator = QCollator(current);
        collator.setCaseSensitivity(Qt::CaseInsensitive);
    }
    return collator;
}

struct LocaleLangId {
    std::string_view language;  // ISO 639 code
    std::string_view territory; // ISO 3166 code; empty marks the language's default identifier
    LANGID id;
};

// Windows language identifiers: primary language in the low ten bits, sublanguage above.
constexpr std::array kLocaleTable{
    LocaleLangId{"en", "", 0x0409},   LocaleLangId{"en", "US", 0x0409}, LocaleLangId{"en", "GB", 0x0809},
    LocaleLangId{"en", "AU", 0x0C09}, LocaleLangId{"en", "CA", 0x1009}, LocaleLangId{"en", "NZ", 0x1409},
    LocaleLangId{"en", "IE", 0x1809}, LocaleLangId{"en", "ZA", 0x1C09}, LocaleLangId{"en", "IN", 0x4009},
    LocaleLangId{"de", "", 0x0407},   LocaleLangId{"de", "DE", 0x0407}, LocaleLangId{"de", "CH", 0x0807},
    LocaleLangId{"de", "AT", 0x0C07}, LocaleLangId{"de", "LU", 0x1007}, LocaleLangId{"de", "LI", 0x1407},
    LocaleLangId{"fr", "", 0x040C},   LocaleLangId{"fr", "FR", 0x040C}, LocaleLangId{"fr", "BE", 0x080C},
    LocaleLangId{"fr", "CA", 0x0C0C}, LocaleLangId{"fr", "CH", 0x100C}, LocaleLangId{"fr", "LU", 0x140C},
    LocaleLangId{"es", "", 0x0C0A},   LocaleLangId{"es", "ES", 0x0C0A}, LocaleLangId{"es", "MX", 0x080A},
    LocaleLangId{"es", "AR", 0x2C0A}, LocaleLangId{"es", "CO", 0x240A}, LocaleLangId{"es", "CL", 0x340A},
    LocaleLangId{"es", "US", 0x540A}, LocaleLangId{"it", "", 0x0410},   LocaleLangId{"it", "CH", 0x0810},
    LocaleLangId{"nl", "", 0x0413},   LocaleLangId{"nl", "BE", 0x0813}, LocaleLangId{"pt", "", 0x0816},
    LocaleLangId{"pt", "BR", 0x0416}, LocaleLangId{"pt", "PT", 0x0816}, LocaleLangId{"sv", "", 0x041D},
    LocaleLangId{"sv", "FI", 0x081D}, LocaleLangId{"da", "", 0x0406},   LocaleLangId{"nb", "", 0x0414},
    LocaleLangId{"no", "", 0x0414},   LocaleLangId{"nn", "", 0x0814},   LocaleLangId{"fi", "", 0x040B},
    LocaleLangId{"is", "", 0x040F},   LocaleLangId{"pl", "", 0x0415},   LocaleLangId{"cs", "", 0x0405},
    LocaleLangId{"sk", "", 0x041B},   LocaleLangId{"hu", "", 0x040E},   LocaleLangId{"ro", "", 0x0418},
    LocaleLangId{"hr", "", 0x041A},   LocaleLangId{"sl", "", 0x0424},   LocaleLangId{"bg", "", 0x0402},
    LocaleLangId{"ru", "", 0x0419},   LocaleLangId{"uk", "", 0x0422},   LocaleLangId{"el", "", 0x0408},
    LocaleLangId{"tr", "", 0x041F},   LocaleLangId{"et", "", 0x0425},   LocaleLangId{"lv", "", 0x0426},
    LocaleLangId{"lt", "", 0x0427},   LocaleLangId{"ca", "", 0x0403},   LocaleLangId{"ja", "", 0x0411},
    LocaleLangId{"ko", "", 0x0412},   LocaleLangId{"zh", "", 0x0804},   LocaleLangId{"zh", "CN", 0x0804},
    LocaleLangId{"zh", "TW", 0x0404}, LocaleLangId{"zh", "HK", 0x0C04}, LocaleLangId{"zh", "SG", 0x1004},
    LocaleLangId{"ar", "", 0x0401},   LocaleLangId{"he", "", 0x040D},   LocaleLangId{"th", "", 0x041E},
    LocaleLangId{"vi", "", 0x042A},   LocaleLangId{"id", "", 0x0421},   LocaleLangId{"hi", "", 0x0439},
};

std::string_view firstSetVariable(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        const char* value = std::getenv(name);
        if (value && *value) return value;
    }
    return {};
}

} // namespace

int AnsiCompareText(QStringView a, QStringView b) {
    return userCollator().compare(a, b);
}

LANGID LangIdFromLocaleName(std::string_view name) {
    // language[_territory][.codeset][@modifier]
    name = name.substr(0, name.find_first_of(".@"));
    const std::size_t underscore = name.find('_');
    const std::string_view language = name.substr(0, underscore);
    const std::string_view territory =
        underscore == std::string_view::npos ? std::string_view{} : name.substr(underscore + 1);

    const LocaleLangId* languageDefault = nullptr;
    for (const LocaleLangId& entry : kLocaleTable) {
        if (entry.language != language) continue;
        if (!territory.empty() && entry.territory == territory) return entry.id;
        if (entry.territory.empty() && !languageDefault) languageDefault = &entry;
    }
    return languageDefault ? languageDefault->id : LANG_ID_EN_US;
}

LANGID GetSystemDefaultLangID() {
    return LangIdFromLocaleName(firstSetVariable({"LC_ALL", "LC_MESSAGES", "LANG"}));
}

} // namespace win
