#pragma once
// Locales that write numbers with a decimal comma, made by the build for the tests
// (tests/CMakeLists.txt): the program is run in them through LOCPATH.

#include <QProcessEnvironment>
#include <array>
#include <langinfo.h>
#include <locale.h>
#include <string>

namespace q3::test {

// German writes 0,5; Turkish writes 0,5 too, and its upper-case I lower-cases to a dotless ı.
inline constexpr std::array kCommaLocales{"de_DE.UTF-8", "tr_TR.UTF-8"};

// The environment of a program run in the locale: every category of it, as LC_ALL sets them.
inline QProcessEnvironment
environmentIn(const char* locale,
              QProcessEnvironment env = QProcessEnvironment::systemEnvironment())
{
    env.insert(QStringLiteral("LOCPATH"), QStringLiteral(QUILLET3_LOCALES));
    env.insert(QStringLiteral("LC_ALL"), QString::fromLatin1(locale));
    return env;
}

// The locale's decimal point as the C library reads it from the tests' locale folder, or "" when
// the locale is missing: proof that a run in it really writes numbers with a comma.
inline std::string decimalPointOf(const char* locale)
{
    qputenv("LOCPATH", QUILLET3_LOCALES);
    const locale_t made = newlocale(LC_NUMERIC_MASK, locale, locale_t{});
    qunsetenv("LOCPATH");
    if (made == locale_t{})
        return {};
    std::string point = nl_langinfo_l(RADIXCHAR, made);
    freelocale(made);
    return point;
}

} // namespace q3::test
